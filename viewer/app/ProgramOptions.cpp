#include "viewer/app/ProgramOptions.h"

#include <string_view>
#include <system_error>

namespace {

constexpr std::string_view kUsage = R"(Usage: ebook [BOOK]
       ebook --export-pdf OUT.pdf [BOOK]

Shows the electronic book BOOK. Without BOOK it shows the book that was packed into this program
itself (ebook-pack build --stub).

Options:
  --export-pdf OUT.pdf  write the whole book into one PDF file, in the order of its contents
                        (their outline too), with its header and footer, and exit; no window
                        is shown. A page that cannot be printed gets a sheet that names it
                        and the exit status is 1, the file kept
  --help                show this help and exit
  --version             show the version and exit
)";

} // namespace

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
    } else if (first == "--export-pdf") {
        if (args.size() < 2 || args.size() > 3 || args[1].empty()) {
            err << "ebook: --export-pdf needs the PDF file to write, then optionally the book\n"
                << "Try 'ebook --help'.\n";
            options.exitStatus = 2;
        } else {
            options.exportPdf = args[1];
            options.exportBook = args.size() > 2 ? args[2] : std::string();
        }
    } else if (first.size() > 2 && first.starts_with("--")) {
        err << "ebook: unknown option " << first << "\nTry 'ebook --help'. A book whose name begins with '--' "
            << "is opened as ./" << first << "\n";
        options.exitStatus = 2;
    }
    return options;
}
