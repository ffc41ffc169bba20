#pragma once

#include <string>

// The file the running program was started from, which may carry a book at its end.
std::string OwnExecutableFileName();

// Names that file when it is not the running executable: the one-file viewer runs from its
// unpacked runtime, and its launcher, the file the user started, carries the book. Called once at
// start-up, before any thread.
void SetOwnExecutableFileName(std::string fileName);
