#pragma once

#include "common/Exception.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Bad arguments: the message, then a hint to the command's --help.
class EUsageError : public Exception {
public:
    using Exception::Exception;
};

struct OptionSpec {
    std::string_view name; // "--output"
    std::string_view shortName; // "-o", or empty
    bool takesValue = false;
};

// Options and operands of one command line. Options may come anywhere ("--name value",
// "--name=value", "-o value"); "--" ends them. A repeated option keeps its last value for Value
// and every value, in order, for Values.
class CommandLine {
public:
    // Raises EUsageError for an unknown option or a missing value.
    CommandLine(const std::vector<std::string>& args, const std::vector<OptionSpec>& specs);

    bool Has(std::string_view name) const { return options_.contains(std::string(name)); }
    std::optional<std::string> Value(std::string_view name) const;
    std::vector<std::string> Values(std::string_view name) const;
    const std::vector<std::string>& Operands() const { return operands_; }

    // Raises EUsageError unless the operand count is within min .. max.
    void ExpectOperands(std::size_t min, std::size_t max, std::string_view what) const;

private:
    std::map<std::string, std::vector<std::string>> options_; // every value given, in order
    std::vector<std::string> operands_;
};

// The option's whole-number value within lowest .. highest, or fallback when the option is absent.
// Raises EUsageError, in the same words for every option of every command, for anything else.
int32_t NumberOption(const CommandLine& line, std::string_view name, int32_t lowest, int32_t highest, int32_t fallback);

// "--help" or "-h" anywhere among the arguments (before "--").
bool AsksForHelp(const std::vector<std::string>& args);
