#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

// One file of a book's source folder and the page name it gets.
struct SourceFile {
    std::filesystem::path path;
    std::string pageName; // "/" + relative path with "/" between folders, in Windows-1252
};

// Every regular file below the folder except the top-level book.json and the files to skip (the
// book being written, when it lies inside the folder), sorted by page name so that the same folder
// always packs the same way. Raises Exception for a name Windows-1252 cannot store.
std::vector<SourceFile> CollectSourceFiles(
    const std::filesystem::path& folder, const std::vector<std::filesystem::path>& skip);

// Writes a warning for every page name a browser cannot request as written, and for names that
// differ only in letter case (the viewer always serves the first).
void WarnAboutPageNames(const std::vector<SourceFile>& files, std::ostream& err);
