#include "common/PackedStringList.h"

#include "common/AnsiText.h"
#include "common/Exception.h"

#include <limits>
#include <string>

uint32_t TPackedStringList::CheckedOffset(std::size_t offset)
{
    if (offset > std::numeric_limits<uint32_t>::max())
        throw EListError("List is too large");
    return static_cast<uint32_t>(offset);
}

std::string_view TPackedStringList::Strings(int index) const
{
    if (index < 0 || index >= Count())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    const auto i = static_cast<std::size_t>(index);
    const uint32_t begin = i == 0 ? 0 : ends_[i - 1];
    return std::string_view(text_).substr(begin, ends_[i] - begin);
}

void TPackedStringList::Add(std::string_view text)
{
    const uint32_t end = CheckedOffset(text_.size() + text.size());
    text_ += text;
    ends_.push_back(end);
}

void TPackedStringList::Clear()
{
    text_.clear();
    text_.shrink_to_fit();
    ends_.clear();
    ends_.shrink_to_fit();
}

int TPackedStringList::IndexOfName(std::string_view name) const
{
    for (int i = 0; i < Count(); ++i) {
        const std::string_view text = Strings(i);
        const std::size_t eq = text.find('=');
        if (eq != std::string_view::npos && AnsiSameText(text.substr(0, eq), name))
            return i;
    }
    return -1;
}

std::string TPackedStringList::Names(int index) const
{
    const std::string_view text = Strings(index);
    const std::size_t eq = text.find('=');
    return eq == std::string_view::npos ? std::string() : std::string(text.substr(0, eq));
}

std::string TPackedStringList::ValueFromIndex(int index) const
{
    const std::string_view text = Strings(index);
    const std::size_t eq = text.find('=');
    return eq == std::string_view::npos ? std::string() : std::string(text.substr(eq + 1));
}

std::string TPackedStringList::Values(std::string_view name) const
{
    const int index = IndexOfName(name);
    return index < 0 ? std::string() : ValueFromIndex(index);
}

std::string TPackedStringList::Text() const
{
    std::string result;
    for (const std::string_view item : *this) {
        result += item;
        result += "\r\n";
    }
    return result;
}

void TPackedStringList::SetText(std::string text, std::string_view alsoBreakAt)
{
    std::string breaks = "\r\n";
    breaks += alsoBreakAt;
    const std::size_t nul = text.find('\0');
    if (nul != std::string::npos)
        text.resize(nul);
    // First the number of items, so that the list of ends is allocated once at its size.
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < text.size(); ++count) {
        pos = text.find_first_of(breaks, pos);
        if (pos == std::string::npos)
            pos = text.size();
        else if (text.compare(pos, 2, "\r\n") == 0)
            pos += 2;
        else
            ++pos;
    }
    std::vector<uint32_t> ends;
    ends.reserve(count);
    // Then the line ends are squeezed out in place.
    std::size_t read = 0;
    std::size_t written = 0;
    while (read < text.size()) {
        std::size_t end = text.find_first_of(breaks, read);
        if (end == std::string::npos)
            end = text.size();
        std::char_traits<char>::move(text.data() + written, text.data() + read, end - read);
        written += end - read;
        ends.push_back(CheckedOffset(written));
        read = end;
        if (read < text.size())
            read += text.compare(read, 2, "\r\n") == 0 ? 2 : 1;
    }
    text.resize(written);
    Assign(std::move(text), std::move(ends));
}

void TPackedStringList::Assign(std::string text, std::vector<uint32_t> ends)
{
    CheckedOffset(text.size());
    text_ = std::move(text);
    ends_ = std::move(ends);
}

std::vector<std::string> TPackedStringList::ToVector() const
{
    std::vector<std::string> items;
    for (const std::string_view item : *this)
        items.emplace_back(item);
    return items;
}

TStringList TPackedStringList::ToStringList() const
{
    TStringList list;
    for (const std::string_view item : *this)
        list.Add(std::string(item));
    return list;
}
