#pragma once

#include "sources/BookSource.h"
#include "sources/StoredContents.h"

#include <optional>

class TBookReader;

// The pages of a loaded book file, read straight from the container (no cache; the page server
// keeps its own, TServedPages). The reader must outlive the source.
class TBookFileSource : public TBookSource {
public:
    explicit TBookFileSource(const TBookReader& reader);

    TPageLookup Lookup(std::string_view name) override;
    std::vector<std::string> PageNames() const override;
    std::string Title() const override;
    std::string HomePageName() const override;
    std::string Description() const override;
    DisplaySettings Display() const override;
    // The contents the book stores; empty for a book without them (ContentsOfSource reads its
    // home page's).
    TContents Contents() const override;
    std::optional<int> PageIndexOf(std::string_view name) const override;
    std::optional<TBookAbout> About() const override;
    bool OpensContentsAtStart() const override;
    // The name as the directory holds it, found without reading the page.
    std::optional<std::string> StoredPageName(std::string_view name) override;
    const TBookReader& Reader() const { return reader_; }

    // The directory's records and header fields.
    std::optional<TStoredRecord> StoredRecordAt(std::size_t index) const override;
    TPageLookup PageAt(std::size_t index, std::string_view name) override;
    std::string WhyUnreadable(std::size_t index, std::string_view name) override;
    std::vector<TInfoFact> InfoFacts() const override;

private:
    const TBookReader& reader_;
};

// The contents entry of the book, when it has one that reads.
std::optional<TStoredContents> StoredContentsOf(const TBookReader& reader);
