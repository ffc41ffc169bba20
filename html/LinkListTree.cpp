#include "html/LinkLists.h"

#include "common/AnsiText.h"
#include "html/CharacterReferences.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace {

constexpr std::size_t kMaxOpenElements = 512;
constexpr std::size_t kMaxNodes = 400000;
constexpr std::size_t kMaxText = 1024;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

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

// Appends text with runs of blanks collapsed, up to a bound.
void AppendCollapsed(std::string& to, std::string_view text)
{
    for (char c : text) {
        if (to.size() >= kMaxText)
            return;
        if (IsBlank(c)) {
            if (!to.empty() && to.back() != ' ')
                to += ' ';
        } else {
            to += c;
        }
    }
}

std::string Trimmed(std::string text)
{
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

struct TTag {
    std::string name;
    bool closing = false;
    bool selfClosing = false;
    std::string href;
    std::string rel;
};

// A list or an item while the page is read; items and lists are nodes of one arena, so that
// growing it never invalidates what the open elements point at.
struct TNode {
    bool isList = false;
    std::string name;
    std::string href, linkText, ownText;
    std::vector<std::size_t> kids;
};

struct TOpen {
    std::string name;
    long node = -1; // the list or item node it opened, or -1 for any other element
    std::size_t serial = 0;
};

class TLinkReader {
public:
    explicit TLinkReader(std::string_view text)
        : text_(text)
    {
    }

    TPageLinks Read()
    {
        while (at_ < text_.size()) {
            const std::size_t lt = text_.find('<', at_);
            const std::size_t end = lt == std::string_view::npos ? text_.size() : lt;
            Text(text_.substr(at_, end - at_));
            at_ = end;
            if (lt == std::string_view::npos)
                break;
            Markup();
        }
        TPageLinks result;
        for (auto& [serial, lists] : groups_) {
            std::vector<TListItem> items;
            for (std::size_t list : lists)
                for (std::size_t item : nodes_[list].kids)
                    items.push_back(Build(item));
            result.listGroups.push_back(std::move(items));
        }
        for (auto& link : links_)
            link.text = Trimmed(std::move(link.text));
        result.links = std::move(links_);
        result.nextHref = nextHref_;
        return result;
    }

private:
    TListItem Build(std::size_t index) const
    {
        const TNode& node = nodes_[index];
        TListItem item { node.href, Trimmed(node.linkText), Trimmed(node.ownText), {} };
        for (std::size_t kid : node.kids) {
            // A nested list's items are the item's children.
            for (std::size_t grandKid : nodes_[kid].kids)
                item.children.push_back(Build(grandKid));
        }
        return item;
    }

    void Text(std::string_view raw)
    {
        if (raw.empty() || (openLink_ < 0 && InnermostItem() < 0))
            return;
        std::string decoded
            = raw.find('&') == std::string_view::npos ? std::string(raw) : DecodeCharacterReferences(raw);
        if (openLink_ >= 0)
            AppendCollapsed(links_[static_cast<std::size_t>(openLink_)].text, decoded);
        if (linkItem_ >= 0)
            AppendCollapsed(nodes_[static_cast<std::size_t>(linkItem_)].linkText, decoded);
        const long item = InnermostItem();
        if (item >= 0)
            AppendCollapsed(nodes_[static_cast<std::size_t>(item)].ownText, decoded);
    }

    void Markup()
    {
        const std::string_view rest = text_.substr(at_);
        if (rest.starts_with("<!--")) {
            SkipPast("-->", 4);
        } else if (rest.starts_with("<!") || rest.starts_with("<?")) {
            SkipPast(">", 2);
        } else if (rest.size() > 1 && (std::isalpha(static_cast<unsigned char>(rest[1])) || rest[1] == '/')) {
            Tag(ReadTag());
        } else {
            Text("<");
            ++at_;
        }
    }

    void SkipPast(std::string_view end, std::size_t from)
    {
        const std::size_t found = text_.find(end, at_ + from);
        at_ = found == std::string_view::npos ? text_.size() : found + end.size();
    }

    TTag ReadTag()
    {
        TTag tag;
        tag.closing = text_[at_ + 1] == '/';
        std::size_t i = at_ + (tag.closing ? 2 : 1);
        const std::size_t nameStart = i;
        while (i < text_.size() && !IsBlank(text_[i]) && text_[i] != '>' && text_[i] != '/')
            ++i;
        tag.name = LowerCaseAscii(text_.substr(nameStart, i - nameStart));
        while (i < text_.size() && text_[i] != '>') {
            if (IsBlank(text_[i]) || text_[i] == '/') {
                tag.selfClosing = text_[i] == '/';
                ++i;
                continue;
            }
            const std::size_t keyStart = i;
            while (i < text_.size() && !IsBlank(text_[i]) && text_[i] != '>' && text_[i] != '=' && text_[i] != '/')
                ++i;
            const std::string key = LowerCaseAscii(text_.substr(keyStart, i - keyStart));
            while (i < text_.size() && IsBlank(text_[i]))
                ++i;
            std::string_view value;
            if (i < text_.size() && text_[i] == '=') {
                ++i;
                while (i < text_.size() && IsBlank(text_[i]))
                    ++i;
                if (i < text_.size() && (text_[i] == '"' || text_[i] == '\'')) {
                    const char quote = text_[i++];
                    const std::size_t close = text_.find(quote, i);
                    const std::size_t stop = close == std::string_view::npos ? text_.size() : close;
                    value = text_.substr(i, stop - i);
                    i = std::min(stop + 1, text_.size());
                } else {
                    const std::size_t valueStart = i;
                    while (i < text_.size() && !IsBlank(text_[i]) && text_[i] != '>')
                        ++i;
                    value = text_.substr(valueStart, i - valueStart);
                }
            }
            tag.selfClosing = false;
            if (key == "href" && tag.href.empty())
                tag.href = DecodeCharacterReferences(value);
            else if (key == "rel") {
                tag.rel = " " + LowerCaseAscii(value) + " ";
                std::replace_if(tag.rel.begin(), tag.rel.end(), IsBlank, ' ');
            }
        }
        at_ = std::min(i + 1, text_.size());
        return tag;
    }

    void Tag(const TTag& tag)
    {
        if (tag.closing) {
            Close(tag.name);
            return;
        }
        if (tag.name == "script" || tag.name == "style" || tag.name == "template") {
            SkipRawText(tag.name);
            return;
        }
        if ((tag.name == "a" || tag.name == "link") && nextHref_.empty() && !tag.href.empty()
            && tag.rel.find(" next ") != std::string::npos)
            nextHref_ = tag.href;
        if (tag.name == "a")
            OpenLink(tag);
        if (IsVoid(tag.name) || tag.selfClosing)
            return;
        if (IsItem(tag.name))
            OpenItem(tag.name);
        else if (IsList(tag.name))
            OpenList(tag.name);
        else
            Push(tag.name, -1);
    }

    void OpenLink(const TTag& tag)
    {
        CloseLink();
        if (tag.href.empty() || links_.size() >= kMaxNodes)
            return;
        links_.push_back({ tag.href, {} });
        openLink_ = static_cast<long>(links_.size()) - 1;
        const long item = InnermostItem();
        if (item >= 0 && nodes_[static_cast<std::size_t>(item)].href.empty()) {
            nodes_[static_cast<std::size_t>(item)].href = tag.href;
            linkItem_ = item;
        }
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

    void Close(const std::string& name)
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

    // Raw text: only "</name" ends it, whatever the letter case.
    void SkipRawText(const std::string& name)
    {
        const std::string end = "</" + name;
        while (at_ < text_.size()) {
            const std::size_t lt = text_.find("</", at_);
            if (lt == std::string_view::npos) {
                at_ = text_.size();
                return;
            }
            at_ = lt + 2;
            if (LowerCaseAscii(text_.substr(lt, end.size())) == end) {
                SkipPast(">", 0);
                return;
            }
        }
    }

    std::string_view text_;
    std::size_t at_ = 0;
    std::vector<TNode> nodes_;
    std::vector<TOpen> open_;
    std::size_t serial_ = 0;
    std::vector<std::pair<std::size_t, std::vector<std::size_t>>> groups_;
    std::vector<TMarkupLink> links_;
    long openLink_ = -1;
    long linkItem_ = -1;
    std::string nextHref_;
};

} // namespace

TPageLinks ReadPageLinks(std::string_view utf8)
{
    return TLinkReader(utf8).Read();
}
