#pragma once

#include <cstddef>
#include <optional>
#include <set>
#include <vector>

// The order in which a whole book is read on paper: the home page first, then the pages its links
// reach, depth first in the order the links stand, then the pages no link reaches, in directory
// order. Each page comes once. Pages are the book's directory indices; only those given as pages
// are placed, so pictures, style sheets and scripts that links reach are passed over.
//
// The links of a page are known only once it is loaded: Next gives a page, the caller loads it
// and tells its links through Follow before asking for the next.
class TReadingOrder {
public:
    struct TPlaced {
        int Page = -1;
        // The position in the order of the page whose link reached this one; -1 for the home page
        // and the pages no link reaches.
        int Parent = -1;
    };

    // pages: the book's pages in directory order; home: the home page, placed first whether or not
    // it is among them.
    TReadingOrder(std::vector<int> pages, int home);
    // The order of pages that come after others already read: first those the links of the
    // others reach (links in the order they stand, each followed depth first), then the rest.
    TReadingOrder(std::vector<int> pages, const std::vector<int>& linkedBefore);

    // The next page, or nothing once every page is placed.
    std::optional<TPlaced> Next();
    // The pages the last page given by Next links to, in the order its links stand.
    void Follow(const std::vector<int>& linked);

    const std::vector<TPlaced>& Placed() const { return placed_; }
    // How many pages the order will hold.
    std::size_t Total() const { return pages_.size(); }

private:
    std::vector<int> pages_;
    std::set<int> isPage_;
    std::set<int> placedPages_;
    // Pages reached but not placed yet; the top is the next.
    std::vector<TPlaced> reached_;
    std::vector<TPlaced> placed_;
    std::size_t nextUnreached_ = 0;
};
