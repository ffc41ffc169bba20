#include "sources/SourceContents.h"

#include "common/BookText.h"
#include "sources/ContentsReading.h"

#include <limits>

namespace {

TContents ReadContentsOfSource(TBookSource& source)
{
    if (TContents own = source.Contents(); !own.empty())
        return own;
    TContentsBook book;
    book.home = BookTextToUtf8(source.HomePageName());
    if (book.home.empty())
        return {};
    // A chain of "next" links ends at a page seen before and at the contents' own bound: counting
    // a large archive's pages would cost more than it bounds.
    book.pageCount = std::numeric_limits<std::size_t>::max();
    book.find = [&source](const std::string& name) -> std::optional<std::string> {
        const std::optional<std::string> stored = source.StoredPageName(StoredBookText(name));
        if (!stored)
            return std::nullopt;
        return BookTextToUtf8(*stored);
    };
    book.read = [&source](const std::string& name) -> std::optional<std::string> {
        const TPageLookup page = source.Lookup(StoredBookText(name));
        if (!page.bytes)
            return std::nullopt;
        return *page.bytes;
    };
    return ReadContentsFromPages(book);
}

} // namespace

const TContents& ContentsOfSource(TBookSource& source)
{
    const std::lock_guard lock(source.readerContentsLock_);
    if (!source.readerContents_)
        source.readerContents_ = ReadContentsOfSource(source);
    return *source.readerContents_;
}
