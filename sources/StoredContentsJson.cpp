// The JSON form of the stored contents, which books built before the compact form keep.

#include "sources/StoredContents.h"

#include <nlohmann/json.hpp>

#include <vector>

namespace {

nlohmann::json TreeJson(const TContents& contents)
{
    nlohmann::json list = nlohmann::json::array();
    for (const TContentsEntry& entry : contents) {
        nlohmann::json item = { { "title", entry.title }, { "page", entry.page } };
        if (!entry.anchor.empty())
            item["anchor"] = entry.anchor;
        item["children"] = TreeJson(entry.children);
        list.push_back(std::move(item));
    }
    return list;
}

// Builds the entries straight from the parser's events, so that the text is read once, in time
// linear in its length, and nothing is built of what is left out: a document tree of a large
// text, or the library's filtering parser, costs far more (the latter quadratic time). The form:
// an object whose "contents" is a list of entry objects; each entry's "children", when present,
// is such a list; "title", "page" and "anchor" count when they are strings; other members and
// values are passed over.
class TContentsEvents : public nlohmann::json::json_sax_t {
public:
    TStoredContents stored;
    bool sawContents = false;

    bool null() override { return Scalar(); }
    bool boolean(bool value) override
    {
        if (skipDepth_ == 0 && !frames_.empty() && frames_.back().kind == Kind::Root && expect_ == Expect::Open)
            stored.openAtStart = value;
        return Scalar();
    }
    bool number_integer(number_integer_t) override { return Scalar(); }
    bool number_unsigned(number_unsigned_t) override { return Scalar(); }
    bool number_float(number_float_t, const string_t&) override { return Scalar(); }
    bool binary(binary_t&) override { return Scalar(); }
    bool string(string_t& value) override
    {
        if (skipDepth_ == 0 && !frames_.empty() && frames_.back().kind == Kind::Entry && frames_.back().entry) {
            TContentsEntry& entry = *frames_.back().entry;
            if (expect_ == Expect::Title)
                entry.title = std::move(value);
            else if (expect_ == Expect::Page)
                entry.page = std::move(value);
            else if (expect_ == Expect::Anchor)
                entry.anchor = std::move(value);
        }
        return Scalar();
    }

    bool start_object(std::size_t) override
    {
        if (skipDepth_ > 0) {
            ++skipDepth_;
            return true;
        }
        if (frames_.empty()) {
            frames_.push_back({ Kind::Root, nullptr, nullptr, 0 });
            return true;
        }
        Frame& top = frames_.back();
        if (top.kind == Kind::List) {
            // An entry: kept while within the bounds, else passed over whole.
            if (count_ >= kMaxStoredContentsEntries || top.depth >= kMaxStoredContentsDepth) {
                skipDepth_ = 1;
                return true;
            }
            ++count_;
            top.list->push_back({});
            frames_.push_back({ Kind::Entry, nullptr, &top.list->back(), top.depth });
            return true;
        }
        // A member's value: an object where contents or children belong is the wrong form.
        if (expect_ == Expect::Contents || expect_ == Expect::Children)
            return false;
        skipDepth_ = 1;
        return true;
    }

    bool start_array(std::size_t) override
    {
        if (skipDepth_ > 0) {
            ++skipDepth_;
            return true;
        }
        if (frames_.empty() || frames_.back().kind == Kind::List)
            return false;
        Frame& top = frames_.back();
        if (top.kind == Kind::Root && expect_ == Expect::Contents) {
            sawContents = true;
            frames_.push_back({ Kind::List, &stored.entries, nullptr, 0 });
        } else if (top.kind == Kind::Entry && expect_ == Expect::Children) {
            frames_.push_back({ Kind::List, &top.entry->children, nullptr, top.depth + 1 });
        } else {
            skipDepth_ = 1;
        }
        return true;
    }

    bool key(string_t& name) override
    {
        if (skipDepth_ > 0)
            return true;
        if (frames_.back().kind == Kind::Root)
            expect_ = name == "open" ? Expect::Open : name == "contents" ? Expect::Contents : Expect::Other;
        else
            expect_ = name == "title" ? Expect::Title
                : name == "page"      ? Expect::Page
                : name == "anchor"    ? Expect::Anchor
                : name == "children"  ? Expect::Children
                                      : Expect::Other;
        return true;
    }

    bool end_object() override { return End(); }
    bool end_array() override { return End(); }

    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

private:
    enum class Kind { Root, List, Entry };
    enum class Expect { Other, Open, Contents, Title, Page, Anchor, Children };
    struct Frame {
        Kind kind;
        TContents* list; // Kind::List: where its entries go
        TContentsEntry* entry; // Kind::Entry
        std::size_t depth; // of the list's entries, or of the entry
    };

    // A value that is no object or list: wrong at the top, in a list of entries, and where
    // contents or children belong.
    bool Scalar()
    {
        if (skipDepth_ > 0)
            return true;
        if (frames_.empty() || frames_.back().kind == Kind::List)
            return false;
        return expect_ != Expect::Contents && expect_ != Expect::Children;
    }

    bool End()
    {
        if (skipDepth_ > 0) {
            --skipDepth_;
            return true;
        }
        frames_.pop_back();
        expect_ = Expect::Other;
        return true;
    }

    std::vector<Frame> frames_;
    std::size_t skipDepth_ = 0; // levels of a value being passed over
    std::size_t count_ = 0; // entries kept
    Expect expect_ = Expect::Other; // what the value after the last key is
};

} // namespace

std::string StoredContentsJson(const TStoredContents& stored)
{
    const nlohmann::json json = { { "open", stored.openAtStart }, { "contents", TreeJson(stored.entries) } };
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::optional<TStoredContents> ParseStoredContentsJson(std::string_view text)
{
    TContentsEvents events;
    // The parser keeps its nesting in a list of its own, not in recursion, so depth costs nothing.
    if (!nlohmann::json::sax_parse(text, &events) || !events.sawContents)
        return std::nullopt;
    return std::move(events.stored);
}

std::string ContentsTreeJson(const TContents& contents, int indent)
{
    return TreeJson(contents).dump(indent, ' ', false, nlohmann::json::error_handler_t::replace);
}
