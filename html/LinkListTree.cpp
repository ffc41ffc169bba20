#include "html/LinkListTree.h"

#include "html/Blanks.h"
#include "html/MarkupTokenizer.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::size_t kMaxOpenElements = 512;
constexpr std::size_t kMaxNodes = 400000;
constexpr std::size_t kMaxText = 1024;

bool IsList(std::string_view tag)
{
    return tag == "ul" || tag == "ol" || tag == "dl" || tag == "menu";
}

bool IsItem(std::string_view tag)
{
    return tag == "li" || tag == "dt" || tag == "dd";
}

bool IsVoid(std::string_view tag)
{
    static constexpr std::array<std::string_view, 14> kTags = { "area", "base", "br", "col", "embed", "hr", "img",
        "input", "link", "meta", "param", "source", "track", "wbr" };
    return std::find(kTags.begin(), kTags.end(), tag) != kTags.end();
}

// Appends text with runs of blanks collapsed, up to a bound that cuts no character in two.
void AppendBounded(CollapsedText& to, std::string_view text)
{
    if (to.Size() >= kMaxText)
        return;
    std::size_t room = kMaxText - to.Size();
    if (room < text.size()) {
        while (room > 0 && (static_cast<unsigned char>(text[room]) & 0xC0) == 0x80)
            --room;
        text = text.substr(0, room);
    }
    to.Append(text);
}

// Whether the rel attribute names `next` among its words.
bool RelNamesNext(const MarkupAttribute* rel)
{
    if (!rel)
        return false;
    std::string_view words = rel->value;
    while (!words.empty()) {
        std::size_t end = 0;
        while (end < words.size() && !IsHtmlBlank(words[end]))
            ++end;
        if (EqualsLowerCase(words.substr(0, end), "next"))
            return true;
        words.remove_prefix(std::min(end + 1, words.size()));
    }
    return false;
}

// A list or an item while the page is read; items and lists are nodes of one arena, so that
// growing it never invalidates what the open elements point at.
struct TNode {
    bool isList = false;
    std::string name;
    std::string href;
    CollapsedText linkText, ownText;
    std::vector<std::size_t> kids;
};

struct TLink {
    std::string href;
    CollapsedText text;
};

struct TOpen {
    std::string name;
    long node = -1; // the list or item node it opened, or -1 for any other element
    std::size_t serial = 0;
};

class TLinkReader {
public:
    explicit TLinkReader(std::string_view text)
        : tokens_(text)
    {
    }

    LinkListTree Read()
    {
        MarkupToken token;
        while (tokens_.Next(token)) {
            if (!skipping_.empty()) {
                if (token.kind == MarkupTokenKind::EndTag && token.name == skipping_)
                    skipping_.clear();
            } else if (token.kind == MarkupTokenKind::Text) {
                Text(token);
            } else if (token.kind == MarkupTokenKind::StartTag) {
                Tag(token);
            } else if (token.kind == MarkupTokenKind::EndTag) {
                Close(token.name);
            }
        }
        LinkListTree result;
        for (auto& [serial, lists] : groups_) {
            std::vector<LinkListItem> items;
            for (std::size_t list : lists)
                for (std::size_t item : nodes_[list].kids)
                    items.push_back(Build(item));
            result.listGroups.push_back(std::move(items));
        }
        result.links.reserve(links_.size());
        for (TLink& link : links_)
            result.links.push_back({ std::move(link.href), link.text.Take() });
        result.nextHref = nextHref_;
        return result;
    }

private:
    LinkListItem Build(std::size_t index) const
    {
        const TNode& node = nodes_[index];
        LinkListItem item { node.href, node.linkText.Text(), node.ownText.Text(), {} };
        for (std::size_t kid : node.kids) {
            // A nested list's items are the item's children.
            for (std::size_t grandKid : nodes_[kid].kids)
                item.children.push_back(Build(grandKid));
        }
        return item;
    }

    void Text(const MarkupToken& token)
    {
        if (token.text.empty() || (openLink_ < 0 && InnermostItem() < 0))
            return;
        const std::string_view decoded = DecodedTokenText(token, decoded_);
        if (openLink_ >= 0)
            AppendBounded(links_[static_cast<std::size_t>(openLink_)].text, decoded);
        if (linkItem_ >= 0)
            AppendBounded(nodes_[static_cast<std::size_t>(linkItem_)].linkText, decoded);
        const long item = InnermostItem();
        if (item >= 0)
            AppendBounded(nodes_[static_cast<std::size_t>(item)].ownText, decoded);
    }

    void Tag(const MarkupToken& tag)
    {
        const std::string_view name = tag.name;
        // Their content is never shown: passed over up to their end tag.
        if (name == "script" || name == "style" || name == "template") {
            skipping_ = name;
            return;
        }
        std::string href;
        if (name == "a" || name == "link") {
            if (const MarkupAttribute* given = tag.Attribute("href"))
                href = given->DecodedValue();
            if (nextHref_.empty() && !href.empty() && RelNamesNext(tag.Attribute("rel")))
                nextHref_ = href;
        }
        if (name == "a")
            OpenLink(std::move(href));
        if (IsVoid(name) || tag.selfClosing)
            return;
        if (IsItem(name))
            OpenItem(std::string(name));
        else if (IsList(name))
            OpenList(std::string(name));
        else
            Push(std::string(name), -1);
    }

