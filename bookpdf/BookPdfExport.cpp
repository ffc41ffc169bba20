#include "bookpdf/BookPdfExport.h"

#include "browserhost/BrowserProfile.h"
#include "browserhost/WindowCaption.h"

#include "bookpdf/ExportBook.h"
#include "bookpdf/ExportScratch.h"
#include "bookpdf/NoticeSheet.h"
#include "common/BookText.h"
#include "common/DisplayText.h"
#include "common/Exception.h"
#include "html/PageKind.h"
#include "pageservice/PageServer.h"
#include "pageservice/PageService.h"
#include "print/PageRetirement.h"
#include "sources/SourceContents.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QPageLayout>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QtConcurrent/QtConcurrentRun>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <set>
#include <sys/stat.h>

namespace {

// What the export needs to know of a loaded page, read in a world of its own so that the page's
// scripts cannot change the answer. The links come in the order they stand in the document;
// frames count as links to the pages they hold.
const QString kPageFactsScript = QStringLiteral(R"js((() => {
  const author = document.querySelector('meta[name="author" i]');
  return {
    title: document.title,
    author: author ? author.content : '',
    links: Array.from(document.querySelectorAll('a[href], area[href], frame[src], iframe[src]'),
                      e => String(e.href || e.src))
  };
})())js");

QPageLayout PaperLayout(const TPrintOptions& options)
{
    const QPageSize paper(
        QLocale().measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter : QPageSize::A4);
    const TMargins& m = options.Margins;
    return QPageLayout(paper,
        options.Orientation == TPrintOrientationOption::poLandscape ? QPageLayout::Landscape : QPageLayout::Portrait,
        QMarginsF(std::max(0.0, m.Left), std::max(0.0, m.Top), std::max(0.0, m.Right), std::max(0.0, m.Bottom)),
        QPageLayout::Inch);
}

} // namespace

TBookPdfExport::TBookPdfExport(
    TBookSource& source, QString bookName, TBookPdfDesign design, QObject* parent, int pageTimeoutMs)
    : QObject(parent)
    , source_(source)
    , bookName_(std::move(bookName))
    , design_(std::move(design))
{
    if (design_.Date.isEmpty())
        design_.Date = QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
    pageTimeout_.setSingleShot(true);
    pageTimeout_.setInterval(pageTimeoutMs);
    connect(&pageTimeout_, &QTimer::timeout, this,
        [this] { SkipPage(tr("It could not be rendered within %1 seconds.").arg(pageTimeout_.interval() / 1000)); });
    connect(&assembly_, &QFutureWatcher<bool>::finished, this, &TBookPdfExport::Assembled);
}

TBookPdfExport::~TBookPdfExport()
{
    cancelled_ = true;
    assembly_.waitForFinished();
    if (page_)
        RetirePage(page_, profile_);
    // Requests waiting for room give up before the listener closes their connections.
    if (book_)
        book_->Server().Stop();
}

int TBookPdfExport::PageTotal() const
{
    if (!planned_.empty())
        return int(planned_.size() + otherPages_.size());
    return order_ ? int(order_->Total()) : 0;
}

bool TBookPdfExport::PlanFromContents(int home)
{
    const TContents& contents = ContentsOfSource(book_->Source());
    std::unordered_map<int, int> position;
    auto place = [&](int index, int parent) {
        if (position.emplace(index, int(planned_.size())).second)
            planned_.push_back({ index, parent });
        return position.at(index);
    };
    place(home, -1);
    // Depth first; an entry whose page is no HTML page of the book lends its place to its first
    // entry that has one, and its entries stand under its own parent.
    std::function<void(const TContents&, int)> walk = [&](const TContents& entries, int parentEntry) {
        for (const TContentsEntry& entry : entries) {
            // The outline shows the title as the contents panel does: one short line.
            const QString title = QString::fromStdString(CutForDisplay(entry.title));
            const int index = entry.page.empty() ? -1 : book_->IndexOf(entry.page);
            int own = parentEntry;
            if (index >= 0 && book_->IsMarkup(index)) {
                const int parentPage = parentEntry >= 0 ? outline_[std::size_t(parentEntry)].Page : -1;
                const int at = place(index, parentPage);
                contentsTitle_.emplace(planned_[std::size_t(at)].Page, title);
                outline_.push_back({ title, at, QString::fromStdString(entry.anchor), parentEntry });
                own = int(outline_.size()) - 1;
            } else if (!entry.children.empty()) {
                outline_.push_back({ title, -1, {}, parentEntry });
                own = int(outline_.size()) - 1;
            }
            walk(entry.children, own);
        }
    };
    walk(contents, -1);
    // A heading opens the page of the entry after it, its first.
    for (std::size_t i = 0; i < outline_.size(); ++i) {
        if (outline_[i].Page >= 0)
            continue;
        for (std::size_t j = i + 1; j < outline_.size() && outline_[i].Page < 0; ++j)
            if (outline_[j].Page >= 0)
                outline_[i].Page = outline_[j].Page;
    }
    if (outline_.empty() || planned_.size() < 2) {
        planned_.clear();
        outline_.clear();
        contentsTitle_.clear();
        return false;
    }
    return true;
}

