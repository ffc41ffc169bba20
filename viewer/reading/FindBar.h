#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QWebEngineFindTextResult;
class QWebEnginePage;

// The slim bar under the page that finds text in it: finds as the reader types, Enter and F3 go
// to the next match, Shift+Enter and Shift+F3 to the previous one, it counts "n of m" and can
// match letter case. Closing it (Esc) clears the highlights.
//
// Others open it with a text of their own (OpenWith), after which next and previous walk that
// text's matches.
class TFindBar : public QWidget {
    Q_OBJECT
public:
    // pageWidget shows the page and gets the focus back when the bar closes.
    TFindBar(QWebEnginePage& page, QWidget& pageWidget, QWidget* parent);

    // Shows the bar with the focus in its field, the text selected, finding it again.
    void Open();
    // Shows the bar with this text and finds its first match.
    void OpenWith(const QString& text);
    void FindNext();
    void FindPrevious();
    // Hides the bar and clears the highlights; the page gets the focus back.
    void Close();

    bool IsOpen() const { return isVisible(); }
    QString Text() const;
    // "n of m", "No matches" or empty while nothing is sought.
    QString CountText() const;
    // The matches of the last search.
    int Matches() const { return matches_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Ends the engine's find session and forgets its count.
    void EndSearch();
    void Find(bool backward);
    void TextEdited();
    void Counted(const QWebEngineFindTextResult& result);

    QWebEnginePage& Page;
    QWidget& PageWidget;
    QLineEdit* field_ = nullptr;
    QLabel* count_ = nullptr;
    QCheckBox* matchCase_ = nullptr;
    int matches_ = 0;
    int activeMatch_ = 0;
};
