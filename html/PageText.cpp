#include "html/PageText.h"

#include "html/Blanks.h"
#include "html/MarkupTokenizer.h"
#include "html/TextEncoding.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

namespace {

// Elements whose content is never shown as text: skipped up to their end tag.
bool SkipsContent(std::string_view tag)
{
    static constexpr std::array<std::string_view, 8> kTags
        = { "script", "style", "template", "xmp", "iframe", "noembed", "noframes", "svg" };
    return std::find(kTags.begin(), kTags.end(), tag) != kTags.end();
}

// Inline elements: words on either side of their tags run on without a blank ("<b>Ré</b>sumé").
bool IsInline(std::string_view tag)
{
    static constexpr std::array<std::string_view, 22> kTags = { "a", "abbr", "b", "bdi", "bdo", "big", "cite", "code",
        "dfn", "em", "font", "i", "kbd", "mark", "q", "s", "samp", "small", "span", "strong", "sub", "sup" };
    return std::find(kTags.begin(), kTags.end(), tag) != kTags.end() || tag == "tt" || tag == "u" || tag == "var"
        || tag == "wbr";
}

bool IsVoid(std::string_view tag)
{
    static constexpr std::array<std::string_view, 14> kTags = { "area", "base", "br", "col", "embed", "hr", "img",
        "input", "link", "meta", "param", "source", "track", "wbr" };
    return std::find(kTags.begin(), kTags.end(), tag) != kTags.end();
}

// Elements whose end tag may be left out: a new one ends the open one ("<li>a<li>b").
bool EndsItsLike(std::string_view tag, std::string_view open)
{
    if (tag == "td" || tag == "th")
        return open == "td" || open == "th";
    if (tag == "dt" || tag == "dd")
        return open == "dt" || open == "dd";
    return tag == open && (tag == "p" || tag == "li" || tag == "tr" || tag == "option");
}

bool IsSectioning(std::string_view tag)
{
    return tag == "article" || tag == "main" || tag == "section";
}

// Whether the element is a navigation landmark.
bool IsNavigationRole(const MarkupToken& tag)
{
    const MarkupAttribute* role = tag.Attribute("role");
    return role && role->value.size() >= 10 && EqualsLowerCase(role->value.substr(0, 10), "navigation");
}

// Whether the element is the title of a table, figure or example: a caption, or the paragraph of
// class "title" DocBook writes for one ("Table 9.45. json and jsonb Operators").
bool IsCaption(const MarkupToken& tag)
{
    if (tag.name == "caption" || tag.name == "figcaption")
        return true;
    const MarkupAttribute* classes = tag.name == "p" ? tag.Attribute("class") : nullptr;
    return classes && EqualsLowerCase(classes->value, "title");
}

// Defined terms count as headings when their text is at most 1 / kMostTermsShare of the body's.
constexpr std::size_t kMostTermsShare = 4;
// Open elements deeper than this are not followed: their text joins the deepest one followed.
constexpr std::size_t kMostDepth = 256;
// Elements recorded for one page at most; text of later ones joins the innermost one recorded.
constexpr std::size_t kMostElements = 1 << 20;

class MarkupReader {
public:
    MarkupReader(std::string_view text, MarkupDialect dialect)
        : tokens_(text, dialect)
    {
    }

    PageText Read()
    {
        MarkupToken token;
        while (body_.Size() < kMostPageTextBytes && tokens_.Next(token)) {
            if (!skipping_.empty()) {
                // The content of an element never shown ends at its end tag, whatever it holds.
                if (token.kind == MarkupTokenKind::EndTag && token.name == skipping_) {
                    skipping_.clear();
                    ReadTag(token);
                }
            } else if (token.kind == MarkupTokenKind::Text) {
                AppendText(DecodedTokenText(token, decoded_));
            } else if (token.kind == MarkupTokenKind::Cdata) {
                if (skipFrom_ == std::string::npos)
                    AppendBody(token.text);
            } else if (token.kind == MarkupTokenKind::StartTag || token.kind == MarkupTokenKind::EndTag) {
                ReadTag(token);
            }
        }
        EndBlock();
        PageText page;
        page.title = title_.Take();
        if (page.title.empty())
            page.title = heading_.Take();
        page.headings = headings_.Take();
        // Defined terms name the parts of a reference page (settings, functions); on a page made
        // mostly of them (a back-of-book index, a contents list) they name other pages.
        if (terms_.Size() * kMostTermsShare <= body_.Size()) {
            headings_.Append(page.headings);
            headings_.Break();
            headings_.Append(terms_.Take());
            page.headings = headings_.Take();
        }
        page.body = body_.Take();
        page.blocks = std::move(blocks_);
        page.elements = std::move(elements_);
        return page;
    }

private:
    struct OpenElement {
        std::string name;
        uint32_t id;
    };

    void AppendText(std::string_view decoded)
    {
        if (decoded.empty())
            return;
        if (inTitle_) {
            title_.Append(decoded);
            return;
        }
        if (skipFrom_ != std::string::npos)
            return; // navigation
        AppendBody(decoded);
        if (inHeading_ && !headingDone_)
            heading_.Append(decoded);
        if (headingLevel_ > 0 || !caption_.empty())
            headings_.Append(decoded);
        if (inTerm_)
            terms_.Append(decoded);
    }

    void AppendBody(std::string_view text)
    {
        if (body_.Size() >= kMostPageTextBytes)
            return;
        const std::size_t first = body_.Append(text.substr(0, kMostPageTextBytes - body_.Size()));
        if (first != std::string::npos && !inBlock_) {
            inBlock_ = true;
            blockBegin_ = first;
        }
    }