QString TBookPdfExport::PageName(int index) const
{
    return QString::fromStdString(BookTextToUtf8(book_->Names()[std::size_t(index)]));
}

void TBookPdfExport::Start(const QString& outputFile)
{
    outputFile_ = outputFile;
    try {
        book_ = std::make_unique<TExportBook>(source_, bookName_.toStdString());
    } catch (const Exception& error) {
        return Fail(QString::fromStdString(error.Message()));
    }
    TBookSource& source = book_->Source();
    if (!source.Display().allowPrint)
        return Fail(tr("%1: the book does not allow printing").arg(bookName_));
    if (design_.BookTitle.isEmpty())
        design_.BookTitle = QString::fromStdString(source.Title());
    // Every HTML page, asked for only where the contents do not decide (telling a ZIM article
    // without an extension reads its first bytes).
    auto htmlPages = [this] {
        std::vector<int> pages;
        const std::vector<std::string>& names = book_->Names();
        for (int i = 0; i < int(names.size()); ++i) {
            // A name stored twice is one page: links reach only its first entry.
            if (book_->IndexOf(names[std::size_t(i)]) == i && book_->IsMarkup(i))
                pages.push_back(i);
        }
        return pages;
    };
    int home = -1;
    try {
        const std::string homeName = source.HomePageName();
        home = homeName.empty() ? -1 : book_->IndexOf(homeName);
    } catch (const std::exception&) {
    }
    if (home < 0)
        return Fail(tr("The book has no home page"));
    if (!PlanFromContents(home)) {
        order_.emplace(htmlPages(), home);
    } else if (allPages_) {
        std::set<int> named;
        for (const TReadingOrder::TPlaced& placed : planned_)
            named.insert(placed.Page);
        for (int page : htmlPages())
            if (!named.contains(page))
                otherPages_.push_back(page);
    }
    if (source.CountedArticles() && uint64_t(PageTotal()) > TExportBook::kMaxZimPages)
        return Fail(tr("%1 holds %2 pages to print; a whole-book PDF is made of a ZIM archive of at most %3")
                        .arg(bookName_)
                        .arg(PageTotal())
                        .arg(TExportBook::kMaxZimPages));

    // Nothing is rendered for a file that cannot be written.
    const QFileInfo target(outputFile);
    partFile_ = std::make_unique<QTemporaryFile>(
        target.absoluteDir().filePath(QStringLiteral(".%1.XXXXXX.part").arg(target.fileName())));
    if (!partFile_->open())
        return Fail(tr("Cannot write %1: %2").arg(outputFile, partFile_->errorString()));
    partFile_->close();
    pageFolder_ = MakeExportScratchFolder();
    if (!pageFolder_->isValid())
        return Fail(tr("Cannot make a temporary folder: %1").arg(pageFolder_->errorString()));

    try {
        book_->Server().SwitchOn();
    } catch (const Exception& error) {
        return Fail(tr("Cannot start the page server: %1").arg(QString::fromStdString(error.Message())));
    }

    MakeEnginePage();
    RenderNext();
}

void TBookPdfExport::MakeEnginePage()
{
    profile_ = CreateTransientProfile(this);
    page_ = new QWebEnginePage(profile_, this);
    connect(page_, &QWebEnginePage::loadFinished, this, &TBookPdfExport::PageLoaded);
    connect(page_, &QWebEnginePage::renderProcessTerminated, this,
        [this] { SkipPage(tr("The engine stopped while rendering it.")); });
}

