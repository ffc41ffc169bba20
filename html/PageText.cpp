#include "html/PageText.h"

#include "common/AnsiText.h"
#include "html/Blanks.h"
#include "html/CharacterReferences.h"
#include "html/TextEncoding.h"

#include <algorithm>
#include <array>
#include <cctype>

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

// Collects text with runs of blanks collapsed to one blank.
class TextSink {
public:
    void Append(std::string_view text) { AppendCollapsed(text_, text, pendingBlank_); }
    void Break() { pendingBlank_ = !text_.empty(); }
    std::string Take() { return std::move(text_); }
    bool Empty() const { return text_.empty(); }

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
            if (lt == std::string_view::npos)
                break;
            at_ = lt;
            ReadMarkup();
        }
        PageText page;
        page.title = title_.Take();
        if (page.title.empty())
            page.title = heading_.Take();
        page.body = body_.Take();
        return page;
    }

private:
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
        TextSink& sink = inTitle_ ? title_ : body_;
        sink.Append(decoded);
        if (inHeading_ && !headingDone_)
            heading_.Append(decoded);
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
            body_.Append(text_.substr(at_ + 9, stop - at_ - 9));
            at_ = end == std::string_view::npos ? text_.size() : end + 3;
        } else if (rest.starts_with("<!") || rest.starts_with("<?")) {
            SkipPast(">", 2);
        } else if (rest.size() > 1 && (std::isalpha(static_cast<unsigned char>(rest[1])) || rest[1] == '/')) {
            ReadTag();
        } else {
            body_.Append("<");
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
        at_ = std::min(i + 1, text_.size());
        if (!IsInline(name))
            (inTitle_ ? title_ : body_).Break();
        if (name == "title") {
            inTitle_ = !closing && !selfClosing;
        } else if (name == "h1") {
            inHeading_ = !closing;
            if (closing && !heading_.Empty())
                headingDone_ = true;
        } else if (!closing && !selfClosing && SkipsContent(name)) {
            SkipToEndTag(name);
        }
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
    TextSink body_;
    bool inTitle_ = false;
    bool inHeading_ = false;
    bool headingDone_ = false;
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
    sink.Append(decoded.utf8);
    return PageText { {}, sink.Take() };
}
