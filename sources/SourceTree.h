#pragma once

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

// One file of a book's source folder and the page name it gets.
struct SourceFile {
    std::filesystem::path path;
    std::string pageName; // "/" + relative path with "/" between folders, in the container's encoding
    uint64_t size = 0;
    // Reached through a link that leads outside the source folder.
    bool outside = false;
};

// What a folder is opened for. A build follows links that lead outside the folder (an author's
// tree may link shared assets); a folder read in place (the viewer, `serve`, the commands that read
// a folder as a book) is as often a reader's download, so there such links are refused unless the
// reader asks for them (--follow-outside).
enum class EFolderUse { Build, Read };

// Which files of a source folder become pages.
struct SourceRules {
    // Glob patterns (fnmatch): one without "/" matches a file's or folder's own name at any depth,
    // one with "/" matches the path below the source folder ("/" at the start is allowed).
    std::vector<std::string> excludes;
    // Files and folders whose names start with "." are left out unless this is set.
    bool includeHidden = false;
    // Files never packed: the book being written when it lies inside the folder.
    std::vector<std::filesystem::path> skip;
    // Links that lead outside the folder are followed (and named) unless this is cleared.
    bool followOutside = true;
    // How a link left out for leading outside is named: as --no-follow-outside leaves it out of a
    // build, or as refused by a reader.
    EFolderUse use = EFolderUse::Build;
    // Where links left out for leading outside are named instead of `notes`, when set (a reader
    // that keeps its notes quiet still names them on standard error).
    std::ostream* refusals = nullptr;
};

// Every regular file below the folder except the top-level book.json, hidden files and folders,
// editor backups (*~, *.swp) and Thumbs.db, what the rules exclude and the files to skip, sorted by
// page name so that the same folder always packs the same way, whatever order the file system
// lists it in. Links to files and folders are followed, as `cp -rL` does; a link back into a folder
// it lies in is a loop, left out. Every file left out for a reason other than the rules (a link to
// nothing, a loop, a FIFO) and every link that leads outside the folder is named on `notes`, in
// path order, as is every file or folder the rules leave out. Raises Exception naming the path for a folder that cannot
// be read, a name that is not UTF-8, or a file larger than a page can be.
std::vector<SourceFile> CollectSourceFiles(
    const std::filesystem::path& folder, const SourceRules& rules, std::ostream& notes);

// Writes a warning for every page name a browser cannot request as written, and for names that
// differ only in letter case (the viewer always serves the first).
void WarnAboutPageNames(const std::vector<SourceFile>& files, std::ostream& err);
