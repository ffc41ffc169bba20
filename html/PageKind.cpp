#include "html/PageKind.h"

#include "common/AnsiText.h"

namespace {

bool EndsWithNoCase(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && LowerCaseAscii(text.substr(text.size() - suffix.size())) == suffix;
}

} // namespace

PageKind PageKindOf(std::string_view pageName)
{
    if (EndsWithNoCase(pageName, ".htm") || EndsWithNoCase(pageName, ".html") || EndsWithNoCase(pageName, ".shtml"))
        return PageKind::Html;
    if (EndsWithNoCase(pageName, ".xhtml") || EndsWithNoCase(pageName, ".xht"))
        return PageKind::Xhtml;
    if (EndsWithNoCase(pageName, ".txt") || EndsWithNoCase(pageName, ".text"))
        return PageKind::PlainText;
    return PageKind::Other;
}

bool IsMarkupPage(std::string_view pageName)
{
    const PageKind kind = PageKindOf(pageName);
    return kind == PageKind::Html || kind == PageKind::Xhtml;
}
