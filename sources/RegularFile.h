#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

// The whole content of a regular file of at most maxBytes bytes. The file is opened without
// waiting (a FIFO put in a file's place cannot hold the caller) and read only if it is a regular
// file; a file that grows past maxBytes while it is read is refused, not cut. Raises Exception
// naming the file otherwise.
std::string ReadRegularFile(const std::filesystem::path& path, uint64_t maxBytes);

// The same, read only when the opened file's real path (as the system names the open descriptor)
// lies below `realFolder`, itself a real path: whatever links led there, or were put in the path's
// place meanwhile, a file outside is refused. Raises Exception naming the file otherwise.
std::string ReadRegularFileWithin(
    const std::filesystem::path& path, const std::filesystem::path& realFolder, uint64_t maxBytes);
