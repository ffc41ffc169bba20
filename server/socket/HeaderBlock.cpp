#include "server/socket/HeaderBlock.h"

#include "common/Exception.h"

#include <cstring>
#include <vector>

namespace {

bool IsContinuation(std::string_view line)
{
    return !line.empty() && (line[0] == '\t' || line[0] == ' ');
}

// Blanks and control characters, as Trim removes them.
bool IsTrimmed(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

} // namespace

void ParseHeaderBlock(std::string& block, std::string_view lineEnd, TPackedStringList& headers)
{
    // Calls visit(line) for each line but the final empty one, in order; the lines are views of
    // the block as it was read, whatever visit writes before them.
    const auto forEachLine = [&](const auto& visit) {
        std::size_t start = 0;
        while (!lineEnd.empty()) {
            const std::size_t end = std::string_view(block).find(lineEnd, start);
            if (end == std::string_view::npos || end == start)
                break;
            visit(std::string_view(block).substr(start, end - start));
            start = end + lineEnd.size();
        }
    };
    std::size_t count = 0;
    forEachLine([&](std::string_view) { ++count; });
    if (count > 0 && IsContinuation(std::string_view(block))) {
        headers.Clear();
        forEachLine([&](std::string_view line) { headers.Add(line); });
        throw EListError("List index out of bounds (-1)");
    }

    // Every entry is written over the bytes it came from: it is never longer than its lines were,
    // and each line is read before anything is written over it.
    char* const out = block.data();
    std::size_t written = 0;
    std::vector<uint32_t> ends;
    ends.reserve(count);
    forEachLine([&](std::string_view line) {
        const char* const from = line.data();
        if (!IsContinuation(line)) {
            const std::size_t colon = line.find(": ");
            if (colon == std::string_view::npos) {
                std::memmove(out + written, from, line.size());
                written += line.size();
            } else {
                std::memmove(out + written, from, colon);
                out[written + colon] = '=';
                std::memmove(out + written + colon + 1, from + colon + 2, line.size() - colon - 2);
                written += line.size() - 1;
            }
            ends.push_back(static_cast<uint32_t>(written));
            return;
        }
        std::size_t first = 0;
        std::size_t last = line.size();
        // TABs become blanks before trimming; both are trimmed alike.
        while (first < last && IsTrimmed(line[first]))
            ++first;
        while (last > first && IsTrimmed(line[last - 1]))
            --last;
        out[written++] = ' ';
        for (std::size_t i = first; i < last; ++i)
            out[written++] = line[i] == '\t' ? ' ' : line[i];
        ends.back() = static_cast<uint32_t>(written);
    });
    block.resize(written);
    headers.Assign(std::move(block), std::move(ends));
}
