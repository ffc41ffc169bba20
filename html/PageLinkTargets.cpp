#include "html/PageLinks.h"

#include "common/AnsiText.h"
#include "html/CharacterReferences.h"

#include <algorithm>
#include <cctype>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool IsNameCharacter(char c)
{
    return c != '>' && c != '/' && c != '=' && !IsBlank(c);
}

// The candidates of a srcset: an address up to a blank (commas at its end belong to the list),
// then descriptors up to the next comma.
void AddSourceSet(std::string_view list, const std::string& where, std::vector<PageLink>& links)
{
    std::size_t at = 0;
    while (at < list.size()) {
        while (at < list.size() && (IsBlank(list[at]) || list[at] == ','))
            ++at;
        const std::size_t start = at;
        while (at < list.size() && !IsBlank(list[at]))
            ++at;
        std::string_view address = list.substr(start, at - start);
        const bool descriptorsFollow = !address.ends_with(',');
        while (!address.empty() && address.back() == ',')
            address.remove_suffix(1);
        if (!address.empty())
            links.push_back({ std::string(address), where });
        while (descriptorsFollow && at < list.size() && list[at] != ',')
            ++at;
    }
}

// "5; url=next.html", "0;URL='next.html'", or a bare "next.html" after the delay.
std::string RefreshAddress(std::string_view content)
{
    const std::size_t separator = content.find_first_of(";,");
    if (separator == std::string_view::npos)
        return {};
    std::string_view rest = Trimmed(content.substr(separator + 1));
    if (rest.size() >= 3 && LowerCaseAscii(std::string(rest.substr(0, 3))) == "url") {
        std::string_view after = Trimmed(rest.substr(3));
        if (after.starts_with('='))
            rest = Trimmed(after.substr(1));
    }
    if (!rest.empty() && (rest.front() == '\'' || rest.front() == '"')) {
        const char quote = rest.front();
        rest.remove_prefix(1);
        rest = rest.substr(0, rest.find(quote));
    }
    return std::string(rest);
}

struct Tag {
    std::string name; // lower case
    std::vector<std::pair<std::string, std::string>> attributes; // names lower case, values decoded
    std::size_t end = 0; // just past the '>'

    const std::string* Value(std::string_view attribute) const
    {
        for (const auto& [attributeName, value] : attributes) {
            if (attributeName == attribute)
                return &value;
        }
        return nullptr;
    }
};

// The tag whose name starts at `at` (just past the '<').
Tag ReadTag(std::string_view text, std::size_t at)
{
    Tag tag;
    const std::size_t nameStart = at;
    while (at < text.size() && IsNameCharacter(text[at]))
        ++at;
    tag.name = LowerCaseAscii(std::string(text.substr(nameStart, at - nameStart)));
    while (at < text.size() && text[at] != '>') {
        if (IsBlank(text[at]) || text[at] == '/') {
            ++at;
            continue;
        }
        const std::size_t start = at;
        while (at < text.size() && (IsNameCharacter(text[at]) || (at == start && text[at] == '=')))
            ++at;
        std::string name = LowerCaseAscii(std::string(text.substr(start, at - start)));
        while (at < text.size() && IsBlank(text[at]))
            ++at;
        std::string value;
        if (at < text.size() && text[at] == '=') {
            ++at;
            while (at < text.size() && IsBlank(text[at]))
                ++at;
            if (at < text.size() && (text[at] == '"' || text[at] == '\'')) {
                const char quote = text[at++];
                const std::size_t close = std::min(text.find(quote, at), text.size());
                value = std::string(text.substr(at, close - at));
                at = close + 1;
            } else {
                const std::size_t valueStart = at;
                while (at < text.size() && !IsBlank(text[at]) && text[at] != '>')
                    ++at;
                value = std::string(text.substr(valueStart, at - valueStart));
            }
        }
        tag.attributes.emplace_back(std::move(name), DecodeCharacterReferences(value));
    }
    tag.end = std::min(at + 1, text.size());
    return tag;
}

// Where the element's raw text ends: the start of its closing tag, else the end.
std::size_t EndOfRawText(std::string_view text, std::size_t at, std::string_view name)
{
    while ((at = text.find("</", at)) != std::string_view::npos) {
        const std::string_view after = text.substr(at + 2, name.size());
        if (after.size() == name.size() && LowerCaseAscii(after) == name)
            return at;
        at += 2;
    }
    return text.size();
}

