#include "common/CommandLine.h"

#include "common/AnsiText.h"

CommandLine::CommandLine(const std::vector<std::string>& args, const std::vector<OptionSpec>& specs)
{
    auto find = [&](std::string_view name) -> const OptionSpec* {
        for (const OptionSpec& known : specs) {
            if (known.name == name || (!known.shortName.empty() && known.shortName == name))
                return &known;
        }
        return nullptr;
    };
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            operands_.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const std::size_t eq = arg.find('=');
        const bool longForm = arg.starts_with("--");
        const std::string name = longForm && eq != std::string::npos ? arg.substr(0, eq) : arg;
        const OptionSpec* option = find(name);
        if (option == nullptr)
            throw EUsageError("unknown option " + name);
        std::string value;
        if (option->takesValue) {
            if (longForm && eq != std::string::npos)
                value = arg.substr(eq + 1);
            else if (i + 1 < args.size())
                value = args[++i];
            else
                throw EUsageError("option " + name + " needs a value");
        } else if (longForm && eq != std::string::npos) {
            throw EUsageError("option " + name + " takes no value");
        }
        options_[std::string(option->name)].push_back(value);
    }
}

std::optional<std::string> CommandLine::Value(std::string_view name) const
{
    // Given more than once, an option has the last value given.
    const auto found = options_.find(std::string(name));
    if (found == options_.end())
        return std::nullopt;
    return found->second.back();
}

std::vector<std::string> CommandLine::Values(std::string_view name) const
{
    const auto found = options_.find(std::string(name));
    return found == options_.end() ? std::vector<std::string>() : found->second;
}

void CommandLine::ExpectOperands(std::size_t min, std::size_t max, std::string_view what) const
{
    if (operands_.size() < min)
        throw EUsageError("missing " + std::string(what));
    if (operands_.size() > max)
        throw EUsageError("unexpected argument " + operands_[max]);
}

bool AsksForHelp(const std::vector<std::string>& args)
{
    for (const std::string& arg : args) {
        if (arg == "--")
            return false;
        if (arg == "--help" || arg == "-h")
            return true;
    }
    return false;
}

int32_t NumberOption(const CommandLine& line, std::string_view name, int32_t lowest, int32_t highest, int32_t fallback)
{
    const auto text = line.Value(name);
    if (!text)
        return fallback;
    int32_t value = 0;
    if (!TryStrToInt(*text, value) || value < lowest || value > highest)
        throw EUsageError(std::string(name) + " must be a number from " + std::to_string(lowest) + " to "
            + std::to_string(highest) + ", not '" + *text + "'");
    return value;
}
