#include "common/BookText.h"
#include "common/CommandLine.h"
#include "common/DisplayText.h"
#include "common/Exception.h"
#include "sources/OwnEntries.h"
#include "tools/packtool/BookArgument.h"
#include "tools/packtool/PackCommand.h"

#include <algorithm>

namespace {

constexpr std::string_view kUsage = R"(Usage: ebook-pack verify BOOK

Extracts every page of BOOK as the viewer would, the book's own entries (its stored contents and
search index) too, and checks that the home page exists. Exit status 1, naming each failing page,
when something cannot be served. BOOK may also be an EPUB, a CHM, a ZIM archive or a folder, read
in place (told by content); a damaged entry is named with what is wrong with it.
)";

// Why the book has no home page the viewer can show; empty when it has one.
std::string WhyNoHomePage(TBookSource& source)
{
    std::string home;
    try {
        home = source.HomePageName();
    } catch (const Exception& error) {
        return error.Message();
    }
    if (home.empty())
        return "the book names none";
    if (!source.Lookup(home).bytes)
        return BookTextToUtf8(home) + " cannot be read";
    return {};
}

int RunVerify(const std::vector<std::string>& args, ToolContext& context)
{
    const CommandLine line(args, {});
    line.ExpectOperands(1, 1, "BOOK");
    const std::string& path = line.Operands()[0];
    const TSourceArgument opened = OpenSourceArgument(path, line);
    TBookSource& source = *opened.source;
    const std::vector<std::string> names = source.PageNames();
    std::size_t damaged = 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (!source.PageAt(i, names[i]).bytes) {
            const std::string why = source.WhyUnreadable(i, names[i]);
            context.err << EscapeForTerminal(why.empty() ? "Cannot read page " + BookTextToUtf8(names[i]) : why)
                        << "\n";
            ++damaged;
        }
    }
    const std::string noHome = WhyNoHomePage(source);
    if (!noHome.empty())
        context.err << "No home page: " << EscapeForTerminal(noHome) << "\n";
    if (damaged > 0 || !noHome.empty()) {
        context.err << EscapeForTerminal(path) << ": " << damaged << " of " << names.size()
                    << " pages cannot be extracted" << (noHome.empty() ? "" : ", no home page") << "\n";
        return kExitPagesFailed;
    }
    const auto own
        = std::count_if(names.begin(), names.end(), [](const std::string& name) { return IsBookOwnEntry(name); });
    context.out << EscapeForTerminal(path) << ": all " << names.size() - static_cast<std::size_t>(own) << " pages "
                << (own > 0 ? "and the book's " + std::to_string(own) + " own entries " : "") << "extract ("
                << source.KindName() << ")\n";
    return kExitOk;
}

} // namespace

const PackCommand kVerifyCommand { "verify", "extract every page to check a book", kUsage, RunVerify };
