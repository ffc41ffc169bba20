#include "tools/packtool/LinkCheck.h"

#include "common/BookText.h"
#include "common/DisplayText.h"
#include "common/Exception.h"
#include "common/PercentDecoding.h"
#include "html/PageKind.h"
#include "html/PageLinkTargets.h"
#include "html/TextEncoding.h"
#include "pageservice/PageService.h"
#include "search/StoredIndex.h"
#include "sources/LinkResolution.h"
#include "sources/StoredContents.h"
#include "tools/packtool/Progress.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <iterator>
#include <unordered_map>
#include <unordered_set>

namespace {

constexpr std::string_view kErrorPage = "/404.html";

bool IsStyleSheet(std::string_view name)
{
    return FoldedBookText(name).ends_with(".css");
}

// The pages by name, looked up as a book is (letter case folded, the first page winning), without
// reading them: the bytes of a page found are its index, as text.
class TPageNameIndex : public TPageSource {
public:
    explicit TPageNameIndex(const std::vector<SourcePage>& pages)
    {
        for (std::size_t i = 0; i < pages.size(); ++i)
            byFoldedName_.emplace(FoldedBookText(pages[i].pageName), i);
    }

    TPageLookup Lookup(std::string_view name) override
    {
        const auto found = byFoldedName_.find(FoldedBookText(name));
        if (found == byFoldedName_.end())
            return {};
        return { true, std::make_shared<const std::string>(std::to_string(found->second)) };
    }

private:
    std::unordered_map<std::string, std::size_t> byFoldedName_;
};

// Schemes that name no document to check or to list.
bool IsScriptOrData(std::string_view target)
{
    std::string scheme;
    for (char c : target.substr(0, target.find(':')))
        scheme += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return scheme == "javascript" || scheme == "data" || scheme == "about" || scheme == "blob";
}

// The path a browser requests for the link: the path resolved against the folder
// (ResolveLinkPath), non-ASCII bytes and blanks escaped as browsers do. Nothing when ".." climbs
// above the top of the book.
std::optional<std::string> RequestPath(std::string_view folder, std::string_view path)
{
    const std::optional<std::string> resolved = ResolveLinkPath(folder, path);
    if (!resolved)
        return std::nullopt;
    std::string request;
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const unsigned char c : *resolved) {
        if (c >= 0x80 || c <= 0x20 || c == '"' || c == '<' || c == '>' || c == '`') {
            request += '%';
            request += kHex[c >> 4];
            request += kHex[c & 15];
        } else {
            request += static_cast<char>(c);
        }
    }
    return request;
}

std::string FolderOf(std::string_view pageName)
{
    return std::string(pageName.substr(0, pageName.rfind('/') + 1));
}

struct ReadPage {
    std::vector<LinkTarget> links;
    std::string base;
    std::unordered_set<std::string> anchors;
    bool markup = false;
};

ReadPage ReadLinks(const SourcePage& page)
{
    ReadPage read;
    read.markup = IsMarkupPage(page.pageName);
    if (!read.markup && !IsStyleSheet(page.pageName))
        return read;
    std::string bytes;
    try {
        bytes = page.load();
    } catch (const Exception&) {
        return read;
    }
    const DecodedText text = DecodePageText(bytes, read.markup);
    if (read.markup) {
        PageLinkTargets links = LinkTargetsOfMarkup(text.utf8);
        read.links = std::move(links.links);
        read.base = std::move(links.base);
        read.anchors.insert(links.anchors.begin(), links.anchors.end());
    } else {
        read.links = LinkTargetsOfStyleSheet(text.utf8);
    }
    return read;
}

constexpr std::string_view KindName(LinkFindingKind kind)
{
    switch (kind) {
    case LinkFindingKind::Broken:
        return "broken";
    case LinkFindingKind::MissingAnchor:
        return "missing-anchor";
    case LinkFindingKind::LetterCase:
        return "letter-case";
    case LinkFindingKind::LeavesBook:
        return "leaves-book";
    case LinkFindingKind::NotLinked:
        return "not-linked";
    }
    return "";
}

} // namespace

