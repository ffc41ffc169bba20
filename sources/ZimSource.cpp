#include "sources/ZimSource.h"

#include "book/BookFormat.h"
#include "common/BookText.h"
#include "common/Exception.h"
#include "sources/ZimDirents.h"

#include <zim/archive.h>
#include <zim/entry.h>
#include <zim/error.h>
#include <zim/item.h>
#include <zim/search.h>
#include <zim/suggestion.h>

#include <filesystem>

namespace {

std::string PageNameOf(const std::string& path)
{
    return StoredBookText("/" + path);
}

// The item a chain of redirects ends at; `step` receives the path of each entry on the way, so that
// a failure names the one that failed.
zim::Item ResolvedItem(zim::Entry entry, std::string* step = nullptr)
{
    for (int redirects = 0; entry.isRedirect(); ++redirects) {
        if (redirects == TZimSource::kMaxRedirects)
            throw Exception("more than " + std::to_string(TZimSource::kMaxRedirects) + " redirects in a chain");
        entry = entry.getRedirectEntry();
        if (step)
            *step = entry.getPath();
    }
    return entry.getItem();
}

// Whether libzim says the archive has an index; a damaged archive makes it throw, which means none.
template <class Ask> bool HasIndex(Ask ask)
{
    try {
        return ask();
    } catch (...) {
        return false;
    }
}

} // namespace

TZimSource::TZimSource(const std::string& fileName)
    : fileName_(fileName)
    , inflation_(fileName)
{
    CheckZimDirents(fileName);
    try {
        // libzim reads the cluster of its title index as it opens.
        if (const auto titles = inflation_.EntryAt('X', "listing/titleOrdered/v1"))
            if (const auto cluster = inflation_.ClusterOf(*titles))
                inflation_.CheckCluster(*cluster);
    } catch (const Exception& error) {
        throw Exception("Cannot read " + fileName + " as a ZIM archive: " + error.Message());
    }
    try {
        archive_ = std::make_unique<zim::Archive>(fileName);
    } catch (const std::exception& error) {
        throw Exception("Cannot read " + fileName + " as a ZIM archive: " + error.what());
    }
}

TZimSource::~TZimSource() = default;

void TZimSource::CheckItem(const zim::Item& item) const
{
    if (const uint64_t inflated = inflation_.InflatedThrough(item.getIndex(), kMaxPageSize);
        inflated > static_cast<uint64_t>(kMaxPageSize))
        throw Exception("lies " + std::to_string(inflated) + " bytes into its cluster, more than a page may hold");
}

std::optional<std::string> TZimSource::ReadPage(std::string_view name) const
{
    std::string path = BookTextToUtf8(name);
    if (path.starts_with('/'))
        path.erase(0, 1);
    if (path.empty())
        return std::nullopt;
    std::string step = path;
    try {
        std::optional<zim::Entry> entry;
        try {
            entry = archive_->getEntryByPath(path);
        } catch (const zim::EntryNotFound&) {
            return std::nullopt;
        }
        const zim::Item item = ResolvedItem(*entry, &step);
        CheckItem(item);
        const uint64_t size = item.getSize();
        if (size > static_cast<uint64_t>(kMaxPageSize))
            throw Exception("declares " + std::to_string(size) + " bytes, more than a page may hold");
        const auto [file, offset] = item.getDirectAccessInformation();
        if (!file.empty() && (offset > archive_->getFilesize() || size > archive_->getFilesize() - offset))
            throw Exception("lies beyond the end of the file");
        const zim::Blob blob = item.getData();
        if (blob.size() != size)
            throw Exception(
                "holds " + std::to_string(blob.size()) + " bytes, not the " + std::to_string(size) + " it declares");
        return std::string(blob.data(), blob.size());
    } catch (const Exception& error) {
        throw Exception("Damaged entry " + step + " in " + fileName_ + ": " + error.Message());
    } catch (const std::exception& error) {
        throw Exception("Damaged entry " + step + " in " + fileName_ + ": " + error.what());
    }
}

