#pragma once

#include "common/CommandLine.h"
#include "common/Streams.h"

#include <cstdint>
#include <optional>
#include <string>

// Raises Exception naming the file unless it is a program a book can be appended to: a build of
// the viewer, which carries the viewer's mark.
void CheckStubProgram(const std::string& fileName);

// How many bytes of the stub are the program: all of them, or, when it already carries a book,
// those before the book, so that the new book replaces the old one instead of following it.
int64_t StubProgramSize(TStream& stub);

// The program the book goes after: --stub EXE, or with --portable the one-file viewer installed
// beside this tool (ebook-portable; in a build folder, the one in the folder above the tool's).
std::optional<std::string> ChosenStubProgram(const CommandLine& line);
