#include "sources/SourceTree.h"

#include "book/BookFormat.h"
#include "common/BookText.h"
#include "common/DisplayText.h"
#include "common/Exception.h"

#include <algorithm>
#include <fnmatch.h>
#include <unordered_map>

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kSettingsFileName = "book.json";

// Left out of every book: what editors and file managers leave beside the pages.
constexpr std::string_view kLitterPatterns[] = { "*~", "*.swp", "Thumbs.db" };

bool IsSkipped(const fs::path& path, const std::vector<fs::path>& skip)
{
    std::error_code error;
    for (const fs::path& other : skip) {
        if (fs::exists(other, error) && fs::equivalent(path, other, error))
            return true;
    }
    return false;
}

bool Matches(std::string_view pattern, const std::string& name, const std::string& relative)
{
    const std::string glob(pattern);
    if (glob.find('/') == std::string::npos)
        return fnmatch(glob.c_str(), name.c_str(), 0) == 0;
    const std::string anchored = glob.starts_with('/') ? glob.substr(1) : glob;
    return fnmatch(anchored.c_str(), relative.c_str(), FNM_PATHNAME) == 0;
}

// Why the rules leave the file or folder out, or empty.
std::string ExclusionReason(const SourceRules& rules, const std::string& name, const std::string& relative)
{
    if (!rules.includeHidden && name.starts_with('.'))
        return "hidden";
    for (std::string_view pattern : kLitterPatterns) {
        if (Matches(pattern, name, relative))
            return "matches " + std::string(pattern);
    }
    for (const std::string& pattern : rules.excludes) {
        if (Matches(pattern, name, relative))
            return "excluded by " + pattern;
    }
    return {};
}

std::string KindOf(fs::file_type type)
{
    switch (type) {
    case fs::file_type::fifo:
        return "a FIFO";
    case fs::file_type::socket:
        return "a socket";
    case fs::file_type::block:
    case fs::file_type::character:
        return "a device";
    default:
        return "not a regular file";
    }
}

bool IsWithin(const fs::path& root, const fs::path& path)
{
    const auto [end, at] = std::mismatch(root.begin(), root.end(), path.begin(), path.end());
    return end == root.end();
}

class TFolderScan {
public:
    TFolderScan(const fs::path& root, const SourceRules& rules)
        : rules_(rules)
    {
        std::error_code error;
        root_ = fs::canonical(root, error);
        if (error)
            root_ = fs::absolute(root);
    }

    void Scan(const fs::path& folder, const std::string& relativeFolder) { Scan(folder, relativeFolder, false); }

    std::vector<SourceFile> files;
    // What was left out and why, each line starting with the path, to be told in path order.
    std::vector<std::pair<std::string, std::string>> notes;
    // Links refused for leading outside, told on the rules' own stream.
    std::vector<std::pair<std::string, std::string>> refusals;

private:
    void Scan(const fs::path& folder, const std::string& relativeFolder, bool outside)
    {
        std::error_code error;
        const fs::path real = fs::canonical(folder, error);
        chain_.push_back(error ? folder : real);
        fs::directory_iterator it(folder, error);
        for (; !error && it != fs::directory_iterator(); it.increment(error))
            Visit(*it, relativeFolder, outside);
        chain_.pop_back();
        if (error)
            throw Exception("Cannot read folder " + folder.string() + ": " + error.message());
    }

    // For a link: where it leads, and whether that is outside the folder (named once, here).
    // Returns false when the link is left out.
    bool FollowLink(const fs::directory_entry& entry, const std::string& relative, bool isFolder, bool& outside)
    {
        std::error_code error;
        const fs::path target = fs::canonical(entry.path(), error);
        if (error)
            return true;
        if (isFolder && std::find(chain_.begin(), chain_.end(), target) != chain_.end()) {
            Note(relative,
                "skipping " + relative + "/: a link to a folder it lies in (" + target.string() + "), a loop");
            return false;
        }
        if (outside || IsWithin(root_, target))
            return true;
        outside = true;
        const std::string shown = relative + (isFolder ? "/" : "") + " -> " + target.string();
        if (!rules_.followOutside) {
            if (rules_.use == EFolderUse::Build)
                Note(relative, shown + ": outside the folder, left out (--no-follow-outside)");
            else
                Refuse(relative, shown + ": outside the folder, not read (--follow-outside reads it)");
            return false;
        }
        Note(relative,
            shown + (rules_.use == EFolderUse::Build ? ": outside the folder, packed" : ": outside the folder, read"));
        return true;
    }

