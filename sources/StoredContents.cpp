#include "sources/StoredContents.h"

#include <charconv>
#include <unordered_map>
#include <vector>

namespace {

constexpr std::string_view kMagicLine = "ebook-contents 2";

// Backslash, tab and line end are the form's own; everything else is written as it is.
void AppendEscaped(std::string& out, std::string_view text)
{
    for (char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
}

std::optional<std::string> Unescaped(std::string_view text)
{
    if (text.find('\\') == std::string_view::npos)
        return std::string(text);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size())
            return std::nullopt;
        switch (text[i]) {
        case '\\':
            out += '\\';
            break;
        case 't':
            out += '\t';
            break;
        case 'n':
            out += '\n';
            break;
        default:
            return std::nullopt;
        }
    }
    return out;
}

void GatherPages(const TContents& contents, std::unordered_map<std::string_view, std::size_t>& places,
    std::vector<std::string_view>& names, std::size_t& count)
{
    for (const TContentsEntry& entry : contents) {
        ++count;
        if (!entry.page.empty() && places.emplace(entry.page, names.size()).second)
            names.push_back(entry.page);
        GatherPages(entry.children, places, names, count);
    }
}

void AppendEntries(std::string& out, const TContents& contents, std::size_t depth,
    const std::unordered_map<std::string_view, std::size_t>& places)
{
    for (const TContentsEntry& entry : contents) {
        out += std::to_string(depth);
        out += '\t';
        if (!entry.page.empty())
            out += std::to_string(places.at(entry.page));
        out += '\t';
        AppendEscaped(out, entry.anchor);
        out += '\t';
        AppendEscaped(out, entry.title);
        out += '\n';
        AppendEntries(out, entry.children, depth + 1, places);
    }
}

// The text's lines one at a time; every line, the last too, ends with "\n".
class TLines {
public:
    explicit TLines(std::string_view text)
        : rest_(text)
    {
    }

    std::optional<std::string_view> Next()
    {
        const std::size_t end = rest_.find('\n');
        if (end == std::string_view::npos)
            return std::nullopt;
        const std::string_view line = rest_.substr(0, end);
        rest_.remove_prefix(end + 1);
        return line;
    }

    bool AtEnd() const { return rest_.empty(); }

private:
    std::string_view rest_;
};

std::optional<std::size_t> Number(std::string_view text)
{
    std::size_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// "NAME VALUE" with the name expected.
std::optional<std::size_t> Field(std::optional<std::string_view> line, std::string_view name)
{
    if (!line || !line->starts_with(name) || line->size() <= name.size() || (*line)[name.size()] != ' ')
        return std::nullopt;
    return Number(line->substr(name.size() + 1));
}

std::optional<TStoredContents> ParseCompact(std::string_view text)
{
    TLines lines(text);
    if (lines.Next() != kMagicLine)
        return std::nullopt;
    TStoredContents stored;
    const auto open = Field(lines.Next(), "open");
    if (!open || *open > 1)
        return std::nullopt;
    stored.openAtStart = *open == 1;

    const auto pageCount = Field(lines.Next(), "pages");
    if (!pageCount)
        return std::nullopt;
    // Not reserved: the count is only believed as far as lines follow.
    std::vector<std::string> pages;
    for (std::size_t i = 0; i < *pageCount; ++i) {
        const auto line = lines.Next();
        auto name = line ? Unescaped(*line) : std::nullopt;
        if (!name || name->empty())
            return std::nullopt;
        pages.push_back(std::move(*name));
    }

    const auto entryCount = Field(lines.Next(), "entries");
    if (!entryCount)
        return std::nullopt;
    // lists[d] receives the next entry of depth d: the top list, then the last kept entry's
    // children at each depth below it.
    std::vector<TContents*> lists { &stored.entries };
    std::size_t kept = 0;
    std::size_t previousDepth = 0;
    for (std::size_t i = 0; i < *entryCount; ++i) {
        const auto line = lines.Next();
        if (!line)
            return std::nullopt;
        const std::size_t tab1 = line->find('\t');
        const std::size_t tab2 = line->find('\t', tab1 == std::string_view::npos ? tab1 : tab1 + 1);
        const std::size_t tab3 = line->find('\t', tab2 == std::string_view::npos ? tab2 : tab2 + 1);
        if (tab3 == std::string_view::npos || line->find('\t', tab3 + 1) != std::string_view::npos)
            return std::nullopt;
        const auto depth = Number(line->substr(0, tab1));
        // The first entry stands at the top; each later one at most one level below the one before.
        if (!depth || *depth > (i == 0 ? 0 : previousDepth + 1))
            return std::nullopt;
        previousDepth = *depth;
        const std::string_view pageField = line->substr(tab1 + 1, tab2 - tab1 - 1);
        std::optional<std::size_t> page;
        if (!pageField.empty() && (!(page = Number(pageField)) || *page >= pages.size()))
            return std::nullopt;
        auto anchor = Unescaped(line->substr(tab2 + 1, tab3 - tab2 - 1));
        auto title = Unescaped(line->substr(tab3 + 1));
        if (!anchor || !title)
            return std::nullopt;
        // Past the bounds the lines are still checked, but kept no more. An entry's parent was
        // kept whenever the entry may be: the parent stands one level higher and came first.
        if (kept >= kMaxStoredContentsEntries || *depth >= kMaxStoredContentsDepth)
            continue;
        ++kept;
        lists.resize(*depth + 1);
        TContents& into = *lists[*depth];
        into.push_back({ std::move(*title), page ? pages[*page] : std::string(), std::move(*anchor), {} });
        lists.push_back(&into.back().children);
    }
    if (!lines.AtEnd())
        return std::nullopt;
    return stored;
}

} // namespace

bool IsStoredContentsEntry(std::string_view name)
{
    return name == kContentsEntryName || name == kJsonContentsEntryName;
}

std::string StoredContentsText(const TStoredContents& stored)
{
    std::unordered_map<std::string_view, std::size_t> places;
    std::vector<std::string_view> names;
    std::size_t count = 0;
    GatherPages(stored.entries, places, names, count);
    std::string out(kMagicLine);
    out += stored.openAtStart ? "\nopen 1\n" : "\nopen 0\n";
    out += "pages " + std::to_string(names.size()) + "\n";
    for (std::string_view name : names) {
        AppendEscaped(out, name);
        out += '\n';
    }
    out += "entries " + std::to_string(count) + "\n";
    AppendEntries(out, stored.entries, 0, places);
    return out;
}

std::optional<TStoredContents> ParseStoredContents(std::string_view text)
{
    if (text.starts_with("ebook-contents "))
        return ParseCompact(text);
    return ParseStoredContentsJson(text);
}
