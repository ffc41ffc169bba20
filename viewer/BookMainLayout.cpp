// TBookMainForm, continued: how the book's display settings shape the designed window.
#include "viewer/BookMain.h"

#include "viewer/BookMainDesign.h"
#include "viewer/WindowPlacement.h"

#include <QToolButton>

namespace {

// The designed toolbar: buttons 53 x 42 with the caption under a 22 x 22 image, a line along the
// top edge; the panel holding it is 7 pixels taller than the buttons.
constexpr QSize kDesignedButton(53, 42);
// The full-screen toolbar: images only, on 16 x 16 buttons.
constexpr QSize kFullScreenButton(16, 16);
constexpr QSize kFullScreenImage(12, 12);
constexpr int kPanelAboveButtons = 7;

const char* const kTopEdgeStyle
    = "QToolBar#ToolBar { border: none; border-top: 1px solid palette(mid); padding: 1px; }";
const char* const kNoEdgeStyle = "QToolBar#ToolBar { border: none; padding: 1px; }";

} // namespace

void TBookMainForm::NameToolBarItems()
{
    // The toolbar makes a button for each action; they carry the designed names.
    const std::pair<QAction*, const char*> buttons[]
        = { { ui->ActionHome, "HomeButton" }, { ui->ActionBack, "BackButton" }, { ui->ActionForward, "ForwardButton" },
              { ui->ActionPrint, "PrintButton" }, { ui->ActionAbout, "AboutButton" } };
    for (const auto& [action, name] : buttons) {
        QWidget* button = ui->ToolBar->widgetForAction(action);
        button->setObjectName(QString::fromLatin1(name));
        // The window shows no hints: the actions carry them, the buttons do not pop them up.
        button->installEventFilter(this);
    }
    const QList<QAction*> items = ui->ToolBar->actions();
    const char* const separators[] = { "ToolButton3", "ToolButton6", "SeparatorButton" };
    int next = 0;
    for (QAction* item : items) {
        if (item->isSeparator() && next < 3)
            item->setObjectName(QString::fromLatin1(separators[next++]));
    }
    SeparatorButton = ui->ToolBar->findChild<QAction*>(QStringLiteral("SeparatorButton"));
    SetToolBarButtons(kDesignedButton, kDesignedButton.height() + kPanelAboveButtons);
    ui->ToolBar->setStyleSheet(QString::fromLatin1(kTopEdgeStyle));
}

void TBookMainForm::SetToolBarButtons(const QSize& size, int panelHeight)
{
    for (QAction* action : ui->ToolBar->actions()) {
        if (QWidget* button = ui->ToolBar->widgetForAction(action); button != nullptr && !action->isSeparator())
            button->setFixedSize(size);
    }
    ui->ToolBarPanel->setFixedHeight(panelHeight);
}

void TBookMainForm::ApplyDisplaySettings(const DisplaySettings& s)
{
    const bool fullScreen = s.sizeMode == WindowSizeMode::FullScreen;
    // Detached, the menu bar is gone from the window; the window still carries the actions, so
    // their shortcuts keep working.
    ui->MainMenu->setVisible(s.showMenu && !fullScreen);
    const bool toolbar = s.showToolbar || fullScreen;
    ui->ToolBar->setVisible(toolbar);
    ui->ToolBarPanel->setVisible(toolbar);

    switch (s.sizeMode) {
    case WindowSizeMode::Normal:
        if (s.positionMode == WindowPositionMode::Custom) {
            Placement->PlaceAt(QRect(s.windowLeft, s.windowTop, s.windowWidth, s.windowHeight));
        } else if (s.positionMode == WindowPositionMode::DesktopCenter) {
            Placement->CentreOn(TWindowPlacement::Centre::VirtualDesktop, QSize(s.windowWidth, s.windowHeight));
        } else if (s.positionMode == WindowPositionMode::ScreenCenter) {
            Placement->CentreOn(TWindowPlacement::Centre::PrimaryScreen, QSize(s.windowWidth, s.windowHeight));
        } else {
            // Any other position keeps the designed one, with the book's size.
            const QRect designed = geometry();
            Placement->PlaceAt(QRect(designed.topLeft(), QSize(s.windowWidth, s.windowHeight)));
        }
        break;
    case WindowSizeMode::Maximized:
        Placement->Maximize();
        break;
    case WindowSizeMode::FullScreen:
        ApplyFullScreenLayout();
        break;
    case WindowSizeMode::AdjustedToScreen:
        Placement->CoverPrimaryScreen();
        break;
    default:
        break; // a value without a name keeps the designed size and position
    }

    if (!fullScreen && !s.resizable) {
        // A single, fixed border: the system menu and the close button stay, minimize and
        // maximize go.
        setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
            | Qt::WindowCloseButtonHint);
        Placement->FixSize();
    }

    ui->ActionPrint->setVisible(s.allowPrint);
    SeparatorButton->setVisible(ui->ActionPrint->isVisible());
}

void TBookMainForm::ApplyFullScreenLayout()
{
    TUserInterfaceOptions options = ui->Browser->UserInterfaceOptions();
    options.Include(TUserInterfaceOption::NO3DBORDER);
    ui->Browser->SetUserInterfaceOptions(options);
    ui->MainMenu->setVisible(false);
    ui->ToolBar->setStyleSheet(QString::fromLatin1(kNoEdgeStyle));
    ui->ToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ui->ToolBar->setIconSize(kFullScreenImage);
    SetToolBarButtons(kFullScreenButton, kFullScreenButton.height() + kPanelAboveButtons);
    ui->SystemPanel->setVisible(true);
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    Placement->Maximize();
}
