#pragma once

#include "common/StringList.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A string list for many short items received from a client, such as the header lines, parameters
// and cookies of an HTTP request: the items lie one after another in a single block of text and
// the list keeps only where each ends (4 bytes an item), so that holding them costs little more
// than their bytes. Items are read as string views, valid until the list is next changed. Name
// and value access, and letter case, are as in TStringList. Every index outside 0 .. Count()-1
// raises EListError "List index out of bounds (<index>)"; a list whose text would pass 4 GiB
// raises EListError "List is too large".
class TPackedStringList {
public:
    int Count() const { return static_cast<int>(ends_.size()); }
    bool Empty() const { return ends_.empty(); }

    std::string_view Strings(int index) const;
    std::string_view operator[](int index) const { return Strings(index); }
    void Add(std::string_view text);
    void Clear();

    int IndexOfName(std::string_view name) const;
    std::string Names(int index) const;
    std::string ValueFromIndex(int index) const;
    // The value of the first item named `name`; empty when there is none.
    std::string Values(std::string_view name) const;

    // Every item followed by CR LF.
    std::string Text() const;
    // Replaces the items by the lines of text, split at CR LF, a lone CR or a lone LF; a trailing
    // line end adds no empty item, and a NUL character ends the text. The text's own storage is
    // reused, so splitting costs no second copy. Each character of alsoBreakAt ends a line as a
    // CR LF does.
    void SetText(std::string text, std::string_view alsoBreakAt = {});
    // Takes text whose items end at the given offsets (each at or after the one before, the last
    // at most text's length), keeping text's storage.
    void Assign(std::string text, std::vector<uint32_t> ends);

    std::vector<std::string> ToVector() const;
    TStringList ToStringList() const;

    // Iterates the items as string views.
    class Iterator {
    public:
        Iterator(const TPackedStringList& list, int index)
            : list_(&list)
            , index_(index)
        {
        }
        std::string_view operator*() const { return list_->Strings(index_); }
        Iterator& operator++()
        {
            ++index_;
            return *this;
        }
        bool operator!=(const Iterator& other) const { return index_ != other.index_; }

    private:
        const TPackedStringList* list_;
        int index_;
    };
    Iterator begin() const { return Iterator(*this, 0); }
    Iterator end() const { return Iterator(*this, Count()); }

private:
    static uint32_t CheckedOffset(std::size_t offset);

    std::string text_;
    std::vector<uint32_t> ends_;
};