TPageLookup TZimSource::Lookup(std::string_view name)
{
    if (auto kept = cache_.Find(name))
        return { true, std::move(kept) };
    try {
        auto page = ReadPage(name);
        if (!page)
            return {};
        auto shared = std::make_shared<const std::string>(std::move(*page));
        cache_.Add(name, shared);
        return { true, std::move(shared) };
    } catch (const Exception&) {
        return { true, nullptr };
    }
}

std::vector<std::string> TZimSource::PageNames() const
{
    std::vector<std::string> names;
    try {
        names.reserve(archive_->getEntryCount());
        for (const zim::Entry& entry : archive_->iterByPath())
            names.push_back(PageNameOf(entry.getPath()));
    } catch (const std::exception& error) {
        throw Exception("Damaged entry list in " + fileName_ + ": " + error.what());
    }
    return names;
}

uint64_t TZimSource::ArticleCount() const
{
    return archive_->getArticleCount();
}

uint64_t TZimSource::ContentSize() const
{
    // Entry by entry: one that cannot be read, or that declares more than a page may hold or more
    // than the file holds past its start, is refused when it is read and costs nothing here.
    uint64_t total = 0;
    zim::entry_index_type count = 0;
    try {
        count = archive_->getEntryCount();
    } catch (const std::exception&) {
        return 0;
    }
    for (zim::entry_index_type i = 0; i < count; ++i) {
        try {
            const zim::Entry entry = archive_->getEntryByPath(i);
            if (entry.isRedirect())
                continue;
            const zim::Item item = entry.getItem();
            CheckItem(item);
            const uint64_t size = item.getSize();
            const auto [file, offset] = item.getDirectAccessInformation();
            const bool beyondFile
                = !file.empty() && (offset > archive_->getFilesize() || size > archive_->getFilesize() - offset);
            if (size <= static_cast<uint64_t>(kMaxPageSize) && !beyondFile)
                total += size;
        } catch (...) {
            // Damaged: left out, as every read of it fails.
        }
    }
    return total;
}

std::vector<SourcePage> TZimSource::SourcePages() const
{
    std::vector<SourcePage> pages;
    try {
        pages.reserve(archive_->getEntryCount());
        for (const zim::Entry& entry : archive_->iterByPath()) {
            const std::string name = PageNameOf(entry.getPath());
            const zim::Item item = ResolvedItem(entry);
            uint64_t size = 0;
            try {
                CheckItem(item);
                size = item.getSize();
            } catch (const Exception&) {
                // This entry alone is damaged: reading it says so.
            }
            pages.push_back({ name, size, [this, name] {
                                 auto bytes = ReadPage(name);
                                 if (!bytes)
                                     throw Exception("No entry " + BookTextToUtf8(name) + " in " + fileName_);
                                 return std::move(*bytes);
                             } });
        }
    } catch (const std::exception& error) {
        throw Exception("Damaged entry list in " + fileName_ + ": " + error.what());
    }
    return pages;
}

std::string TZimSource::Metadata(const std::string& key) const
{
    try {
        const zim::Item item = archive_->getMetadataItem(key);
        CheckItem(item);
        const zim::Blob blob = item.getData();
        return std::string(blob.data(), blob.size());
    } catch (const std::exception&) {
        return {};
    }
}

std::string TZimSource::Title() const
{
    const std::string title = Metadata("Title");
    return title.empty() ? std::filesystem::path(fileName_).stem().string() : title;
}

std::string TZimSource::HomePageName() const
{
    try {
        if (archive_->hasMainEntry()) {
            zim::Entry entry = archive_->getMainEntry();
            for (int redirects = 0; entry.isRedirect(); ++redirects) {
                if (redirects == kMaxRedirects)
                    return {};
                entry = entry.getRedirectEntry();
            }
            return PageNameOf(entry.getPath());
        }
        // No main page: the first page in path order.
        for (const zim::Entry& entry : archive_->iterByPath())
            return PageNameOf(entry.getPath());
    } catch (const std::exception&) {
        // A damaged main entry leaves the archive without a home page.
    }
    return {};
}

