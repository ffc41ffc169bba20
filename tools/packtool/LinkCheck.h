#pragma once

#include "sources/SourcePage.h"

class TProgress;

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

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
    std::vector<LinkFinding> findings; // in page order
    std::vector<LinkFinding> external; // links that leave for the web: page, target, where

    std::size_t Count(LinkFindingKind kind) const;
};

// Reads every HTML page and style sheet of the list once (a page that cannot be read counts as
// holding no links). `homePage` is the stored name of the page the book opens with, which needs
// no link to it. `progress`, when given, steps once a page read.
LinkReport CheckLinks(const std::vector<SourcePage>& pages, const std::string& homePage, TProgress* progress = nullptr);

// "12 broken links, 1 missing anchor, ..." for the kinds found; "no broken links" when clean.
std::string LinkReportSummary(const LinkReport& report);

// One line per finding, the first `limit` of them.
void PrintLinkFindings(const LinkReport& report, std::ostream& out, std::size_t limit);

std::string LinkReportJson(const LinkReport& report, bool withExternal);
