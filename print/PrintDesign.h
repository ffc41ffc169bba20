#pragma once

#include "print/PrintOptions.h"

// The viewer's print design, for a sheet printed from the window and for the whole-book PDF alike:
// the window title and page count at the top, the address and date at the bottom, within margins
// of 0.75 inch.
TPrintOptions DesignedPrintOptions();
