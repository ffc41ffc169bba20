#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// How a page's markup is read. XHTML is read by an XML parser, for which a self-closed <script/>
// is empty and <![CDATA[...]]> holds text; HTML reads on as script after <script/> and takes a
// CDATA section for a comment.
enum class MarkupDialect { Html, Xhtml };

enum class MarkupTokenKind {
    Text, // characters between markup, or the content of a raw-text element
    StartTag,
    EndTag,
    // <!-- -->, and what HTML reads as one: <!x>, </ x>, </>, <?x> and CDATA in HTML
    Comment,
    Doctype,
    ProcessingInstruction, // <?xml ... ?> in XHTML
    Cdata, // <![CDATA[ ]]> in XHTML: text in which references do not count
};

struct MarkupAttribute {
    std::string_view name; // as written
    std::string_view value; // as written, without its quotes; empty when it has none

    // Whether the name is `lowerCaseName`, whatever the letter case it is written in.
    bool NameIs(std::string_view lowerCaseName) const;
    // The value with its character references decoded as an attribute's are.
    std::string DecodedValue() const;
};

// One token; its views point into the page and into the tokenizer, valid until the next token.
struct MarkupToken {
    MarkupTokenKind kind = MarkupTokenKind::Text;
    // Text and Cdata: the characters as written; Comment, Doctype and ProcessingInstruction: what
    // stands between the delimiters.
    std::string_view text;
    std::string_view name; // of a tag, in lower case
    std::span<const MarkupAttribute> attributes; // of a start tag, in the order written
    bool selfClosing = false; // a start tag written <x/>
    bool references = true; // in Text: whether character references count (not in script or style)
    bool terminated = true; // false for a comment, doctype or CDATA the page ended in
    std::size_t begin = 0; // where the token starts in the page
    std::size_t end = 0; // just past it

    // The first attribute of that name, as a browser keeps the first of repeated ones.
    const MarkupAttribute* Attribute(std::string_view lowerCaseName) const;
};

// Reads a page's markup one token at a time, as a browser's tokenizer does: a tag ends at the
// first '>' outside a quoted value, attribute values are quoted or not, comments end at "-->" or
// run to the end of the page, and the content of script, style, xmp, iframe, noembed and
// noframes (raw text) and of title and textarea (references decoded) is text up to its own end
// tag. A tag the page ends in is left out, as browsers leave it. Allocates nothing per tag or
// attribute once its buffers have grown.
class MarkupTokenizer {
public:
    explicit MarkupTokenizer(std::string_view page, MarkupDialect dialect = MarkupDialect::Html);

    // Reads the next token into `token`; false at the end of the page.
    bool Next(MarkupToken& token);
    // Whether the start tag just read opened raw text: its content comes next as one Text token.
    bool InRawText() const { return !rawTextOf_.empty(); }

private:
    bool ReadText(MarkupToken& token);
    bool ReadRawText(MarkupToken& token);
    bool ReadMarkup(MarkupToken& token);
    bool ReadTag(MarkupToken& token, bool endTag);
    bool ReadAttributes(std::size_t& at, bool& selfClosing);
    void ReadUpTo(MarkupToken& token, MarkupTokenKind kind, std::size_t from, std::string_view close);
    void ReadComment(MarkupToken& token);
    bool StartsMarkup(std::size_t lt) const;
    std::size_t EndOfRawText(std::size_t from) const;

    std::string_view page_;
    MarkupDialect dialect_;
    std::size_t at_ = 0;
    std::string name_; // the tag name in lower case, when it was not written so
    std::vector<MarkupAttribute> attributes_;
    std::string rawTextOf_; // the element whose raw text comes next, else empty
    bool rawReferences_ = false; // whether references count in it
};

// The text of a Text token with its character references decoded where they count: the text
// itself when there is nothing to decode, else `scratch` holding the decoded text.
std::string_view DecodedTokenText(const MarkupToken& token, std::string& scratch);

// Whether the text is `lowerCase`, whatever the letter case of its ASCII letters.
bool EqualsLowerCase(std::string_view text, std::string_view lowerCase);
