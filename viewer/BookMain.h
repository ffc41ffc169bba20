#pragma once

#include "browserhost/DocHostHandler.h"
#include "common/StringList.h"
#include "pageservice/PageServer.h"
#include "sources/BookSource.h"
#include "sources/OpenSource.h"
#include "sources/SourceKind.h"

#include <QMainWindow>
#include <QStringList>

#include <cstdint>
#include <future>
#include <memory>
#include <string>

class QUrl;
class TBookSearch;
class TDarkMode;
class TReadingStyle;
class TReadingMenu;
class TFindBar;
class TPagePlaces;
class TWindowNotice;
class TZoomControl;
class TFormActivation;
class TSearchPanel;
class TContentsPanel;
class TIndexPanel;
struct TContentsPlace;
class TWindowPlacement;
class TSaveBookAsPdf;
class TContinuousReading;
class TReadingProgress;
class QLabel;

namespace Ui {
class BookMainForm;
}

// The viewer's main window: the book, the page server that feeds the browser from it, the
// viewer's own navigation history and the caption.
//
// The designed components come from BookMain.ui. The server listens on 127.0.0.1 from the first
// show on, and not while another of the viewer's forms (the About box) holds the focus.
class TBookMainForm : public QMainWindow {
    Q_OBJECT
public:
    // bookArgument names the book: a book file, an EPUB, a CHM, a ZIM archive or a folder of pages,
    // told apart by content; empty for the program's own executable. Raises Exception "Cannot open
    // file NAME" when the file cannot be opened, and the reader's message when an EPUB, CHM or ZIM
    // cannot be read; a file of no known kind still makes a window, captioned "Invalid eBook".
    // `folder`: how a folder named by the argument is read (OpenSource.h).
    explicit TBookMainForm(std::string bookArgument, FolderReading folder = {}, QWidget* parent = nullptr);
    ~TBookMainForm() override;

    // Navigates the browser to a page of the book by its stored name, or to a whole address, with
    // no entry in the engine's own history and no use of its cache.
    void NavigateToPage(const std::string& pageName);
    void NavigateURL(const std::string& url);

    const Ui::BookMainForm& Designed() const { return *ui; }
    // The book shown, whatever its kind (a book file through TBookFileSource over the server's
    // reader); null for a file that is no book. The caption, About box, display settings,
    // contents, search and the whole-book export all read it through this.
    TBookSource* ShownSource() const { return Source.get(); }
    TPageServer& PageServer() { return *Server; }
    const TPageServer& PageServer() const { return *Server; }
    const TStringList& VisitedURLs() const { return History; }
    TSaveBookAsPdf& SaveBookAsPdf() const { return *SaveAsPdf; }
    int32_t VisitedIndex() const { return HistoryIndex; }

    // The reader's aids: zoom, find in page and the dark reading mode of the running book.
    TZoomControl& Zoom() const { return *zoom_; }
    TFindBar& FindBar() const { return *findBar_; }
    TDarkMode& DarkMode() const { return *darkMode_; }
    // The Reading menu's choices over the book's own look, for this run.
    TReadingStyle& ReadingStyle() const { return *readingStyle_; }
    // The contents panel once made (F9, or at start when the book asks for it); else null.
    TContentsPanel* ContentsPanelMade() const { return ContentsPanel; }
    // The keyword index's tab beside the contents, made with them for a book that has keywords.
    TIndexPanel* IndexPanelMade() const { return IndexPanel; }
    // Why the book cannot be shown ("FILE is not an eBook: REASON"); empty for a book that shows.
    const std::string& BookProblem() const { return bookProblem_; }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

private:
    // Opens the book named on the command line, else the one appended to this program; its file.
    std::string OpenBook();
    // An EPUB, CHM, ZIM or folder: read in place through its source, shown with the default design.
    void OpenOtherSource(const std::string& fileName, ESourceKind kind);
    // The book's title as UTF-8; empty for a file that is no book.
    QString BookTitle() const;
    // The settings the window shows the book with: the source's, else a book file's defaults.
    DisplaySettings ShownDisplay() const;
    void ApplyDisplaySettings(const DisplaySettings& s);
    void ApplyFullScreenLayout();
    void NameToolBarItems();
    void SetToolBarButtons(const QSize& size, int panelHeight);
    HRESULT BrowserShowContextMenu(const QPoint& where);
    void FormShow();
    void FormActivate();
    void FormDeactivate();

    void BrowserBeforeNavigate2(const QUrl& url, bool isMainFrame);
    void BrowserTitleChange(const QString& text);

    void ActionHomeExecute();
    void ActionBackExecute();
    void ActionForwardExecute();
    void ActionBackUpdate();
    void ActionForwardUpdate();
    void ActionAboutExecute();
    void ActionPrintExecute();
    void ActionExitExecute();
    void CloseButtonClick();

