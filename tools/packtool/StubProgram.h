#pragma once

#include "common/Streams.h"

#include <cstdint>
#include <string>

// Raises Exception naming the file unless it is a program a book can be appended to: a build of
// the viewer, which carries the viewer's mark.
void CheckStubProgram(const std::string& fileName);

// How many bytes of the stub are the program: all of them, or, when it already carries a book,
// those before the book, so that the new book replaces the old one instead of following it.
int64_t StubProgramSize(TStream& stub);
