#pragma once

#include <string>
#include <string_view>

// The media type a page is sent with, from its name's extension (letter case ignored): the one
// table of types for every server of pages. Today's engines refuse SVG images, module scripts and
// strict style sheets without the right type, and parse XHTML as HTML in a legacy encoding; a type
// from the bytes is left to the engine only for extensions the table does not know, which get an
// empty text (no Content-Type header).
std::string_view ContentTypeForPage(std::string_view pageName);

// The type for an answer: ContentTypeForPage, and for text types other than HTML (which says its
// own encoding) "; charset=utf-8" when the bytes are UTF-8 with at least one multi-byte sequence,
// since without it an engine reads them in a legacy code page.
std::string ContentTypeForAnswer(std::string_view pageName, std::string_view bytes);
