#include "pageservice/ContentTypes.h"

#include "common/AnsiText.h"
#include "common/Utf8.h"

#include <utility>

namespace {

// Text types name their character set only where the format itself does not settle it: HTML and
// style sheets say theirs in the document or default sensibly, XHTML and XML default to UTF-8.
constexpr std::pair<std::string_view, std::string_view> kContentTypes[] {
    { "htm", "text/html" },
    { "html", "text/html" },
    { "shtml", "text/html" },
    { "xhtml", "application/xhtml+xml" },
    { "xht", "application/xhtml+xml" },
    { "css", "text/css" },
    { "js", "text/javascript" },
    { "mjs", "text/javascript" },
    { "json", "application/json" },
    { "map", "application/json" },
    { "xml", "application/xml" },
    { "xsl", "application/xml" },
    { "xslt", "application/xslt+xml" },
    { "opf", "application/oebps-package+xml" },
    { "ncx", "application/x-dtbncx+xml" },
    { "txt", "text/plain" },
    { "csv", "text/csv" },
    { "md", "text/markdown" },
    { "svg", "image/svg+xml" },
    { "png", "image/png" },
    { "apng", "image/apng" },
    { "jpg", "image/jpeg" },
    { "jpeg", "image/jpeg" },
    { "jpe", "image/jpeg" },
    { "gif", "image/gif" },
    { "webp", "image/webp" },
    { "avif", "image/avif" },
    { "bmp", "image/bmp" },
    { "ico", "image/x-icon" },
    { "tif", "image/tiff" },
    { "tiff", "image/tiff" },
    { "woff", "font/woff" },
    { "woff2", "font/woff2" },
    { "ttf", "font/ttf" },
    { "otf", "font/otf" },
    { "mp3", "audio/mpeg" },
    { "ogg", "audio/ogg" },
    { "oga", "audio/ogg" },
    { "opus", "audio/ogg" },
    { "wav", "audio/wav" },
    { "m4a", "audio/mp4" },
    { "mp4", "video/mp4" },
    { "m4v", "video/mp4" },
    { "webm", "video/webm" },
    { "ogv", "video/ogg" },
    { "pdf", "application/pdf" },
    { "wasm", "application/wasm" },
    { "vtt", "text/vtt" },
    { "flac", "audio/flac" },
    { "eot", "application/vnd.ms-fontobject" },
    { "rss", "application/rss+xml" },
    { "atom", "application/atom+xml" },
};

} // namespace

std::string_view ContentTypeForPage(std::string_view pageName)
{
    const std::size_t slash = pageName.rfind('/');
    const std::string_view leaf = slash == std::string_view::npos ? pageName : pageName.substr(slash + 1);
    const std::size_t dot = leaf.rfind('.');
    if (dot == std::string_view::npos)
        return {};
    const std::string_view extension = leaf.substr(dot + 1);
    for (const auto& [known, type] : kContentTypes) {
        if (AnsiSameText(extension, known))
            return type;
    }
    return {};
}

std::string ContentTypeForAnswer(std::string_view pageName, std::string_view bytes)
{
    std::string type(ContentTypeForPage(pageName));
    if (type.starts_with("text/") && type != "text/html" && IsMultiByteUtf8(bytes))
        type += "; charset=utf-8";
    return type;
}