void TBookPdfExport::SkipPage(const QString& reason)
{
    if (ended_ || pages_.empty())
        return;
    pageTimeout_.stop();
    TAssembledPage& page = pages_.back();
    skipped_ << tr("%1: %2").arg(page.Name, reason);
    if (!WriteNoticeSheet(page.File, page.Name, reason, PaperLayout(design_.Options)))
        return Fail(tr("Cannot write %1").arg(page.File));
    // The engine page may still be busy with the page: a fresh one reads the next, so that
    // nothing it still tells about this one is taken for the next.
    if (page_) {
        disconnect(page_, nullptr, this, nullptr);
        // Let go of once out of its own signal, which may be what brought us here.
        QTimer::singleShot(0, this, [page = QPointer<QWebEnginePage>(page_), profile = QPointer(profile_)] {
            if (page && profile)
                RetirePage(page, profile);
        });
    }
    MakeEnginePage();
    QTimer::singleShot(0, this, &TBookPdfExport::RenderNext);
}

void TBookPdfExport::Cancel()
{
    cancelled_ = true;
    if (!assembly_.isRunning())
        End(false, QString());
}

void TBookPdfExport::RenderNext()
{
    if (ended_)
        return;
    std::optional<TReadingOrder::TPlaced> next;
    if (order_)
        next = order_->Next();
    else if (nextPlanned_ < planned_.size())
        next = planned_[nextPlanned_++];
    else if (StartOtherPages())
        next = order_->Next();
    if (!next)
        return Assemble();
    // The outline of the pages after the contents' ones is flat: no page stands under another.
    if (otherFrom_ >= 0)
        next->Parent = -1;
    renderedIndex_.push_back(next->Page);
    const QString name = PageName(next->Page);
    pages_.push_back({ pageFolder_->filePath(QStringLiteral("%1.pdf").arg(pages_.size())), name, {}, next->Parent });
    emit progressed(int(pages_.size()) - 1, PageTotal(), name);
    // The receiver may have cancelled.
    if (ended_)
        return;
    // A page the book cannot give would be served as a "not found" page and printed as one.
    if (!book_->CanRead(next->Page))
        return SkipPage(tr("It cannot be read from the book."));
    pageTimeout_.start();
    const std::string url = book_->Server().PageURL(book_->Names()[std::size_t(next->Page)]);
    page_->load(QUrl(QString::fromStdString(BookTextToUtf8(url)), QUrl::TolerantMode));
}

void TBookPdfExport::PageLoaded(bool ok)
{
    if (ended_ || pages_.empty())
        return;
    // A page that moves on while it loads ends one load and starts the next: the last one counts.
    if (page_->isLoading())
        return;
    // A page that moved on by itself is printed as what it became, under that page's name.
    const QUrl shown = page_->url();
    const int became = BookPageOf(shown.toString());
    if (became < 0)
        return SkipPage(tr("It moves to an address outside the book: %1").arg(shown.toString()));
    if (!ok)
        return SkipPage(tr("It could not be loaded."));
    if (became != renderedIndex_.back())
        pages_.back().Name = PageName(became);
    page_->runJavaScript(kPageFactsScript, QWebEngineScript::ApplicationWorld,
        [self = QPointer<TBookPdfExport>(this)](const QVariant& facts) {
            if (self)
                self->PageRead(facts);
        });
}

void TBookPdfExport::PageRead(const QVariant& facts)
{
    if (ended_)
        return;
    const QVariantMap map = facts.toMap();
    pages_.back().Title = map.value(QStringLiteral("title")).toString().simplified();
    if (const auto named = contentsTitle_.find(renderedIndex_.back());
        named != contentsTitle_.end() && TitleSaysNothing(pages_.back().Title))
        pages_.back().Title = named->second;
    if (pages_.size() == 1 && design_.Author.isEmpty())
        design_.Author = map.value(QStringLiteral("author")).toString().simplified();
    std::vector<int> linked;
    for (const QVariant& link : map.value(QStringLiteral("links")).toList()) {
        const int page = BookPageOf(link.toString());
        if (page >= 0)
            linked.push_back(page);
    }
    if (order_)
        order_->Follow(linked);
    else if (!otherPages_.empty())
        contentsLinks_.insert(contentsLinks_.end(), linked.begin(), linked.end());

    PdfRenderingStarted(page_);
    page_->printToPdf(
        [self = QPointer<TBookPdfExport>(this), page = page_](const QByteArray& pdf) {
            if (self)
                self->PagePrinted(pdf);
            PdfRenderingEnded(page);
        },
        PaperLayout(design_.Options));
}

