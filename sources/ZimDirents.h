#pragma once

#include <string>

// libzim 8 reads a directory entry's path and title with strnlen bounded by "the bytes left less
// the extra parameter's length", a subtraction that wraps when that length (a byte of the entry)
// exceeds what is left: strnlen then reads past its buffer. Writers have stored no extra
// parameter for years, so every entry the path list points to must have its header within the
// file and an extra length of 0. Reads the pointer list and one byte of each entry once, in the
// order the writer stored them; raises Exception naming the file and the entry.
void CheckZimDirents(const std::string& fileName);
