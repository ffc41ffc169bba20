#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

// What the command line asks of the viewer, read before anything else starts.
struct ProgramOptions {
    // The first argument: the book file to open; empty for the book appended to the program.
    std::string bookArgument;
    // Set when the program only answers --help or --version and ends with this status.
    std::optional<int> exitStatus;
};

// Answers --help and --version on out; an unknown option gets a short hint on err and status 2.
ProgramOptions ReadProgramOptions(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
