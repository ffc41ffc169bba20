#include "html/PageText.h"

#include "common/AnsiText.h"
#include "html/Blanks.h"
#include "html/CharacterReferences.h"
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

// Whether the attributes (lower case) give `name` a value that begins with `value`.
bool AttributeBegins(std::string_view attributes, std::string_view name, std::string_view value)
{
    for (std::size_t at = attributes.find(name); at != std::string_view::npos;
         at = attributes.find(name, at + name.size())) {
        std::size_t i = at + name.size();
        while (i < attributes.size() && IsHtmlBlank(attributes[i]))
            ++i;
        if (i >= attributes.size() || attributes[i] != '=')
            continue;
        ++i;
        while (i < attributes.size() && IsHtmlBlank(attributes[i]))
            ++i;
        if (i < attributes.size() && (attributes[i] == '"' || attributes[i] == '\''))
            ++i;
        if (attributes.substr(i).starts_with(value))
            return true;
    }
    return false;
}

// Whether the attributes (lower case) make the element a navigation landmark.
bool IsNavigationRole(std::string_view attributes)
{
    return AttributeBegins(attributes, "role", "navigation");
}

// Whether the element is the title of a table, figure or example: a caption, or the paragraph of
// class "title" DocBook writes for one ("Table 9.45. json and jsonb Operators").
bool IsCaption(std::string_view name, std::string_view attributes)
{
    return name == "caption" || name == "figcaption"
        || (name == "p"
            && (AttributeBegins(LowerCaseAscii(attributes), "class", "title\"")
                || AttributeBegins(LowerCaseAscii(attributes), "class", "title'")));
}

// Defined terms count as headings when their text is at most 1 / kMostTermsShare of the body's.
constexpr std::size_t kMostTermsShare = 4;
// Open elements deeper than this are not followed: their text joins the deepest one followed.
constexpr std::size_t kMostDepth = 256;
// Elements recorded for one page at most; text of later ones joins the innermost one recorded.
constexpr std::size_t kMostElements = 1 << 20;

// Collects text with runs of blanks collapsed to one blank.
class TextSink {
public:
    // Where the first word appended landed; npos when the text is all blanks.
    std::size_t Append(std::string_view text)
    {
        std::size_t first = std::string::npos;
        for (std::size_t i = 0; i < text.size();) {
            if (IsHtmlBlank(text[i])) {
                pendingBlank_ = !text_.empty();
                ++i;
                continue;
            }
            std::size_t wordEnd = i + 1;
            while (wordEnd < text.size() && !IsHtmlBlank(text[wordEnd]))
                ++wordEnd;
            if (pendingBlank_)
                text_ += ' ';
            pendingBlank_ = false;
            if (first == std::string::npos)
                first = text_.size();
            text_.append(text.substr(i, wordEnd - i));
            i = wordEnd;
        }
        return first;
    }
    void Break() { pendingBlank_ = !text_.empty(); }
    std::string Take()
    {
        pendingBlank_ = false;
        return std::exchange(text_, {});
    }
    bool Empty() const { return text_.empty(); }
    std::size_t Size() const { return text_.size(); }

private:
    std::string text_;
    bool pendingBlank_ = false;
};

class MarkupReader {
public:
    explicit MarkupReader(std::string_view text)
        : text_(text)
    {
    }

