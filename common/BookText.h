#pragma once

#include <optional>
#include <string>
#include <string_view>

// The container's strings (titles, description, About text, page names) are 8-bit text. Books
// from older writers hold the Windows code page of the machine that wrote them, Windows-1252 here;
// this writer keeps that encoding whenever every character fits, so such books stay byte for byte
// the same, and stores UTF-8 otherwise. A reader takes a string that is valid UTF-8 and holds at
// least one multi-byte sequence as UTF-8, anything else as Windows-1252.

// The stored string as UTF-8, by the rule above. Never fails: every byte means a character.
std::string BookTextToUtf8(std::string_view stored);

// The bytes to store for a UTF-8 text: Windows-1252 when every character fits and the bytes do not
// read back as UTF-8, else the UTF-8 itself. Nothing when the text is not valid UTF-8.
std::optional<std::string> Utf8ToBookText(std::string_view utf8);
// The text to store for one given as UTF-8: Utf8ToBookText's, else (not UTF-8) the bytes read as
// Windows-1252.
std::string StoredBookText(std::string_view utf8);

// The key under which page names match: the decoded text with letter case folded in every script,
// as UTF-8. Two stored names (or a stored name and a requested one) match exactly when their keys
// are equal, whichever encoding each was stored in.
std::string FoldedBookText(std::string_view stored);
