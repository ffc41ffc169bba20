#include "viewer/BookMain.h"

#include "book/BookDiagnosis.h"
#include "book/OpenedBook.h"
#include "book/OwnExecutable.h"
#include "browserhost/ApplicationTitle.h"
#include "browserhost/OutsideLinks.h"
#include "browserhost/WindowCaption.h"
#include "common/BookText.h"
#include "common/Exception.h"
#include "print/PrintDesign.h"
#include "resources/StringTable.h"
#include "sources/BookFileSource.h"
#include "sources/OpenSource.h"
#include "sources/ReadingPages.h"
#include "sources/SourceKind.h"
#include "viewer/BookAboutBox.h"
#include "viewer/BookMainDesign.h"
#include "viewer/BookProblemNotice.h"
#include "viewer/ErrorReport.h"
#include "viewer/FormActivation.h"
#include "viewer/NavigationHistory.h"
#include "viewer/SaveBookAsPdf.h"
#include "viewer/WindowPlacement.h"
#include "viewer/contents/ContentsPanel.h"
#include "viewer/reading/FindBar.h"
#include "viewer/reading/PagePlaces.h"
#include "viewer/reading/ReadingProgress.h"
#include "viewer/search/BookSearch.h"

#include <QWebEnginePage>

#include <iostream>

TBookMainForm* BookMainForm = nullptr;

namespace {

QString FromBookText(const std::string& text)
{
    return QString::fromStdString(BookTextToUtf8(text));
}

} // namespace

TBookMainForm::TBookMainForm(std::string bookArgument, FolderReading folder, QWidget* parent)
    : QMainWindow(parent)
    , ui(std::make_unique<Ui::BookMainForm>())
    , BookArgument(std::move(bookArgument))
    , FolderOpening(folder)
{
    ui->setupUi(this);
    // The toolbar row is hidden as designed; a valid book's settings decide whether it shows.
    ui->ToolBarPanel->hide();
    ui->SystemPanel->hide();
    NameToolBarItems();
    Placement = new TWindowPlacement(*this);
    // Shortcuts work with the menu bar detached: the window itself carries the actions.
    addActions({ ui->ActionHome, ui->ActionBack, ui->ActionForward, ui->ActionAbout, ui->ActionExit, ui->ActionPrint });

    ui->Browser->OnBeforeNavigate2
        = [this](QObject*, const QUrl& url, bool isMainFrame, bool&) { BrowserBeforeNavigate2(url, isMainFrame); };
    ui->Browser->OnTitleChange = [this](QObject*, const QString& text) { BrowserTitleChange(text); };
    ui->Browser->OnShowContextMenu = [this](uint32_t, const QPoint& where) { return BrowserShowContextMenu(where); };
    ui->Browser->PrintOptions = DesignedPrintOptions();
    connect(ui->ActionHome, &QAction::triggered, this, &TBookMainForm::ActionHomeExecute);
    connect(ui->ActionBack, &QAction::triggered, this, &TBookMainForm::ActionBackExecute);
    connect(ui->ActionForward, &QAction::triggered, this, &TBookMainForm::ActionForwardExecute);
    connect(ui->ActionAbout, &QAction::triggered, this, &TBookMainForm::ActionAboutExecute);
    connect(ui->ActionPrint, &QAction::triggered, this, &TBookMainForm::ActionPrintExecute);
    // A page's print button (window.print()) prints as the menu does, where the book allows it.
    connect(ui->Browser->Page(), &QWebEnginePage::printRequested, this, &TBookMainForm::ActionPrintExecute);
    connect(ui->ActionExit, &QAction::triggered, this, &TBookMainForm::ActionExitExecute);
    connect(ui->CloseButton, &QToolButton::clicked, this, &TBookMainForm::CloseButtonClick);

    Activation = new TFormActivation(
        *this, [this] { FormActivate(); }, [this] { FormDeactivate(); });
    SetUpReadingAids();
    AddSearchAction();
    AddContentsActions();
    SetUpContinuousReading();
    AddScreenActions();
    const std::string bookFile = OpenBook();
    StartReadingContents();
    // The whole book as one PDF, offered where printing is: the export reads the window's source.
    SaveAsPdf = new TSaveBookAsPdf(*this, *ui->BookMenu, ui->ActionPrint, Source.get(),
        QString::fromLocal8Bit(bookFile.c_str()), CutForDisplay(BookTitle()), ui->Browser->PrintOptions);
    SaveAsPdf->SetOffered(Source && bookProblem_.empty() && Source->Display().allowPrint);
    OpenContentsAtStart();
}

