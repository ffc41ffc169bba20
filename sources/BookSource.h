#pragma once

#include "book/BookTypes.h"
#include "sources/Contents.h"
#include "sources/PageSource.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What a book file's header says for its About box, besides the title and description.
struct TBookAbout {
    std::optional<std::string> text; // UTF-8
    std::optional<double> date; // days since 30 December 1899, the fraction the time of day
};

// A picture that stands for a book in a list of books: its bytes and their media type.
struct TBookPicture {
    std::string bytes;
    std::string type; // "image/png", "image/jpeg", ...
};

// Where a reader, a page server, search, the whole-book export and ebook-pack take a book's pages
// from: a book file, a folder of pages, an EPUB, a CHM or a ZIM archive. Pages are answered by name through Lookup; the
// rest describes the book as a whole.
class TBookSource : public TPageSource {
    // The contents a reader sees, worked out by ContentsOfSource (SourceContents.h) on first
    // asking and kept for every later one, whatever thread asks.
    friend const TContents& ContentsOfSource(TBookSource& source);
    std::mutex readerContentsLock_;
    std::optional<TContents> readerContents_; // under readerContentsLock_

public:
    // Every page name in the source's own order (a book's directory order), as Lookup takes them.
    virtual std::vector<std::string> PageNames() const = 0;
    // The book's title as UTF-8; empty for none.
    virtual std::string Title() const = 0;
    // The name of the page a reader sees first; empty for a source without pages.
    virtual std::string HomePageName() const = 0;
    // The source's own table of contents; empty where it has none. Readers ask ContentsOfSource,
    // which falls back to the home page's lists.
    virtual TContents Contents() const { return {}; }
    // The name under which the source stores the page Lookup finds for `name` (letter case
    // ignored); nothing when it finds none. By default `name` itself, found by reading the page:
    // sources that can tell without reading override it.
    virtual std::optional<std::string> StoredPageName(std::string_view name)
    {
        if (!Lookup(name).stored)
            return std::nullopt;
        return std::string(name);
    }
    // A keyword index (a CHM's .hhk) as a flat list of entries, for filtering the contents by
    // words that are no heading; empty where the source has none.
    virtual TContents Keywords() const { return {}; }
    // What the reader opened, in a word for messages and the About box: "book", "EPUB", "CHM", ...
    virtual std::string KindName() const { return "book"; }
    // The book's language as its metadata gives it ("en", "de-CH"); empty when unknown.
    virtual std::string Language() const { return {}; }
    // A line for the About box: the description, else the creators; UTF-8, empty for none.
    virtual std::string Description() const { return {}; }
    // The people the book's metadata names as its authors, UTF-8; empty when it names none.
    virtual std::vector<std::string> Authors() const { return {}; }
    // An identifier the book's metadata gives it for catalogs (a ZIM archive's UUID); empty for none.
    virtual std::string Identifier() const { return {}; }
    // The picture the book's metadata gives it for lists of books (a ZIM archive's illustration, an
    // EPUB's cover); nothing where it gives none or it cannot be read.
    virtual std::optional<TBookPicture> Picture() { return std::nullopt; }
    // How the viewer's window shows the book: a book file's own settings, else DefaultDisplay().
    // A book built without settings carries DefaultDisplay() too (DefaultBuildSettings).
    virtual DisplaySettings Display() const { return DefaultDisplay(); }

    // The window for a source that carries no design: normal, centred on the screen, 1024 by 768
    // (the screen's size at most), resizable, menu and toolbar shown, printing and the context
    // menu allowed.
    static DisplaySettings DefaultDisplay()
    {
        DisplaySettings display;
        display.sizeMode = WindowSizeMode::Normal;
        display.positionMode = WindowPositionMode::ScreenCenter;
        display.windowWidth = 1024;
        display.windowHeight = 768;
        display.resizable = true;
        display.allowPrint = true;
        display.allowContextMenu = true;
        display.showToolbar = true;
        display.showMenu = true;
        return display;
    }

    // The position in PageNames() of the page Lookup answers for the name (letter case as Lookup
    // treats it), or -1 for none; nothing where the source keeps no index of its names, whose
    // names are then matched exactly.
    virtual std::optional<int> PageIndexOf(std::string_view) const { return std::nullopt; }
    // How many articles an archive counts without listing its entries (a ZIM archive's); nothing
    // where pages are not counted so.
    virtual std::optional<uint64_t> CountedArticles() const { return std::nullopt; }
    // The about text and date a book file's header carries; nothing for a source read in place.
    virtual std::optional<TBookAbout> About() const { return std::nullopt; }
    // Whether the book asks for its contents beside the first page it shows.
    virtual bool OpensContentsAtStart() const { return false; }
    // What a source kept in a container file of its own (a book file) tells beyond its pages, for
    // ebook-pack's info, list, extract and verify; every other source keeps these defaults.

    // Where a page's record lies in the container and how many bytes it takes there.
    struct TStoredRecord {
        int64_t offset = 0;
        int64_t size = -1; // -1: the record's length cannot be read
    };
    // The record of the page at `index` in PageNames(); nothing for a source without records.
    virtual std::optional<TStoredRecord> StoredRecordAt(std::size_t /*index*/) const { return std::nullopt; }
    // The page at `index` in PageNames(), named `name` there. Lookup may never answer it: a book's
    // directory may hold /page.htm after /Page.htm, and names are found without regard to case.
    virtual TPageLookup PageAt(std::size_t /*index*/, std::string_view name) { return Lookup(name); }
    // Why the page at `index` in PageNames() cannot be read, as one line naming it; empty when the
    // source knows no more than that (a ZIM archive names the damaged entry and what is wrong).
    virtual std::string WhyUnreadable(std::size_t /*index*/, std::string_view /*name*/) { return {}; }

    // A line of `ebook-pack info` that only some kinds have: the key of its value in the JSON
    // object (empty: shown on a terminal only), its label on a terminal (empty: JSON only), the
    // text shown there, and the value as JSON text.
    struct TInfoFact {
        std::string key;
        std::string label;
        std::string text;
        std::string json;
    };
    // Such lines in the order shown; one whose key a line of every source has replaces that line
    // (a book shows its home page with the index its header gives).
    virtual std::vector<TInfoFact> InfoFacts() const { return {}; }
};
