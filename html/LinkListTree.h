#pragma once

#include <string>
#include <string_view>
#include <vector>

// One item of a list of links as a page writes it (ul/ol/menu with li, dl with dt and dd): the
// first link directly in it, its own text, and the items of the lists nested in it. A dd belongs
// to the dt before it, as DocBook nests its tables of contents.
struct LinkListItem {
    std::string href; // as written, references decoded; empty for an item without a link
    std::string linkText; // the link's text, blanks collapsed
    std::string ownText; // the item's text outside nested lists, blanks collapsed
    std::vector<LinkListItem> children;
};

// A link of the page in document order, with the text it shows.
struct LinkWithText {
    std::string href;
    std::string text;
};

// What a page's markup tells about the way through a book: its nested lists of links, every link
// with its text, and the page it names as the next.
struct LinkListTree {
    // The lists that stand in no other list, grouped: lists side by side in one element (a
    // Sphinx contents under captions, say) make one group, their items in order.
    std::vector<std::vector<LinkListItem>> listGroups;
    std::vector<LinkWithText> links;
    std::string nextHref; // a <link> or <a> with rel="next"; empty when there is none
};

// Reads the lists and links of markup already decoded to UTF-8. Scripts, styles and templates
// are passed over; nesting deeper than a bound and items beyond a bound are left out, so any
// input is read in time linear in its size.
LinkListTree ReadLinkListTree(std::string_view utf8);
