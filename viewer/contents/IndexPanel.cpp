#include "viewer/contents/IndexPanel.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace {

constexpr int kPlaceRole = Qt::UserRole;

// Letter case and accents do not count: "Resume" finds "résumé".
QString Folded(const QString& text)
{
    QString folded;
    for (const QChar c : text.normalized(QString::NormalizationForm_D)) {
        if (c.category() != QChar::Mark_NonSpacing)
            folded += c.toCaseFolded();
    }
    return folded;
}

// Whether every typed word begins one of the keyword's words (words of letters and digits).
bool Holds(const QString& keyword, const QStringList& typed)
{
    static const QRegularExpression kApart(QStringLiteral("[^\\p{L}\\p{N}]+"));
    const QStringList words = keyword.split(kApart, Qt::SkipEmptyParts);
    for (const QString& wanted : typed) {
        if (std::none_of(words.begin(), words.end(), [&](const QString& word) { return word.startsWith(wanted); }))
            return false;
    }
    return true;
}

} // namespace

TIndexPanel::TIndexPanel(const TContents& keywords, QWidget* parent)
    : QDockWidget(tr("Index"), parent)
{
    setObjectName(QStringLiteral("IndexPanel"));
    setFeatures(QDockWidget::DockWidgetClosable);
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(4, 4, 4, 4);
    filter_ = new QLineEdit(body);
    filter_->setObjectName(QStringLiteral("IndexFilter"));
    filter_->setPlaceholderText(tr("Type a keyword"));
    filter_->setAccessibleName(tr("Filter the index"));
    filter_->setClearButtonEnabled(true);
    filter_->installEventFilter(this);
    list_ = new QListWidget(body);
    list_->setObjectName(QStringLiteral("IndexList"));
    list_->setAccessibleName(tr("Index keywords"));
    list_->setUniformItemSizes(true);
    list_->installEventFilter(this);
    layout->addWidget(filter_);
    layout->addWidget(list_);
    setWidget(body);
    AddEntries(keywords, QString());
    connect(filter_, &QLineEdit::textChanged, this, &TIndexPanel::ApplyFilter);
    connect(list_, &QListWidget::itemClicked, this, &TIndexPanel::Choose);
}

void TIndexPanel::AddEntries(const TContents& entries, const QString& above)
{
    for (const TContentsEntry& entry : entries) {
        QString title = QString::fromStdString(entry.title);
        if (!above.isEmpty())
            title = above + QStringLiteral(", ") + title;
        if (!entry.page.empty()) {
            auto* item = new QListWidgetItem(title, list_);
            item->setData(kPlaceRole, static_cast<int>(places_.size()));
            item->setData(Qt::AccessibleTextRole, title);
            places_.push_back({ QString::fromStdString(entry.page), QString::fromStdString(entry.anchor) });
        }
        AddEntries(entry.children, title);
    }
}

void TIndexPanel::ApplyFilter(const QString& text)
{
    const QStringList typed
        = Folded(text).split(QRegularExpression(QStringLiteral("[^\\p{L}\\p{N}]+")), Qt::SkipEmptyParts);
    QListWidgetItem* first = nullptr;
    for (int row = 0; row < list_->count(); ++row) {
        QListWidgetItem* item = list_->item(row);
        const bool kept = typed.isEmpty() || Holds(Folded(item->text()), typed);
        item->setHidden(!kept);
        if (kept && first == nullptr)
            first = item;
    }
    list_->setCurrentItem(first);
    if (first != nullptr)
        list_->scrollToItem(first, QAbstractItemView::PositionAtTop);
}

void TIndexPanel::Open()
{
    show();
    raise();
    filter_->setFocus();
}

void TIndexPanel::Choose(QListWidgetItem* item)
{
    if (item == nullptr || item->isHidden())
        return;
    const TContentsPlace& place = places_.at(static_cast<std::size_t>(item->data(kPlaceRole).toInt()));
    emit placeChosen(place.Page, place.Anchor);
}

bool TIndexPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QDockWidget::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // From the field, the keyword the filter put first (or the one chosen with the arrows).
        QListWidgetItem* item = list_->currentItem();
        if (item == nullptr && watched == filter_)
            ApplyFilter(filter_->text());
        Choose(list_->currentItem());
        return true;
    }
    if (watched == filter_ && (key == Qt::Key_Down || key == Qt::Key_Up)) {
        list_->setFocus();
        if (list_->currentItem() == nullptr || list_->currentItem()->isHidden())
            ApplyFilter(filter_->text());
        return true;
    }
    return QDockWidget::eventFilter(watched, event);
}