std::size_t LinkReport::Count(LinkFindingKind kind) const
{
    std::size_t count = 0;
    for (const LinkFinding& finding : findings)
        count += finding.kind == kind;
    return count;
}

LinkReport CheckLinks(const std::vector<SourcePage>& allPages, const std::string& homePage, TProgress* progress)
{
    // The book's own entries (its stored contents and search index) are no pages of the author's:
    // nothing links to them and they link nowhere.
    std::vector<SourcePage> pages;
    pages.reserve(allPages.size());
    std::copy_if(allPages.begin(), allPages.end(), std::back_inserter(pages), [](const SourcePage& page) {
        return !IsStoredContentsEntry(page.pageName) && !page.pageName.starts_with(kStoredIndexFolder);
    });
    LinkReport report;
    report.pages = pages.size();
    std::vector<ReadPage> read;
    read.reserve(pages.size());
    for (const SourcePage& page : pages) {
        read.push_back(ReadLinks(page));
        report.markupPages += read.back().markup;
        report.styleSheets += !read.back().markup && IsStyleSheet(page.pageName);
        if (progress != nullptr)
            progress->Step();
    }
    TPageNameIndex index(pages);
    // Each request the links made: the page it reaches and whether only in other letter case.
    std::unordered_map<std::string, std::optional<std::pair<std::size_t, bool>>> resolved;
    std::vector<bool> linked(pages.size(), false);
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const std::string pageName = BookTextToUtf8(pages[i].pageName);
        std::string folder = FolderOf(pageName);
        bool baseLeavesBook = false;
        if (!read[i].base.empty()) {
            if (HasUrlScheme(read[i].base) || read[i].base.starts_with("//"))
                baseLeavesBook = true;
            else if (auto base = RequestPath(folder, read[i].base))
                folder = FolderOf(PercentDecodePath(*base));
        }
        for (const LinkTarget& link : read[i].links) {
            auto finding = [&](LinkFindingKind kind, std::string found = {}) {
                return LinkFinding { kind, pageName, link.target, link.where, std::move(found) };
            };
            std::string_view target = link.target;
            if (HasUrlScheme(target) || target.starts_with("//") || (baseLeavesBook && !target.starts_with('#'))) {
                if (!IsScriptOrData(target))
                    report.external.push_back(finding(LinkFindingKind::Broken));
                continue;
            }
            const std::size_t hash = target.find('#');
            const std::string fragment = hash == std::string_view::npos ? "" : std::string(target.substr(hash + 1));
            std::string_view path = target.substr(0, std::min(target.find_first_of("?#"), target.size()));
            ++report.links;
            std::size_t targetIndex = i; // a link without a path ("#part") stays on its page
            if (!path.empty()) {
                const auto request = RequestPath(folder, path);
                if (!request) {
                    report.findings.push_back(finding(LinkFindingKind::LeavesBook));
                    continue;
                }
                // Pages repeat the same targets (style sheets, the index, their neighbours): each
                // request is looked up once.
                auto [known, added] = resolved.try_emplace(*request);
                if (added) {
                    if (const auto found = FindPage(index, *request)) {
                        const std::size_t at = std::stoul(*found->bytes);
                        known->second = { at, found->name != pages[at].pageName };
                    }
                }
                if (!known->second) {
                    report.findings.push_back(finding(LinkFindingKind::Broken));
                    continue;
                }
                targetIndex = known->second->first;
                if (known->second->second)
                    report.findings.push_back(
                        finding(LinkFindingKind::LetterCase, BookTextToUtf8(pages[targetIndex].pageName)));
            }
            if (targetIndex != i)
                linked[targetIndex] = true;
            if (fragment.empty() || fragment == "top" || !read[targetIndex].markup)
                continue;
            const auto& anchors = read[targetIndex].anchors;
            if (!anchors.contains(fragment) && !anchors.contains(PercentDecodePath(fragment)))
                report.findings.push_back(finding(LinkFindingKind::MissingAnchor));
        }
    }
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const std::string folded = FoldedBookText(pages[i].pageName);
        // The page static hosts show for a missing name: nothing links to it by design.
        if (folded == kErrorPage)
            continue;
        if (read[i].markup && !linked[i] && folded != FoldedBookText(homePage))
            report.findings.push_back({ LinkFindingKind::NotLinked, BookTextToUtf8(pages[i].pageName), {}, {}, {} });
    }
    return report;
}