TBookMainForm::~TBookMainForm()
{
    // Whatever reads the book ends before the server and the source go: an export under way (its
    // own server's sessions), the search worker, the contents' thread, then the server's sessions.
    delete SaveAsPdf;
    Search.reset();
    if (contents_.valid())
        contents_.wait();
    Server.reset();
}

std::string TBookMainForm::OpenBook()
{
    const std::string fileName = BookArgument.empty() ? OwnExecutableFileName() : BookArgument;
    // The program's own file is read as a book whatever else it looks like.
    const std::optional<ESourceKind> kind
        = BookArgument.empty() ? std::optional(ESourceKind::Book) : DetectSourceKind(fileName);
    if (kind && *kind != ESourceKind::Book) {
        OpenOtherSource(fileName, *kind);
        return fileName;
    }
    // The page server's limits are those of a viewer, whose only client is its own engine.
    Server = std::make_unique<TPageServer>(fileName, TPageServerLimits {});
    const TBookReader& reader = Server->Reader();
    if (!reader.IsValid() || !reader.HasHomePage()) {
        // Read once more on its own, to name the step that fails.
        // A file of another kind says how to make a book of it; any other names the failing step.
        const auto hint = NotABookHint(fileName);
        bookProblem_ = hint ? *hint : fileName + " is not an eBook: " + WhyNotABook(*OpenBookStream(fileName));
        if (!kind && !hint)
            bookProblem_ += ". The viewer opens " + std::string(kKnownSourceKinds) + ".";
        return fileName;
    }
    Source = std::make_unique<TBookFileSource>(Server->Reader());
    ApplyDisplaySettings(Source->Display());
    return fileName;
}

void TBookMainForm::OpenOtherSource(const std::string& fileName, ESourceKind kind)
{
    Source = OpenBookSource(fileName, kind, FolderOpening);
    Server = std::make_unique<TPageServer>(*Source, TPageServerLimits {});
    if (Source->HomePageName().empty()) {
        bookProblem_ = fileName + " holds no page to show (" + Source->KindName() + ")";
        return;
    }
    ApplyDisplaySettings(Source->Display());
}

QString TBookMainForm::BookTitle() const
{
    return Source ? QString::fromStdString(Source->Title()) : QString();
}

DisplaySettings TBookMainForm::ShownDisplay() const
{
    return Source ? Source->Display() : DisplaySettings {};
}

void TBookMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (shownBefore_)
        return;
    shownBefore_ = true;
    Placement->FirstShown();
    // A window can open without the focus (focus-stealing prevention, or X without a window
    // manager), so the server does not wait for the first activation. It is on before the first
    // navigation, which the engine may make from another thread at once.
    FormActivate();
    FormShow();
}

bool TBookMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ToolTip)
        return true;
    // Esc closes the find bar only while it shows.
    if (watched == findBar_ && (event->type() == QEvent::Show || event->type() == QEvent::Hide)) {
        if (auto* closeFind = findChild<QAction*>(QStringLiteral("ActionFindClose")))
            closeFind->setEnabled(event->type() == QEvent::Show);
    }
    return QMainWindow::eventFilter(watched, event);
}

HRESULT TBookMainForm::BrowserShowContextMenu(const QPoint& where)
{
    // S_OK: the host has dealt with it, by its own menu where the book allows one, else none.
    if (ShownDisplay().allowContextMenu)
        ShowPageContextMenu(where);
    return S_OK;
}