    // The reader's aids (BookMainReading.cpp): their actions come after the designed ones.
    void SetUpReadingAids();
    QAction* AddAction(const char* name, const QString& text, const QList<QKeySequence>& keys);
    void ActionReloadExecute();
    // The viewer's own panels in the dark reading mode's colours while it is on.
    void ColourPanels();
    // The page's context menu, where the book allows one: the engine's own and the Reading menu.
    void ShowPageContextMenu(const QPoint& where);
    void ActionKeysExecute();
    // Back and Forward return to where the reader was on the page they lead to.
    void ExpectScrollPositionOf(const std::string& url);
    void RestoreScrollPosition();
    void AddSearchAction();
    void ActionSearchExecute();
    void MakeRoomForSearchPanel();
    void OpenSearchResult(const QByteArray& pageName, const QStringList& terms);
    // The contents (BookMainContents.cpp): the panel is made at its first use.
    void AddContentsActions();
    TContentsPanel* Contents();
    void OpenContentsAtStart();
    void ActionContentsExecute();
    void StepInContents(int step);
    void OpenContentsPlace(const QString& page, const QString& anchor);
    TContentsPlace PlaceOfAddress(const QUrl& url);
    void FollowInContents(const QUrl& url);
    // The keyword index (BookMainIndex.cpp): Shift+F9, and its tab made beside the contents.
    void AddIndexAction();
    void MakeIndexPanel();
    // Starts reading the book's contents on a thread of their own, once, for the panel and search.
    void StartReadingContents();
    // The book's contents (ContentsOfSource), waited for at the first use; empty for no book.
    const TContents& BookContents();
    // The page title the caption shows: the page's own, else its contents entry's.
    QString ShownPageTitle(const QString& pageTitle);

    // Continuous reading and the progress line (BookMainFlow.cpp).
    void SetUpContinuousReading();
    void TurnPage(int direction);
    void ShowProgress();
    // The book's reading order, worked out at its first use from the contents; null for no book.
    const TReadingProgress* Progress();
    // The page shown, as the contents name pages; empty before the first.
    QString ShownPage();

    // Full screen (F11, Esc) and printing by key (BookMainScreen.cpp), for a book of any kind.
    void AddScreenActions();
    void SetFullScreen(bool on);

    // The designed components; the Qt parent owns the widgets, this the generated holder.
    std::unique_ptr<Ui::BookMainForm> ui;
    std::string BookArgument;
    FolderReading FolderOpening;

    // The book shown. A source read in place is declared before the server, which reads from it;
    // a book file's is made over the server's reader, so the destructor ends everything that reads
    // the book (the export, search, the contents' thread, the server) before either goes.
    std::unique_ptr<TBookSource> Source;
    // The server of the book's pages; it ends its own sessions before it goes.
    std::unique_ptr<TPageServer> Server;
    // The book's contents as the source keeps them, read on a thread of their own at window open.
    std::shared_future<const TContents*> contents_;
    // The search index's worker reads the book. Made at the first search.
    std::unique_ptr<TBookSearch> Search;
    int32_t HistoryIndex = -1;
    TStringList History;

    TFormActivation* Activation = nullptr; // owned as a Qt child
    TWindowPlacement* Placement = nullptr; // owned as a Qt child
    QAction* SeparatorButton = nullptr; // the toolbar's separator after Print
    TSaveBookAsPdf* SaveAsPdf = nullptr; // owned as a Qt child
    QAction* ActionSearch = nullptr; // owned as a Qt child
    TSearchPanel* SearchPanel = nullptr; // owned as a Qt child; made with Search
    QAction* ActionContents = nullptr; // owned as a Qt child
    TContentsPanel* ContentsPanel = nullptr; // owned as a Qt child
    TIndexPanel* IndexPanel = nullptr; // owned as a Qt child; made with ContentsPanel
    bool shownBefore_ = false;
    std::string bookProblem_;

    TZoomControl* zoom_ = nullptr; // owned as a Qt child
    TFindBar* findBar_ = nullptr; // owned as a Qt child
    TDarkMode* darkMode_ = nullptr; // owned as a Qt child of the page
    TPagePlaces* places_ = nullptr; // owned as a Qt child of the page
    TReadingStyle* readingStyle_ = nullptr; // owned as a Qt child of the page
    TReadingMenu* readingMenu_ = nullptr; // owned as a Qt child
    TWindowNotice* notice_ = nullptr; // owned as a Qt child of the browser
    TContinuousReading* continuous_ = nullptr; // owned as a Qt child of the page
    std::unique_ptr<TReadingProgress> progress_;
    QLabel* progressLabel_ = nullptr; // owned by the status bar, made with it
    QAction* actionFullScreen_ = nullptr; // owned as a Qt child
    // What showed around the page before full screen hid it.
    struct TChrome {
        bool menu = false;
        bool toolbar = false;
        bool status = false;
    } chromeBefore_;
};

// The program's main window, while it exists.
extern TBookMainForm* BookMainForm;
