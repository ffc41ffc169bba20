#include "sources/BookFileSource.h"

#include "book/BookReader.h"
#include "book/DateText.h"
#include "common/BookText.h"
#include "common/Exception.h"

#include <memory>
#include <nlohmann/json.hpp>

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

std::optional<TBookSource::TStoredRecord> TBookFileSource::StoredRecordAt(std::size_t index) const
{
    const int entry = static_cast<int>(index);
    if (entry >= reader_.Pages().Count())
        return std::nullopt;
    return TStoredRecord { reader_.PageOffset(entry), reader_.StoredLengthAt(entry) };
}

TPageLookup TBookFileSource::PageAt(std::size_t index, std::string_view /*name*/)
{
    const int entry = static_cast<int>(index);
    if (entry >= reader_.Pages().Count())
        return {};
    std::string bytes;
    if (!reader_.ExtractPageAtConcurrently(entry, bytes))
        return { true, nullptr };
    return { true, std::make_shared<const std::string>(std::move(bytes)) };
}

std::string TBookFileSource::WhyUnreadable(std::size_t index, std::string_view name)
{
    return "Cannot extract page " + BookTextToUtf8(name) + " (index " + std::to_string(index) + ")";
}

namespace {

template <typename Value> std::string Json(const Value& value)
{
    return nlohmann::json(value).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

} // namespace

std::vector<TBookSource::TInfoFact> TBookFileSource::InfoFacts() const
{
    std::string home;
    try {
        home = BookTextToUtf8(reader_.GetHomePageName());
    } catch (const Exception& error) {
        home = "none: " + error.Message();
    }
    const std::string aboutText = BookTextToUtf8(reader_.aboutText());
    std::vector<TInfoFact> facts {
        { "homePage", "Home page:", home + " (index " + std::to_string(reader_.homePageIndex()) + ")", Json(home) },
        { "homePageIndex", "", "", Json(reader_.homePageIndex()) },
        { "headerOffset", "Header offset:", std::to_string(reader_.headerOffset()), Json(reader_.headerOffset()) },
        { "directoryOffset", "Directory offset:", std::to_string(reader_.directoryOffset()),
            Json(reader_.directoryOffset()) },
        { "hasAboutText", "", "", Json(reader_.hasAboutText()) },
        { "aboutText", "About text:", reader_.hasAboutText() ? aboutText : "(none)", Json(aboutText) },
        { "hasAboutDate", "", "", Json(reader_.hasAboutDate()) },
        { "aboutDate", "About date:", reader_.hasAboutDate() ? FormatIsoDate(reader_.aboutDate()) : "(none)",
            Json(reader_.aboutDate()) },
        { "entryExtraMode", "", "", Json(reader_.entryExtraMode()) },
        { "auxKind", "", "", Json(reader_.auxKind()) },
        { "auxPageIndex", "", "", Json(reader_.auxPageIndex()) },
    };
    if (reader_.hasAboutDate())
        facts.push_back({ "aboutDateText", "", "", Json(FormatIsoDate(reader_.aboutDate())) });
    return facts;
}

std::optional<TStoredContents> StoredContentsOf(const TBookReader& reader)
{
    int index = reader.IndexOfPage(kContentsEntryName);
    if (index < 0)
        index = reader.IndexOfPage(kJsonContentsEntryName);
    std::string bytes;
    if (index < 0 || !reader.ExtractPageAtConcurrently(index, bytes))
        return std::nullopt;
    return ParseStoredContents(bytes);
}