void TBookMainForm::FormShow()
{
    if (!bookProblem_.empty()) {
        setWindowTitle(QString::fromLatin1(kInvalidEBook));
        SetApplicationTitle(QString::fromLatin1(kInvalidEBook));
        // Said on standard error and in the window, instead of a blank page.
        std::cerr << bookProblem_ << std::endl;
        ShowBookProblem(*ui->Browser, QString::fromLocal8Bit(bookProblem_));
        return;
    }
    try {
        // An EPUB opens on its first page, not on the contents page written for it.
        NavigateToPage(OpeningPageOf(*Source));
    } catch (const Exception& error) {
        ReportError(this, error.Message());
    }
}

void TBookMainForm::FormActivate()
{
    try {
        Server->SwitchOn();
    } catch (const Exception& error) {
        ReportError(this, error.Message());
    }
}

void TBookMainForm::FormDeactivate()
{
    Server->SwitchOff();
}

void TBookMainForm::NavigateToPage(const std::string& pageName)
{
    NavigateURL(Server->PageURL(pageName));
}

void TBookMainForm::NavigateURL(const std::string& url)
{
    // The page name goes in as it is; the engine escapes what an address cannot hold.
    const QUrl address(FromBookText(url), QUrl::TolerantMode);
    // Only the book's own server shows pages in this window.
    ui->Browser->OwnSite = SiteOf(address);
    ui->Browser->Navigate(address, navNoHistory | navNoReadFromCache | navNoWriteToCache);
}

void TBookMainForm::BrowserBeforeNavigate2(const QUrl& url, bool isMainFrame)
{
    // A frame's document is part of the page that holds it: Back and Forward show whole pages,
    // so only the whole page's addresses enter the history. A frameset is one entry, Back leaves
    // it for the page before, and no frame's page is ever shown alone in the window.
    if (!isMainFrame)
        return;
    const std::string address = url.toString(QUrl::FullyEncoded).toStdString();
    if (HistoryIndex >= 0 && HistoryIndex < History.Count() && History[HistoryIndex] != address) {
        places_->Leaving(QString::fromStdString(History[HistoryIndex]), ui->Browser->InSameDocumentNavigation());
    }
    RecordNavigation(History, HistoryIndex, address);
    FollowInContents(url);
    ActionBackUpdate();
    ActionForwardUpdate();
}

void TBookMainForm::BrowserTitleChange(const QString& text)
{
    setWindowTitle(ComposeCaption(BookTitle(), ShownPageTitle(text)));
    SetApplicationTitle(windowTitle());
}

void TBookMainForm::ActionHomeExecute()
{
    // A file that is no book has no home page to go to.
    if (!Source)
        return;
    try {
        NavigateToPage(Source->HomePageName());
    } catch (const Exception& error) {
        ReportError(this, error.Message());
    }
}

void TBookMainForm::ActionBackExecute()
{
    ActionBackUpdate();
    if (!ui->ActionBack->isEnabled())
        return;
    ExpectScrollPositionOf(History[HistoryIndex - 1]);
    NavigateURL(History[HistoryIndex - 1]);
}

void TBookMainForm::ActionForwardExecute()
{
    ActionForwardUpdate();
    if (!ui->ActionForward->isEnabled())
        return;
    ExpectScrollPositionOf(History[HistoryIndex + 1]);
    NavigateURL(History[HistoryIndex + 1]);
}

void TBookMainForm::ActionBackUpdate()
{
    ui->ActionBack->setEnabled(CanGoBack(History, HistoryIndex));
}

void TBookMainForm::ActionForwardUpdate()
{
    ui->ActionForward->setEnabled(CanGoForward(History, HistoryIndex));
}

void TBookMainForm::ActionAboutExecute()
{
    // Made anew for each opening, modal, and freed when it closes.
    if (!Source)
        return;
    auto* box = new TBookAboutBoxForm(nullptr, *Source);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    box->show();
}

void TBookMainForm::ActionPrintExecute()
{
    // Reachable only while the book allows printing: the action is hidden otherwise.
    if (ui->ActionPrint->isVisible())
        ui->Browser->Print();
}

void TBookMainForm::ActionExitExecute()
{
    close();
}

void TBookMainForm::CloseButtonClick()
{
    close();
}
