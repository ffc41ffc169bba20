#pragma once

#include <QDialog>

#include <memory>

class QLabel;
class TBookSource;
class TWindowPlacement;

namespace Ui {
class BookAboutBoxForm;
}

// The About box: the book's title in the caption, its description, about text and date in the
// text box, above the publisher's block with web and e-mail links; for a book read in place, what
// was opened and its language instead of the about text. Reads the source only while it is being
// made. Enter and Esc close it.
class TBookAboutBoxForm : public QDialog {
    Q_OBJECT
public:
    TBookAboutBoxForm(QWidget* owner, const TBookSource& source);
    ~TBookAboutBoxForm() override;

    const Ui::BookAboutBoxForm& Designed() const { return *ui; }

    // Opens the link a label shows: its caption as it is for tag 0, "mailto:" and the caption
    // for any other tag. What the desktop does with it is not looked at.
    static void LabelsClick(const QLabel& label);

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Design();
    void ShowBook(const QString& title, const QString& memo);

    std::unique_ptr<Ui::BookAboutBoxForm> ui;
    TWindowPlacement* placement_ = nullptr; // owned as a Qt child
    bool shownBefore_ = false;
};
