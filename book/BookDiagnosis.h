#pragma once

#include "common/Streams.h"

#include <string>

// Why a stream holds no book the reader can load, in a few words for a person: "no trailer",
// "wrong magic ...", "damaged header", "damaged page directory", "no pages" or "no home page ...". Empty for a book
// that loads and has pages. Moves the stream's position.
std::string WhyNotABook(TStream& stream);
