#pragma once

#include <ostream>

// Prepares the process for the browser engine; must run before the application object exists.
// As root the engine refuses to start with its sandbox on, so the sandbox is switched off here and
// a line on note says so. Qt is told to share its graphics contexts, as the engine needs, and to
// keep no shader cache on disk (nor Mesa below it), so that the viewer writes no file.
void PrepareBrowserEngine(std::ostream& note);
