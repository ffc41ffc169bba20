#pragma once

#include <string_view>

// What kind of text a page name promises, from its extension (case does not matter). Search, the
// home page choice, the folder preview and the whole-book export all ask here, so that a page one
// of them reads as HTML is HTML to every other.
enum class PageKind { Html, Xhtml, PlainText, Other };
PageKind PageKindOf(std::string_view pageName);

// An HTML or XHTML page: one a browser shows as a document with links.
bool IsMarkupPage(std::string_view pageName);
