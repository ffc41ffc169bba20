#include "html/Blanks.h"

#include <utility>

namespace {

// Appends the words of `text`, each run of blanks before one made one blank; returns where the
// first word landed, npos when there was none.
std::size_t AppendWords(std::string& out, std::string_view text, bool& pendingBlank)
{
    std::size_t first = std::string::npos;
    for (std::size_t i = 0; i < text.size();) {
        if (IsHtmlBlank(text[i])) {
            pendingBlank = !out.empty();
            ++i;
            continue;
        }
        std::size_t wordEnd = i + 1;
        while (wordEnd < text.size() && !IsHtmlBlank(text[wordEnd]))
            ++wordEnd;
        if (pendingBlank)
            out += ' ';
        pendingBlank = false;
        if (first == std::string::npos)
            first = out.size();
        out.append(text.substr(i, wordEnd - i));
        i = wordEnd;
    }
    return first;
}

} // namespace

bool IsHtmlBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && IsHtmlBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsHtmlBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::size_t CollapsedText::Append(std::string_view text)
{
    return AppendWords(text_, text, pendingBlank_);
}

std::string CollapsedText::Take()
{
    pendingBlank_ = false;
    return std::exchange(text_, {});
}

std::string CollapseBlanks(std::string_view text)
{
    CollapsedText collapsed;
    collapsed.Append(text);
    return collapsed.Take();
}
