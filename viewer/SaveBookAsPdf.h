#pragma once

#include "print/PrintOptions.h"

#include <QObject>
#include <QPointer>
#include <QProgressDialog>
#include <QString>

#include <memory>
#include <string>

class QAction;
class QMenu;

class QWidget;
class TBookPdfExport;

// The Book menu's "Save Book as PDF…": asks for a file, then writes the whole book into it
// (TBookPdfExport) with a progress window that can cancel; the main window stays usable meanwhile.
// Offered only while the book allows printing. One export at a time: the item is disabled while
// one runs.
class TSaveBookAsPdf : public QObject {
    Q_OBJECT
public:
    // The item goes into menu after the action `after`; bookFile is the book's file, titled
    // bookTitle.
    TSaveBookAsPdf(
        QWidget& window, QMenu& menu, QAction* after, std::string bookFile, QString bookTitle, TPrintOptions options);
    ~TSaveBookAsPdf() override;

    QAction* Action() const { return action_; }
    // Shows or hides the item, as the book allows printing or not.
    void SetOffered(bool offered);
    // Writes the book into file without asking, as after the file dialog.
    void SaveTo(const QString& file);
    // The progress window of the export under way, or null.
    QProgressDialog* Progress() const { return progress_; }

signals:
    // The export ended: written, or the error (empty when cancelled).
    void finished(bool written, const QString& error);

private:
    void Execute();
    void Progressed(int page, int total, const QString& name);
    void Finished(bool written, const QString& error);
    QString SuggestedFile() const;

    QWidget& window_;
    std::string bookFile_;
    QString bookTitle_;
    TPrintOptions options_;
    QAction* action_ = nullptr; // owned by the window
    QPointer<QProgressDialog> progress_;
    std::unique_ptr<TBookPdfExport> export_;
    // The last export once it has ended, kept until its signal has returned.
    std::unique_ptr<TBookPdfExport> ended_;
};
