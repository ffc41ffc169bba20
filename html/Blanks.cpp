#include "html/Blanks.h"

bool IsHtmlBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

void AppendCollapsed(std::string& out, std::string_view text, bool& pendingBlank)
{
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
        out.append(text.substr(i, wordEnd - i));
        i = wordEnd;
    }
}

std::string CollapseBlanks(std::string_view text)
{
    std::string out;
    bool pendingBlank = false;
    AppendCollapsed(out, text, pendingBlank);
    return out;
}
