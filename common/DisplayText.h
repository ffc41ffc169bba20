#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Titles, descriptions and names shown in a window caption, a list or a terminal are cut to this
// many characters. Nobody reads further, and a text of many megabytes stalls text layout (a
// window manager may even drop the connection over a caption that long).
inline constexpr std::size_t kDisplayTextLength = 256;
// A description (the About box's text) is read as paragraphs: it is cut at this many characters.
inline constexpr std::size_t kDisplayDescriptionLength = 4096;

// Whether line breaks (LF, CR) stay in a cut text or become blanks like the other controls.
enum class LineBreaks { Blank, Keep };

// The text as one line for display: every control character (line breaks and TABs included, line
// breaks only unless they are kept) and every byte that is not UTF-8 becomes a blank, and a text longer than
// maxCharacters characters is cut there, on a character boundary, with "…" after it. Reads no further than the cut, so
// a text of any length costs no more than its first maxCharacters characters.
std::string CutForDisplay(
    std::string_view utf8, std::size_t maxCharacters = kDisplayTextLength, LineBreaks lineBreaks = LineBreaks::Blank);

// The text cut after maxCharacters characters, on a character boundary, with "…" after it; every
// character kept as it is (for a text stored to be shown later, under its own rule). A byte that
// is not UTF-8 counts as one character. Reads no further than the cut.
std::string CutText(std::string_view utf8, std::size_t maxCharacters = kDisplayTextLength);

// JSON text as the JSON library writes it (UTF-8, C0 controls already escaped) with the C1
// controls (U+0080 to U+009F) escaped too, as "\u009b": the same value, read by a program, that
// no terminal acts on. The JSON output of a command keeps a book's text whole, but not raw.
std::string EscapeC1InJson(std::string_view json);

// The one rule for text printed on a terminal: every control character escaped, and the text cut.
// A name holding ESC or CR could otherwise move the cursor, rewrite what was printed before it or
// change the terminal's settings, and a title of many megabytes would flood it.
// C0 controls, DEL and the C1 controls (U+0080 to U+009F) become "\xNN" (the code point); bytes
// that are not UTF-8 become "\xNN" too (the byte); everything else is kept. A text longer than
// maxCharacters printed characters (an escape counts its four) is cut there, on a character
// boundary, with "…" after it; like CutForDisplay it reads no further than the cut.
// A message of several lines keeps its line feeds with LineBreaks::Keep, and is given
// kDisplayDescriptionLength.
std::string EscapeForTerminal(
    std::string_view text, LineBreaks lineBreaks = LineBreaks::Blank, std::size_t maxCharacters = kDisplayTextLength);
