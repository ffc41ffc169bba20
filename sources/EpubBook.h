#pragma once

#include "sources/EpubSource.h"
#include "sources/PageListSource.h"

#include <mutex>
#include <string>
#include <unordered_set>

// An EPUB 2 or 3 read in place: each page inflated from the zip when asked for, nothing written
// to disk, with the bounds the conversion has (TZipArchive's). The pages and home page are those
// the conversion would pack: every file but the packaging ones, and the contents page written
// from the navigation, which is the home page.
class TEpubBook : public TPageListSource {
public:
    // Raises Exception naming the file when it cannot be read as an EPUB or breaks a bound.
    explicit TEpubBook(const std::string& fileName);

    std::string Title() const override;
    std::string HomePageName() const override;
    TContents Contents() const override;
    // The spine's pages in order (ReadingPages.h); the contents page and the navigation document
    // are navigation pages; the book opens on the spine's first page that is no navigation page.
    std::vector<std::string> SpinePageNames() const;
    bool IsNavigationPage(std::string_view name) const;
    // Navigation pages and the EPUB's own table-of-contents documents (EpubSource.h).
    bool IsLeftOutOfSearch(std::string_view name) const;
    std::string OpeningPageName() const;
    std::string KindName() const override { return "EPUB"; }
    std::string Language() const override;
    std::string Description() const override;
    // The package's creators.
    std::vector<std::string> Authors() const override;
    // The cover image the package names, when it is a picture of a type its name tells.
    std::optional<TBookPicture> Picture() override;

private:
    std::string fileName_;
    TEpubSource epub_;
    // The folded names of the pages search leaves out, found when search first asks.
    mutable std::once_flag leftOutFound_;
    mutable std::unordered_set<std::string> leftOut_;
};
