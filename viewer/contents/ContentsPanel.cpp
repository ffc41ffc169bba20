#include "viewer/contents/ContentsPanel.h"

#include "common/DisplayText.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int kPlaceRole = Qt::UserRole;

const TContentsEntry* FirstEntryOf(const TContents& entries, const QString& key)
{
    for (const TContentsEntry& entry : entries) {
        if (ContentsPageKey(QString::fromStdString(entry.page)) == key)
            return &entry;
        if (const TContentsEntry* below = FirstEntryOf(entry.children, key))
            return below;
    }
    return nullptr;
}

} // namespace

QString ContentsPageKey(const QString& page)
{
    QString key = page.left(page.indexOf(u'#'));
    for (;;) {
        if (key.startsWith(u'/'))
            key.remove(0, 1);
        else if (key.startsWith(QStringLiteral("./")))
            key.remove(0, 2);
        else
            break;
    }
    return key.toCaseFolded();
}

QString ContentsTitleOf(const TContents& contents, const QString& page)
{
    if (page.isEmpty())
        return {};
    const TContentsEntry* entry = FirstEntryOf(contents, ContentsPageKey(page));
    return entry ? QString::fromStdString(CutForDisplay(entry->title)).simplified() : QString();
}

TContentsPanel::TContentsPanel(const TContents& contents, QWidget* parent)
    : QDockWidget(tr("Contents"), parent)
{
    setObjectName(QStringLiteral("ContentsPanel"));
    setFeatures(QDockWidget::DockWidgetClosable);
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(4, 4, 4, 4);
    filter_ = new QLineEdit(body);
    filter_->setObjectName(QStringLiteral("ContentsFilter"));
    filter_->setPlaceholderText(tr("Filter titles"));
    filter_->setClearButtonEnabled(true);
    filter_->installEventFilter(this);
    tree_ = new QTreeWidget(body);
    tree_->setObjectName(QStringLiteral("ContentsTree"));
    tree_->setHeaderHidden(true);
    tree_->setUniformRowHeights(true);
    tree_->header()->setStretchLastSection(true);
    layout->addWidget(filter_);
    layout->addWidget(tree_);
    setWidget(body);
    AddEntries(contents, nullptr);
    connect(filter_, &QLineEdit::textChanged, this, &TContentsPanel::ApplyFilter);
    connect(tree_, &QTreeWidget::itemActivated, this, &TContentsPanel::Choose);
    connect(tree_, &QTreeWidget::itemClicked, this, &TContentsPanel::Choose);
}

void TContentsPanel::AddEntries(const TContents& entries, QTreeWidgetItem* parent)
{
    for (const TContentsEntry& entry : entries) {
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree_);
        // The book's own text: one short line, its control characters blanks rather than boxes.
        const QString title = QString::fromStdString(CutForDisplay(entry.title));
        item->setText(0, title);
        item->setToolTip(0, title);
        item->setData(0, kPlaceRole, int(items_.size()));
        items_.push_back(item);
        places_.push_back({ QString::fromStdString(entry.page), QString::fromStdString(entry.anchor) });
        keys_.push_back(ContentsPageKey(places_.back().Page));
        AddEntries(entry.children, item);
    }
}

int TContentsPanel::IndexOf(const TContentsPlace& place) const
{
    if (place.Page.isEmpty())
        return -1;
    const QString key = ContentsPageKey(place.Page);
    int samePage = -1;
    for (std::size_t i = 0; i < places_.size(); ++i) {
        if (keys_[i] != key)
            continue;
        if (places_[i].Anchor == place.Anchor)
            return int(i);
        if (samePage < 0)
            samePage = int(i);
    }
    return samePage;
}

void TContentsPanel::ShowPlace(const TContentsPlace& place)
{
    const int index = IndexOf(place);
    if (index < 0) {
        tree_->clearSelection();
        tree_->scrollToTop();
        return;
    }
    current_ = index;
    QTreeWidgetItem* item = items_[std::size_t(index)];
    for (QTreeWidgetItem* up = item->parent(); up != nullptr; up = up->parent())
        up->setExpanded(true);
    // Selecting does not open the entry again.
    const QSignalBlocker quiet(tree_);
    tree_->setCurrentItem(item);
    tree_->scrollToItem(item);
}

std::optional<TContentsPlace> TContentsPanel::Step(int step) const
{
    if (places_.empty())
        return std::nullopt;
    int at = current_;
    // Entries that name no page (headings) and those of the place shown are stepped over.
    const TContentsPlace from = at >= 0 ? places_[std::size_t(at)] : TContentsPlace {};
    if (at < 0)
        at = step > 0 ? -1 : int(places_.size());
    for (int i = at + step; i >= 0 && i < int(places_.size()); i += step) {
        const TContentsPlace& place = places_[std::size_t(i)];
        if (place.Page.isEmpty())
            continue;
        if (place.Page.compare(from.Page, Qt::CaseInsensitive) == 0 && place.Anchor == from.Anchor)
            continue;
        return place;
    }
    return std::nullopt;
}

void TContentsPanel::Open()
{
    show();
    raise();
    filter_->setFocus();
}

void TContentsPanel::Choose(QTreeWidgetItem* item)
{
    if (item == nullptr)
        return;
    const int index = item->data(0, kPlaceRole).toInt();
    const TContentsPlace& place = places_[std::size_t(index)];
    if (place.Page.isEmpty()) {
        item->setExpanded(!item->isExpanded());
        return;
    }
    current_ = index;
    emit placeChosen(place.Page, place.Anchor);
}

void TContentsPanel::ApplyFilter(const QString& text)
{
    const QStringList words = text.simplified().split(u' ', Qt::SkipEmptyParts);
    // Children come after their parents: walked back to front, a parent knows whether any of its
    // entries matched.
    std::vector<bool> shown(items_.size(), false);
    matches_.assign(items_.size(), true);
    for (std::size_t i = items_.size(); i-- > 0;) {
        QTreeWidgetItem* item = items_[i];
        bool match = true;
        for (const QString& word : words)
            match = match && item->text(0).contains(word, Qt::CaseInsensitive);
        bool childShown = false;
        for (int c = 0; c < item->childCount(); ++c)
            childShown = childShown || shown[std::size_t(item->child(c)->data(0, kPlaceRole).toInt())];
        matches_[i] = match;
        shown[i] = match || childShown;
        item->setHidden(!shown[i]);
        if (!words.isEmpty())
            item->setExpanded(childShown);
    }
    if (words.isEmpty() && current_ >= 0)
        ShowPlace(places_[std::size_t(current_)]);
}

bool TContentsPanel::eventFilter(QObject* watched, QEvent* event)
{
    // Down and Enter in the filter go on to the tree's first entry that matches: the entries above
    // it show only to place it, and are passed over.
    if (watched == filter_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Down || key == Qt::Key_Return || key == Qt::Key_Enter) {
            QTreeWidgetItem* first = nullptr;
            for (std::size_t i = 0; i < items_.size(); ++i) {
                if (!items_[i]->isHidden() && (i >= matches_.size() || matches_[i])) {
                    first = items_[i];
                    break;
                }
            }
            if (first != nullptr) {
                tree_->setFocus();
                const QSignalBlocker quiet(tree_);
                tree_->setCurrentItem(first);
                if (key != Qt::Key_Down)
                    Choose(first);
            }
            return true;
        }
    }
    return QDockWidget::eventFilter(watched, event);
}
