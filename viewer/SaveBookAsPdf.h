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
class TBookSource;

// The Book menu's "Save Book as PDF…": asks for a file, then writes the whole book into it
// (TBookPdfExport) with a progress window that can cancel; the main window stays usable meanwhile.
// Offered only while the book allows printing. One export at a time: the item is disabled while
// one runs.
class TSaveBookAsPdf : public QObject {
    Q_OBJECT
public:
    // The item goes into menu after the action `after`. The export reads the window's source,
    // which must outlive this object (an export under way ends with it); null while the window
    // shows no book, and the item is then never offered. bookName names the book in messages,
    // bookTitle suggests the file's name.
    TSaveBookAsPdf(QWidget& window, QMenu& menu, QAction* after, TBookSource* source, QString bookName,
        QString bookTitle, TPrintOptions options);
    ~TSaveBookAsPdf() override;

    QAction* Action() const { return action_; }
    // Shows or hides the item, as the book allows printing or not; never shown without a source.
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
    TBookSource* source_;
    QString bookName_;
    QString bookTitle_;
    TPrintOptions options_;
    QAction* action_ = nullptr; // owned by the window
    QPointer<QProgressDialog> progress_;
    std::unique_ptr<TBookPdfExport> export_;
    // The last export once it has ended, kept until its signal has returned.
    std::unique_ptr<TBookPdfExport> ended_;
};
