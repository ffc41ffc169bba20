#include "tools/library/Library.h"

#include "pageservice/ServedPages.h"
#include "search/SourceSearch.h"
#include "sources/SourceKind.h"
#include "tools/library/LibraryNames.h"
#include "tools/library/LinePrefixStream.h"
#include "tools/packtool/BookArgument.h"
#include "tools/packtool/ServeSearch.h"

#include <algorithm>
#include <cstdio>
#include <sys/stat.h>

namespace {

// Each book file's share of a budget: at least this much, so that a library of many books still
// serves a page without waiting on every other book's.
constexpr std::size_t kLeastShareBytes = std::size_t(4) << 20;

std::size_t ShareOf(std::size_t total, std::size_t books, std::size_t least)
{
    return std::max(total / std::max<std::size_t>(books, 1), std::min(total, least));
}

// The opened source with its folder watch: the watch goes first.
struct OpenedSource {
    TSourceArgument argument;
};

// A book file's shared pages with the source whose reader they read: the pages go first.
struct SharedPages {
    SharedPages(std::shared_ptr<TBookSource> book, const TBookReader& reader, std::size_t budget, std::size_t cache)
        : source(std::move(book))
        , pages(reader, budget, cache)
    {
        // Sent as they are stored to browsers that accept deflate.
        pages.KeepStoredBytes(true);
    }
    std::shared_ptr<TBookSource> source;
    TServedPages pages;
};

// A book's search with the source it reads and the stream its findings go to: the search goes first.
struct BookSearch {
    BookSearch(std::shared_ptr<TBookSource> book, std::ostream& err, const std::string& path)
        : source(std::move(book))
        , notes(err, path + ": ")
        , search(*source, notes)
    {
    }
    std::shared_ptr<TBookSource> source;
    TLinePrefixStream notes;
    TServedSearch search;
};

} // namespace

std::string FileVersion(const struct stat& status)
{
    char text[96];
    std::snprintf(text, sizeof text, "%llx-%llx-%llx-%llx", static_cast<unsigned long long>(status.st_dev),
        static_cast<unsigned long long>(status.st_ino), static_cast<unsigned long long>(status.st_size),
        static_cast<unsigned long long>(status.st_mtim.tv_sec) * 1000000000ULL
            + static_cast<unsigned long long>(status.st_mtim.tv_nsec));
    return text;
}

TLibrary::TLibrary(TLibrarySettings settings, std::ostream& err)
    : settings_(settings)
    , err_(err)
    , shelf_(std::make_shared<const TLibraryShelf>())
{
}

TLibrary::~TLibrary()
{
    Stop();
}

std::shared_ptr<const TLibraryShelf> TLibrary::Shelf() const
{
    const std::lock_guard<std::mutex> guard(lock_);
    return shelf_;
}

std::shared_ptr<const TLibraryBook> TLibrary::Book(std::string_view name) const
{
    const std::shared_ptr<const TLibraryShelf> shelf = Shelf();
    const auto found = std::lower_bound(shelf->begin(), shelf->end(), name,
        [](const std::shared_ptr<const TLibraryBook>& book, std::string_view wanted) { return book->name < wanted; });
    return found != shelf->end() && (*found)->name == name ? *found : nullptr;
}

std::shared_ptr<const TLibraryBook> TLibrary::BookAt(const std::string& path) const
{
    const std::lock_guard<std::mutex> guard(lock_);
    const auto found = byPath_.find(path);
    return found != byPath_.end() ? found->second : nullptr;
}

std::shared_ptr<TLibraryBook> TLibrary::Open(const std::string& path, const CommandLine& line)
{
    struct stat status { };
    const bool known = ::stat(path.c_str(), &status) == 0;
    auto opened = std::make_shared<OpenedSource>();
    // The folder options of the line are a folder's alone: a book file among the paths takes none.
    const CommandLine noOptions({}, {});
    opened->argument = OpenSourceArgument(path, S_ISDIR(status.st_mode) ? line : noOptions,
        TFolderServing { settings_.watchFolders, settings_.insideOnly, err_ });
    // Aliased: whoever holds the source holds its folder watch too.
    std::shared_ptr<TBookSource> source(opened, opened->argument.source.get());

    auto book = std::make_shared<TLibraryBook>();
    book->path = path;
    book->title = source->Title();
    book->description = source->Description();
    book->language = source->Language();
    const std::optional<uint64_t> counted = source->CountedArticles();
    book->pageCount = counted ? static_cast<int64_t>(*counted) : static_cast<int64_t>(source->PageNames().size());
    book->watched = S_ISDIR(status.st_mode);
    if (known) {
        book->fileSize = book->watched ? 0 : static_cast<int64_t>(status.st_size);
        book->modified = status.st_mtim.tv_sec;
        book->version = FileVersion(status);
    }
    book->source = source;
    if (const TBookReader* reader = BookReaderOf(*source)) {
        auto shared = std::make_shared<SharedPages>(source, *reader,
            ShareOf(settings_.memoryBytes, settings_.expectedBooks, kLeastShareBytes),
            ShareOf(settings_.cacheBytes, settings_.expectedBooks, 0));
        book->pages = std::shared_ptr<TPageSource>(shared, &shared->pages);
    } else {
        book->pages = source;
    }
    auto search = std::make_shared<BookSearch>(source, err_, path);
    book->search = std::shared_ptr<TServedSearch>(search, &search->search);
    return book;
}

void TLibrary::Place(const std::vector<std::shared_ptr<TLibraryBook>>& books)
{
    const std::lock_guard<std::mutex> guard(lock_);
    for (const std::shared_ptr<TLibraryBook>& book : books)
        byPath_[book->path] = book;
    Publish();
}

bool TLibrary::Remove(const std::string& path)
{
    const std::lock_guard<std::mutex> guard(lock_);
    if (byPath_.erase(path) == 0)
        return false;
    Publish();
    return true;
}

void TLibrary::Publish()
{
    std::vector<std::string> paths;
    for (const auto& [path, book] : byPath_)
        paths.push_back(path);
    const std::map<std::string, std::string> names = LibraryNames(paths);
    auto shelf = std::make_shared<TLibraryShelf>();
    for (auto& [path, book] : byPath_) {
        const std::string& name = names.at(path);
        if (book->name != name) {
            // A published book never changes: a book named anew is a copy sharing its source.
            auto named = std::make_shared<TLibraryBook>(*book);
            if (named->title.empty() || named->title == named->name)
                named->title = name;
            named->name = name;
            book = named;
        }
        shelf->push_back(book);
    }
    std::sort(shelf->begin(), shelf->end(), [](const auto& a, const auto& b) { return a->name < b->name; });
    shelf_ = std::move(shelf);
}

void TLibrary::Stop()
{
    std::map<std::string, std::shared_ptr<const TLibraryBook>> books;
    {
        const std::lock_guard<std::mutex> guard(lock_);
        books = byPath_;
    }
    for (const auto& [path, book] : books) {
        if (auto* served = dynamic_cast<TServedPages*>(book->pages.get()))
            served->Stop();
        if (book->search)
            book->search->Stop();
    }
}
