// The text decoders of the HTTP layer on arbitrary bytes: base64 credentials, URL escapes, the
// splitting of parameters and of cookie headers, and the request line.

#include "HTTPDecoders.h"
#include "Exception.h"
#include "HTTPListener.h"
#include "HTTPRequestParsing.h"
#include "StringList.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    CheckBase64(text);
    CheckUrlDecode(text);
    CheckRequestLine(text);

    TStringList params;
    DecodeParams(text, params);

    // The input's lines as a header block, as ReadHeaders leaves it.
    TStringList headers;
    headers.SetText(text);
    TStringList cookies;
    ExtractCookies(headers, cookies);
    for (int i = 0; i < headers.Count(); ++i)
        headers.Values(headers.Names(i));
    return 0;
}
