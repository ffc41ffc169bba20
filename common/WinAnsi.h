#pragma once

#include <optional>
#include <string>
#include <string_view>

// The container's text is Windows-1252; authors' files, the terminal and JSON are UTF-8.

// Every byte has a character (the five unassigned ones map to the C1 controls of the same value),
// so this never fails.
std::string AnsiToUtf8(std::string_view ansi);

// Nothing when the text is not valid UTF-8 or holds a character Windows-1252 lacks.
std::optional<std::string> Utf8ToAnsi(std::string_view utf8);
