#pragma once

#include "common/CommandLine.h"
#include "sources/BuildSettings.h"
#include "sources/SourceTree.h"

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

struct FolderBook;

// The contents entry of a book whose contents are read from its home page while its pages are
// packed: the entry's text, and the line that says what was found.
struct LateContents {
    std::string text;
    std::string said;
};

// Contents read from the home page when first asked for, by whichever thread asks first (the
// others wait): a build asks on a packing thread as packing starts, and again for the entry.
class TLateContents {
public:
    explicit TLateContents(std::shared_ptr<const FolderBook> plan);
    // Nothing when the contents are empty and the book does not open them at start.
    const std::optional<LateContents>& Get();

private:
    std::shared_ptr<const FolderBook> plan_;
    std::once_flag read_;
    std::optional<LateContents> contents_;
};

// What a book built from a folder holds: its settings (the home page's index among them) and its
// pages in directory order. `build` writes it; `serve SRC_DIR` answers from it, so both give the
// same names, lookup and settings.
struct FolderBook {
    BuildSettings settings;
    // A file with an empty path is a page the build writes itself; its bytes are in `written`.
    std::vector<SourceFile> files;
    std::map<std::string, std::string> written;
    // Set when the contents are left to be read from the home page as the pages are packed
    // (FolderOpening::contentsLater); no entry is written when they turn out empty.
    std::shared_ptr<TLateContents> lateContents;

    // The bytes of the page at the index. Raises Exception naming the file when it cannot be read.
    std::string PageBytes(std::size_t index) const;
    // The same, read only when the file's real path at the moment it is opened lies below
    // `realFolder` (a real path itself): a link put in a file's or folder's place after the plan
    // was made is refused, not followed.
    std::string PageBytesWithin(std::size_t index, const std::filesystem::path& realFolder) const;
};

// What the folder is opened for, and where links refused for leading outside are named (`notes`
// when not set).
struct FolderOpening {
    EFolderUse use = EFolderUse::Build;
    std::ostream* refusals = nullptr;
    // A build packs while the contents are read from the home page (a contents page of megabytes
    // takes a tenth of the whole build): they come in `lateContents`, not among the files.
    bool contentsLater = false;
};

// Applies book.json and the setting options of the line (--exclude and --include-hidden too,
// when the line has them), collects the files, and chooses what the author left unset: the home
// page, the title, and for an unpacked EPUB a contents page. What it chose goes to `out`; files
// left out and warnings go to `notes`. `skip` lists files never packed (the book being written).
FolderBook PlanFolderBook(const std::filesystem::path& source, const CommandLine& line,
    const std::vector<std::filesystem::path>& skip, std::ostream& out, std::ostream& notes,
    const FolderOpening& opening = {});

// Which files of the folder are pages: the settings' and the line's --exclude patterns, and
// --include-hidden; links outside followed for a build unless --no-follow-outside, for reading
// only with --follow-outside.
SourceRules SourceRulesFor(const BuildSettings& settings, const CommandLine& line, EFolderUse use = EFolderUse::Build);
