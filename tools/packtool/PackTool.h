#pragma once

#include <ostream>
#include <string>
#include <vector>

// The whole of ebook-pack behind its command line: arguments without the program name. Returns
// the exit code; nothing escapes as an exception.
int RunPackTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool errIsTerminal = false);

// The version line of --version.
std::string PackToolVersion();
