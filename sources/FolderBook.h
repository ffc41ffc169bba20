#pragma once

#include "common/CommandLine.h"
#include "sources/BuildSettings.h"
#include "sources/SourceTree.h"

#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <vector>

// What a book built from a folder holds: its settings (the home page's index among them) and its
// pages in directory order. `build` writes it; `serve SRC_DIR` answers from it, so both give the
// same names, lookup and settings.
struct FolderBook {
    BuildSettings settings;
    // A file with an empty path is a page the build writes itself; its bytes are in `written`.
    std::vector<SourceFile> files;
    std::map<std::string, std::string> written;

    // The bytes of the page at the index. Raises Exception naming the file when it cannot be read.
    std::string PageBytes(std::size_t index) const;
};

// Applies book.json and the setting options of the line (--exclude and --include-hidden too,
// when the line has them), collects the files, and chooses what the author left unset: the home
// page, the title, and for an unpacked EPUB a contents page. What it chose goes to `out`; files
// left out and warnings go to `notes`. `skip` lists files never packed (the book being written).
FolderBook PlanFolderBook(const std::filesystem::path& source, const CommandLine& line,
    const std::vector<std::filesystem::path>& skip, std::ostream& out, std::ostream& notes);

// Which files of the folder are pages: the settings' and the line's --exclude patterns, and
// --include-hidden.
SourceRules SourceRulesFor(const BuildSettings& settings, const CommandLine& line);
