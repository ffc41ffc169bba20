#pragma once

#include "sources/BookSource.h"

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

private:
    const TBookReader& reader_;
};