void TBookPdfExport::PagePrinted(const QByteArray& pdf)
{
    if (ended_)
        return;
    pageTimeout_.stop();
    if (pdf.isEmpty())
        return SkipPage(tr("The engine could not render it."));
    QFile file(pages_.back().File);
    if (!file.open(QIODevice::WriteOnly) || file.write(pdf) != pdf.size() || !file.flush())
        return Fail(tr("Cannot write %1: %2").arg(file.fileName(), file.errorString()));
    file.close();
    // Out of the engine's callback before the next load.
    QTimer::singleShot(0, this, &TBookPdfExport::RenderNext);
}

int TBookPdfExport::BookPageOf(const QString& url) const
{
    const QUrl link(url);
    const TPageServer& server = book_->Server();
    if (link.scheme() != u"http" || link.host() != QString::fromStdString(server.Address())
        || link.port() != server.Port())
        return -1;
    // The page is found as the server finds it from the request's path.
    const std::string document = link.path(QUrl::FullyEncoded).toStdString();
    int index = book_->IndexOf(PageNameFromDocument(document));
    if (index < 0) {
        if (const std::optional<std::string> escaped = PageNameFromEscapedDocument(document))
            index = book_->IndexOf(*escaped);
    }
    return index;
}

int TBookPdfExport::PlacedPageOf(const QString& url) const
{
    const int page = BookPageOf(url);
    if (page < 0)
        return -1;
    const auto found = placedPosition_.find(page);
    return found == placedPosition_.end() ? -1 : found->second;
}

bool TBookPdfExport::StartOtherPages()
{
    if (otherPages_.empty() || otherFrom_ >= 0)
        return false;
    otherFrom_ = int(pages_.size());
    order_.emplace(otherPages_, contentsLinks_);
    return true;
}

void TBookPdfExport::Assemble()
{
    emit progressed(PageTotal(), PageTotal(), QString());
    // Each page after the contents' ones is an entry of its own at the outline's top.
    if (otherFrom_ >= 0) {
        for (std::size_t i = std::size_t(otherFrom_); i < pages_.size(); ++i)
            outline_.push_back({ pages_[i].Title.isEmpty() ? pages_[i].Name : pages_[i].Title, int(i), {}, -1 });
    }
    for (std::size_t i = 0; i < renderedIndex_.size(); ++i)
        placedPosition_.emplace(renderedIndex_[i], int(i));
    // The engine page is done with: its memory goes before the pages are put together.
    RetirePage(page_, profile_);
    page_ = nullptr;
    profile_ = nullptr;
    const QString part = partFile_->fileName();
    assembly_.setFuture(QtConcurrent::run([this, part] {
        return AssembleBookPdf(
            pages_, outline_, design_, [this](const QString& url) { return PlacedPageOf(url); }, part, cancelled_,
            assemblyError_);
    }));
}

void TBookPdfExport::Assembled()
{
    if (cancelled_)
        return End(false, QString());
    if (!assembly_.result())
        return Fail(tr("Cannot write %1: %2").arg(outputFile_, assemblyError_));
    // A temporary file is private to its owner; the document gets what a new file gets.
    const mode_t mask = umask(0);
    umask(mask);
    chmod(QFile::encodeName(partFile_->fileName()).constData(), 0666 & ~mask);
    const QByteArray from = QFile::encodeName(partFile_->fileName());
    const QByteArray to = QFile::encodeName(outputFile_);
    if (std::rename(from.constData(), to.constData()) != 0)
        return Fail(tr("Cannot write %1: %2").arg(outputFile_, QString::fromLocal8Bit(std::strerror(errno))));
    partFile_->setAutoRemove(false);
    End(true, QString());
}

void TBookPdfExport::Fail(const QString& error)
{
    End(false, error);
}

void TBookPdfExport::End(bool written, const QString& error)
{
    if (ended_)
        return;
    ended_ = true;
    pageTimeout_.stop();
    // Unless renamed into place, the part file goes with its object; the pages' PDFs likewise.
    partFile_.reset();
    pageFolder_.reset();
    emit finished(written, error);
}
