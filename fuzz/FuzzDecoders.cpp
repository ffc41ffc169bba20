// The text decoders of the HTTP layer on arbitrary bytes: base64 credentials, URL escapes, the
// splitting of parameters and of cookie headers, and the request line.

#include "common/AnsiText.h"
#include "common/Exception.h"
#include "common/StringList.h"
#include "server/http/HTTPDecoders.h"
#include "server/http/HTTPListener.h"
#include "server/http/HTTPRequestParsing.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

void CheckBase64(std::string_view text)
{
    const std::string decoded = TNetDecoder::Decode(text);
    if (decoded.size() > TNetDecoder::kMaxDecoded || decoded.size() > text.size())
        std::abort();
    if (text.size() >= 4) {
        try {
            const std::string unit = TNetDecoder::DecodeUnit(text.substr(0, 4));
            if (unit.empty() || unit.size() > 3 || !decoded.starts_with(unit))
                std::abort();
        } catch (const Exception&) {
            std::abort(); // four characters are always a unit
        }
    }
}

void CheckUrlDecode(std::string_view text)
{
    // Decoding never lengthens the text: an escape stands for one byte or for nothing.
    if (URLDecode(text).size() > text.size())
        std::abort();
}

void CheckRequestLine(const std::string& line)
{
    std::string method;
    std::string target;
    std::string version;
    try {
        SplitRequestLine(line, method, target, version);
    } catch (const Exception&) {
        if (line.find(' ') != std::string::npos)
            std::abort(); // only a line without a blank is refused
        return;
    }
    if (method.size() + target.size() + version.size() > line.size())
        std::abort();
}

// The cookie entries as cutting each remainder in turn gives them.
std::vector<std::string> ExpectedCookies(const TPackedStringList& headers)
{
    std::vector<std::string> cookies;
    for (const std::string_view header : headers) {
        if (header.find("Cookie=") == std::string_view::npos)
            continue;
        std::string rest(header.substr(header.find('=') + 1));
        while (rest.find(';') != std::string::npos) {
            rest = ReplaceAll(rest, ": ", "=");
            const std::size_t semicolon = rest.find(';');
            cookies.push_back(rest.substr(0, semicolon + 1));
            rest.erase(0, semicolon + 1);
        }
        cookies.push_back(ReplaceAll(rest, ": ", "="));
    }
    return cookies;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    CheckBase64(text);
    CheckUrlDecode(text);
    CheckRequestLine(text);

    // The in-place decoding gives what the plain steps, one copy each, give.
    TPackedStringList params;
    DecodeParams(text, params);
    TStringList expectedParams;
    expectedParams.SetText(
        ReplaceAll(URLDecode(ReplaceAll(
                       ReplaceAll(ReplaceAll(ReplaceAll(text, "%0D", "\x1b"), "%0d", "\x1b"), "%0A", ""), "%0a", "")),
            "&", "\r\n"));
    if (params.ToStringList().Text() != expectedParams.Text() || params.Count() != expectedParams.Count())
        std::abort();

    // The input's lines as a header block, as ReadHeaders leaves it.
    TPackedStringList headers;
    headers.SetText(text);
    TPackedStringList cookies;
    ExtractCookies(headers, cookies);
    if (cookies.ToVector() != ExpectedCookies(headers))
        std::abort();
    for (int i = 0; i < headers.Count(); ++i)
        headers.Values(headers.Names(i));
    return 0;
}
