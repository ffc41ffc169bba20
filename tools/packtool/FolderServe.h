#pragma once

#include "common/CommandLine.h"
#include "pageservice/PageServerLimits.h"
#include "tools/packtool/PackCommand.h"

#include <functional>
#include <string>

// `serve SRC_DIR`: the folder's pages over HTTP as the book built from it would be served, with
// --watch every open HTML page reloading itself after a change. `waitForStop` blocks until the
// user stops the server and returns the signal.
int ServeFolder(const std::string& folder, const CommandLine& line, const TPageServerLimits& limits,
    const std::string& address, int32_t port, const std::function<int()>& waitForStop, ToolContext& context);