std::string TZimSource::Language() const
{
    return Metadata("Language");
}

std::string TZimSource::Description() const
{
    const std::string description = Metadata("Description");
    if (!description.empty())
        return description;
    const std::string creator = Metadata("Creator");
    return creator.empty() ? std::string() : "By " + creator;
}

std::vector<std::string> TZimSource::Authors() const
{
    std::string creator = Metadata("Creator");
    if (creator.empty())
        return {};
    return { std::move(creator) };
}

std::string TZimSource::Identifier() const
{
    try {
        return static_cast<std::string>(archive_->getUuid());
    } catch (const std::exception&) {
        return {};
    }
}

std::optional<TBookPicture> TZimSource::Picture()
{
    std::string png = Metadata("Illustration_48x48@1");
    if (png.empty())
        return std::nullopt;
    return TBookPicture { std::move(png), "image/png" };
}

bool TZimSource::HasFullTextIndex() const
{
    return !fullTextDamaged_ && HasIndex([this] { return archive_->hasFulltextIndex(); });
}

bool TZimSource::HasTitleIndex() const
{
    return !titleIndexDamaged_ && HasIndex([this] { return archive_->hasTitleIndex(); });
}

// libzim's searches throw Xapian's errors, which are no std::exception, as well as its own: any
// of them means the index is damaged.
std::vector<TZimHit> TZimSource::Search(const std::string& words, int limit, int64_t* total) const
{
    std::vector<TZimHit> hits;
    try {
        zim::Searcher searcher(*archive_);
        const zim::Search search = searcher.search(zim::Query(words));
        const zim::SearchResultSet results = search.getResults(0, limit);
        if (total)
            *total = search.getEstimatedMatches();
        for (auto it = results.begin(); it != results.end(); ++it) {
            try {
                hits.push_back({ PageNameOf(it.getPath()), it.getTitle(), it.getSnippet() });
            } catch (...) {
                // A hit the index names but cannot give: left out.
            }
        }
    } catch (const std::exception& error) {
        fullTextDamaged_ = true;
        throw Exception("The full-text index of " + fileName_ + " is damaged: " + error.what());
    } catch (...) {
        fullTextDamaged_ = true;
        throw Exception("The full-text index of " + fileName_ + " is damaged");
    }
    return hits;
}

std::vector<TZimHit> TZimSource::Suggest(const std::string& text, int limit) const
{
    std::vector<TZimHit> hits;
    try {
        zim::SuggestionSearcher searcher(*archive_);
        const zim::SuggestionSearch search = searcher.suggest(text);
        const zim::SuggestionResultSet results = search.getResults(0, limit);
        for (auto it = results.begin(); it != results.end(); ++it) {
            try {
                const zim::SuggestionItem& item = *it;
                hits.push_back({ PageNameOf(item.getPath()), item.getTitle(), {} });
            } catch (...) {
                // A title the index names but cannot give: left out.
            }
        }
    } catch (const std::exception& error) {
        titleIndexDamaged_ = true;
        throw Exception("The title index of " + fileName_ + " is damaged: " + error.what());
    } catch (...) {
        titleIndexDamaged_ = true;
        throw Exception("The title index of " + fileName_ + " is damaged");
    }
    return hits;
}

std::string TZimSource::WhyUnreadable(std::size_t /*index*/, std::string_view name)
{
    try {
        ReadPage(name);
    } catch (const Exception& error) {
        return error.Message();
    }
    return {};
}

std::vector<TBookSource::TInfoFact> TZimSource::InfoFacts() const
{
    const auto yesNo = [](bool value) {
        return std::pair<std::string, std::string>(value ? "yes" : "no", value ? "true" : "false");
    };
    const auto [fullText, fullTextJson] = yesNo(HasFullTextIndex());
    const auto [titles, titlesJson] = yesNo(HasTitleIndex());
    return { { "fullTextIndex", "Full-text index:", fullText, fullTextJson },
        { "titleIndex", "Title index:", titles, titlesJson } };
}
