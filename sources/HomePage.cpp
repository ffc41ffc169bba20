#include "sources/HomePage.h"

#include "common/AnsiText.h"
#include "common/BookText.h"
#include "common/Exception.h"
#include "common/Utf8.h"
#include "html/Blanks.h"
#include "html/CharacterReferences.h"
#include "html/PageKind.h"

#include <algorithm>
#include <cstdlib>

namespace {

// A page's title stands near its start; the rest is not searched.
constexpr std::size_t kTitleSearchLength = 64 * 1024;
// Candidates named in the error when no home page can be chosen.
constexpr std::size_t kMaxCandidatesShown = 12;

bool IsTopLevel(std::string_view name)
{
    return name.find('/', 1) == std::string_view::npos;
}

int32_t IndexOf(const std::vector<SourceFile>& files, std::string_view name)
{
    const std::string wanted = FoldedBookText(name);
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (FoldedBookText(files[i].pageName) == wanted)
            return static_cast<int32_t>(i);
    }
    return -1;
}

} // namespace

bool HasConventionalHomePage(const std::vector<SourceFile>& files)
{
    for (std::string_view conventional : kConventionalHomePages) {
        if (IndexOf(files, conventional) >= 0)
            return true;
    }
    return false;
}

HomeChoice ChooseHomePage(const std::vector<SourceFile>& files, const std::optional<std::string>& named)
{
    if (named) {
        const std::string name = named->starts_with('/') ? *named : "/" + *named;
        const int32_t index = IndexOf(files, name);
        if (index < 0)
            throw Exception("Home page " + BookTextToUtf8(name) + " is not among the pages");
        return { index, {} };
    }
    if (files.empty())
        return { -1, {} };
    for (std::string_view conventional : kConventionalHomePages) {
        const int32_t index = IndexOf(files, conventional);
        if (index >= 0)
            return { index, "the folder's " + std::string(conventional.substr(1)) };
    }
    std::vector<std::size_t> topLevel;
    std::vector<std::size_t> anywhere;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!IsMarkupPage(files[i].pageName))
            continue;
        anywhere.push_back(i);
        if (IsTopLevel(files[i].pageName))
            topLevel.push_back(i);
    }
    if (topLevel.size() == 1)
        return { static_cast<int32_t>(topLevel[0]), "the only HTML page at the top of the folder" };
    const std::vector<std::size_t>& candidates = topLevel.empty() ? anywhere : topLevel;
    std::string message = "No home page: the folder has no index.htm, index.html or default.htm";
    if (candidates.empty()) {
        message += " and no HTML page at all";
    } else {
        message
            += topLevel.empty() ? ", and its HTML pages lie in sub-folders: " : ", and several HTML pages at its top: ";
        for (std::size_t i = 0; i < std::min(candidates.size(), kMaxCandidatesShown); ++i)
            message += (i > 0 ? ", " : "") + BookTextToUtf8(files[candidates[i]].pageName);
        if (candidates.size() > kMaxCandidatesShown)
            message += " and " + std::to_string(candidates.size() - kMaxCandidatesShown) + " more";
    }
    throw Exception(message + ". Name one with --home PAGE or \"home\" in book.json");
}

std::optional<std::string> HtmlTitle(std::string_view html)
{
    html = html.substr(0, kTitleSearchLength);
    const std::string lower = LowerCaseAscii(html);
    std::size_t open = 0;
    while ((open = lower.find("<title", open)) != std::string::npos) {
        const char after = open + 6 < lower.size() ? lower[open + 6] : '\0';
        if (after == '>' || after == ' ' || after == '\t' || after == '\n' || after == '\r')
            break;
        open += 6;
    }
    if (open == std::string::npos)
        return std::nullopt;
    const std::size_t start = lower.find('>', open);
    const std::size_t end = start == std::string::npos ? start : lower.find("</title", start);
    if (end == std::string::npos)
        return std::nullopt;
    const std::string_view raw = html.substr(start + 1, end - start - 1);
    const std::string utf8 = BookTextToUtf8(raw);
    std::string title = CollapseBlanks(DecodeCharacterReferences(utf8));
    if (title.empty())
        return std::nullopt;
    return title;
}
