#include "SourceTree.h"

#include "AnsiText.h"
#include "Exception.h"
#include "WinAnsi.h"

#include <algorithm>
#include <unordered_map>

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kSettingsFileName = "book.json";

bool IsSkipped(const fs::path& path, const std::vector<fs::path>& skip)
{
    std::error_code error;
    for (const fs::path& other : skip) {
        if (fs::exists(other, error) && fs::equivalent(path, other, error))
            return true;
    }
    return false;
}

// Why a browser would not request the name as written, or empty.
std::string UnreachableReason(std::string_view name)
{
    for (char c : name) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return "it holds non-ASCII characters, which browsers send percent-encoded";
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

std::vector<SourceFile> CollectSourceFiles(const fs::path& folder, const std::vector<fs::path>& skip)
{
    std::vector<SourceFile> files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file())
            continue;
        const fs::path relative = entry.path().lexically_relative(folder);
        if (relative == kSettingsFileName || IsSkipped(entry.path(), skip))
            continue;
        std::string utf8 = "/";
        utf8 += relative.generic_string();
        const auto ansi = Utf8ToAnsi(utf8);
        if (!ansi)
            throw Exception("Cannot store page name " + utf8 + ": Windows-1252 has no such characters");
        files.push_back({ entry.path(), *ansi });
    }
    std::sort(
        files.begin(), files.end(), [](const SourceFile& a, const SourceFile& b) { return a.pageName < b.pageName; });
    return files;
}

void WarnAboutPageNames(const std::vector<SourceFile>& files, std::ostream& err)
{
    std::unordered_map<std::string, const std::string*> firstByFoldedName;
    for (const SourceFile& file : files) {
        const std::string& name = file.pageName;
        const std::string reason = UnreachableReason(name);
        if (!reason.empty())
            err << "warning: page " << AnsiToUtf8(name) << " cannot be requested by a browser as written: " << reason
                << "\n";
        std::string folded = name;
        for (char& c : folded)
            c = static_cast<char>(AnsiLowerChar(static_cast<unsigned char>(c)));
        const auto [first, added] = firstByFoldedName.emplace(folded, &name);
        if (!added)
            err << "warning: page " << AnsiToUtf8(name) << " differs from " << AnsiToUtf8(*first->second)
                << " only in letter case; the viewer always serves the first\n";
    }
}
