// The pieces of an HTTP request that are worked out from text alone.

#include "HTTPRequestParsing.h"

#include "AnsiText.h"
#include "Exception.h"
#include "HTTPDecoders.h"
#include "NetText.h"

void SplitRequestLine(const std::string& line, std::string& method, std::string& target, std::string& version)
{
    const int32_t lastBlank = RPos(" ", line);
    if (lastBlank == 0)
        throw Exception("Error in parsing command.");
    version = line.substr(static_cast<size_t>(lastBlank));
    const std::string rest = line.substr(0, static_cast<size_t>(lastBlank - 1));
    const size_t blank = rest.find(' ');
    method = UpperCaseAscii(blank == std::string::npos ? rest : rest.substr(0, blank));
    target = blank == std::string::npos ? std::string() : rest.substr(blank + 1);
}

void DecodeParams(const std::string& raw, TStringList& params)
{
    std::string text = ReplaceAll(ReplaceAll(raw, "%0D", "\x1b"), "%0d", "\x1b");
    text = ReplaceAll(ReplaceAll(text, "%0A", ""), "%0a", "");
    // Decoding comes before splitting: an encoded "&" separates entries like a literal one.
    text = ReplaceAll(URLDecode(text), "&", "\r\n");
    params.SetText(text);
}

void ExtractCookies(const TStringList& headers, TStringList& cookies)
{
    for (const auto& header : headers) {
        if (header.text.find("Cookie=") == std::string::npos)
            continue;
        // One pass over the header: no ": " can span the cut after a ";", so replacing them all
        // first gives the entries that replacing in each remainder would. Cutting the remainder
        // again for every entry made a long cookie header cost quadratic time.
        const std::string rest = ReplaceAll(std::string_view(header.text).substr(header.text.find('=') + 1), ": ", "=");
        // Every entry but the last keeps its ";"; the blank after it starts the next entry.
        size_t start = 0;
        for (size_t semicolon = rest.find(';'); semicolon != std::string::npos; semicolon = rest.find(';', start)) {
            cookies.Add(rest.substr(start, semicolon + 1 - start));
            start = semicolon + 1;
        }
        cookies.Add(rest.substr(start));
    }
}
