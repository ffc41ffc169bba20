#pragma once

#include <string>

// Raises Exception naming the file unless it is a program a book can be appended to: an ELF or a
// Windows (PE) executable.
void CheckStubProgram(const std::string& fileName);
