#include "pageservice/ContentCoding.h"

#include "common/AnsiText.h"

#include <libdeflate.h>

#include <charconv>
#include <memory>
#include <optional>
#include <stdexcept>

namespace {

// Level 6: most of what the highest levels save, at a fraction of their time.
constexpr int kCompressionLevel = 6;

struct CompressorDeleter {
    void operator()(libdeflate_compressor* compressor) const { libdeflate_free_compressor(compressor); }
};

// The q value of one entry of Accept-Encoding ("gzip;q=0.5"): 1 without one, 0 for an unreadable one.
double QualityOf(std::string_view parameters)
{
    while (!parameters.empty()) {
        const std::size_t semicolon = parameters.find(';');
        const std::string_view parameter = TrimSpacesAndTabs(parameters.substr(0, semicolon));
        if (parameter.size() > 2 && (parameter[0] == 'q' || parameter[0] == 'Q') && parameter[1] == '=') {
            const std::string text(TrimSpacesAndTabs(parameter.substr(2)));
            char* end = nullptr;
            const double q = std::strtod(text.c_str(), &end);
            return end == text.c_str() ? 0.0 : q;
        }
        if (semicolon == std::string_view::npos)
            break;
        parameters.remove_prefix(semicolon + 1);
    }
    return 1.0;
}

// The client's q for the coding: its own entry's, else the "*" entry's, else none.
std::optional<double> AcceptedQuality(std::string_view acceptEncoding, std::string_view coding)
{
    std::optional<double> own;
    std::optional<double> any;
    while (!acceptEncoding.empty()) {
        const std::size_t comma = acceptEncoding.find(',');
        const std::string_view entry = TrimSpacesAndTabs(acceptEncoding.substr(0, comma));
        const std::size_t semicolon = entry.find(';');
        const std::string_view name = TrimSpacesAndTabs(entry.substr(0, semicolon));
        const double q = semicolon == std::string_view::npos ? 1.0 : QualityOf(entry.substr(semicolon + 1));
        if (AnsiSameText(name, coding) || (coding == "gzip" && AnsiSameText(name, "x-gzip")))
            own = q;
        else if (name == "*")
            any = q;
        if (comma == std::string_view::npos)
            break;
        acceptEncoding.remove_prefix(comma + 1);
    }
    return own ? own : any;
}

bool Accepts(std::string_view acceptEncoding, std::string_view coding)
{
    const auto q = AcceptedQuality(acceptEncoding, coding);
    return q && *q > 0;
}

} // namespace

bool IsCompressibleType(std::string_view contentType)
{
    std::string type(TrimSpacesAndTabs(contentType.substr(0, contentType.find(';'))));
    for (char& c : type)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    if (type.starts_with("text/"))
        return true;
    constexpr std::string_view kTypes[] = { "application/javascript", "application/x-javascript",
        "application/ecmascript", "application/json", "application/ld+json", "application/manifest+json",
        "application/xml", "application/xhtml+xml", "application/atom+xml", "application/rss+xml",
        "application/opensearchdescription+xml", "application/x-ncx+xml", "application/oebps-package+xml",
        "application/wasm", "image/svg+xml", "image/x-icon", "image/vnd.microsoft.icon", "image/bmp", "font/ttf",
        "font/otf", "application/vnd.ms-fontobject", "application/x-font-ttf" };
    for (std::string_view known : kTypes) {
        if (type == known)
            return true;
    }
    return false;
}

TContentCoding ChooseContentCoding(std::string_view acceptEncoding, bool deflateAtHand)
{
    if (TrimSpacesAndTabs(acceptEncoding).empty())
        return TContentCoding::Identity;
    const bool deflate = Accepts(acceptEncoding, "deflate");
    if (deflate && deflateAtHand)
        return TContentCoding::Deflate;
    if (Accepts(acceptEncoding, "gzip"))
        return TContentCoding::Gzip;
    return deflate ? TContentCoding::Deflate : TContentCoding::Identity;
}

std::string_view ContentCodingName(TContentCoding coding)
{
    switch (coding) {
    case TContentCoding::Deflate:
        return "deflate";
    case TContentCoding::Gzip:
        return "gzip";
    case TContentCoding::Identity:
        break;
    }
    return "identity";
}

std::string_view ContentCodingTagSuffix(TContentCoding coding)
{
    switch (coding) {
    case TContentCoding::Deflate:
        return "-df";
    case TContentCoding::Gzip:
        return "-gz";
    case TContentCoding::Identity:
        break;
    }
    return "";
}

std::string CompressBody(std::string_view body, TContentCoding coding)
{
    if (coding == TContentCoding::Identity)
        return std::string(body);
    // A compressor per thread: making one allocates its tables, which costs more than a small page.
    thread_local std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
        libdeflate_alloc_compressor(kCompressionLevel));
    if (!compressor)
        throw std::bad_alloc();
    const bool gzip = coding == TContentCoding::Gzip;
    const std::size_t bound = gzip ? libdeflate_gzip_compress_bound(compressor.get(), body.size())
                                   : libdeflate_zlib_compress_bound(compressor.get(), body.size());
    std::string compressed(bound, '\0');
    const std::size_t written = gzip
        ? libdeflate_gzip_compress(compressor.get(), body.data(), body.size(), compressed.data(), bound)
        : libdeflate_zlib_compress(compressor.get(), body.data(), body.size(), compressed.data(), bound);
    if (written == 0)
        throw std::runtime_error("Cannot compress a body of " + std::to_string(body.size()) + " bytes");
    compressed.resize(written);
    compressed.shrink_to_fit();
    return compressed;
}
