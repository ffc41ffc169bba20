// TBookMainForm, continued: full screen for a book of any kind (F11; Esc leaves it when the page
// does not take the key), and Ctrl+P for the print command where the book allows printing.
#include "viewer/BookMain.h"

#include "viewer/BookMainDesign.h"
#include "viewer/reading/ContinuousReading.h"

#include <QStatusBar>

void TBookMainForm::AddScreenActions()
{
    actionFullScreen_ = AddAction("ActionFullScreen", tr("&Full Screen"), { QKeySequence(Qt::Key_F11) });
    actionFullScreen_->setCheckable(true);
    connect(actionFullScreen_, &QAction::triggered, this, [this] { SetFullScreen(!isFullScreen()); });
    connect(continuous_, &TContinuousReading::escapeUnclaimed, this, [this] { SetFullScreen(false); });
    // The toolbar's print path, by key: the action is hidden, and its key with it, where the book
    // does not allow printing.
    ui->ActionPrint->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
}

void TBookMainForm::SetFullScreen(bool on)
{
    if (on == isFullScreen())
        return;
    QStatusBar* status = findChild<QStatusBar*>(QString(), Qt::FindDirectChildrenOnly);
    if (on) {
        // The page takes the whole screen; every key still works, the window carries the actions.
        chromeBefore_ = { ui->MainMenu->isVisible(), ui->ToolBarPanel->isVisible(), status && status->isVisible() };
        ui->MainMenu->hide();
        ui->ToolBarPanel->hide();
        if (status)
            status->hide();
        // From whatever the window was (a book's own full-screen layout is maximized), and back to it.
        setWindowState(windowState() | Qt::WindowFullScreen);
    } else {
        setWindowState(windowState() & ~Qt::WindowFullScreen);
        ui->MainMenu->setVisible(chromeBefore_.menu);
        ui->ToolBarPanel->setVisible(chromeBefore_.toolbar);
        if (status)
            status->setVisible(chromeBefore_.status);
    }
    actionFullScreen_->setChecked(isFullScreen());
}
