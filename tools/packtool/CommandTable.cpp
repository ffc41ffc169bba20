#include "tools/packtool/PackCommand.h"

#include <array>

// A new sub-command is one more file defining its PackCommand and one more line here.
std::span<const PackCommand* const> PackCommands()
{
    static const auto commands = std::to_array<const PackCommand*>({
        &kBuildCommand,
        &kInfoCommand,
        &kListCommand,
        &kExtractCommand,
        &kVerifyCommand,
        &kCheckCommand,
        &kServeCommand,
        &kSearchCommand,
        &kContentsCommand,
    });
    return commands;
}