    void Visit(const fs::directory_entry& entry, const std::string& relativeFolder, bool outside)
    {
        const std::string name = entry.path().filename().string();
        const std::string relative = relativeFolder.empty() ? name : relativeFolder + "/" + name;
        std::error_code error;
        const fs::file_status link = entry.symlink_status(error);
        const fs::file_status target = entry.status(error);
        const bool isFolder = fs::is_directory(target);
        if (relativeFolder.empty() && name == kSettingsFileName && !isFolder)
            return;
        const std::string reason = ExclusionReason(rules_, name, relative);
        if (!reason.empty()) {
            Note(relative, "leaving out " + relative + (isFolder ? "/" : "") + " (" + reason + ")");
            return;
        }
        if (fs::is_symlink(link) && !fs::exists(target)) {
            std::error_code ignored;
            Note(relative,
                "skipping " + relative + ": a link to nothing (" + fs::read_symlink(entry.path(), ignored).string()
                    + ")");
            return;
        }
        if (!isFolder && !fs::is_regular_file(target)) {
            Note(relative, "skipping " + relative + ": " + KindOf(target.type()));
            return;
        }
        if (fs::is_symlink(link) && !FollowLink(entry, relative, isFolder, outside))
            return;
        if (isFolder) {
            Scan(entry.path(), relative, outside);
            return;
        }
        if (IsSkipped(entry.path(), rules_.skip))
            return;
        Add(entry.path(), relative, outside);
    }

    void Add(const fs::path& path, const std::string& relative, bool outside)
    {
        const auto stored = Utf8ToBookText("/" + relative);
        if (!stored)
            throw Exception("Cannot pack " + path.string() + ": its name is not UTF-8 text");
        std::error_code error;
        const uintmax_t size = fs::file_size(path, error);
        if (error)
            throw Exception("Cannot read " + path.string() + ": " + error.message());
        if (size > static_cast<uintmax_t>(kMaxPageSize))
            throw Exception("Cannot pack " + path.string() + ": it holds " + std::to_string(size)
                + " bytes, and a book page holds at most " + std::to_string(kMaxPageSize) + " bytes (256 MiB)");
        files.push_back({ path, *stored, size, outside });
    }

    void Note(const std::string& relative, std::string text) { notes.emplace_back(relative, std::move(text)); }
    void Refuse(const std::string& relative, std::string text)
    {
        (rules_.refusals != nullptr ? refusals : notes).emplace_back(relative, std::move(text));
    }

    const SourceRules& rules_;
    fs::path root_;
    // The real paths of the folders being scanned, outermost first: a link to one of them is a loop.
    std::vector<fs::path> chain_;
};

// Why a browser would not request the name as written, or empty. Letters outside ASCII are fine:
// browsers send them percent-encoded as UTF-8, and the lookup decodes that.
std::string UnreachableReason(std::string_view name)
{
    for (char c : name) {
        if (c == '%')
            return "'%' starts an escape in a URL";
        if (c == '?')
            return "'?' starts the query, which is not part of the page name";
        if (c == '#')
            return "'#' starts a fragment, which browsers do not send";
    }
    return {};
}

} // namespace

std::vector<SourceFile> CollectSourceFiles(const fs::path& folder, const SourceRules& rules, std::ostream& notes)
{
    TFolderScan scan(folder, rules);
    scan.Scan(folder, "");
    std::sort(scan.notes.begin(), scan.notes.end());
    for (const auto& [relative, text] : scan.notes)
        notes << EscapeForTerminal(text) << "\n";
    std::sort(scan.refusals.begin(), scan.refusals.end());
    for (const auto& [relative, text] : scan.refusals)
        *rules.refusals << EscapeForTerminal(text) << "\n";
    std::vector<SourceFile>& files = scan.files;
    std::sort(
        files.begin(), files.end(), [](const SourceFile& a, const SourceFile& b) { return a.pageName < b.pageName; });
    return std::move(files);
}

void WarnAboutPageNames(const std::vector<SourceFile>& files, std::ostream& err)
{
    std::unordered_map<std::string, const std::string*> firstByFoldedName;
    for (const SourceFile& file : files) {
        const std::string& name = file.pageName;
        const std::string reason = UnreachableReason(name);
        if (!reason.empty())
            err << "warning: page " << EscapeForTerminal(BookTextToUtf8(name))
                << " cannot be requested by a browser as written: " << reason << "\n";
        const auto [first, added] = firstByFoldedName.emplace(FoldedBookText(name), &name);
        if (!added)
            err << "warning: page " << EscapeForTerminal(BookTextToUtf8(name)) << " differs from "
                << EscapeForTerminal(BookTextToUtf8(*first->second))
                << " only in letter case; the viewer always serves the first\n";
    }
}
