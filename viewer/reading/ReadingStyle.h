#pragma once

#include <QObject>
#include <QString>

class QWebEnginePage;
class TDarkMode;

// What the reader chose in the Reading menu. Each value's default leaves the book's own look.
struct TReadingChoices {
    enum class Font { Book, Serif, Sans };
    enum class Theme { Light, Sepia, Dark };

    Font font = Font::Book;
    int textSize = 100; // percent of the book's own
    int lineSpacing = 0; // tenths of the text size (15 is 1.5); 0 leaves the book's
    int margin = 0; // em on each side of the text; 0 leaves the book's
    int pageWidth = 0; // the widest the text runs, in em; 0 leaves the book's
    // Pages side by side in columns the height of the window (two where the window is wide),
    // turned by the keys, instead of one long scrolled page.
    bool paged = false;
    // Light is the book's own colours; Dark is the dark reading mode.
    Theme theme = Theme::Light;

    bool operator==(const TReadingChoices&) const = default;
};

// The style sheet that puts the choices over the book's own, then the reader's own sheet (from
// --reading-style or the environment). It always keeps the search marks readable, whatever the
// book or the theme colours the text with.
QString ReadingStyleSheet(const TReadingChoices& choices, const QString& readersSheet);

// The script every document and frame gets: places the sheet last in the document, and defines
// the function that replaces it in the page and its frames later.
QString ReadingStyleScript(const QString& sheet);

// The reading style of the running book. Like the dark reading mode it is a style the host adds
// to each document from a world of its own, switched without reloading; nothing is kept after the
// run. The Dark theme is the dark reading mode itself: switching either shows in the other.
class TReadingStyle : public QObject {
    Q_OBJECT
public:
    TReadingStyle(QWebEnginePage& page, TDarkMode& darkMode);

    const TReadingChoices& Choices() const { return choices_; }
    void SetChoices(const TReadingChoices& choices);
    // The reader's own sheet, read at start from --reading-style FILE.css or EBOOK_READING_STYLE.
    const QString& ReadersSheet() const { return readersSheet_; }

    // The reader's sheet every window of this run starts with; set before the window is made.
    static void SetStartingSheet(const QString& sheet);

signals:
    void changed();

private:
    void Apply();
    void DarkModeSwitched(bool on);

    QWebEnginePage& Page;
    TDarkMode& DarkMode;
    TReadingChoices choices_;
    QString readersSheet_;
};

// The reader's style sheet named by the environment variable EBOOK_READING_STYLE, when it names one.
inline constexpr const char* kReadingStyleVariable = "EBOOK_READING_STYLE";
