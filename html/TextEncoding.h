#pragma once

#include <string>
#include <string_view>

// How a page's bytes were decoded, for tests and diagnostics.
enum class TextEncodingSource { ByteOrderMark, XmlDeclaration, MetaCharset, ValidUtf8, WindowsFallback };

struct DecodedText {
    std::string utf8; // well-formed UTF-8 with no C0 controls but tab and line ends
    std::string encoding; // the canonical name used: "utf-8", "windows-1252", "utf-16le", or a declared one
    TextEncodingSource source = TextEncodingSource::ValidUtf8;
};

// Decodes a page the way a browser would pick its encoding: a byte order mark first, then (for
// markup) the XML declaration's encoding and a <meta> charset near the start, then UTF-8 when the
// bytes are valid UTF-8, else Windows-1252. Labels that name Latin-1 or ASCII mean Windows-1252,
// as browsers treat them; other declared encodings go through the system's converter, and one it
// does not know is ignored.
DecodedText DecodePageText(std::string_view bytes, bool isMarkup);

// The encoding a <meta> element or XML declaration names within the first bytes of a page, as
// written and lower-cased; empty when there is none.
std::string DeclaredEncoding(std::string_view bytes, TextEncodingSource& source);
