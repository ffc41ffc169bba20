#pragma once

#include "sources/Contents.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct SearchHit;
struct SearchResults;

// Where each page sits in a book's contents: the titles of the entries above its own first entry
// (its breadcrumb) and that entry's title. Page names match as the book matches them, letter case
// ignored.
class TContentsPlaces {
public:
    TContentsPlaces() = default;
    explicit TContentsPlaces(const TContents& contents);

    // The titles from the top down to the entry above the page's; empty for a page at the top or
    // one the contents do not name.
    const std::vector<std::string>& Breadcrumb(std::string_view page) const;
    // The title of the page's first entry; empty when the contents do not name it.
    std::string EntryTitle(std::string_view page) const;

    // Gives the hit its breadcrumb, and its entry's title in place of a title that is empty or
    // only a file name ("ch003.xhtml").
    void Place(SearchHit& hit) const;
    // Places every hit, unless the results came with their places (SearchResults::placed).
    void Place(SearchResults& results) const;

private:
    struct Spot {
        std::string title;
        std::vector<std::string> breadcrumb;
    };
    void Walk(const TContents& contents, std::vector<std::string>& above);

    std::unordered_map<std::string, Spot> places_; // by folded page name
};

// A breadcrumb and its titles stay short whatever the contents hold (a title of megabytes, an entry
// nested millions deep would otherwise go into every search answer): at most this many titles,
// the top ones, "…" and the one just above the page, each cut to kDisplayTextLength characters.
inline constexpr std::size_t kMostBreadcrumbTitles = 12;
std::vector<std::string> BoundedBreadcrumb(const std::vector<std::string>& titles);

// Gives the hit a breadcrumb, and the title of its contents entry in place of a title that is
// empty, only a file name or a slug.
void PlaceHit(SearchHit& hit, std::vector<std::string> breadcrumb, std::string entryTitle);

// Whether a title says nothing a file name does not: empty, or one word that names a page by the
// extensions pages are read by (html/PageKind.h: "ch003.xhtml", "INDEX.SHTML", "notes.txt").
bool IsFileNameTitle(std::string_view title);

// Whether a title is a slug that site generators and converters leave in <title>: lowercase words
// joined by '-' or '_' ("the-basics", "chapter_02", "the-basics -"), or one such word beside a
// separator left dangling where an empty part was joined ("metadata -").
bool IsSlugTitle(std::string_view title);

// Whether a title names nothing its contents entry would not name better: empty, a file name or
// a slug. Search results take the entry's title instead, and title suggestions leave it out.
bool TitleNamesNothing(std::string_view title);

// The title without the blanks and separators (- _ : | . · – —) at its ends.
std::string_view WithoutDanglingSeparators(std::string_view title);

// The breadcrumb as one line: "Part III › 25. Routine Database Maintenance Tasks".
std::string BreadcrumbLine(const std::vector<std::string>& breadcrumb);
