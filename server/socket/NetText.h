#pragma once

// Text helpers that the socket layer (Capture) and the HTTP layer (the request line) share.

#include "common/Streams.h"

#include <cstdint>
#include <string>
#include <string_view>

// The 1-based position of the last occurrence of sub in text that begins at or before start (-1:
// the end of text); 0 when there is none. Letter case matters.
int32_t RPos(std::string_view sub, std::string_view text, int32_t start = -1);

// Writes the bytes of text to the stream; an empty text writes nothing.
void WriteToStream(TStream& stream, std::string_view text);
// The text, then CR LF.
void WriteLnToStream(TStream& stream, std::string_view text);
