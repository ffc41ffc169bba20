#pragma once

#include "sources/BookSource.h"
#include "sources/SourcePage.h"

#include <string>
#include <unordered_map>
#include <vector>

// A book source over a list of pages read on demand (an EPUB's or a CHM's entries): looked up as a
// book's pages are, letter case folded in every script, the first page of a name in list order
// winning. A page whose read fails is stored but unreadable; the failure is kept as LastProblem.
class TPageListSource : public TBookSource {
public:
    TPageLookup Lookup(std::string_view name) override;
    std::vector<std::string> PageNames() const override;
    std::optional<int> PageIndexOf(std::string_view name) const override { return IndexOf(name); }
    // The name as the list holds it, found without reading the page.
    std::optional<std::string> StoredPageName(std::string_view name) override;
    // The page of the list at the index, and the name the first page of a name alike has.
    TPageLookup PageAt(std::size_t index, std::string_view name) override;

    const std::vector<SourcePage>& Pages() const { return pages_; }
    // The index of the page stored under the name (letter case ignored), or -1.
    int IndexOf(std::string_view name) const;

protected:
    // Called once by the derived source when its list is complete.
    void SetPages(std::vector<SourcePage> pages);

private:
    std::vector<SourcePage> pages_;
    std::unordered_map<std::string, int> byFoldedName_;
};
