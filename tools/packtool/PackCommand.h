#pragma once

#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Exit codes of ebook-pack.
inline constexpr int kExitOk = 0;
inline constexpr int kExitPagesFailed = 1; // some pages could not be extracted or written; search: no match
inline constexpr int kExitError = 2; // usage errors, unreadable or invalid input

// Where a command writes; tests pass string streams.
struct ToolContext {
    std::ostream& out;
    std::ostream& err;
    bool errIsTerminal = false; // progress is shown only to a person watching
};

// One sub-command. Each lives in its own file and is listed once in CommandTable.cpp.
struct PackCommand {
    std::string_view name;
    std::string_view summary; // one line for the global help
    std::string_view usage; // the command's own --help text
    // Runs with the arguments after the command name. Raises EUsageError for bad arguments and
    // Exception for failures; both end with exit code 2.
    int (*run)(const std::vector<std::string>& args, ToolContext& context);
};

// Every command, in the order the help lists them.
std::span<const PackCommand* const> PackCommands();

extern const PackCommand kBuildCommand;
extern const PackCommand kInfoCommand;
extern const PackCommand kListCommand;
extern const PackCommand kExtractCommand;
extern const PackCommand kVerifyCommand;
extern const PackCommand kCheckCommand;
extern const PackCommand kServeCommand;
extern const PackCommand kSearchCommand;
extern const PackCommand kContentsCommand;
