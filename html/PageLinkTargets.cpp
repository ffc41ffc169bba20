#include "html/PageLinkTargets.h"

#include "common/AnsiText.h"
#include "html/Blanks.h"
#include "html/MarkupTokenizer.h"

#include <algorithm>
#include <optional>

namespace {

// The candidates of a srcset: an address up to a blank (commas at its end belong to the list),
// then descriptors up to the next comma. Only the first kMostSourceSetCandidates count: a set of
// millions would cost gigabytes of links to check.
void AddSourceSet(std::string_view list, const std::string& where, std::vector<LinkTarget>& links)
{
    std::size_t at = 0;
    for (std::size_t candidates = 0; at < list.size() && candidates < kMostSourceSetCandidates; ++candidates) {
        while (at < list.size() && (IsHtmlBlank(list[at]) || list[at] == ','))
            ++at;
        const std::size_t start = at;
        while (at < list.size() && !IsHtmlBlank(list[at]))
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
    std::string_view rest = TrimBlanks(content.substr(separator + 1));
    if (rest.size() >= 3 && EqualsLowerCase(rest.substr(0, 3), "url")) {
        std::string_view after = TrimBlanks(rest.substr(3));
        if (after.starts_with('='))
            rest = TrimBlanks(after.substr(1));
    }
    if (!rest.empty() && (rest.front() == '\'' || rest.front() == '"')) {
        const char quote = rest.front();
        rest.remove_prefix(1);
        rest = rest.substr(0, rest.find(quote));
    }
    return std::string(rest);
}

// The attribute's value with its references decoded, when the tag has one.
std::optional<std::string> ValueOf(const MarkupToken& tag, std::string_view attribute)
{
    const MarkupAttribute* found = tag.Attribute(attribute);
    if (!found)
        return std::nullopt;
    return found->DecodedValue();
}

void AddLinksOfTag(const MarkupToken& tag, PageLinkTargets& page)
{
    // Most tags of a page have no attributes, and nothing below is found without one.
    if (tag.attributes.empty())
        return;
    static constexpr std::string_view kSingleAddresses[] = { "href", "src", "poster", "data" };
    const std::string_view name = tag.name;
    for (std::string_view attribute : kSingleAddresses) {
        const std::optional<std::string> value = ValueOf(tag, attribute);
        if (!value)
            continue;
        const std::string_view address = TrimBlanks(*value);
        if (name == "base" && attribute == "href") {
            if (page.base.empty())
                page.base = address;
            continue;
        }
        page.links.push_back({ std::string(address), std::string(name) + " " + std::string(attribute) });
    }
    if (const std::optional<std::string> set = ValueOf(tag, "srcset"))
        AddSourceSet(*set, std::string(name) + " srcset", page.links);
    if (const std::optional<std::string> style = ValueOf(tag, "style")) {
        for (LinkTarget& link : LinkTargetsOfStyleSheet(*style))
            page.links.push_back(std::move(link));
    }
    if (name == "meta") {
        const MarkupAttribute* equiv = tag.Attribute("http-equiv");
        const std::optional<std::string> content = ValueOf(tag, "content");
        if (equiv && content && EqualsLowerCase(TrimBlanks(equiv->DecodedValue()), "refresh")) {
            std::string address = RefreshAddress(*content);
            if (!address.empty())
                page.links.push_back({ std::move(address), "meta refresh" });
        }
    }
    if (std::optional<std::string> id = ValueOf(tag, "id"))
        page.anchors.push_back(std::move(*id));
    if (name == "a") {
        if (std::optional<std::string> anchor = ValueOf(tag, "name"))
            page.anchors.push_back(std::move(*anchor));
    }
}

// The address of a url( ... ) whose text starts at `at`, just past the parenthesis; `at` ends
// past the closing one.
std::string UrlArgument(std::string_view css, std::size_t& at)
{
    while (at < css.size() && IsHtmlBlank(css[at]))
        ++at;
    std::string address;
    if (at < css.size() && (css[at] == '"' || css[at] == '\'')) {
        const char quote = css[at++];
        const std::size_t close = std::min(css.find(quote, at), css.size());
        address = css.substr(at, close - at);
        at = close + 1;
    } else {
        const std::size_t close = std::min(css.find(')', at), css.size());
        address = TrimBlanks(css.substr(at, close - at));
        at = close;
    }
    const std::size_t close = css.find(')', std::min(at, css.size()));
    at = close == std::string_view::npos ? css.size() : close + 1;
    return address;
}

} // namespace

std::vector<LinkTarget> LinkTargetsOfStyleSheet(std::string_view css, std::size_t most)
{
    std::vector<LinkTarget> links;
    const std::string lower = LowerCaseAscii(std::string(css));
    std::size_t at = 0;
    while (at < css.size() && links.size() < most) {
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
            while (at < css.size() && IsHtmlBlank(css[at]))
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

PageLinkTargets LinkTargetsOfMarkup(std::string_view utf8)
{
    PageLinkTargets page;
    MarkupTokenizer tokens(utf8);
    MarkupToken token;
    bool inStyle = false;
    while (tokens.Next(token)) {
        if (token.kind == MarkupTokenKind::StartTag) {
            AddLinksOfTag(token, page);
            inStyle = token.name == "style" && tokens.InRawText();
        } else if (token.kind == MarkupTokenKind::Text && inStyle) {
            for (LinkTarget& link : LinkTargetsOfStyleSheet(token.text))
                page.links.push_back(std::move(link));
        } else {
            inStyle = false;
        }
        if (page.links.size() > kMostLinksPerPage || page.anchors.size() > kMostLinksPerPage) {
            page.cut = true;
            if (page.links.size() > kMostLinksPerPage)
                page.links.resize(kMostLinksPerPage);
            if (page.anchors.size() > kMostLinksPerPage)
                page.anchors.resize(kMostLinksPerPage);
        }
    }
    return page;
}
