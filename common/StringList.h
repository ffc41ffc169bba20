#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// An ordered list of 8-bit strings, each with an optional associated value (an integer, or a
// pointer the list does not own). Items of the form name=value are reached by name: the first "="
// separates name and value, and names compare without regard to letter case. The list is unsorted
// and keeps duplicates. Every index outside 0 .. Count()-1 raises EListError
// "List index out of bounds (<index>)".
class TStringList {
public:
    using Object = std::intptr_t;

    int Count() const { return static_cast<int>(items_.size()); }
    bool Empty() const { return items_.empty(); }

    const std::string& Strings(int index) const;
    const std::string& operator[](int index) const { return Strings(index); }
    void Put(int index, std::string text);
    Object Objects(int index) const;
    void PutObject(int index, Object object);

    int Add(std::string text) { return AddObject(std::move(text), 0); }
    int AddObject(std::string text, Object object);
    void Insert(int index, std::string text);
    void Delete(int index);
    void Clear() { items_.clear(); }

    // Index of the first item equal to text without regard to letter case, or -1.
    int IndexOf(std::string_view text) const;

    // Name and value access.
    int IndexOfName(std::string_view name) const;
    std::string Names(int index) const;
    std::string ValueFromIndex(int index) const;
    // The value of the first item named `name`; empty when there is none.
    std::string Values(std::string_view name) const;
    // A non-empty value replaces the first item named `name` in place (as name=value) or is
    // appended; an empty value deletes the first such item.
    void SetValue(std::string_view name, std::string_view value);

    // Every item followed by CR LF.
    std::string Text() const;
    // Replaces the items by the lines of text, split at CR LF, a lone CR or a lone LF. A trailing
    // line end adds no empty item, and a NUL character ends the text.
    void SetText(std::string_view text);

    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

    struct Item {
        std::string text;
        Object object = 0;
        bool operator==(const std::string& other) const { return text == other; }
    };

private:
    void CheckIndex(int index, int limit) const;

    std::vector<Item> items_;
};
