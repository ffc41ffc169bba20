#pragma once

#include "packaging/portable/PayloadFooter.h"

// Inflates the payload of the program open as `programFd` into the open folder `targetFd`,
// checking its hash and the zstd frame's own checksum on the way. Raises TLauncherError: Damaged
// when the payload is not what its footer says, UnpackFailed when a write fails.
void UnpackPayload(int programFd, const TPayloadFooter& footer, int targetFd);
