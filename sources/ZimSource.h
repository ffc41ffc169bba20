#pragma once

#include "sources/BookSource.h"
#include "sources/NamedPageCache.h"
#include "sources/SourcePage.h"
#include "sources/ZimClusters.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zim {
class Archive;
class Item;
}

// One answer of a ZIM archive's own search or title index.
struct TZimHit {
    std::string page; // a page name of the source, "/" first
    std::string title; // UTF-8
    std::string snippet; // UTF-8 text around the words found; empty for a title suggestion
};

// A ZIM archive read in place through libzim: pages by path ("/" + the entry's path), the main
// page as home, the title, description, creator and language from its metadata, redirects
// followed (at most kMaxRedirects in a chain). Paths keep their letter case: ZIM archives hold
// pages whose paths differ only in case ("Apple" and "APPLE"). Each entry's declared size is
// checked before it is read; a damaged entry gives an Exception naming it, never a crash. Pages
// served are kept (TNamedPageCache) for the next request of the same name.
class TZimSource : public TBookSource {
public:
    static constexpr int kMaxRedirects = 32;
    // Pages read once are kept for later requests up to this many bytes.
    static constexpr std::size_t kCacheBytes = 64 * 1024 * 1024;

    // Raises Exception naming the file when libzim cannot open it as a ZIM archive.
    explicit TZimSource(const std::string& fileName);
    ~TZimSource() override;

    TPageLookup Lookup(std::string_view name) override;
    std::vector<std::string> PageNames() const override;
    std::string Title() const override;
    std::string HomePageName() const override;
    std::string KindName() const override { return "ZIM"; }
    std::string Language() const override;
    std::string Description() const override;
    // The Creator metadata.
    std::vector<std::string> Authors() const override;
    // The archive's UUID, as 8-4-4-4-12 hexadecimal digits.
    std::string Identifier() const override;
    // The 48x48 PNG illustration the archive's metadata carries.
    std::optional<TBookPicture> Picture() override;

    // The bytes of the page stored under exactly the name, redirects followed; nothing for no such
    // page. Pages are served with the type their name tells, else the engine's own sniffing (a ZIM
    // records a type per entry, but a page source answers bytes only). Raises Exception naming the entry when it is
    // damaged or breaks a bound.
    std::optional<std::string> ReadPage(std::string_view name) const;
    // The sum of the entries' declared sizes, redirects left out, and so are entries that cannot be
    // read or declare more than a page may hold or the file holds: they cost their own reads only.
    uint64_t ContentSize() const;
    // How many articles (the pages a reader is meant to see) the archive counts, without listing
    // its entries.
    uint64_t ArticleCount() const;
    std::optional<uint64_t> CountedArticles() const override { return ArticleCount(); }
    // Every page for packing, redirects with their target's size; each load raises Exception
    // naming the entry when it is damaged.
    std::vector<SourcePage> SourcePages() const;

    // Whether the archive has an index of its own that has not failed a search yet.
    bool HasFullTextIndex() const;
    bool HasTitleIndex() const;
    // Up to `limit` pages matching the words, best first, from the archive's own full-text index;
    // `total` receives the index's estimate of how many match in all. A hit that cannot be read is
    // left out. Raises Exception ("The full-text index of FILE is damaged: ...") when the index
    // cannot answer, whatever the library raised; HasFullTextIndex is false from then on.
    std::vector<TZimHit> Search(const std::string& words, int limit, int64_t* total = nullptr) const;
    // Up to `limit` pages whose titles start with or hold the text, from the title index. The
    // same for a damaged title index, and HasTitleIndex.
    std::vector<TZimHit> Suggest(const std::string& text, int limit) const;

    // The damaged entry and what is wrong with it, as ReadPage raises it.
    std::string WhyUnreadable(std::size_t index, std::string_view name) override;
    // Whether the archive has its own full-text and title indexes.
    std::vector<TInfoFact> InfoFacts() const override;

private:
    std::string Metadata(const std::string& key) const;
    // Raises Exception when reading the item would make libzim inflate or reserve more than a page
    // may hold (TZimInflation).
    void CheckItem(const zim::Item& item) const;

    std::string fileName_;
    std::unique_ptr<zim::Archive> archive_;
    TZimInflation inflation_;
    mutable std::atomic<bool> fullTextDamaged_ { false };
    mutable std::atomic<bool> titleIndexDamaged_ { false };
    TNamedPageCache cache_ { kCacheBytes };
};
