#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The steps of a "/"-separated path, with empty and "." steps dropped and each ".." taking back
// the step before it; nothing when a ".." would climb above the path's start.
std::optional<std::vector<std::string>> PathSteps(std::string_view path);
