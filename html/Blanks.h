#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The blanks of HTML text: space, tab, line feed, form feed and carriage return. A vertical tab is
// not one (browsers do not collapse it), and XML's four blanks are all among these, so text read
// from package documents collapses the same way.
bool IsHtmlBlank(char c);

// The text without the blanks at either end.
std::string_view TrimBlanks(std::string_view text);

// Text gathered in pieces with every run of blanks made one blank and none leading; a run at the
// end waits for the next word, so none trails either.
class CollapsedText {
public:
    // Appends the words of `text`; returns where the first of them landed, npos when it held none.
    std::size_t Append(std::string_view text);
    // Words appended next are set apart from those before, as a blank between them would.
    void Break() { pendingBlank_ = !text_.empty(); }
    std::string Take();
    const std::string& Text() const { return text_; }
    bool Empty() const { return text_.empty(); }
    std::size_t Size() const { return text_.size(); }

private:
    std::string text_;
    bool pendingBlank_ = false;
};

// The text with every run of blanks made one blank and none leading or trailing.
std::string CollapseBlanks(std::string_view text);
