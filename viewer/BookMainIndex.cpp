// TBookMainForm's keyword index: a tab beside the contents for a book that has one (a CHM's
// .hhk), opened with Shift+F9 or by its tab; it comes and goes with the contents panel.
#include "viewer/BookMain.h"

#include "viewer/contents/ContentsPanel.h"
#include "viewer/contents/IndexPanel.h"

#include <QAction>
#include <QLineEdit>
#include <QTimer>
#include <QTreeWidget>

void TBookMainForm::AddIndexAction()
{
    QAction* index = AddAction("ActionIndex", tr("&Index"), { QKeySequence(Qt::SHIFT | Qt::Key_F9) });
    connect(index, &QAction::triggered, this, [this] {
        if (Contents() != nullptr && IndexPanel != nullptr)
            IndexPanel->Open();
    });
    // F9 shows and hides the two tabs together.
    connect(ActionContents, &QAction::triggered, this, [this] {
        if (IndexPanel == nullptr || ContentsPanel == nullptr)
            return;
        IndexPanel->setVisible(ContentsPanel->isVisible());
        if (ContentsPanel->isVisible())
            ContentsPanel->raise();
    });
}

void TBookMainForm::MakeIndexPanel()
{
    // Screen readers name the contents' field and tree by these; their entries by their titles.
    ContentsPanel->Filter()->setAccessibleName(tr("Filter the contents"));
    ContentsPanel->Tree()->setAccessibleName(tr("Contents of the book"));
    const TContents keywords = Source->Keywords();
    if (keywords.empty())
        return;
    IndexPanel = new TIndexPanel(keywords, this);
    IndexPanel->hide();
    tabifyDockWidget(ContentsPanel, IndexPanel);
    connect(IndexPanel, &TIndexPanel::placeChosen, this, &TBookMainForm::OpenContentsPlace);
    // The contents are made where they are needed and shown by the caller (at start) or not at
    // all (stepping through them): the index tab follows once that is settled.
    QTimer::singleShot(0, this, [this] {
        if (ContentsPanel->isVisible()) {
            IndexPanel->show();
            ContentsPanel->raise();
        }
    });
}
