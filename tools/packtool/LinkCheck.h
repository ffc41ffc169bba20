#pragma once

#include "sources/SourcePage.h"

#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

class TProgress;

// Every internal reference of a book's HTML and CSS pages resolved as the viewer resolves a
// request (the same lookup, folders and doubled slashes included), with #anchors checked against
// the target's ids and names.

enum class LinkFindingKind { Broken, MissingAnchor, LetterCase, LeavesBook, NotLinked };

struct LinkFinding {
    LinkFindingKind kind;
    std::string page; // the page that holds the link (UTF-8), or the page nothing links to
    std::string target; // the link as written
    std::string where; // "a href", "url()", ...
    std::string found; // for LetterCase: the page the link reaches
};

struct LinkReport {
    std::size_t pages = 0;
    std::size_t markupPages = 0;
    std::size_t styleSheets = 0;
    std::size_t links = 0; // internal references checked
    std::size_t cutPages = 0; // pages read only to their first kMostLinksPerPage links or anchors
    std::vector<LinkFinding> findings; // in page order
    std::vector<LinkFinding> external; // links that leave for the web: page, target, where

    std::size_t Count(LinkFindingKind kind) const;
};

// The check built up page by page, so that a build checks the links from the bytes it packs: each
// page is read as soon as its bytes are at hand, on any thread (a page by one thread at a time), and
// the report is made once every page was read. A page never read counts as holding no links.
class TLinkCheck {
public:
    // `homePage` is the stored name of the page the book opens with, which needs no link to it.
    TLinkCheck(const std::vector<SourcePage>& pages, std::string homePage);
    ~TLinkCheck();
    TLinkCheck(const TLinkCheck&) = delete;
    TLinkCheck& operator=(const TLinkCheck&) = delete;

    // Whether the check reads pages[page] at all: the author's HTML pages and style sheets.
    bool Reads(std::size_t page) const;
    // Reads the links, base and anchors of pages[page] and resolves every link to its page.
    void Read(std::size_t page, std::string_view bytes);
    // The findings in page order, anchors checked now that every page's anchors are known.
    LinkReport Report();

private:
    struct PageLinks;
    class PageNameIndex;
    static constexpr std::size_t kNotChecked = static_cast<std::size_t>(-1);
    std::optional<std::pair<std::size_t, bool>> Resolve(const std::string& request);

    std::string homePage_;
    std::vector<SourcePage> pages_; // the author's pages, the book's own entries left out
    std::vector<std::size_t> position_; // for each page given, its place in pages_, or kNotChecked
    std::vector<PageLinks> read_;
    std::unique_ptr<PageNameIndex> index_;
    // Each request the links made: the page it reaches and whether only in other letter case.
    std::mutex resolvedLock_;
    std::unordered_map<std::string, std::optional<std::pair<std::size_t, bool>>> resolved_;
};

// Reads every HTML page and style sheet of the list once (a page that cannot be read counts as
// holding no links). `progress`, when given, steps once a page read.
LinkReport CheckLinks(const std::vector<SourcePage>& pages, const std::string& homePage, TProgress* progress = nullptr);

// "12 broken links, 1 missing anchor, ..." for the kinds found; "no broken links" when clean.
std::string LinkReportSummary(const LinkReport& report);

// One line per finding, the first `limit` of them.
void PrintLinkFindings(const LinkReport& report, std::ostream& out, std::size_t limit);

std::string LinkReportJson(const LinkReport& report, bool withExternal);
