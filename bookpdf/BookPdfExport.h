#pragma once

#include "bookpdf/BookPdfAssembly.h"
#include "bookpdf/ReadingOrder.h"

#include <QFutureWatcher>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTimer>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

class QWebEnginePage;
class QWebEngineProfile;
class TBookSource;
class TExportBook;

// Writes a whole book into one PDF file: the home page and then the pages the book's contents name,
// depth first, with the contents as the outline (and on request the pages they do not name after
// them, in link order); for a book without contents every HTML page in reading order
// (TReadingOrder). The book is a source of any kind the viewer opens, shared with whoever reads it
// besides (TExportBook), rendered by the engine one page at a time from a page server of the
// export's own (so that the viewer switching its server off, as it does behind the About box, does
// not touch it), each page's PDF kept in a temporary folder, then all of them put together with
// header, footer, outline and links (AssembleBookPdf). The window stays usable meanwhile: the pages
// load in an engine page of their own, and the assembly runs on a worker thread.
//
// The output is written into a temporary file beside it and renamed only once complete, so a
// failed or cancelled export leaves no file behind and a file that was there stays as it was.
class TBookPdfExport : public QObject {
    Q_OBJECT
public:
    // The source (a book file, EPUB, CHM, ZIM archive or folder) must outlive the export; its
    // pages are served by the export's own page server. bookName names the book in messages. The
    // design's BookTitle and Date are filled in here when empty. A page that has not loaded and
    // printed after pageTimeoutMs, that fails to load or moves to an address outside the book gets
    // a notice sheet in its place (SkippedPages) and the export goes on.
    TBookPdfExport(TBookSource& source, QString bookName, TBookPdfDesign design, QObject* parent = nullptr,
        int pageTimeoutMs = 60000);
    // Waits for an assembly under way, which a cancel ends at its next page.
    ~TBookPdfExport() override;

    // Also renders, after the pages the contents name, every other HTML page in link order, each
    // a top-level entry of the outline. Set before Start.
    void SetAllPages(bool allPages) { allPages_ = allPages; }
    // Starts the export; finished tells the end, at once when the book cannot be read, allows no
    // printing or the file cannot be written. Call once.
    void Start(const QString& outputFile);
    // Ends the export without writing anything; finished(false, "") follows.
    void Cancel();
    // The pages the book will have on paper; known once started.
    int PageTotal() const;
    // The pages a notice sheet stands for, with the reason, once finished.
    const QStringList& SkippedPages() const { return skipped_; }

signals:
    // page pages are rendered of total; name is the page rendered next, empty while the pages
    // are put together.
    void progressed(int page, int total, const QString& name);
    // written: the file is complete. Otherwise error says why, empty when cancelled.
    void finished(bool written, const QString& error);

private:
    void RenderNext();
    void PageLoaded(bool ok);
    void PageRead(const QVariant& facts);
    void PagePrinted(const QByteArray& pdf);
    // Puts a notice sheet in the place of the page under way and goes on with a fresh engine page.
    void SkipPage(const QString& reason);
    void MakeEnginePage();
    // The placed pages and the outline from the book's contents; false when it has none.
    bool PlanFromContents(int home);
    void Assemble();
    void Assembled();
    void Fail(const QString& error);
    void End(bool written, const QString& error);
    QString PageName(int index) const;
    // The position in the reading order of the page an address in the book names, or -1.
    int PlacedPageOf(const QString& url) const;
    // The directory index of the page an address in the book names, or -1.
    int BookPageOf(const QString& url) const;

    // Starts the link order of the pages the contents do not name, once theirs are rendered.
    bool StartOtherPages();

    TBookSource& source_;
    QString bookName_;
    // The book and its pages served to the export's engine page, from Start on.
    std::unique_ptr<TExportBook> book_;
    bool allPages_ = false;
    // With contents and all pages: the HTML pages they do not name, and the links of the pages
    // rendered so far in order, where the link order of those starts.
    std::vector<int> otherPages_;
    std::vector<int> contentsLinks_;
    // The position of the first page rendered in link order after the contents' pages, or -1.
    int otherFrom_ = -1;
    TBookPdfDesign design_;
    std::optional<TReadingOrder> order_;
    // With contents: the pages in order, and the outline.
    std::vector<TReadingOrder::TPlaced> planned_;
    std::size_t nextPlanned_ = 0;
    std::vector<TOutlineEntry> outline_;
    // A directory index's title in the contents, for pages whose own title says nothing.
    std::unordered_map<int, QString> contentsTitle_;
    // The directory index of each page rendered, in order.
    std::vector<int> renderedIndex_;
    QStringList skipped_;
    std::vector<TAssembledPage> pages_;
    // Directory index to position in the reading order, once every page is placed.
    std::unordered_map<int, int> placedPosition_;
    QString outputFile_;
    std::unique_ptr<QTemporaryFile> partFile_;
    std::unique_ptr<QTemporaryDir> pageFolder_;
    // The engine page that loads and prints; retired (see RetirePage) when the export goes, so that
    // a rendering under way ends first.
    QWebEngineProfile* profile_ = nullptr;
    QWebEnginePage* page_ = nullptr;
    // Ends a page that neither loads nor fails.
    QTimer pageTimeout_;
    std::atomic_bool cancelled_ = false;
    bool ended_ = false;
    QString assemblyError_;
    // Destroyed first: its destructor leaves the assembly running; ~TBookPdfExport waits for it.
    QFutureWatcher<bool> assembly_;
};
