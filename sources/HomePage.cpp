#include "sources/HomePage.h"

#include "common/AnsiText.h"
#include "common/BookText.h"
#include "common/Exception.h"
#include "common/Utf8.h"

#include <algorithm>
#include <cstdlib>

namespace {

// A page's title stands near its start; the rest is not searched.
constexpr std::size_t kTitleSearchLength = 64 * 1024;
// Candidates named in the error when no home page can be chosen.
constexpr std::size_t kMaxCandidatesShown = 12;

bool IsHtmlName(std::string_view name)
{
    const std::string folded = FoldedBookText(name);
    return folded.ends_with(".htm") || folded.ends_with(".html") || folded.ends_with(".xhtml");
}

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

// "&amp;", "&#233;", "&#xE9;" and the few named references titles use.
std::string DecodeCharacterReferences(std::string_view text)
{
    static constexpr std::pair<std::string_view, std::string_view> kNamed[]
        = { { "amp", "&" }, { "lt", "<" }, { "gt", ">" }, { "quot", "\"" }, { "apos", "'" }, { "nbsp", " " },
              { "mdash", "\xE2\x80\x94" }, { "ndash", "\xE2\x80\x93" }, { "copy", "\xC2\xA9" } };
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t end = text[i] == '&' ? text.find(';', i) : std::string_view::npos;
        if (end == std::string_view::npos || end - i > 10) {
            out += text[i];
            continue;
        }
        const std::string_view name = text.substr(i + 1, end - i - 1);
        bool decoded = false;
        if (name.starts_with('#') && name.size() > 1) {
            const bool hex = name[1] == 'x' || name[1] == 'X';
            const std::string digits(name.substr(hex ? 2 : 1));
            char* rest = nullptr;
            const unsigned long code = std::strtoul(digits.c_str(), &rest, hex ? 16 : 10);
            if (!digits.empty() && *rest == '\0' && code > 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF)) {
                AppendUtf8(out, static_cast<char32_t>(code));
                decoded = true;
            }
        } else {
            for (const auto& [entity, replacement] : kNamed) {
                if (name == entity) {
                    out += replacement;
                    decoded = true;
                }
            }
        }
        if (decoded)
            i = end;
        else
            out += text[i];
    }
    return out;
}

std::string CollapseBlanks(std::string_view text)
{
    std::string out;
    bool blank = false;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f') {
            blank = !out.empty();
            continue;
        }
        if (blank)
            out += ' ';
        blank = false;
        out += c;
    }
    return out;
}

} // namespace

namespace {

constexpr std::string_view kConventionalHomePages[] = { "/index.htm", "/index.html", "/default.htm", "/default.html" };

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
        if (!IsHtmlName(files[i].pageName))
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