std::string LinkReportSummary(const LinkReport& report)
{
    struct Words {
        LinkFindingKind kind;
        const char* one;
        const char* many;
    };
    static constexpr Words kWords[] = {
        { LinkFindingKind::Broken, "broken link", "broken links" },
        { LinkFindingKind::MissingAnchor, "missing anchor", "missing anchors" },
        { LinkFindingKind::LetterCase, "link that matches only in letter case",
            "links that match only in letter case" },
        { LinkFindingKind::LeavesBook, "link that leaves the book by ..", "links that leave the book by .." },
        { LinkFindingKind::NotLinked, "page nothing links to", "pages nothing links to" },
    };
    std::string summary;
    for (const Words& words : kWords) {
        const std::size_t count = report.Count(words.kind);
        if (count == 0)
            continue;
        summary += (summary.empty() ? "" : ", ") + std::to_string(count) + " " + (count == 1 ? words.one : words.many);
    }
    return summary.empty() ? "no broken links" : summary;
}

void PrintLinkFindings(const LinkReport& report, std::ostream& out, std::size_t limit)
{
    for (std::size_t i = 0; i < report.findings.size() && i < limit; ++i) {
        const LinkFinding& finding = report.findings[i];
        switch (finding.kind) {
        case LinkFindingKind::Broken:
            out << "broken link: ";
            break;
        case LinkFindingKind::MissingAnchor:
            out << "missing anchor: ";
            break;
        case LinkFindingKind::LetterCase:
            out << "letter case only: ";
            break;
        case LinkFindingKind::LeavesBook:
            out << "leaves the book: ";
            break;
        case LinkFindingKind::NotLinked:
            out << "nothing links to " << EscapeForTerminal(finding.page) << "\n";
            continue;
        }
        // Names and links are the author's: escaped, so that none can drive the terminal.
        out << EscapeForTerminal(finding.page) << " -> " << EscapeForTerminal(finding.target) << " ("
            << EscapeForTerminal(finding.where) << ")";
        if (!finding.found.empty())
            out << " reaches " << EscapeForTerminal(finding.found);
        out << "\n";
    }
    if (report.findings.size() > limit)
        out << "... and " << report.findings.size() - limit << " more\n";
}

std::string LinkReportJson(const LinkReport& report, bool withExternal)
{
    using nlohmann::json;
    json findings = json::array();
    for (const LinkFinding& finding : report.findings) {
        json item { { "kind", KindName(finding.kind) }, { "page", finding.page } };
        if (finding.kind != LinkFindingKind::NotLinked) {
            item["target"] = finding.target;
            item["where"] = finding.where;
        }
        if (!finding.found.empty())
            item["reaches"] = finding.found;
        findings.push_back(std::move(item));
    }
    json counts = json::object();
    for (LinkFindingKind kind : { LinkFindingKind::Broken, LinkFindingKind::MissingAnchor, LinkFindingKind::LetterCase,
             LinkFindingKind::LeavesBook, LinkFindingKind::NotLinked })
        counts[std::string(KindName(kind))] = report.Count(kind);
    json result { { "pages", report.pages }, { "htmlPages", report.markupPages }, { "styleSheets", report.styleSheets },
        { "links", report.links }, { "externalLinks", report.external.size() }, { "counts", counts },
        { "findings", findings } };
    if (withExternal) {
        json external = json::array();
        for (const LinkFinding& link : report.external)
            external.push_back({ { "page", link.page }, { "target", link.target }, { "where", link.where } });
        result["external"] = std::move(external);
    }
    // Targets are text from pages: invalid UTF-8 is replaced rather than refused.
    return result.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}
