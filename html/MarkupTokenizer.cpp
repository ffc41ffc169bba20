#include "html/MarkupTokenizer.h"

#include "html/Blanks.h"
#include "html/CharacterReferences.h"

#include <algorithm>
#include <array>

namespace {

bool IsAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Elements whose content is text up to their own end tag; whether references count in it.
struct RawTextElement {
    std::string_view name;
    bool references;
};
constexpr std::array<RawTextElement, 9> kRawTextElements
    = { { { "script", false }, { "style", false }, { "xmp", false }, { "iframe", false }, { "noembed", false },
        { "noframes", false }, { "plaintext", false }, { "title", true }, { "textarea", true } } };

const RawTextElement* RawTextElementNamed(std::string_view name)
{
    for (const RawTextElement& element : kRawTextElements) {
        if (element.name == name)
            return &element;
    }
    return nullptr;
}

bool StartsWithLowerCase(std::string_view text, std::size_t at, std::string_view lowerCase)
{
    return text.size() - at >= lowerCase.size() && EqualsLowerCase(text.substr(at, lowerCase.size()), lowerCase);
}

} // namespace

bool EqualsLowerCase(std::string_view text, std::string_view lowerCase)
{
    if (text.size() != lowerCase.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (LowerAscii(text[i]) != lowerCase[i])
            return false;
    }
    return true;
}

bool MarkupAttribute::NameIs(std::string_view lowerCaseName) const
{
    return EqualsLowerCase(name, lowerCaseName);
}

std::string MarkupAttribute::DecodedValue() const
{
    return DecodeAttributeValue(value);
}

const MarkupAttribute* MarkupToken::Attribute(std::string_view lowerCaseName) const
{
    for (const MarkupAttribute& attribute : attributes) {
        if (attribute.NameIs(lowerCaseName))
            return &attribute;
    }
    return nullptr;
}

std::string_view DecodedTokenText(const MarkupToken& token, std::string& scratch)
{
    if (!token.references || token.text.find('&') == std::string_view::npos)
        return token.text;
    scratch.clear();
    AppendReferencesDecoded(scratch, token.text, ReferenceContext::Text);
    return scratch;
}

MarkupTokenizer::MarkupTokenizer(std::string_view page, MarkupDialect dialect)
    : page_(page)
    , dialect_(dialect)
{
}

bool MarkupTokenizer::Next(MarkupToken& token)
{
    token.name = {};
    token.attributes = {};
    token.selfClosing = false;
    token.references = true;
    token.terminated = true;
    while (at_ < page_.size()) {
        if (!rawTextOf_.empty()) {
            if (ReadRawText(token))
                return true;
            continue;
        }
        if (page_[at_] != '<' || !StartsMarkup(at_))
            return ReadText(token);
        if (ReadMarkup(token))
            return true;
    }
    return false;
}

// A '<' starts markup when a letter, '!', '?' or '/' and something more follow it.
bool MarkupTokenizer::StartsMarkup(std::size_t lt) const
{
    if (lt + 1 >= page_.size())
        return false;
    const char next = page_[lt + 1];
    return IsAsciiLetter(next) || next == '!' || next == '?' || (next == '/' && lt + 2 < page_.size());
}

bool MarkupTokenizer::ReadText(MarkupToken& token)
{
    std::size_t end = at_;
    do {
        end = page_.find('<', end + 1);
    } while (end != std::string_view::npos && !StartsMarkup(end));
    end = std::min(end, page_.size());
    token.kind = MarkupTokenKind::Text;
    token.text = page_.substr(at_, end - at_);
    token.begin = at_;
    token.end = at_ = end;
    return true;
}

// Where the raw text that starts at `from` ends: at "</" and its element's name followed by a
// blank, '/' or '>', else at the end of the page.
std::size_t MarkupTokenizer::EndOfRawText(std::size_t from) const
{
    if (rawTextOf_ == "plaintext")
        return page_.size();
    for (std::size_t lt = page_.find("</", from); lt != std::string_view::npos; lt = page_.find("</", lt + 2)) {
        const std::size_t after = lt + 2 + rawTextOf_.size();
        if (after < page_.size() && StartsWithLowerCase(page_, lt + 2, rawTextOf_)
            && (IsHtmlBlank(page_[after]) || page_[after] == '/' || page_[after] == '>'))
            return lt;
    }
    return page_.size();
}

bool MarkupTokenizer::ReadRawText(MarkupToken& token)
{
    const std::size_t end = EndOfRawText(at_);
    rawTextOf_.clear();
    if (end == at_)
        return false;
    token.kind = MarkupTokenKind::Text;
    token.text = page_.substr(at_, end - at_);
    token.references = rawReferences_;
    token.begin = at_;
    token.end = at_ = end;
    return true;
}

// Reads the token that begins with a comment's "<!--" at at_.
void MarkupTokenizer::ReadComment(MarkupToken& token)
{
    token.kind = MarkupTokenKind::Comment;
    token.begin = at_;
    const std::size_t from = at_ + 4;
    // "<!-->" and "<!--->" are whole, empty comments.
    for (std::string_view abrupt : { ">", "->" }) {
        if (page_.substr(from, abrupt.size()) == abrupt) {
            token.text = {};
            token.end = at_ = from + abrupt.size();
            return;
        }
    }
    for (std::size_t dashes = page_.find("--", from); dashes != std::string_view::npos;
         dashes = page_.find("--", dashes + 1)) {
        // "--!>" ends a comment as "-->" does.
        const std::string_view after = page_.substr(dashes + 2, 2);
        if (after.starts_with('>') || after == "!>") {
            token.text = page_.substr(from, dashes - from);
            token.end = at_ = dashes + 2 + (after.starts_with('>') ? 1 : 2);
            return;
        }
    }
    token.text = page_.substr(from);
    token.terminated = false;
    token.end = at_ = page_.size();
}

