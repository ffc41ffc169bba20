#include "sources/BookFileSource.h"

#include "book/BookReader.h"
#include "common/BookText.h"

#include <memory>

TBookFileSource::TBookFileSource(const TBookReader& reader)
    : reader_(reader)
{
}

TPageLookup TBookFileSource::Lookup(std::string_view name)
{
    const int index = reader_.IndexOfPage(name);
    if (index < 0)
        return {};
    std::string bytes;
    if (!reader_.ExtractPageAtConcurrently(index, bytes))
        return { true, nullptr };
    return { true, std::make_shared<const std::string>(std::move(bytes)) };
}

std::vector<std::string> TBookFileSource::PageNames() const
{
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(reader_.Pages().Count()));
    for (int i = 0; i < reader_.Pages().Count(); ++i)
        names.push_back(reader_.Pages().Strings(i));
    return names;
}

std::string TBookFileSource::Title() const
{
    return BookTextToUtf8(reader_.title());
}

std::string TBookFileSource::HomePageName() const
{
    return reader_.Pages().Count() == 0 ? std::string() : reader_.GetHomePageName();
}

std::string TBookFileSource::Description() const
{
    return BookTextToUtf8(reader_.description());
}

DisplaySettings TBookFileSource::Display() const
{
    return reader_.DisplaySettings();
}

TContents TBookFileSource::Contents() const
{
    auto stored = StoredContentsOf(reader_);
    return stored ? std::move(stored->entries) : TContents();
}

std::optional<std::string> TBookFileSource::StoredPageName(std::string_view name)
{
    const int index = reader_.IndexOfPage(name);
    if (index < 0)
        return std::nullopt;
    return reader_.Pages().Strings(index);
}

std::optional<int> TBookFileSource::PageIndexOf(std::string_view name) const
{
    return reader_.IndexOfPage(name);
}

std::optional<TBookAbout> TBookFileSource::About() const
{
    TBookAbout about;
    if (reader_.hasAboutText())
        about.text = BookTextToUtf8(reader_.aboutText());
    if (reader_.hasAboutDate())
        about.date = reader_.aboutDate();
    return about;
}

bool TBookFileSource::OpensContentsAtStart() const
{
    const auto stored = StoredContentsOf(reader_);
    return stored && stored->openAtStart;
}

std::optional<TStoredContents> StoredContentsOf(const TBookReader& reader)
{
    const int index = reader.IndexOfPage(kContentsEntryName);
    std::string bytes;
    if (index < 0 || !reader.ExtractPageAtConcurrently(index, bytes))
        return std::nullopt;
    return ParseStoredContents(bytes);
}
