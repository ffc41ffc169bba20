#pragma once

#include "tools/library/LibraryBook.h"

#include <functional>
#include <string>
#include <string_view>

// The library as an OPDS 1.2 acquisition feed, for e-reader apps: an Atom entry per book with
// its title, id, update time, summary, language, authors, icon and a link that downloads the
// book from ROOT/.download/NAME. Folders, which are not downloaded, are left out. Every link begins with `urlRoot` (""
// or "/prefix").

inline constexpr std::string_view kOpdsType = "application/atom+xml;profile=opds-catalog;kind=acquisition";
inline constexpr std::string_view kOpenSearchType = "application/opensearchdescription+xml";

// What a feed shows: books whose title or description holds every word of `words`, in
// `language` (IsLanguage); every book for empty ones.
struct TOpdsFilter {
    std::string words;
    std::string language;
};

// The feed. `iconType` gives the media type of the icon ROOT/.icon/NAME answers for a book.
std::string OpdsFeed(const TLibraryShelf& shelf, std::string_view urlRoot, const TOpdsFilter& filter,
    const std::function<std::string(const TLibraryBook&)>& iconType);

// The OpenSearch description that tells a client how to search the feed: ROOT/.opds?q={searchTerms}.
std::string OpenSearchDescription(std::string_view urlRoot);

// The Atom id of the book: "urn:uuid:" and the identifier the book's metadata gives when it is a
// UUID, else one made from the book's name, so that a book keeps its id as it is updated.
std::string OpdsBookId(const TLibraryBook& book);
