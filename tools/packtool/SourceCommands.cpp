#include "tools/packtool/SourceCommands.h"

#include "common/BookText.h"
#include "common/Exception.h"
#include "html/PageText.h"
#include "search/SearchIndex.h"
#include "sources/OpenSource.h"
#include "sources/SafePath.h"
#include "sources/SourceContents.h"
#include "sources/ZimSource.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <nlohmann/json.hpp>

namespace fs = std::filesystem;

namespace {

std::string Dumped(const nlohmann::json& json)
{
    return json.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::size_t CountEntries(const TContents& contents)
{
    std::size_t count = contents.size();
    for (const TContentsEntry& entry : contents)
        count += CountEntries(entry.children);
    return count;
}

// The page's name as the operand gives it, "/" added when left out.
std::string PageOperand(const std::string& operand)
{
    return StoredBookText(operand.starts_with('/') ? operand : "/" + operand);
}

// The page named, or why there is none: not stored, or stored but unreadable.
struct ReadPage {
    bool stored = false;
    std::shared_ptr<const std::string> bytes;
};

ReadPage Read(TBookSource& source, const std::string& name)
{
    const TPageLookup lookup = source.Lookup(name);
    return { lookup.stored, lookup.bytes };
}

// The ZIM's own reason for a page that cannot be read, else a plain one.
std::string WhyUnreadable(TBookSource& source, const std::string& name)
{
    if (auto* zim = dynamic_cast<TZimSource*>(&source)) {
        try {
            zim->ReadPage(name);
        } catch (const Exception& error) {
            return error.Message();
        }
    }
    return "Cannot read page " + BookTextToUtf8(name);
}

} // namespace

std::optional<ESourceKind> OtherSourceKind(const std::string& path)
{
    std::error_code error;
    if (!fs::exists(path, error))
        return std::nullopt; // the book commands say the file cannot be opened
    const std::optional<ESourceKind> kind = DetectSourceKind(path);
    if (!kind)
        throw Exception("Invalid eBook: " + path + "\nIt is none of " + std::string(kKnownSourceKinds) + ".");
    if (*kind == ESourceKind::Book)
        return std::nullopt;
    return kind;
}

int InfoOfSource(const std::string& path, ESourceKind kind, bool json, ToolContext& context)
{
    const auto source = OpenBookSource(path, kind);
    const std::vector<std::string> names = source->PageNames();
    const TContents contents = ContentsOfSource(*source);
    nlohmann::json info = {
        { "file", path },
        { "kind", source->KindName() },
        { "title", source->Title() },
        { "description", source->Description() },
        { "language", source->Language() },
        { "homePage", BookTextToUtf8(source->HomePageName()) },
        { "pageCount", names.size() },
        { "contentsEntries", CountEntries(contents) },
    };
    if (const TContents keywords = source->Keywords(); !keywords.empty())
        info["keywords"] = keywords.size();
    if (const auto* zim = dynamic_cast<const TZimSource*>(source.get())) {
        info["fullTextIndex"] = zim->HasFullTextIndex();
        info["titleIndex"] = zim->HasTitleIndex();
    }
    if (json) {
        context.out << Dumped(info) << "\n";
        return kExitOk;
    }
    for (const auto& [key, label] : std::vector<std::pair<std::string, std::string>> { { "file", "File:" },
             { "kind", "Kind:" }, { "title", "Title:" }, { "description", "Description:" }, { "language", "Language:" },
             { "homePage", "Home page:" }, { "pageCount", "Pages:" }, { "contentsEntries", "Contents entries:" },
             { "keywords", "Keywords:" }, { "fullTextIndex", "Full-text index:" }, { "titleIndex", "Title index:" } }) {
        if (!info.contains(key))
            continue;
        std::string padded = label;
        padded.resize(20, ' ');
        const nlohmann::json& value = info[key];
        context.out << padded
                    << (value.is_string()           ? value.get<std::string>()
                               : value.is_boolean() ? (value.get<bool>() ? "yes" : "no")
                                                    : value.dump())
                    << "\n";
    }
    return kExitOk;
}

int ListSource(
    const std::string& path, ESourceKind kind, const std::vector<std::string>& pages, bool json, ToolContext& context)
{
    const auto source = OpenBookSource(path, kind);
    std::vector<std::string> names;
    bool missing = false;
    for (const std::string& operand : pages) {
        const std::string name = PageOperand(operand);
        if (!source->Lookup(name).stored) {
            context.err << "No page " << operand << " in " << path << "\n";
            missing = true;
        } else {
            names.push_back(name);
        }
    }
    if (pages.empty())
        names = source->PageNames();
    nlohmann::json entries = nlohmann::json::array();
    if (!json)
        context.out << std::setw(6) << "index" << std::setw(12) << "size"
                    << "  name\n";
    for (std::size_t i = 0; i < names.size(); ++i) {
        const ReadPage page = Read(*source, names[i]);
        const std::string name = BookTextToUtf8(names[i]);
        if (json)
            entries.push_back({ { "index", i }, { "name", name },
                { "size", page.bytes ? nlohmann::json(page.bytes->size()) : nlohmann::json(nullptr) } });
        else
            context.out << std::setw(6) << i << std::setw(12)
                        << (page.bytes ? std::to_string(page.bytes->size()) : "damaged") << "  " << name << "\n";
    }
    if (json)
        context.out << Dumped(entries) << "\n";
    return missing ? kExitPagesFailed : kExitOk;
}

int ExtractSource(const std::string& path, ESourceKind kind, const std::string& folderName,
    const std::vector<std::string>& pages, ToolContext& context)
{
    const fs::path folder = folderName;
    const auto source = OpenBookSource(path, kind);
    std::vector<std::string> names;
    bool failed = false;
    for (const std::string& operand : pages) {
        const std::string name = PageOperand(operand);
        if (!source->Lookup(name).stored) {
            context.err << "No page " << operand << " in " << path << "\n";
            failed = true;
        } else {
            names.push_back(name);
        }
    }
    if (pages.empty())
        names = source->PageNames();
    for (const std::string& stored : names) {
        const std::string name = BookTextToUtf8(stored);
        const auto relative = PagePathBelow(name);
        const fs::path target = relative ? folder / *relative : fs::path();
        if (!relative || !StaysInside(folder, target)) {
            context.err << "Refusing page " << name << ": its name would not stay inside " << folder.string() << "\n";
            failed = true;
            continue;
        }
        const ReadPage page = Read(*source, stored);
        if (!page.bytes) {
            context.err << WhyUnreadable(*source, stored) << "\n";
            failed = true;
            continue;
        }
        std::error_code error;
        fs::create_directories(target.parent_path(), error);
        std::ofstream file(target, std::ios::binary | std::ios::trunc);
        file.write(page.bytes->data(), static_cast<std::streamsize>(page.bytes->size()));
        file.close();
        if (!file) {
            context.err << "Cannot write file " << target.string() << "\n";
            failed = true;
        }
    }
    return failed ? kExitPagesFailed : kExitOk;
}

int VerifySource(const std::string& path, ESourceKind kind, ToolContext& context)
{
    const auto source = OpenBookSource(path, kind);
    const std::vector<std::string> names = source->PageNames();
    std::size_t damaged = 0;
    for (const std::string& name : names) {
        if (!Read(*source, name).bytes) {
            context.err << WhyUnreadable(*source, name) << "\n";
            ++damaged;
        }
    }
    const std::string home = source->HomePageName();
    const bool homeMissing = home.empty() || !Read(*source, home).bytes;
    if (homeMissing)
        context.err << "No home page" << (home.empty() ? "" : ": " + BookTextToUtf8(home) + " cannot be read") << "\n";
    if (damaged > 0 || homeMissing) {
        context.err << path << ": " << damaged << " of " << names.size() << " pages cannot be read"
                    << (homeMissing ? ", no home page" : "") << "\n";
        return kExitPagesFailed;
    }
    context.out << path << ": all " << names.size() << " pages read (" << source->KindName() << ")\n";
    return kExitOk;
}