    PageText Read()
    {
        while (at_ < text_.size()) {
            const std::size_t lt = text_.find('<', at_);
            AppendText(text_.substr(at_, lt == std::string_view::npos ? std::string_view::npos : lt - at_));
            if (lt == std::string_view::npos || body_.Size() >= kMostPageTextBytes)
                break;
            at_ = lt;
            ReadMarkup();
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

    void AppendText(std::string_view raw)
    {
        if (raw.empty())
            return;
        // Most text holds no references at all: it is taken as it stands.
        std::string decodedCopy;
        std::string_view decoded = raw;
        if (raw.find('&') != std::string_view::npos) {
            decodedCopy = DecodeCharacterReferences(raw);
            decoded = decodedCopy;
        }
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

    // Reads from the '<' at at_: a comment, a declaration, CDATA, a tag, or a lone '<'.
    void ReadMarkup()
    {
        const std::string_view rest = text_.substr(at_);
        if (rest.starts_with("<!--")) {
            SkipPast("-->", 4);
        } else if (rest.starts_with("<![CDATA[")) {
            const std::size_t end = text_.find("]]>", at_ + 9);
            const std::size_t stop = end == std::string_view::npos ? text_.size() : end;
            if (skipFrom_ == std::string::npos)
                AppendBody(text_.substr(at_ + 9, stop - at_ - 9));
            at_ = end == std::string_view::npos ? text_.size() : end + 3;
        } else if (rest.starts_with("<!") || rest.starts_with("<?")) {
            SkipPast(">", 2);
        } else if (rest.size() > 1 && (std::isalpha(static_cast<unsigned char>(rest[1])) || rest[1] == '/')) {
            ReadTag();
        } else {
            if (skipFrom_ == std::string::npos)
                AppendBody("<");
            ++at_;
        }
    }

    void SkipPast(std::string_view end, std::size_t from)
    {
        const std::size_t found = text_.find(end, at_ + from);
        at_ = found == std::string_view::npos ? text_.size() : found + end.size();
    }

    void ReadTag()
    {
        const bool closing = text_[at_ + 1] == '/';
        std::size_t i = at_ + (closing ? 2 : 1);
        const std::size_t nameStart = i;
        while (i < text_.size() && !IsHtmlBlank(text_[i]) && text_[i] != '>' && text_[i] != '/')
            ++i;
        const std::string name = LowerCaseAscii(text_.substr(nameStart, i - nameStart));
        const std::size_t attributesStart = i;
        // Past the attributes: a '>' inside a quoted value does not end the tag.
        char quote = 0;
        for (; i < text_.size(); ++i) {
            const char c = text_[i];
            if (quote != 0) {
                if (c == quote)
                    quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                break;
            }
        }
        const bool selfClosing = i > 0 && i < text_.size() && text_[i - 1] == '/';
        const std::string_view attributes = text_.substr(attributesStart, i - attributesStart);
        at_ = std::min(i + 1, text_.size());
        if (!IsInline(name)) {
            (inTitle_ ? title_ : body_).Break();
            headings_.Break();
            terms_.Break();
            EndBlock();
        }
        if (name == "title") {
            inTitle_ = !closing && !selfClosing;
        } else if (name == caption_) {
            caption_.clear(); // it ends, or another of its kind begins
        } else if (caption_.empty() && !closing && !selfClosing && IsCaption(name, attributes)) {
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
        } else if (!selfClosing && SkipsContent(name)) {
            SkipToEndTag(name);
        } else if (!selfClosing && !IsInline(name) && !IsVoid(name)) {
            Open(name, attributes);
        }
    }

    void MarkContent(uint32_t id)
    {
        if (id < elements_.size())
            elements_[id].content = true;
    }

    void Open(const std::string& name, std::string_view attributes)
    {
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
                || IsNavigationRole(LowerCaseAscii(attributes))))
            skipFrom_ = open_.size();
        open_.push_back({ name, id });
    }

    void Close(const std::string& name)
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

    // Raw text: only "</name" ends it, whatever the letter case.
    void SkipToEndTag(const std::string& name)
    {
        const std::string end = "</" + name;
        while (at_ < text_.size()) {
            const std::size_t lt = text_.find("</", at_);
            if (lt == std::string_view::npos) {
                at_ = text_.size();
                return;
            }
            if (LowerCaseAscii(text_.substr(lt, end.size())) == end) {
                at_ = lt;
                ReadTag();
                return;
            }
            at_ = lt + 2;
        }
    }

    std::string_view text_;
    std::size_t at_ = 0;
    TextSink title_;
    TextSink heading_;
    TextSink headings_;
    TextSink terms_;
    TextSink body_;
    bool inTitle_ = false;
    bool inHeading_ = false;
    bool headingDone_ = false;
    int headingLevel_ = 0; // of the h1, h2 or h3 open, else 0
    bool inTerm_ = false; // in a definition list's term
    std::string caption_; // the name of the caption element open, else empty
    std::vector<OpenElement> open_; // innermost last
    std::vector<MarkupElement> elements_;
    std::vector<MarkupBlock> blocks_;
    bool inBlock_ = false;
    std::size_t blockBegin_ = 0;
    int sectioning_ = 0; // article, main and section elements open
    std::size_t skipFrom_ = std::string::npos; // depth of the navigation element open, if any
};

} // namespace

PageText TextOfMarkup(std::string_view utf8)
{
    return MarkupReader(utf8).Read();
}

std::optional<PageText> ExtractPageText(std::string_view pageName, std::string_view bytes)
{
    const PageKind kind = PageKindOf(pageName);
    if (kind == PageKind::Other)
        return std::nullopt;
    const DecodedText decoded = DecodePageText(bytes, kind != PageKind::PlainText);
    if (kind != PageKind::PlainText)
        return TextOfMarkup(decoded.utf8);
    TextSink sink;
    sink.Append(std::string_view(decoded.utf8).substr(0, kMostPageTextBytes));
    return PageText { {}, {}, sink.Take(), {}, {} };
}
