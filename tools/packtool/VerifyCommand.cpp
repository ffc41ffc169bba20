#include "book/OpenedBook.h"
#include "common/BookText.h"
#include "common/CommandLine.h"
#include "tools/packtool/BookArgument.h"
#include "tools/packtool/PackCommand.h"
#include "tools/packtool/SourceCommands.h"

namespace {

constexpr std::string_view kUsage = R"(Usage: ebook-pack verify BOOK

Extracts every page of BOOK as the viewer would and checks that the home page exists.
Exit status 1, naming each failing page, when something cannot be served. An EPUB, CHM, ZIM or
folder has every page read from it, each damaged entry named.
)";

int RunVerify(const std::vector<std::string>& args, ToolContext& context)
{
    const CommandLine line(args, {});
    line.ExpectOperands(1, 1, "BOOK");
    if (const auto kind = OtherSourceKind(line.Operands()[0]))
        return VerifySource(line.Operands()[0], *kind, context);
    const auto book = OpenBookArgument(line.Operands()[0]);
    TBookReader& reader = book->reader;
    int damaged = 0;
    for (int i = 0; i < reader.Pages().Count(); ++i) {
        TMemoryStream page;
        if (!reader.ExtractPageAt(i, page)) {
            context.err << "Cannot extract page " << BookTextToUtf8(reader.Pages()[i]) << " (index " << i << ")\n";
            ++damaged;
        }
    }
    bool homeMissing = false;
    try {
        reader.GetHomePageName();
    } catch (const Exception& error) {
        context.err << "No home page: homePageIndex " << reader.homePageIndex() << ": " << error.Message() << "\n";
        homeMissing = true;
    }
    if (damaged > 0 || homeMissing) {
        context.err << book->fileName << ": " << damaged << " of " << reader.Pages().Count()
                    << " pages cannot be extracted" << (homeMissing ? ", no home page" : "") << "\n";
        return kExitPagesFailed;
    }
    context.out << book->fileName << ": all " << reader.Pages().Count() << " pages extract\n";
    return kExitOk;
}

} // namespace

const PackCommand kVerifyCommand { "verify", "extract every page to check a book", kUsage, RunVerify };
