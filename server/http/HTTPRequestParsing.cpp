// The pieces of an HTTP request that are worked out from text alone. Each works on one copy of
// what it is given, in place, so that a long request costs about twice its size at most.

#include "server/http/HTTPRequestParsing.h"

#include "common/AnsiText.h"
#include "common/Exception.h"
#include "server/http/HTTPDecoders.h"
#include "server/socket/NetText.h"

#include <vector>

namespace {

// Replaces every `from` after `start`, left to right, by the `to` that is not longer than it, in
// place.
void ReplaceShorter(std::string& text, std::string_view from, std::string_view to, std::size_t start = 0)
{
    std::size_t written = start;
    std::size_t read = start;
    while (true) {
        const std::size_t hit = text.find(from, read);
        const std::size_t end = hit == std::string::npos ? text.size() : hit;
        std::char_traits<char>::move(text.data() + written, text.data() + read, end - read);
        written += end - read;
        if (hit == std::string::npos)
            break;
        std::char_traits<char>::copy(text.data() + written, to.data(), to.size());
        written += to.size();
        read = hit + from.size();
    }
    text.resize(written);
}

} // namespace

void SplitRequestLine(std::string_view line, std::string& method, std::string& target, std::string& version)
{
    const int32_t lastBlank = RPos(" ", line);
    if (lastBlank == 0)
        throw Exception("Error in parsing command.");
    version = std::string(line.substr(static_cast<size_t>(lastBlank)));
    const std::string_view rest = line.substr(0, static_cast<size_t>(lastBlank - 1));
    const size_t blank = rest.find(' ');
    method = UpperCaseAscii(blank == std::string_view::npos ? rest : rest.substr(0, blank));
    target = blank == std::string_view::npos ? std::string() : std::string(rest.substr(blank + 1));
}

void DecodeParams(const std::string& raw, TPackedStringList& params)
{
    std::string text = raw;
    ReplaceShorter(text, "%0D", "\x1b");
    ReplaceShorter(text, "%0d", "\x1b");
    ReplaceShorter(text, "%0A", "");
    ReplaceShorter(text, "%0a", "");
    URLDecodeInPlace(text);
    // Decoding comes before splitting: an encoded "&" separates entries like a literal one, and
    // an "&" ends an entry as the CR LF it stands for would.
    params.SetText(std::move(text), "&");
}

void ExtractCookies(const TPackedStringList& headers, TPackedStringList& cookies)
{
    std::size_t size = 0;
    for (const std::string_view header : headers) {
        if (header.find("Cookie=") != std::string_view::npos)
            size += header.size();
    }
    std::string text;
    text.reserve(size);
    std::vector<uint32_t> ends;
    for (const std::string_view header : headers) {
        if (header.find("Cookie=") == std::string_view::npos)
            continue;
        // One pass over the header: no ": " can span the cut after a ";", so replacing them all
        // first gives the entries that replacing in each remainder would. Cutting the remainder
        // again for every entry made a long cookie header cost quadratic time.
        const std::size_t start = text.size();
        text += header.substr(header.find('=') + 1);
        ReplaceShorter(text, ": ", "=", start);
        // Every entry but the last keeps its ";"; the blank after it starts the next entry.
        for (std::size_t semicolon = text.find(';', start); semicolon != std::string::npos;
             semicolon = text.find(';', semicolon + 1))
            ends.push_back(static_cast<uint32_t>(semicolon + 1));
        ends.push_back(static_cast<uint32_t>(text.size()));
    }
    cookies.Assign(std::move(text), std::move(ends));
}
