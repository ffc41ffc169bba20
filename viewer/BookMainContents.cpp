// TBookMainForm's contents: the panel (F9), next and previous in the contents' order, and the
// panel's selection following every navigation.

#include "viewer/BookMain.h"

#include "book/BookReader.h"
#include "common/BookText.h"
#include "pageservice/PageServer.h"
#include "pageservice/PageService.h"
#include "sources/BookFileSource.h"
#include "viewer/BookMainDesign.h"
#include "viewer/contents/ContentsPanel.h"

#include <QAction>
#include <QMenu>
#include <QUrl>

#include <algorithm>

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
}

TContentsPanel* TBookMainForm::Contents()
{
    if (ContentsPanel == nullptr && Server->Reader().IsValid() && Server->Reader().HasHomePage()) {
        ContentsPanel = new TContentsPanel(TBookFileSource(Server->Reader()).Contents(), this);
        ContentsPanel->hide();
        addDockWidget(Qt::LeftDockWidgetArea, ContentsPanel);
        resizeDocks({ ContentsPanel }, { std::min(300, width() / 3) }, Qt::Horizontal);
        connect(ContentsPanel, &TContentsPanel::placeChosen, this, &TBookMainForm::OpenContentsPlace);
        connect(ContentsPanel, &QDockWidget::visibilityChanged, ActionContents, &QAction::setChecked);
        if (HistoryIndex >= 0 && HistoryIndex < History.Count())
            ContentsPanel->ShowPlace(PlaceOfAddress(QUrl(QString::fromStdString(History[HistoryIndex]))));
    }
    return ContentsPanel;
}

void TBookMainForm::OpenContentsAtStart()
{
    const auto stored = Server->Reader().IsValid() ? StoredContentsOf(Server->Reader()) : std::nullopt;
    if (stored && stored->openAtStart && Contents() != nullptr)
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
    const int index = Server->Reader().IndexOfPage(page.toStdString());
    if (index < 0)
        return;
    std::string url = Server->PageURL(Server->Reader().Pages()[index]);
    if (!anchor.isEmpty())
        url += "#" + StoredBookText(QUrl::toPercentEncoding(anchor).toStdString());
    NavigateURL(url);
}

TContentsPlace TBookMainForm::PlaceOfAddress(const QUrl& url) const
{
    if (url.host() != QString::fromStdString(Server->Address()) || url.port() != Server->Port())
        return {};
    const std::string document = url.path(QUrl::FullyEncoded).toStdString();
    int index = Server->Reader().IndexOfPage(PageNameFromDocument(document));
    if (index < 0) {
        if (const std::optional<std::string> escaped = PageNameFromEscapedDocument(document))
            index = Server->Reader().IndexOfPage(*escaped);
    }
    if (index < 0)
        return {};
    return { QString::fromStdString(BookTextToUtf8(Server->Reader().Pages()[index])),
        url.fragment(QUrl::FullyDecoded) };
}

void TBookMainForm::FollowInContents(const QUrl& url)
{
    if (ContentsPanel != nullptr)
        ContentsPanel->ShowPlace(PlaceOfAddress(url));
}
