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

// What follows the first '#', empty when none does.
std::string_view FragmentOf(std::string_view target)
{
    const std::size_t hash = target.find('#');
    return hash == std::string_view::npos ? std::string_view() : target.substr(hash + 1);
}

std::string FolderOf(std::string_view pageName)
{
    return std::string(pageName.substr(0, pageName.rfind('/') + 1));
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

// The pages by name, looked up as a book is (letter case folded, the first page winning), without
// reading them: the bytes of a page found are its index, as text.
class TLinkCheck::PageNameIndex : public TPageSource {
public:
    explicit PageNameIndex(const std::vector<SourcePage>& pages)
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

// What one page gave the check: its anchors, and its links resolved as far as they can be before
// every page is read (a link's anchor needs its target read).
struct TLinkCheck::PageLinks {
    // A finding, or for MissingAnchor one to make unless the target's anchors hold the fragment.
    struct Pending {
        LinkFindingKind kind;
        std::size_t link; // in `links`
        std::string found;
        std::size_t anchorTarget = 0;
    };
    bool markup = false;
    bool cut = false;
    std::vector<LinkTarget> links;
    std::unordered_set<std::string> anchors;
    std::vector<Pending> pending; // findings and anchor checks, in link order
    std::vector<LinkFinding> external;
    std::vector<std::size_t> linked; // pages this one links to
    std::size_t checked = 0; // links within the book
};

TLinkCheck::TLinkCheck(const std::vector<SourcePage>& pages, std::string homePage)
    : homePage_(std::move(homePage))
{
    // The book's own entries (its stored contents and search index) are no pages of the author's:
    // nothing links to them and they link nowhere.
    position_.resize(pages.size(), kNotChecked);
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const std::string& name = pages[i].pageName;
        if (IsStoredContentsEntry(name) || name.starts_with(kStoredIndexFolder))
            continue;
        position_[i] = pages_.size();
        pages_.push_back(pages[i]);
    }
    read_ = std::vector<PageLinks>(pages_.size());
    for (std::size_t i = 0; i < pages_.size(); ++i)
        read_[i].markup = IsMarkupPage(pages_[i].pageName);
    index_ = std::make_unique<PageNameIndex>(pages_);
}

TLinkCheck::~TLinkCheck() = default;

bool TLinkCheck::Reads(std::size_t page) const
{
    // Whether a page is markup was told once, as the check was set up.
    const std::size_t i = position_.at(page);
    return i != kNotChecked && (read_[i].markup || IsStyleSheet(pages_[i].pageName));
}

std::optional<std::pair<std::size_t, bool>> TLinkCheck::Resolve(const std::string& request)
{
    {
        const std::lock_guard lock(resolvedLock_);
        if (const auto known = resolved_.find(request); known != resolved_.end())
            return known->second;
    }
    std::optional<std::pair<std::size_t, bool>> target;
    if (const auto found = FindPage(*index_, request)) {
        const std::size_t at = std::stoul(*found->bytes);
        target = { at, found->name != pages_[at].pageName };
    }
    const std::lock_guard lock(resolvedLock_);
    resolved_.emplace(request, target);
    return target;
}

void TLinkCheck::Read(std::size_t page, std::string_view bytes)
{
    if (!Reads(page))
        return;
    const std::size_t i = position_[page];
    PageLinks& read = read_[i];
    const DecodedText text = DecodePageText(bytes, read.markup);
    std::string base;
    if (read.markup) {
        PageLinkTargets found = LinkTargetsOfMarkup(text.utf8);
        read.links = std::move(found.links);
        base = std::move(found.base);
        read.anchors.insert(found.anchors.begin(), found.anchors.end());
        read.cut = found.cut;
    } else {
        read.links = LinkTargetsOfStyleSheet(text.utf8);
        read.cut = read.links.size() >= kMostLinksPerPage;
    }

    const std::string pageName = BookTextToUtf8(pages_[i].pageName);
    std::string folder = FolderOf(pageName);
    bool baseLeavesBook = false;
    if (!base.empty()) {
        if (HasUrlScheme(base) || base.starts_with("//"))
            baseLeavesBook = true;
        else if (auto resolvedBase = RequestPath(folder, base))
            folder = FolderOf(PercentDecodePath(*resolvedBase));
    }
    for (std::size_t n = 0; n < read.links.size(); ++n) {
        const LinkTarget& link = read.links[n];
        auto finding = [&](LinkFindingKind kind, std::string found = {}, std::size_t anchorTarget = 0) {
            return PageLinks::Pending { kind, n, std::move(found), anchorTarget };
        };
        std::string_view target = link.target;
        if (HasUrlScheme(target) || target.starts_with("//") || (baseLeavesBook && !target.starts_with('#'))) {
            if (!IsScriptOrData(target))
                read.external.push_back({ LinkFindingKind::Broken, pageName, link.target, link.where, {} });
            continue;
        }
        const std::string_view fragment = FragmentOf(target);
        std::string_view path = target.substr(0, std::min(target.find_first_of("?#"), target.size()));
        ++read.checked;
        std::size_t targetIndex = i; // a link without a path ("#part") stays on its page
        if (!path.empty()) {
            const auto request = RequestPath(folder, path);
            if (!request) {
                read.pending.push_back(finding(LinkFindingKind::LeavesBook));
                continue;
            }
            // Pages repeat the same targets (style sheets, the index, their neighbours): each
            // request is looked up once.
            const auto reached = Resolve(*request);
            if (!reached) {
                read.pending.push_back(finding(LinkFindingKind::Broken));
                continue;
            }
            targetIndex = reached->first;
            if (reached->second)
                read.pending.push_back(
                    finding(LinkFindingKind::LetterCase, BookTextToUtf8(pages_[targetIndex].pageName)));
        }
        if (targetIndex != i)
            read.linked.push_back(targetIndex);
        if (fragment.empty() || fragment == "top" || !read_[targetIndex].markup)
            continue;
        read.pending.push_back(finding(LinkFindingKind::MissingAnchor, {}, targetIndex));
    }
}

LinkReport TLinkCheck::Report()
{
    LinkReport report;
    report.pages = pages_.size();
    std::vector<bool> linked(pages_.size(), false);
    for (std::size_t i = 0; i < pages_.size(); ++i) {
        PageLinks& read = read_[i];
        report.markupPages += read.markup;
        report.styleSheets += !read.markup && IsStyleSheet(pages_[i].pageName);
        report.links += read.checked;
        report.cutPages += read.cut;
        const std::string pageName = BookTextToUtf8(pages_[i].pageName);
        for (PageLinks::Pending& pending : read.pending) {
            const LinkTarget& link = read.links[pending.link];
            if (pending.kind == LinkFindingKind::MissingAnchor) {
                const auto& anchors = read_[pending.anchorTarget].anchors;
                const std::string fragment(FragmentOf(link.target));
                if (anchors.contains(fragment) || anchors.contains(PercentDecodePath(fragment)))
                    continue;
            }
            report.findings.push_back({ pending.kind, pageName, link.target, link.where, std::move(pending.found) });
        }
        std::move(read.external.begin(), read.external.end(), std::back_inserter(report.external));
        for (const std::size_t target : read.linked)
            linked[target] = true;
    }
    for (std::size_t i = 0; i < pages_.size(); ++i) {
        const std::string folded = FoldedBookText(pages_[i].pageName);
        // The page static hosts show for a missing name: nothing links to it by design.
        if (folded == kErrorPage)
            continue;
        if (read_[i].markup && !linked[i] && folded != FoldedBookText(homePage_))
            report.findings.push_back({ LinkFindingKind::NotLinked, BookTextToUtf8(pages_[i].pageName), {}, {}, {} });
    }
    return report;
}

LinkReport CheckLinks(const std::vector<SourcePage>& pages, const std::string& homePage, TProgress* progress)
{
    TLinkCheck check(pages, homePage);
    for (std::size_t i = 0; i < pages.size(); ++i) {
        if (check.Reads(i)) {
            try {
                check.Read(i, pages[i].load());
            } catch (const Exception&) {
                // A page that cannot be read counts as holding no links.
            }
        }
        if (progress != nullptr)
            progress->Step();
    }
    return check.Report();
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
    if (summary.empty())
        summary = "no broken links";
    if (report.cutPages > 0)
        summary += "; " + std::to_string(report.cutPages)
            + (report.cutPages == 1 ? " page read to its first " : " pages read to their first ")
            + std::to_string(kMostLinksPerPage) + " links and anchors only";
    return summary;
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
        { "findings", findings }, { "pagesReadInPart", report.cutPages } };
    if (withExternal) {
        json external = json::array();
        for (const LinkFinding& link : report.external)
            external.push_back({ { "page", link.page }, { "target", link.target }, { "where", link.where } });
        result["external"] = std::move(external);
    }
    // Targets are text from pages: invalid UTF-8 is replaced rather than refused.
    return result.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}
