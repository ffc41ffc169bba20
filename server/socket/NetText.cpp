#include "server/socket/NetText.h"

#include <algorithm>

int32_t RPos(std::string_view sub, std::string_view text, int32_t start)
{
    const auto textLength = static_cast<int32_t>(text.size());
    const auto subLength = static_cast<int32_t>(sub.size());
    if (start == -1)
        start = textLength;
    for (int32_t pos = std::min(textLength - subLength + 1, start); pos >= 1; --pos) {
        if (text.substr(static_cast<size_t>(pos - 1), sub.size()) == sub)
            return pos;
    }
    return 0;
}

void WriteToStream(TStream& stream, std::string_view text)
{
    if (!text.empty())
        stream.WriteString(text);
}

void WriteLnToStream(TStream& stream, std::string_view text)
{
    WriteToStream(stream, text);
    WriteToStream(stream, "\r\n");
}
