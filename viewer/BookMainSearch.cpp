// TBookMainForm's book-wide search: the Search action, its panel and opening a result.

#include "viewer/BookMain.h"

#include "browserhost/EmbeddedBrowser.h"
#include "viewer/BookMainDesign.h"
#include "viewer/search/BookSearch.h"
#include "viewer/search/SearchMarks.h"
#include "viewer/search/SearchPanel.h"

#include <QAction>
#include <QMenu>
#include <QScreen>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>

#include <algorithm>

void TBookMainForm::AddSearchAction()
{
    // On the window, so that the shortcut works with the menu bar and toolbar hidden.
    ActionSearch
        = AddAction("ActionSearch", tr("&Search the Book…"), { QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F) });
    // After the designed items, as every item the viewer adds.
    ui->BookMenu->addSeparator();
    ui->BookMenu->addAction(ActionSearch);
    connect(ActionSearch, &QAction::triggered, this, &TBookMainForm::ActionSearchExecute);
}

void TBookMainForm::ActionSearchExecute()
{
    if (!Source)
        return;
    if (SearchPanel == nullptr) {
        // Breadcrumbs and entry titles come from the contents the panel shows, read once.
        Search = std::make_unique<TBookSearch>(*Source, nullptr);
        SearchPanel = new TSearchPanel(*Search, this);
        addDockWidget(Qt::RightDockWidgetArea, SearchPanel);
        connect(SearchPanel, &TSearchPanel::pageChosen, this, &TBookMainForm::OpenSearchResult);
        connect(
            SearchPanel, &TSearchPanel::placeChosen, this, [this](const QByteArray& page, const QByteArray& anchor) {
                NavigateURL(Server->PageURL(page.toStdString()) + (anchor.isEmpty() ? "" : "#" + anchor.toStdString()));
            });
        MakeRoomForSearchPanel();
    }
    SearchPanel->Open();
}

void TBookMainForm::MakeRoomForSearchPanel()
{
    // A narrow window grows by the panel's width, within the screen, rather than give the page's
    // room to it; the page keeps at least as much room as the panel takes.
    constexpr int kPanelWidth = 320;
    if (!isMaximized() && !isFullScreen() && width() < 3 * kPanelWidth) {
        const QScreen* shown = screen();
        const int room = shown != nullptr ? shown->availableGeometry().right() - frameGeometry().right() : kPanelWidth;
        const int wider = width() + std::clamp(room, 0, kPanelWidth);
        // A book may fix its window's size; it is widened by the panel all the same.
        if (minimumWidth() >= maximumWidth())
            setFixedWidth(wider);
        else
            resize(wider, height());
    }
    resizeDocks({ SearchPanel }, { std::min(kPanelWidth, width() / 2) }, Qt::Horizontal);
}

void TBookMainForm::OpenSearchResult(const QByteArray& pageName, const QStringList& terms)
{
    QWebEngineView* view = ui->Browser->View();
    // Once the page has loaded, every word of the query is marked on it and the first is scrolled
    // into view: the page opens where the match the reader chose it for begins.
    auto* once = new QObject(this);
    connect(view, &QWebEngineView::loadFinished, once, [view, terms, once](bool) {
        once->deleteLater();
        if (!terms.isEmpty())
            view->page()->runJavaScript(MarkSearchTermsScript(terms), QWebEngineScript::ApplicationWorld);
    });
    NavigateToPage(pageName.toStdString());
}
