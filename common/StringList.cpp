#include "common/StringList.h"

#include "common/AnsiText.h"
#include "common/Exception.h"

#include <cstddef>

void TStringList::CheckIndex(int index, int limit) const
{
    if (index < 0 || index >= limit)
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

const std::string& TStringList::Strings(int index) const
{
    CheckIndex(index, Count());
    return items_[static_cast<std::size_t>(index)].text;
}

void TStringList::Put(int index, std::string text)
{
    CheckIndex(index, Count());
    items_[static_cast<std::size_t>(index)].text = std::move(text);
}

TStringList::Object TStringList::Objects(int index) const
{
    CheckIndex(index, Count());
    return items_[static_cast<std::size_t>(index)].object;
}

void TStringList::PutObject(int index, Object object)
{
    CheckIndex(index, Count());
    items_[static_cast<std::size_t>(index)].object = object;
}

int TStringList::AddObject(std::string text, Object object)
{
    items_.push_back(Item { std::move(text), object });
    return Count() - 1;
}

void TStringList::Insert(int index, std::string text)
{
    CheckIndex(index, Count() + 1);
    items_.insert(items_.begin() + index, Item { std::move(text), 0 });
}

void TStringList::Delete(int index)
{
    CheckIndex(index, Count());
    items_.erase(items_.begin() + index);
}

int TStringList::IndexOf(std::string_view text) const
{
    for (int i = 0; i < Count(); ++i) {
        if (AnsiSameText(items_[static_cast<std::size_t>(i)].text, text))
            return i;
    }
    return -1;
}

int TStringList::IndexOfName(std::string_view name) const
{
    for (int i = 0; i < Count(); ++i) {
        const std::string& text = items_[static_cast<std::size_t>(i)].text;
        const std::size_t eq = text.find('=');
        if (eq != std::string::npos && AnsiSameText(std::string_view(text).substr(0, eq), name))
            return i;
    }
    return -1;
}

std::string TStringList::Names(int index) const
{
    const std::string& text = Strings(index);
    const std::size_t eq = text.find('=');
    return eq == std::string::npos ? std::string() : text.substr(0, eq);
}

std::string TStringList::ValueFromIndex(int index) const
{
    const std::string& text = Strings(index);
    const std::size_t eq = text.find('=');
    return eq == std::string::npos ? std::string() : text.substr(eq + 1);
}

std::string TStringList::Values(std::string_view name) const
{
    const int index = IndexOfName(name);
    return index < 0 ? std::string() : ValueFromIndex(index);
}

void TStringList::SetValue(std::string_view name, std::string_view value)
{
    const int index = IndexOfName(name);
    if (value.empty()) {
        if (index >= 0)
            Delete(index);
        return;
    }
    std::string item(name);
    item += '=';
    item += value;
    if (index >= 0)
        Put(index, std::move(item));
    else
        Add(std::move(item));
}

std::string TStringList::Text() const
{
    std::string result;
    for (const Item& item : items_) {
        result += item.text;
        result += "\r\n";
    }
    return result;
}

void TStringList::SetText(std::string_view text)
{
    const std::size_t nul = text.find('\0');
    if (nul != std::string_view::npos)
        text = text.substr(0, nul);
    items_.clear();
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = pos;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        Add(std::string(text.substr(pos, end - pos)));
        if (end < text.size() && text[end] == '\r')
            ++end;
        if (end < text.size() && text[end] == '\n')
            ++end;
        pos = end;
    }
}
