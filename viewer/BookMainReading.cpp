// TBookMainForm, continued: the reader's aids (zoom, find in page, dark reading mode, reload, the
// mouse's side buttons, scroll positions and the Keys dialog). Every one of them works from the
// keyboard, with or without the book's menu bar and toolbar, and none is kept between runs.
#include "viewer/BookMain.h"

#include "browserhost/EmbeddedBrowser.h"
#include "browserhost/ViewMouse.h"
#include "browserhost/WindowCaption.h"
#include "viewer/BookMainDesign.h"
#include "viewer/reading/DarkMode.h"
#include "viewer/reading/FindBar.h"
#include "viewer/reading/KeysDialog.h"
#include "viewer/reading/NotePopup.h"
#include "viewer/reading/PagePlaces.h"
#include "viewer/reading/PagedReading.h"
#include "viewer/reading/PanelColours.h"
#include "viewer/reading/ReadingMenu.h"
#include "viewer/reading/ReadingStyle.h"
#include "viewer/reading/WindowNotice.h"
#include "viewer/reading/ZoomControl.h"

#include <QChildEvent>
#include <QDockWidget>
#include <QMenu>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>

#include <iostream>

namespace {

// History entries are fully encoded addresses: plain ASCII.
QString AddressText(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace

QAction* TBookMainForm::AddAction(const char* name, const QString& text, const QList<QKeySequence>& keys)
{
    auto* action = new QAction(text, this);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcuts(keys);
    // Carried by the window itself, so the keys work with the menu bar detached.
    addAction(action);
    return action;
}

void TBookMainForm::SetUpReadingAids()
{
    QWebEnginePage& page = *ui->Browser->Page();

    // Back and Forward also answer Alt+Left and Alt+Right and the mouse's side buttons, through
    // the same enable rules; the designed keys stay first.
    ui->ActionBack->setShortcuts({ ui->ActionBack->shortcut(), QKeySequence(Qt::ALT | Qt::Key_Left) });
    ui->ActionForward->setShortcuts({ ui->ActionForward->shortcut(), QKeySequence(Qt::ALT | Qt::Key_Right) });
    connect(ui->Browser->Mouse(), &TViewMouse::backClicked, this, &TBookMainForm::ActionBackExecute);
    connect(ui->Browser->Mouse(), &TViewMouse::forwardClicked, this, &TBookMainForm::ActionForwardExecute);
    connect(AddAction("ActionReload", tr("Reload"), { QKeySequence(Qt::Key_F5) }), &QAction::triggered, this,
        &TBookMainForm::ActionReloadExecute);

    zoom_ = new TZoomControl(page, *ui->Browser);
    connect(AddAction("ActionZoomIn", tr("Zoom In"),
                { QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal) }),
        &QAction::triggered, zoom_, &TZoomControl::ZoomIn);
    connect(AddAction("ActionZoomOut", tr("Zoom Out"), { QKeySequence(Qt::CTRL | Qt::Key_Minus) }), &QAction::triggered,
        zoom_, &TZoomControl::ZoomOut);
    connect(AddAction("ActionZoomReset", tr("Actual Size"), { QKeySequence(Qt::CTRL | Qt::Key_0) }),
        &QAction::triggered, zoom_, &TZoomControl::Reset);
    connect(ui->Browser->Mouse(), &TViewMouse::zoomWheel, zoom_, &TZoomControl::StepBy);

    // The find bar sits under the page.
    findBar_ = new TFindBar(page, *ui->Browser, ui->ClientArea);
    ui->ClientLayout->addWidget(findBar_);
    connect(AddAction("ActionFind", tr("Find..."), { QKeySequence(Qt::CTRL | Qt::Key_F) }), &QAction::triggered,
        findBar_, &TFindBar::Open);
    connect(AddAction("ActionFindNext", tr("Find Next"), { QKeySequence(Qt::Key_F3) }), &QAction::triggered, findBar_,
        &TFindBar::FindNext);
    connect(AddAction("ActionFindPrevious", tr("Find Previous"), { QKeySequence(Qt::SHIFT | Qt::Key_F3) }),
        &QAction::triggered, findBar_, &TFindBar::FindPrevious);
    // Esc belongs to the page except while the bar is open.
    QAction* closeFind = AddAction("ActionFindClose", tr("Close Find Bar"), { QKeySequence(Qt::Key_Escape) });
    closeFind->setEnabled(false);
    connect(closeFind, &QAction::triggered, findBar_, &TFindBar::Close);
    findBar_->installEventFilter(this);

    darkMode_ = new TDarkMode(page);
    QAction* dark
        = AddAction("ActionDarkMode", tr("&Dark Reading Mode"), { QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D) });
    dark->setCheckable(true);
    connect(dark, &QAction::toggled, darkMode_, &TDarkMode::SetOn);
    connect(darkMode_, &TDarkMode::switched, dark, &QAction::setChecked);
    connect(darkMode_, &TDarkMode::coloursChanged, this, &TBookMainForm::ColourPanels);
    ui->BookMenu->addSeparator();
    ui->BookMenu->addAction(dark);
    // The Reading menu holds the dark mode among its themes.
    readingStyle_ = new TReadingStyle(page, *darkMode_);
    readingMenu_ = new TReadingMenu(*this, *readingStyle_, dark);
    ui->MainMenu->insertMenu(ui->HelpMenu->menuAction(), readingMenu_);

