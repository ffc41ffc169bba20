#include "common/AnsiText.h"
#include "common/BookText.h"
#include "common/CommandLine.h"
#include "common/DisplayText.h"
#include "common/Exception.h"
#include "sources/OwnEntries.h"
#include "sources/SourceContents.h"
#include "sources/StoredContents.h"
#include "tools/packtool/BookArgument.h"
#include "tools/packtool/PackCommand.h"

#include <algorithm>
#include <nlohmann/json.hpp>

namespace {

constexpr std::string_view kUsage = R"(Usage: ebook-pack info BOOK [--json]

Shows what the viewer reads of BOOK: its kind, title, description, language, home page, the
number of pages and contents entries, the window it opens in; for a book file also its header
fields, and on lines of their own its stored contents (entries) and its stored search index
(bytes, version), which are not counted as pages. BOOK may also be an EPUB, a CHM, a ZIM archive
(with whether it has indexes of its own) or a folder, read in place (told by content).

Options:
  --json    one JSON object instead of text
  --follow-outside  for a folder: follow its links that lead outside it
)";

using TInfoFact = TBookSource::TInfoFact;

std::string Json(const nlohmann::json& value)
{
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string YesNo(bool value)
{
    return value ? "yes" : "no";
}

std::size_t CountEntries(const TContents& contents)
{
    std::size_t count = contents.size();
    for (const TContentsEntry& entry : contents)
        count += CountEntries(entry.children);
    return count;
}

// The home page's name, or why the viewer cannot find one.
std::string HomeText(const TBookSource& source)
{
    try {
        return BookTextToUtf8(source.HomePageName());
    } catch (const Exception& error) {
        return "none: " + error.Message();
    }
}

std::size_t ContentsEntries(TBookSource& source)
{
    try {
        return CountEntries(ContentsOfSource(source));
    } catch (const Exception&) {
        return 0; // a book whose home page cannot be found has none either
    }
}

// The contents the book stores for the viewer, when it stores them.
TInfoFact StoredContentsFact(TBookSource& source)
{
    const TPageLookup stored = source.Lookup(StoredBookText(kContentsEntryName));
    const std::optional<TStoredContents> contents
        = stored.bytes ? ParseStoredContents(*stored.bytes) : std::optional<TStoredContents>();
    if (contents) {
        const std::size_t entries = CountEntries(contents->entries);
        return { "storedContents", "Stored contents:", std::to_string(entries) + " entries",
            Json({ { "entries", entries } }) };
    }
    if (stored.stored)
        return { "storedContents", "Stored contents:", "cannot be read", Json({ { "entries", nullptr } }) };
    return { "storedContents", "Stored contents:", "(none)", "null" };
}

// The search index the book keeps: its bytes, its chunks and its version (the folder "v2").
TInfoFact StoredIndexFact(TBookSource& source, const std::vector<std::string>& names)
{
    constexpr std::string_view kFolder = "/.search-index/";
    std::size_t bytes = 0;
    std::size_t entries = 0;
    std::string version;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (!LowerCaseAscii(names[i].substr(0, std::min(names[i].size(), kFolder.size()))).starts_with(kFolder))
            continue;
        ++entries;
        if (version.empty())
            version = names[i].substr(kFolder.size(), names[i].find('/', kFolder.size()) - kFolder.size());
        if (const TPageLookup chunk = source.PageAt(i, names[i]); chunk.bytes)
            bytes += chunk.bytes->size();
    }
    if (entries == 0)
        return { "storedIndex", "Stored index:", "(none)", "null" };
    const std::string number = version.starts_with('v') ? version.substr(1) : version;
    return { "storedIndex", "Stored index:",
        std::to_string(bytes) + " bytes in " + std::to_string(entries) + (entries == 1 ? " entry" : " entries")
            + ", version " + number,
        Json({ { "bytes", bytes }, { "entries", entries }, { "version", number } }) };
}

std::string ModeText(uint8_t value, std::string_view name)
{
    return std::to_string(value) + " (" + (name.empty() ? "no effect" : std::string(name)) + ")";
}

