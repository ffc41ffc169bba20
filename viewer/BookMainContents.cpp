// TBookMainForm's contents: the panel (F9), next and previous in the contents' order, and the
// panel's selection following every navigation, for a book of any kind (ShownSource). The
// contents are read once, on a thread of their own, for the panel, the caption and search alike.

#include "viewer/BookMain.h"

#include "browserhost/WindowCaption.h"
#include "common/BookText.h"
#include "pageservice/PageServer.h"
#include "pageservice/PageService.h"
#include "sources/SourceContents.h"
#include "viewer/BookMainDesign.h"
#include "viewer/contents/ContentsPanel.h"
#include "viewer/contents/EntryTitles.h"

#include <QAction>
#include <QMenu>
#include <QUrl>

#include <algorithm>

namespace {

// What a book without readable contents shows.
const TContents kNoContents;

} // namespace

void TBookMainForm::AddContentsActions()
{
    ActionContents = AddAction("ActionContents", tr("&Contents"), { QKeySequence(Qt::Key_F9) });
    ActionContents->setCheckable(true);
    QAction* next
        = AddAction("ActionNextInContents", tr("Next in Contents"), { QKeySequence(Qt::CTRL | Qt::Key_PageDown) });
    QAction* previous = AddAction(
        "ActionPreviousInContents", tr("Previous in Contents"), { QKeySequence(Qt::CTRL | Qt::Key_PageUp) });
    ui->BookMenu->addAction(ActionContents);
    ui->BookMenu->addAction(next);
    ui->BookMenu->addAction(previous);
    connect(ActionContents, &QAction::triggered, this, &TBookMainForm::ActionContentsExecute);
    connect(next, &QAction::triggered, this, [this] { StepInContents(1); });
    connect(previous, &QAction::triggered, this, [this] { StepInContents(-1); });
    AddIndexAction();
}

void TBookMainForm::StartReadingContents()
{
    if (!Source || !bookProblem_.empty())
        return;
    // Reading a large folder's or an archive's home pages takes a while: the window shows the
    // first page meanwhile. The destructor waits for the thread before the source goes.
    contents_ = std::async(std::launch::async, [source = Source.get()]() -> const TContents* {
        try {
            return &ContentsOfSource(*source); // kept by the source for every reader
        } catch (const std::exception&) {
            // A damaged contents page leaves the book without contents, still readable.
            return &kNoContents;
        }
    }).share();
}

const TContents& TBookMainForm::BookContents()
{
    return contents_.valid() ? *contents_.get() : kNoContents;
}

TContentsPanel* TBookMainForm::Contents()
{
    if (ContentsPanel == nullptr && Source && bookProblem_.empty()) {
        ContentsPanel = new TContentsPanel(BookContents(), this);
        ContentsPanel->hide();
        addDockWidget(Qt::LeftDockWidgetArea, ContentsPanel);
        resizeDocks({ ContentsPanel }, { std::min(300, width() / 3) }, Qt::Horizontal);
        connect(ContentsPanel, &TContentsPanel::placeChosen, this, &TBookMainForm::OpenContentsPlace);
        connect(ContentsPanel, &QDockWidget::visibilityChanged, ActionContents, &QAction::setChecked);
        if (HistoryIndex >= 0 && HistoryIndex < History.Count())
            ContentsPanel->ShowPlace(PlaceOfAddress(QUrl(QString::fromStdString(History[HistoryIndex]))));
        MakeIndexPanel();
    }
    return ContentsPanel;
}

void TBookMainForm::OpenContentsAtStart()
{
    if (Source && Source->OpensContentsAtStart() && Contents() != nullptr)
        ContentsPanel->show();
}

void TBookMainForm::ActionContentsExecute()
{
    TContentsPanel* panel = Contents();
    if (panel == nullptr)
        return;
    if (panel->isVisible())
        panel->hide();
    else
        panel->Open();
}

void TBookMainForm::StepInContents(int step)
{
    TContentsPanel* panel = Contents();
    if (panel == nullptr)
        return;
    if (const auto place = panel->Step(step))
        OpenContentsPlace(place->Page, place->Anchor);
}

void TBookMainForm::OpenContentsPlace(const QString& page, const QString& anchor)
{
    // The server finds the page by the name as the source stores it.
    std::string url = Server->PageURL(StoredBookText(page.toStdString()));
    if (!anchor.isEmpty())
        url += "#" + StoredBookText(QUrl::toPercentEncoding(anchor).toStdString());
    NavigateURL(url);
}

TContentsPlace TBookMainForm::PlaceOfAddress(const QUrl& url)
{
    if (url.host() != QString::fromStdString(Server->Address()) || url.port() != Server->Port())
        return {};
    const std::string document = url.path(QUrl::FullyEncoded).toStdString();
    const std::string written = PageNameFromDocument(document);
    const std::optional<std::string> escaped = PageNameFromEscapedDocument(document);
    const QString anchor = url.fragment(QUrl::FullyDecoded);
    // The name as written, unless only the name the browser escaped is one the contents know.
    const QString asWritten = QString::fromStdString(BookTextToUtf8(written));
    if (escaped && ContentsTitleOf(BookContents(), asWritten).isEmpty()) {
        const QString meant = QString::fromStdString(BookTextToUtf8(*escaped));
        if (!ContentsTitleOf(BookContents(), meant).isEmpty())
            return { meant, anchor };
    }
    return { asWritten, anchor };
}

void TBookMainForm::FollowInContents(const QUrl& url)
{
    if (ContentsPanel != nullptr)
        ContentsPanel->ShowPlace(PlaceOfAddress(url));
}

QString TBookMainForm::ShownPageTitle(const QString& pageTitle)
{
    if (!PageTitleSaysNothing(pageTitle, BookTitle()) || HistoryIndex < 0 || HistoryIndex >= History.Count())
        return pageTitle;
    const TContentsPlace place = PlaceOfAddress(QUrl(QString::fromStdString(History[HistoryIndex])));
    const QString entry = ContentsTitleOf(BookContents(), place.Page);
    return entry.isEmpty() ? pageTitle : entry;
}
