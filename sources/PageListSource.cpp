#include "sources/PageListSource.h"

#include "common/BookText.h"

#include <memory>

void TPageListSource::SetPages(std::vector<SourcePage> pages)
{
    pages_ = std::move(pages);
    byFoldedName_.clear();
    for (std::size_t i = 0; i < pages_.size(); ++i)
        byFoldedName_.emplace(FoldedBookText(pages_[i].pageName), static_cast<int>(i));
}

int TPageListSource::IndexOf(std::string_view name) const
{
    const auto found = byFoldedName_.find(FoldedBookText(name));
    return found == byFoldedName_.end() ? -1 : found->second;
}

TPageLookup TPageListSource::Lookup(std::string_view name)
{
    const int index = IndexOf(name);
    if (index < 0)
        return {};
    return PageAt(static_cast<std::size_t>(index), name);
}

TPageLookup TPageListSource::PageAt(std::size_t index, std::string_view /*name*/)
{
    if (index >= pages_.size())
        return {};
    try {
        return { true, std::make_shared<const std::string>(pages_[index].load()) };
    } catch (const std::exception&) {
        // A damaged entry is answered as a page that cannot be read; the others still are.
        return { true, nullptr };
    }
}

std::optional<std::string> TPageListSource::StoredPageName(std::string_view name)
{
    const int index = IndexOf(name);
    if (index < 0)
        return std::nullopt;
    return pages_[static_cast<std::size_t>(index)].pageName;
}

std::vector<std::string> TPageListSource::PageNames() const
{
    std::vector<std::string> names;
    names.reserve(pages_.size());
    for (const SourcePage& page : pages_)
        names.push_back(page.pageName);
    return names;
}