// The window the viewer opens the book in.
std::vector<TInfoFact> DisplayFacts(const DisplaySettings& display)
{
    const auto sizeMode = static_cast<uint8_t>(display.sizeMode);
    const auto positionMode = static_cast<uint8_t>(display.positionMode);
    const nlohmann::json json = {
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
    };
    return {
        { "display", "", "", Json(json) },
        { "", "Size mode:", ModeText(sizeMode, WindowSizeModeName(display.sizeMode)), "" },
        { "", "Position mode:", ModeText(positionMode, WindowPositionModeName(display.positionMode)), "" },
        { "", "Window:",
            "left " + std::to_string(display.windowLeft) + ", top " + std::to_string(display.windowTop) + ", width "
                + std::to_string(display.windowWidth) + ", height " + std::to_string(display.windowHeight),
            "" },
        { "", "Show menu:", YesNo(display.showMenu), "" },
        { "", "Show toolbar:", YesNo(display.showToolbar), "" },
        { "", "Resizable:", YesNo(display.resizable), "" },
        { "", "Allow print:", YesNo(display.allowPrint), "" },
        { "", "Context menu:", YesNo(display.allowContextMenu), "" },
    };
}

// Every line, in order: those every source has, the source's own (replacing a line of the same
// key), the window. The title and description are kept whole for the JSON output only: a book's
// header may hold megabytes of them, and a terminal line shows 256 characters.
std::vector<TInfoFact> InfoFacts(const std::string& path, TBookSource& source, bool forJson)
{
    const std::vector<std::string> names = source.PageNames();
    const auto pages
        = std::count_if(names.begin(), names.end(), [](const std::string& name) { return !IsBookOwnEntry(name); });
    const auto shown = [&](std::string text) { return forJson ? text : CutText(text, kDisplayTextLength); };
    const std::string title = shown(source.Title());
    const std::string description = shown(source.Description());
    const std::string home = HomeText(source);
    const std::size_t contentsEntries = ContentsEntries(source);
    std::vector<TInfoFact> facts {
        { "file", "File:", path, Json(path) },
        { "kind", "Kind:", source.KindName(), Json(source.KindName()) },
        { "title", "Title:", title, Json(title) },
        { "description", "Description:", description, Json(description) },
        { "language", "Language:", source.Language(), Json(source.Language()) },
        { "homePage", "Home page:", home, Json(home) },
        { "pageCount", "Pages:", std::to_string(pages), Json(pages) },
        { "contentsEntries", "Contents entries:", std::to_string(contentsEntries), Json(contentsEntries) },
    };
    if (const TContents keywords = source.Keywords(); !keywords.empty())
        facts.push_back({ "keywords", "Keywords:", std::to_string(keywords.size()), Json(keywords.size()) });
    facts.push_back(StoredContentsFact(source));
    facts.push_back(StoredIndexFact(source, names));
    for (TInfoFact& own : source.InfoFacts()) {
        const auto same = std::find_if(
            facts.begin(), facts.end(), [&](const TInfoFact& fact) { return !own.key.empty() && fact.key == own.key; });
        if (same != facts.end())
            *same = std::move(own);
        else
            facts.push_back(std::move(own));
    }
    for (TInfoFact& window : DisplayFacts(source.Display()))
        facts.push_back(std::move(window));
    return facts;
}

int RunInfo(const std::vector<std::string>& args, ToolContext& context)
{
    const CommandLine line(args, { kFollowOutsideOption, { "--json", "", false } });
    line.ExpectOperands(1, 1, "BOOK");
    const std::string& path = line.Operands()[0];
    const TSourceArgument opened = OpenSourceArgument(path, line);
    const std::vector<TInfoFact> facts = InfoFacts(path, *opened.source, line.Has("--json"));
    if (line.Has("--json")) {
        nlohmann::json info = nlohmann::json::object();
        for (const TInfoFact& fact : facts) {
            if (!fact.key.empty())
                info[fact.key] = nlohmann::json::parse(fact.json);
        }
        context.out << EscapeC1InJson(info.dump(2, ' ', false, nlohmann::json::error_handler_t::replace)) << "\n";
        return kExitOk;
    }
    for (const TInfoFact& fact : facts) {
        if (fact.label.empty())
            continue;
        std::string padded = fact.label;
        padded.resize(20, ' ');
        // Every value may be the book's own text (a title of megabytes, a name holding ESC): one
        // short, escaped line each.
        context.out << padded << EscapeForTerminal(fact.text) << "\n";
    }
    return kExitOk;
}

} // namespace

const PackCommand kInfoCommand { "info", "show a book's header and display settings", kUsage, RunInfo };