void AddLinksOfTag(const Tag& tag, PageLinks& page)
{
    static constexpr std::string_view kSingleAddresses[] = { "href", "src", "poster", "data" };
    for (std::string_view attribute : kSingleAddresses) {
        const std::string* value = tag.Value(attribute);
        if (!value)
            continue;
        const std::string_view address = Trimmed(*value);
        if (tag.name == "base" && attribute == "href") {
            if (page.base.empty())
                page.base = address;
            continue;
        }
        page.links.push_back({ std::string(address), tag.name + " " + std::string(attribute) });
    }
    if (const std::string* set = tag.Value("srcset"))
        AddSourceSet(*set, tag.name + " srcset", page.links);
    if (const std::string* style = tag.Value("style")) {
        for (PageLink& link : LinksOfStyleSheet(*style))
            page.links.push_back(std::move(link));
    }
    if (tag.name == "meta") {
        const std::string* equiv = tag.Value("http-equiv");
        const std::string* content = tag.Value("content");
        if (equiv && content && LowerCaseAscii(std::string(Trimmed(*equiv))) == "refresh") {
            std::string address = RefreshAddress(*content);
            if (!address.empty())
                page.links.push_back({ std::move(address), "meta refresh" });
        }
    }
    if (const std::string* id = tag.Value("id"))
        page.anchors.push_back(*id);
    if (tag.name == "a") {
        if (const std::string* name = tag.Value("name"))
            page.anchors.push_back(*name);
    }
}

// The address of a url( ... ) whose text starts at `at`, just past the parenthesis; `at` ends
// past the closing one.
std::string UrlArgument(std::string_view css, std::size_t& at)
{
    while (at < css.size() && IsBlank(css[at]))
        ++at;
    std::string address;
    if (at < css.size() && (css[at] == '"' || css[at] == '\'')) {
        const char quote = css[at++];
        const std::size_t close = std::min(css.find(quote, at), css.size());
        address = css.substr(at, close - at);
        at = close + 1;
    } else {
        const std::size_t close = std::min(css.find(')', at), css.size());
        address = Trimmed(css.substr(at, close - at));
        at = close;
    }
    const std::size_t close = css.find(')', std::min(at, css.size()));
    at = close == std::string_view::npos ? css.size() : close + 1;
    return address;
}

} // namespace

std::vector<PageLink> LinksOfStyleSheet(std::string_view css)
{
    std::vector<PageLink> links;
    const std::string lower = LowerCaseAscii(std::string(css));
    std::size_t at = 0;
    while (at < css.size()) {
        if (css.substr(at, 2) == "/*") {
            const std::size_t close = css.find("*/", at + 2);
            at = close == std::string_view::npos ? css.size() : close + 2;
        } else if (lower.compare(at, 4, "url(") == 0) {
            at += 4;
            std::string address = UrlArgument(css, at);
            if (!address.empty())
                links.push_back({ std::move(address), "url()" });
        } else if (lower.compare(at, 7, "@import") == 0) {
            at += 7;
            while (at < css.size() && IsBlank(css[at]))
                ++at;
            if (at < css.size() && (css[at] == '"' || css[at] == '\'')) {
                const char quote = css[at++];
                const std::size_t close = std::min(css.find(quote, at), css.size());
                links.push_back({ std::string(css.substr(at, close - at)), "@import" });
                at = close + 1;
            }
        } else if (css[at] == '"' || css[at] == '\'') {
            // A string outside url() and @import (a content: value) holds no address.
            const char quote = css[at];
            const std::size_t close = css.find(quote, at + 1);
            at = close == std::string_view::npos ? css.size() : close + 1;
        } else {
            ++at;
        }
    }
    return links;
}

PageLinks LinksOfMarkup(std::string_view text)
{
    PageLinks page;
    std::size_t at = 0;
    while ((at = text.find('<', at)) != std::string_view::npos) {
        if (text.substr(at, 4) == "<!--") {
            const std::size_t close = text.find("-->", at + 4);
            at = close == std::string_view::npos ? text.size() : close + 3;
            continue;
        }
        if (at + 1 >= text.size() || !std::isalpha(static_cast<unsigned char>(text[at + 1]))) {
            ++at;
            continue;
        }
        const Tag tag = ReadTag(text, at + 1);
        AddLinksOfTag(tag, page);
        at = tag.end;
        if (tag.name == "script" || tag.name == "style" || tag.name == "textarea" || tag.name == "title") {
            const std::size_t end = EndOfRawText(text, at, tag.name);
            if (tag.name == "style") {
                for (PageLink& link : LinksOfStyleSheet(text.substr(at, end - at)))
                    page.links.push_back(std::move(link));
            }
            at = end;
        }
    }
    return page;
}
