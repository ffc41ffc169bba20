#include "tools/packtool/PackTool.h"

#include "common/CommandLine.h"
#include "common/DisplayText.h"
#include "tools/packtool/PackCommand.h"

#include <exception>

namespace {

constexpr std::string_view kProgram = "ebook-pack";

void PrintGlobalHelp(std::ostream& out)
{
    out << "Usage: " << kProgram << " COMMAND [OPTIONS] [ARGS]\n\n"
        << "Builds and inspects eBook containers.\n\nCommands:\n";
    for (const PackCommand* command : PackCommands()) {
        std::string name(command->name);
        name.resize(10, ' ');
        out << "  " << name << command->summary << "\n";
    }
    out << "\nOptions:\n  -h, --help     show this help, or a command's help after the command\n"
        << "  --version      show the version\n\n"
        << "Exit status: 0 success, 1 some pages failed, 2 usage error or unusable input.\n";
}

const PackCommand* FindCommand(std::string_view name)
{
    for (const PackCommand* command : PackCommands()) {
        if (command->name == name)
            return command;
    }
    return nullptr;
}

} // namespace

std::string PackToolVersion()
{
#ifdef EBOOK_VERSION
    return std::string(kProgram) + " " + EBOOK_VERSION;
#else
    return std::string(kProgram);
#endif
}

int RunPackTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool errIsTerminal)
{
    if (args.empty()) {
        err << "Usage: " << kProgram << " COMMAND [OPTIONS] [ARGS]\n"
            << "Try '" << kProgram << " --help' for the commands.\n";
        return kExitError;
    }
    const std::string& first = args[0];
    if (first == "--help" || first == "-h" || first == "help") {
        PrintGlobalHelp(out);
        return kExitOk;
    }
    if (first == "--version") {
        out << PackToolVersion() << "\n";
        return kExitOk;
    }
    const PackCommand* command = FindCommand(first);
    if (command == nullptr) {
        err << kProgram << ": unknown command '" << first << "'\n"
            << "Try '" << kProgram << " --help' for the commands.\n";
        return kExitError;
    }
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (AsksForHelp(rest)) {
        out << command->usage;
        return kExitOk;
    }
    ToolContext context { out, err, errIsTerminal };
    try {
        return command->run(rest, context);
    } catch (const EUsageError& error) {
        err << kProgram << " " << command->name << ": " << error.Message() << "\n"
            << "Try '" << kProgram << " " << command->name << " --help' for its usage.\n";
    } catch (const Exception& error) {
        err << EscapeForTerminal(error.Message(), LineBreaks::Keep, kDisplayDescriptionLength) << "\n";
    } catch (const std::exception& error) {
        err << kProgram << ": " << EscapeForTerminal(error.what(), LineBreaks::Keep, kDisplayDescriptionLength) << "\n";
    }
    return kExitError;
}