    void EndBlock()
    {
        if (inBlock_)
            blocks_.push_back(
                { blockBegin_, body_.Size(), open_.empty() ? MarkupElement::kNoElement : open_.back().id });
        inBlock_ = false;
    }

    void ReadTag(const MarkupToken& tag)
    {
        const bool closing = tag.kind == MarkupTokenKind::EndTag;
        const std::string_view name = tag.name;
        // A self-closed element is empty, but for one whose content a browser reads as raw text
        // all the same (<script/> in HTML).
        const bool empty = tag.selfClosing && !tokens_.InRawText();
        if (!IsInline(name)) {
            (inTitle_ ? title_ : body_).Break();
            headings_.Break();
            terms_.Break();
            EndBlock();
        }
        if (name == "title") {
            inTitle_ = !closing && !empty;
        } else if (name == caption_) {
            caption_.clear(); // it ends, or another of its kind begins
        } else if (caption_.empty() && !closing && !empty && IsCaption(tag)) {
            // Captions name what follows as headings do.
            caption_ = name;
        } else if (name == "dt" || name == "dd") {
            // A term a definition list defines (a setting, a function) names what follows it.
            inTerm_ = name == "dt" && !closing;
        } else if (name == "h1" || name == "h2" || name == "h3") {
            headingLevel_ = closing ? 0 : name[1] - '0';
            if (name == "h1") {
                inHeading_ = !closing;
                if (closing && !heading_.Empty())
                    headingDone_ = true;
            }
            if (!closing && headingLevel_ <= 2) {
                for (const OpenElement& open : open_)
                    MarkContent(open.id);
            }
        }
        if (closing) {
            Close(name);
        } else if (!empty && SkipsContent(name)) {
            skipping_ = name;
        } else if (!empty && !IsInline(name) && !IsVoid(name)) {
            Open(tag);
        }
    }

    void MarkContent(uint32_t id)
    {
        if (id < elements_.size())
            elements_[id].content = true;
    }

    void Open(const MarkupToken& tag)
    {
        const std::string_view name = tag.name;
        if (!open_.empty() && EndsItsLike(name, open_.back().name))
            Close(open_.back().name);
        if (open_.size() >= kMostDepth)
            return;
        uint32_t id = open_.empty() ? MarkupElement::kNoElement : open_.back().id;
        if (elements_.size() < kMostElements) {
            id = static_cast<uint32_t>(elements_.size());
            const bool heading = name.size() == 2 && name[0] == 'h' && name[1] >= '1' && name[1] <= '6';
            elements_.push_back({ open_.empty() ? MarkupElement::kNoElement : open_.back().id,
                name == "html" || name == "body" || IsSectioning(name), heading });
        }
        if (IsSectioning(name))
            ++sectioning_;
        // Navigation landmarks, and headers and footers of the whole page (not of an article),
        // hold links to other pages, not this page's text.
        if (skipFrom_ == std::string::npos
            && (name == "nav" || name == "aside" || ((name == "header" || name == "footer") && sectioning_ == 0)
                || IsNavigationRole(tag)))
            skipFrom_ = open_.size();
        open_.push_back({ std::string(name), id });
    }

    void Close(std::string_view name)
    {
        std::size_t found = open_.size();
        while (found > 0 && open_[found - 1].name != name)
            --found;
        if (found == 0)
            return; // an end tag nothing opened
        while (open_.size() >= found) {
            if (IsSectioning(open_.back().name))
                --sectioning_;
            open_.pop_back();
        }
        if (skipFrom_ != std::string::npos && open_.size() <= skipFrom_)
            skipFrom_ = std::string::npos;
    }

    MarkupTokenizer tokens_;
    std::string decoded_; // the text of the token read last, when references had to be decoded
    CollapsedText title_;
    CollapsedText heading_;
    CollapsedText headings_;
    CollapsedText terms_;
    CollapsedText body_;
    bool inTitle_ = false;
    bool inHeading_ = false;
    bool headingDone_ = false;
    int headingLevel_ = 0; // of the h1, h2 or h3 open, else 0
    bool inTerm_ = false; // in a definition list's term
    std::string caption_; // the name of the caption element open, else empty
    std::string skipping_; // the element whose content is passed over, else empty
    std::vector<OpenElement> open_; // innermost last
    std::vector<MarkupElement> elements_;
    std::vector<MarkupBlock> blocks_;
    bool inBlock_ = false;
    std::size_t blockBegin_ = 0;
    int sectioning_ = 0; // article, main and section elements open
    std::size_t skipFrom_ = std::string::npos; // depth of the navigation element open, if any
};

} // namespace

PageText TextOfMarkup(std::string_view utf8, MarkupDialect dialect)
{
    return MarkupReader(utf8, dialect).Read();
}

std::optional<PageText> ExtractPageText(std::string_view pageName, std::string_view bytes)
{
    const PageKind kind = PageKindOf(pageName);
    if (kind == PageKind::Other)
        return std::nullopt;
    const DecodedText decoded = DecodePageText(bytes, kind != PageKind::PlainText);
    if (kind != PageKind::PlainText)
        return TextOfMarkup(decoded.utf8, kind == PageKind::Xhtml ? MarkupDialect::Xhtml : MarkupDialect::Html);
    CollapsedText sink;
    sink.Append(std::string_view(decoded.utf8).substr(0, kMostPageTextBytes));
    return PageText { {}, {}, sink.Take(), {}, {} };
}
