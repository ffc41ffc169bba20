#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

// The path below an extraction folder for a page name, or nothing when the name could reach
// outside the folder or does not name a file: after the leading "/" is removed it must be a
// relative path whose every part is a real name (no "", ".", ".."), with no backslash (a folder
// separator for books made on Windows) and no NUL.
std::optional<std::filesystem::path> PagePathBelow(std::string_view pageName);

// True when the path, with every symbolic link resolved, lies inside the folder.
bool StaysInside(const std::filesystem::path& folder, const std::filesystem::path& path);
