#include "viewer/app/ProgramOptions.h"

#include <algorithm>
#include <string_view>
#include <system_error>

namespace {

constexpr std::string_view kUsage = R"(Usage: ebook [BOOK]
       ebook --reading-style FILE.css [BOOK]
       ebook --export-pdf OUT.pdf [BOOK] [--all-pages]
       ebook --follow-outside FOLDER

Shows the electronic book BOOK: an eBook, an EPUB, a CHM, a ZIM archive or a folder of HTML
pages. Without BOOK it shows the book that was packed into this program itself
(ebook-pack build --stub).

Options:
  --export-pdf OUT.pdf  write the whole book into one PDF file, in the order of its contents
                        (their outline too), with its header and footer, and exit; no window
                        is shown. A page that cannot be printed gets a sheet that names it
                        and the exit status is 1, the file kept. A ZIM archive of more
                        than 3000 articles is refused (it would take hours)
  --all-pages           with --export-pdf: the HTML pages the contents do not name follow
                        theirs, in the order links reach them, each at the outline's top
  --reading-style FILE.css
                        show the book with this style sheet over its own (fonts, colours,
                        margins), for this run; EBOOK_READING_STYLE=FILE.css in the
                        environment does the same. The viewer keeps no settings between runs:
                        the Reading menu's choices last until the window closes
  --follow-outside FOLDER
                        follow the links in FOLDER that lead outside it (a tree that links
                        shared files); without it they are not read, as a downloaded folder
                        could reach any file of yours that way
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
        std::vector<std::string> rest(args.begin() + 1, args.end());
        // --all-pages may stand anywhere after --export-pdf; "./--all-pages" names a book.
        const auto allPages = std::find(rest.begin(), rest.end(), "--all-pages");
        options.allPages = allPages != rest.end();
        if (options.allPages)
            rest.erase(allPages);
        if (rest.empty() || rest.size() > 2 || rest[0].empty()) {
            err << "ebook: --export-pdf needs the PDF file to write, then optionally the book\n"
                << "Try 'ebook --help'.\n";
            options.exitStatus = 2;
        } else {
            options.exportPdf = rest[0];
            options.exportBook = rest.size() > 1 ? rest[1] : std::string();
        }
    } else if (first == "--reading-style") {
        if (args.size() < 2 || args[1].empty()) {
            err << "ebook: --reading-style needs the style sheet to read\nTry 'ebook --help'.\n";
            options.exitStatus = 2;
        } else {
            options.readingStyle = args[1];
        }
    } else if (first == "--follow-outside") {
        if (args.size() < 2 || args[1].empty()) {
            err << "ebook: --follow-outside needs the folder to show\nTry 'ebook --help'.\n";
            options.exitStatus = 2;
        } else {
            options.followOutside = true;
        }
    } else if (first.size() > 2 && first.starts_with("--")) {
        err << "ebook: unknown option " << first << "\nTry 'ebook --help'. A book whose name begins with '--' "
            << "is opened as ./" << first << "\n";
        options.exitStatus = 2;
    }
    return options;
}
