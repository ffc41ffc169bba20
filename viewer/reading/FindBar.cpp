#include "viewer/reading/FindBar.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QWebEngineFindTextResult>
#include <QWebEnginePage>
#include <QWebEngineScript>

TFindBar::TFindBar(QWebEnginePage& page, QWidget& pageWidget, QWidget* parent)
    : QWidget(parent)
    , Page(page)
    , PageWidget(pageWidget)
    , field_(new QLineEdit(this))
    , count_(new QLabel(this))
    , matchCase_(new QCheckBox(tr("Match case"), this))
{
    setObjectName(QStringLiteral("FindBar"));
    field_->setObjectName(QStringLiteral("FindField"));
    field_->setPlaceholderText(tr("Find in page"));
    field_->setClearButtonEnabled(true);
    count_->setObjectName(QStringLiteral("FindCount"));
    matchCase_->setObjectName(QStringLiteral("FindMatchCase"));
    auto button = [this](const QString& text, const QString& tip) {
        auto* made = new QToolButton(this);
        made->setText(text);
        made->setToolTip(tip);
        made->setAutoRaise(true);
        return made;
    };
    QToolButton* previous = button(QStringLiteral("\u25B2"), tr("Previous match (Shift+F3)"));
    QToolButton* next = button(QStringLiteral("\u25BC"), tr("Next match (F3)"));
    QToolButton* close = button(QStringLiteral("\u2715"), tr("Close (Esc)"));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(4);
    layout->addWidget(new QLabel(tr("Find:"), this));
    layout->addWidget(field_, 1);
    layout->addWidget(previous);
    layout->addWidget(next);
    layout->addWidget(matchCase_);
    layout->addWidget(count_);
    layout->addStretch(0);
    layout->addWidget(close);

    connect(field_, &QLineEdit::textEdited, this, &TFindBar::TextEdited);
    connect(previous, &QToolButton::clicked, this, &TFindBar::FindPrevious);
    connect(next, &QToolButton::clicked, this, &TFindBar::FindNext);
    connect(close, &QToolButton::clicked, this, &TFindBar::Close);
    connect(matchCase_, &QCheckBox::toggled, this, [this] { TextEdited(); });
    connect(&Page, &QWebEnginePage::findTextFinished, this, &TFindBar::Counted);
    // A new page has no highlights and its own matches.
    connect(&Page, &QWebEnginePage::loadFinished, this, [this] {
        if (IsOpen() && !Text().isEmpty())
            TextEdited();
    });
    field_->installEventFilter(this);
    hide();
}

void TFindBar::Open()
{
    show();
    field_->setFocus(Qt::ShortcutFocusReason);
    field_->selectAll();
    if (!Text().isEmpty())
        TextEdited();
}

void TFindBar::OpenWith(const QString& text)
{
    field_->setText(text);
    show();
    field_->setFocus(Qt::OtherFocusReason);
    TextEdited();
}

void TFindBar::FindNext()
{
    if (!IsOpen()) {
        Open();
        return;
    }
    Find(false);
}

void TFindBar::FindPrevious()
{
    if (!IsOpen()) {
        Open();
        return;
    }
    Find(true);
}

void TFindBar::Close()
{
    if (!IsOpen())
        return;
    // The page takes the focus before the bar hides: a hidden field hands the focus on to the next
    // widget as the Tab key would, and the engine answers that by focusing the page's first link,
    // scrolling the page back to its top.
    PageWidget.setFocus(Qt::OtherFocusReason);
    hide();
    EndSearch();
    // The engine would leave the last match selected, which the reader did not select.
    Page.runJavaScript(QStringLiteral("window.getSelection().removeAllRanges()"), QWebEngineScript::ApplicationWorld);
}

QString TFindBar::Text() const
{
    return field_->text();
}

QString TFindBar::CountText() const
{
    return count_->text();
}

bool TFindBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == field_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            Find(key->modifiers().testFlag(Qt::ShiftModifier));
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            Close();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TFindBar::Find(bool backward)
{
    QWebEnginePage::FindFlags flags;
    if (backward)
        flags |= QWebEnginePage::FindBackward;
    if (matchCase_->isChecked())
        flags |= QWebEnginePage::FindCaseSensitively;
    // The same text again moves to the next match; a new text starts a new search.
    Page.findText(Text(), flags);
}

void TFindBar::EndSearch()
{
    // An empty search ends the engine's find session and takes its highlights away.
    Page.findText(QString());
    matches_ = 0;
    activeMatch_ = 0;
    count_->clear();
}

void TFindBar::TextEdited()
{
    if (Text().isEmpty()) {
        EndSearch();
        return;
    }
    // Ends the previous search first, so that a changed letter-case choice starts afresh.
    Page.findText(QString());
    Find(false);
}

void TFindBar::Counted(const QWebEngineFindTextResult& result)
{
    if (Text().isEmpty())
        return;
    matches_ = result.numberOfMatches();
    activeMatch_ = result.activeMatch();
    count_->setText(matches_ == 0 ? tr("No matches") : tr("%1 of %2").arg(activeMatch_).arg(matches_));
}
