#pragma once

#include "packaging/portable/PayloadFooter.h"

#include <string>

// Where the runtime's payload lies in the program file open as `fd` (of `size` bytes), whether a
// book follows it or not. Raises TLauncherError (damaged) when no whole payload is found.
TPayloadFooter LocatePayload(int fd, uint64_t size, const std::string& fileName);
