#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

// The whole content of a regular file of at most maxBytes bytes. The file is opened without
// waiting (a FIFO put in a file's place cannot hold the caller) and read only if it is a regular
// file; a file that grows past maxBytes while it is read is refused, not cut. Raises Exception
// naming the file otherwise.
std::string ReadRegularFile(const std::filesystem::path& path, uint64_t maxBytes);
