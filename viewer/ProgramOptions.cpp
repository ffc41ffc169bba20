#include "ProgramOptions.h"

#include <filesystem>
#include <string_view>
#include <system_error>

namespace {

constexpr std::string_view kUsage = R"(Usage: ebook [BOOK]

Shows the electronic book BOOK. Without BOOK it shows the book that was packed into this program
itself (ebook-pack build --stub).

Options:
  --help      show this help and exit
  --version   show the version and exit
)";

} // namespace

std::string OwnExecutableFileName()
{
    std::error_code error;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string("/proc/self/exe") : path.string();
}

ProgramOptions ReadProgramOptions(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    ProgramOptions options;
    if (args.empty())
        return options;
    const std::string& first = args.front();
    if (first == "--help" || first == "-h") {
        out << kUsage;
        options.exitStatus = 0;
    } else if (first == "--version") {
        out << "ebook " << EBOOK_VERSION << "\n";
        options.exitStatus = 0;
    } else if (first.size() > 2 && first.starts_with("--")) {
        err << "ebook: unknown option " << first << "\nTry 'ebook --help'. A book whose name begins with '--' "
            << "is opened as ./" << first << "\n";
        options.exitStatus = 2;
    }
    return options;
}