    void OpenLink(std::string href)
    {
        CloseLink();
        if (href.empty() || links_.size() >= kMaxNodes)
            return;
        const long item = InnermostItem();
        if (item >= 0 && nodes_[static_cast<std::size_t>(item)].href.empty()) {
            nodes_[static_cast<std::size_t>(item)].href = href;
            linkItem_ = item;
        }
        links_.push_back({ std::move(href), {} });
        openLink_ = static_cast<long>(links_.size()) - 1;
    }

    void CloseLink()
    {
        openLink_ = -1;
        linkItem_ = -1;
    }

    // The item that text and links go to: the innermost open list or item when it is an item.
    long InnermostItem() const
    {
        for (auto open = open_.rbegin(); open != open_.rend(); ++open) {
            if (open->node >= 0)
                return nodes_[static_cast<std::size_t>(open->node)].isList ? -1 : open->node;
        }
        return -1;
    }

    long InnermostList() const
    {
        for (auto open = open_.rbegin(); open != open_.rend(); ++open) {
            if (open->node >= 0 && nodes_[static_cast<std::size_t>(open->node)].isList)
                return open->node;
        }
        return -1;
    }

    void OpenItem(const std::string& name)
    {
        // An item ends the open item of the same list.
        for (std::size_t i = open_.size(); i-- > 0;) {
            if (open_[i].node < 0)
                continue;
            if (!nodes_[static_cast<std::size_t>(open_[i].node)].isList) {
                PopTo(i);
                CloseLink();
            }
            break;
        }
        const long list = InnermostList();
        if (list < 0 || nodes_.size() >= kMaxNodes) {
            Push(name, -1);
            return;
        }
        TNode& owner = nodes_[static_cast<std::size_t>(list)];
        // A dd holds what belongs to the dt before it.
        if (name == "dd" && !owner.kids.empty() && nodes_[owner.kids.back()].name == "dt") {
            Push(name, static_cast<long>(owner.kids.back()));
            return;
        }
        Push(name, NewNode(false, name, list));
    }

    void OpenList(const std::string& name)
    {
        if (nodes_.size() >= kMaxNodes) {
            Push(name, -1);
            return;
        }
        long parent = -1;
        for (auto open = open_.rbegin(); open != open_.rend(); ++open) {
            if (open->node >= 0) {
                parent = open->node;
                break;
            }
        }
        // A list straight inside a list (no item between) is read as the last item's children.
        if (parent >= 0 && nodes_[static_cast<std::size_t>(parent)].isList) {
            const TNode& list = nodes_[static_cast<std::size_t>(parent)];
            parent = list.kids.empty() ? NewNode(false, "li", parent) : static_cast<long>(list.kids.back());
        }
        const long node = NewNode(true, name, parent);
        if (parent < 0) {
            const std::size_t container = open_.empty() ? 0 : open_.back().serial;
            if (groups_.empty() || groups_.back().first != container)
                groups_.push_back({ container, {} });
            groups_.back().second.push_back(static_cast<std::size_t>(node));
        }
        Push(name, node);
    }

    long NewNode(bool isList, const std::string& name, long parent)
    {
        nodes_.push_back({ isList, name, {}, {}, {}, {} });
        const auto index = static_cast<long>(nodes_.size()) - 1;
        if (parent >= 0) {
            nodes_[static_cast<std::size_t>(parent)].kids.push_back(static_cast<std::size_t>(index));
        }
        return index;
    }

    void Push(const std::string& name, long node)
    {
        if (open_.size() >= kMaxOpenElements)
            return;
        open_.push_back({ name, node, ++serial_ });
    }

    void PopTo(std::size_t index) { open_.resize(index); }

    void Close(std::string_view name)
    {
        if (name == "a")
            CloseLink();
        // An end tag closes its element when it is open, but never reaches past a list or an item
        // that is not its own.
        for (std::size_t i = open_.size(); i-- > 0;) {
            if (open_[i].name == name) {
                PopTo(i);
                if (open_.empty() || IsList(name) || IsItem(name))
                    CloseLink();
                return;
            }
            if (open_[i].node >= 0 && !IsList(name) && !IsItem(name))
                return;
            if (open_[i].node >= 0 && nodes_[static_cast<std::size_t>(open_[i].node)].isList && IsItem(name))
                return;
        }
    }

    MarkupTokenizer tokens_;
    std::string skipping_; // the element whose content is passed over, else empty
    std::string decoded_; // the text of the token read last, when references had to be decoded
    std::vector<TNode> nodes_;
    std::vector<TOpen> open_;
    std::size_t serial_ = 0;
    std::vector<std::pair<std::size_t, std::vector<std::size_t>>> groups_;
    std::vector<TLink> links_;
    long openLink_ = -1;
    long linkItem_ = -1;
    std::string nextHref_;
};

} // namespace

LinkListTree ReadLinkListTree(std::string_view utf8)
{
    return TLinkReader(utf8).Read();
}