// Reads a token of `kind` whose content starts at `from` and ends before `close`.
void MarkupTokenizer::ReadUpTo(MarkupToken& token, MarkupTokenKind kind, std::size_t from, std::string_view close)
{
    token.kind = kind;
    token.begin = at_;
    from = std::min(from, page_.size());
    const std::size_t found = page_.find(close, from);
    token.terminated = found != std::string_view::npos;
    const std::size_t stop = token.terminated ? found : page_.size();
    token.text = page_.substr(from, stop - from);
    token.end = at_ = token.terminated ? stop + close.size() : stop;
}

bool MarkupTokenizer::ReadMarkup(MarkupToken& token)
{
    const bool xml = dialect_ == MarkupDialect::Xhtml;
    const char next = page_[at_ + 1];
    if (IsAsciiLetter(next))
        return ReadTag(token, false);
    if (next == '/') {
        if (IsAsciiLetter(page_[at_ + 2]))
            return ReadTag(token, true);
        // "</>" is dropped, as a comment of nothing; "</ x>" is a comment to the next '>'.
        if (page_[at_ + 2] == '>') {
            token.kind = MarkupTokenKind::Comment;
            token.text = {};
            token.begin = at_;
            token.end = at_ += 3;
        } else {
            ReadUpTo(token, MarkupTokenKind::Comment, at_ + 2, ">");
        }
        return true;
    }
    if (next == '?') {
        if (xml)
            ReadUpTo(token, MarkupTokenKind::ProcessingInstruction, at_ + 2, "?>");
        else
            ReadUpTo(token, MarkupTokenKind::Comment, at_ + 1, ">");
        return true;
    }
    // "<!"
    if (page_.substr(at_, 4) == "<!--")
        ReadComment(token);
    else if (StartsWithLowerCase(page_, at_ + 2, "doctype"))
        ReadUpTo(token, MarkupTokenKind::Doctype, at_ + 9, ">");
    else if (xml && page_.substr(at_, 9) == "<![CDATA[")
        ReadUpTo(token, MarkupTokenKind::Cdata, at_ + 9, "]]>");
    else
        ReadUpTo(token, MarkupTokenKind::Comment, at_ + 2, ">");
    return true;
}

bool MarkupTokenizer::ReadTag(MarkupToken& token, bool endTag)
{
    const std::size_t begin = at_;
    std::size_t i = at_ + (endTag ? 2 : 1);
    const std::size_t nameStart = i;
    bool upperCase = false;
    for (; i < page_.size() && !IsHtmlBlank(page_[i]) && page_[i] != '/' && page_[i] != '>'; ++i)
        upperCase = upperCase || (page_[i] >= 'A' && page_[i] <= 'Z');
    std::string_view name = page_.substr(nameStart, i - nameStart);
    if (upperCase) {
        name_.assign(name);
        std::transform(name_.begin(), name_.end(), name_.begin(), LowerAscii);
        name = name_;
    }
    bool selfClosing = false;
    if (!ReadAttributes(i, selfClosing)) {
        at_ = page_.size(); // a tag the page ends in is left out
        return false;
    }
    token.kind = endTag ? MarkupTokenKind::EndTag : MarkupTokenKind::StartTag;
    token.name = name;
    token.attributes = endTag ? std::span<const MarkupAttribute>() : std::span<const MarkupAttribute>(attributes_);
    token.selfClosing = !endTag && selfClosing;
    token.begin = begin;
    token.end = at_ = i;
    if (!endTag) {
        // XML has no raw text: there a self-closed element is empty.
        const RawTextElement* raw = RawTextElementNamed(name);
        if (raw && !(selfClosing && dialect_ == MarkupDialect::Xhtml)) {
            rawTextOf_.assign(raw->name);
            rawReferences_ = raw->references;
        }
    }
    return true;
}

// Reads the attributes from `at` to just past the tag's '>'; false when the page ends first.
bool MarkupTokenizer::ReadAttributes(std::size_t& at, bool& selfClosing)
{
    attributes_.clear();
    const std::size_t size = page_.size();
    const auto skipBlanks = [&] {
        while (at < size && IsHtmlBlank(page_[at]))
            ++at;
    };
    for (;;) {
        skipBlanks();
        if (at >= size)
            return false;
        if (page_[at] == '>') {
            ++at;
            return true;
        }
        if (page_[at] == '/') {
            ++at;
            if (at < size && page_[at] == '>') {
                selfClosing = true;
                ++at;
                return true;
            }
            continue;
        }
        // A name runs to a blank, '/', '>' or '='; a '=' it starts with belongs to it.
        const std::size_t nameStart = at++;
        while (at < size && !IsHtmlBlank(page_[at]) && page_[at] != '/' && page_[at] != '>' && page_[at] != '=')
            ++at;
        MarkupAttribute attribute { page_.substr(nameStart, at - nameStart), {} };
        skipBlanks();
        if (at < size && page_[at] == '=') {
            ++at;
            skipBlanks();
            if (at >= size)
                return false;
            if (page_[at] == '"' || page_[at] == '\'') {
                const std::size_t close = page_.find(page_[at], at + 1);
                if (close == std::string_view::npos)
                    return false;
                attribute.value = page_.substr(at + 1, close - at - 1);
                at = close + 1;
            } else if (page_[at] != '>') {
                const std::size_t valueStart = at;
                while (at < size && !IsHtmlBlank(page_[at]) && page_[at] != '>')
                    ++at;
                attribute.value = page_.substr(valueStart, at - valueStart);
            }
        }
        attributes_.push_back(attribute);
    }
}
