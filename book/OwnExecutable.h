#pragma once

#include <string>

// The file the running program was started from, which may carry a book at its end.
std::string OwnExecutableFileName();
