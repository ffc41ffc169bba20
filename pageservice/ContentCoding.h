#pragma once

#include <string>
#include <string_view>

// Which content coding an answer goes out in, and the compressing.

enum class TContentCoding { Identity, Deflate, Gzip };

// Types worth compressing: text of every kind and the XML and script types browsers fetch
// (parameters such as "; charset=..." ignored).
bool IsCompressibleType(std::string_view contentType);

// The coding for a client's Accept-Encoding. A coding the client lists with q=0 (or only under a
// "*;q=0") is never chosen; among those it accepts, the order is fixed rather than by q: deflate
// when the stored zlib bytes are at hand (sent without compressing anything), then gzip, then
// deflate. Identity when the client accepts neither or sends no Accept-Encoding.
TContentCoding ChooseContentCoding(std::string_view acceptEncoding, bool deflateAtHand);

// The Content-Encoding value, and the suffix that tells the representation's ETag from the
// identity one.
std::string_view ContentCodingName(TContentCoding coding);
std::string_view ContentCodingTagSuffix(TContentCoding coding);

// The body in the coding (gzip, or deflate as a zlib stream), compressed at a level that favours
// speed; Identity gives it back as it is.
std::string CompressBody(std::string_view body, TContentCoding coding);
