#include "book/DateText.h"
#include "book/OpenedBook.h"
#include "common/BookText.h"
#include "common/CommandLine.h"
#include "common/DisplayText.h"
#include "tools/packtool/BookArgument.h"
#include "tools/packtool/PackCommand.h"
#include "tools/packtool/SourceCommands.h"

#include <nlohmann/json.hpp>

namespace {

constexpr std::string_view kUsage = R"(Usage: ebook-pack info BOOK [--json]

Shows the header of BOOK as the viewer reads it: title, texts, home page and display settings.
For an EPUB, CHM, ZIM or folder (told by content): its kind, title, description, language,
home page, page count, contents entries and, for a ZIM, whether it has its own indexes.

Options:
  --json    one JSON object instead of text
)";

std::string ModeText(uint8_t value, std::string_view name)
{
    return std::to_string(value) + " (" + (name.empty() ? "no effect" : std::string(name)) + ")";
}

std::string YesNo(bool value)
{
    return value ? "yes" : "no";
}

// The home page's name, or why the viewer cannot find one.
std::string HomeText(const TBookReader& reader)
{
    try {
        return BookTextToUtf8(reader.GetHomePageName());
    } catch (const Exception& error) {
        return "none: " + error.Message();
    }
}

nlohmann::json InfoJson(const OpenedBook& book)
{
    const TBookReader& reader = book.reader;
    const DisplaySettings& display = reader.DisplaySettings();
    const auto sizeMode = static_cast<uint8_t>(display.sizeMode);
    const auto positionMode = static_cast<uint8_t>(display.positionMode);
    nlohmann::json json = {
        { "file", book.fileName },
        { "headerOffset", reader.headerOffset() },
        { "directoryOffset", reader.directoryOffset() },
        { "title", BookTextToUtf8(reader.title()) },
        { "description", BookTextToUtf8(reader.description()) },
        { "hasAboutText", reader.hasAboutText() },
        { "aboutText", BookTextToUtf8(reader.aboutText()) },
        { "hasAboutDate", reader.hasAboutDate() },
        { "aboutDate", reader.aboutDate() },
        { "homePageIndex", reader.homePageIndex() },
        { "homePage", HomeText(reader) },
        { "pageCount", reader.Pages().Count() },
        { "entryExtraMode", reader.entryExtraMode() },
        { "auxKind", reader.auxKind() },
        { "auxPageIndex", reader.auxPageIndex() },
        { "display",
            {
                { "sizeMode", sizeMode },
                { "sizeModeName", WindowSizeModeName(display.sizeMode) },
                { "positionMode", positionMode },
                { "positionModeName", WindowPositionModeName(display.positionMode) },
                { "windowLeft", display.windowLeft },
                { "windowTop", display.windowTop },
                { "windowWidth", display.windowWidth },
                { "windowHeight", display.windowHeight },
                { "showMenu", display.showMenu },
                { "showToolbar", display.showToolbar },
                { "resizable", display.resizable },
                { "allowPrint", display.allowPrint },
                { "allowContextMenu", display.allowContextMenu },
            } },
    };
    if (reader.hasAboutDate())
        json["aboutDateText"] = FormatIsoDate(reader.aboutDate());
    return json;
}

void PrintInfo(const OpenedBook& book, std::ostream& out)
{
    const TBookReader& reader = book.reader;
    const DisplaySettings& display = reader.DisplaySettings();
    auto row = [&out](std::string_view label, const std::string& value) {
        std::string padded(label);
        padded.resize(20, ' ');
        out << padded << EscapeForTerminal(value) << "\n";
    };
    row("File:", book.fileName);
    row("Header offset:", std::to_string(reader.headerOffset()));
    row("Directory offset:", std::to_string(reader.directoryOffset()));
    row("Title:", CutForDisplay(BookTextToUtf8(reader.title())));
    row("Description:", CutForDisplay(BookTextToUtf8(reader.description()), 4 * kDisplayTextLength));
    row("About text:", reader.hasAboutText() ? BookTextToUtf8(reader.aboutText()) : "(none)");
    row("About date:", reader.hasAboutDate() ? FormatIsoDate(reader.aboutDate()) : "(none)");
    row("Home page:", HomeText(reader) + " (index " + std::to_string(reader.homePageIndex()) + ")");
    row("Pages:", std::to_string(reader.Pages().Count()));
    row("Size mode:", ModeText(static_cast<uint8_t>(display.sizeMode), WindowSizeModeName(display.sizeMode)));
    row("Position mode:",
        ModeText(static_cast<uint8_t>(display.positionMode), WindowPositionModeName(display.positionMode)));
    row("Window:",
        "left " + std::to_string(display.windowLeft) + ", top " + std::to_string(display.windowTop) + ", width "
            + std::to_string(display.windowWidth) + ", height " + std::to_string(display.windowHeight));
    row("Show menu:", YesNo(display.showMenu));
    row("Show toolbar:", YesNo(display.showToolbar));
    row("Resizable:", YesNo(display.resizable));
    row("Allow print:", YesNo(display.allowPrint));
    row("Context menu:", YesNo(display.allowContextMenu));
}

int RunInfo(const std::vector<std::string>& args, ToolContext& context)
{
    const CommandLine line(args, { { "--json", "", false } });
    line.ExpectOperands(1, 1, "BOOK");
    if (const auto kind = OtherSourceKind(line.Operands()[0]))
        return InfoOfSource(line.Operands()[0], *kind, line.Has("--json"), context);
    const auto book = OpenBookArgument(line.Operands()[0]);
    if (line.Has("--json"))
        context.out << InfoJson(*book).dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
    else
        PrintInfo(*book, context.out);
    return kExitOk;
}

} // namespace

const PackCommand kInfoCommand { "info", "show a book's header and display settings", kUsage, RunInfo };