    QAction* keys = AddAction("ActionKeys", tr("&Keys"), { QKeySequence(Qt::Key_F1) });
    connect(keys, &QAction::triggered, this, &TBookMainForm::ActionKeysExecute);
    ui->HelpMenu->addAction(keys);

    // An outside link that no program of the desktop could open says so over the page.
    notice_ = new TWindowNotice(*ui->Browser);
    ui->Browser->OnOutsideOpenFailed = [this](const QUrl& url) {
        const QString address = CutForDisplay(url.toDisplayString());
        std::cerr << "ebook: no program could be started to open " << address.toStdString() << std::endl;
        notice_->Show(tr("No program could be started to open %1").arg(address));
    };

    // Notes show where they are referred to, and paged reading turns pages; Qt children of the page.
    new TNotePopup(page);
    new TPagedReading(page);

    places_ = new TPagePlaces(page);
    connect(&page, &QWebEnginePage::loadFinished, this, &TBookMainForm::RestoreScrollPosition);
    connect(ui->Browser, &TEmbeddedBrowser::sameDocumentNavigated, this, &TBookMainForm::RestoreScrollPosition);
}

void TBookMainForm::ColourPanels()
{
    const EPageColours colours = darkMode_->Colours();
    ColourPanel(*findBar_, colours);
    for (QDockWidget* panel : findChildren<QDockWidget*>(Qt::FindDirectChildrenOnly))
        ColourPanel(*panel, colours);
}

bool TBookMainForm::event(QEvent* event)
{
    // A panel made while the page is dark or sepia starts so.
    if (event->type() == QEvent::ChildPolished && darkMode_ != nullptr && darkMode_->Colours() != EPageColours::Own) {
        if (auto* panel = qobject_cast<QDockWidget*>(static_cast<QChildEvent*>(event)->child()))
            ColourPanel(*panel, darkMode_->Colours());
    }
    return QMainWindow::event(event);
}

void TBookMainForm::ActionReloadExecute()
{
    ui->Browser->Page()->triggerAction(QWebEnginePage::Reload);
}

void TBookMainForm::ActionKeysExecute()
{
    auto* dialog = new TKeysDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

void TBookMainForm::ExpectScrollPositionOf(const std::string& url)
{
    places_->Expect(AddressText(url));
}

void TBookMainForm::RestoreScrollPosition()
{
    if (HistoryIndex >= 0 && HistoryIndex < History.Count())
        places_->Arrived(AddressText(History[HistoryIndex]));
}

void TBookMainForm::ShowPageContextMenu(const QPoint& where)
{
    // The engine's own menu, with the Reading menu after it.
    QMenu* menu = ui->Browser->View()->createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addSeparator();
    menu->addMenu(readingMenu_);
    menu->popup(where);
}
