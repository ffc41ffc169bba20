#pragma once

#include "search/IndexTokenizer.h"
#include "sources/Contents.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// A title offered while the reader types: a page's own title or an entry of the book's contents or
// keyword index, and the place it opens.
struct TitleSuggestion {
    enum class Kind { PageTitle, ContentsEntry, Keyword };
    std::string title; // UTF-8
    std::string page; // the page's name as the source stores it
    std::string anchor; // the fragment within the page, without "#"; empty for its top
    Kind kind = Kind::PageTitle;
};

// The titles of a book that begin with the words typed, letter case, accents and punctuation
// ignored ("cre ind" offers "CREATE INDEX", "resu" offers "Résumé"). The last word typed may be
// cut short; the others are whole. A title's leading numbers may be left out ("routine" offers
// "25.1. Routine Vacuuming"). Titles are kept as their folded words in order, so a look-up
// is a binary search, whatever the number of titles.
class TTitleSuggestions {
public:
    // Raises Exception when SQLite has no FTS5 tokenizer.
    TTitleSuggestions();
    ~TTitleSuggestions();
    TTitleSuggestions(const TTitleSuggestions&) = delete;
    TTitleSuggestions& operator=(const TTitleSuggestions&) = delete;

    void Add(TitleSuggestion suggestion);
    // Every entry of the contents, at every depth.
    void AddContents(const TContents& contents, TitleSuggestion::Kind kind);
    // Ends adding; Suggest before it finds nothing.
    void Finish();

    // At most `limit`: titles that are the words typed and nothing more first, then page titles
    // before contents entries before keywords, shorter before longer. One suggestion per place.
    std::vector<TitleSuggestion> Suggest(std::string_view typed, std::size_t limit) const;
    std::size_t Count() const { return entries_.size(); }

private:
    struct Entry {
        std::string key; // the folded words, each followed by '\x1f'
        TitleSuggestion suggestion;
    };
    std::string KeyOf(std::string_view text) const;

    TOwnTokenizer tokenizer_;
    std::vector<Entry> entries_; // sorted by key once finished
    bool finished_ = false;
};
