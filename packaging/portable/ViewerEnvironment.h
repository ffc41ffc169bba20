#pragma once

#include <string>

// Sets what the unpacked viewer in `runtime` needs on this machine: the file that carries the
// book (`programFile`), software drawing when the machine has no GL driver, the bundled fonts
// beside the machine's, the bundled keyboard data when the machine has none, and no outside Qt
// paths. Everything it changes is written down in EBOOK_SAVED_ENVIRONMENT, which the runtime's
// xdg-open uses to give a browser or mail program the environment the program was started with;
// `holdFd` is the descriptor that holds the runtime, which such programs need not keep.
void PrepareViewerEnvironment(const std::string& runtime, const std::string& programFile, int holdFd);
