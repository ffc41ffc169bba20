#include "viewer/search/SearchPanel.h"

#include "common/BookText.h"
#include "common/DisplayText.h"
#include "search/ContentsPlaces.h"
#include "search/SearchQuery.h"
#include "viewer/search/BookSearch.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTextDocumentFragment>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// Item data: the page's stored name, or nothing for the "more results" item.
constexpr int kPageNameRole = Qt::UserRole;
// A suggestion's place in its page.
constexpr int kAnchorRole = Qt::UserRole + 1;

QString Html(const std::string& utf8)
{
    return QString::fromStdString(utf8).toHtmlEscaped();
}

QString ResultHtml(const SearchHit& hit)
{
    const QString name = QString::fromStdString(CutForDisplay(BookTextToUtf8(hit.name))).toHtmlEscaped();
    QString snippet;
    for (const SnippetPiece& piece : hit.snippet)
        snippet += piece.matched ? "<b>" + Html(piece.text) + "</b>" : Html(piece.text);
    const QString place = hit.breadcrumb.empty() ? name : Html(CutForDisplay(BreadcrumbLine(hit.breadcrumb)));
    return QStringLiteral("<b>%1</b><br><small>%2</small><br>%3")
        .arg(hit.title.empty() ? name : Html(CutForDisplay(hit.title)), place, snippet);
}

// What the page view marks: every word and phrase of the query.
QStringList TermsOf(const QString& typed)
{
    QStringList terms;
    for (const std::string& term : ParseSearchQuery(typed.toStdString()).terms)
        terms.append(QString::fromStdString(term));
    return terms;
}

} // namespace

TSearchPanel::TSearchPanel(TBookSearch& search, QWidget* parent)
    : QDockWidget(tr("Search"), parent)
    , search_(search)
{
    setObjectName(QStringLiteral("SearchPanel"));
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    field_ = new QLineEdit(body);
    field_->setObjectName(QStringLiteral("SearchField"));
    field_->setAccessibleName(tr("Search the book"));
    field_->setPlaceholderText(tr("Search the book"));
    field_->setClearButtonEnabled(true);
    status_ = new QLabel(body);
    status_->setObjectName(QStringLiteral("SearchStatus"));
    status_->setWordWrap(true);
    list_ = new QListWidget(body);
    list_->setObjectName(QStringLiteral("SearchResults"));
    list_->setAccessibleName(tr("Pages found"));
    list_->setWordWrap(true);
    list_->setAlternatingRowColors(true);
    suggestions_ = new QListWidget(body);
    suggestions_->setObjectName(QStringLiteral("SearchSuggestions"));
    suggestions_->setAccessibleName(tr("Titles that match"));
    suggestions_->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    suggestions_->hide();
    layout->addWidget(field_);
    layout->addWidget(suggestions_);
    layout->addWidget(status_);
    layout->addWidget(list_, 1);
    setWidget(body);
    setMinimumWidth(160);

    typingPause_ = new QTimer(this);
    typingPause_->setSingleShot(true);
    typingPause_->setInterval(kTypingPauseMs);
    connect(field_, &QLineEdit::textChanged, typingPause_, qOverload<>(&QTimer::start));
    // While typing, the last word also finds the longer words it begins.
    connect(typingPause_, &QTimer::timeout, this, [this] { RunSearch(LastWord::Prefix); });
    connect(field_, &QLineEdit::returnPressed, this, &TSearchPanel::OpenFirstResult);
    connect(list_, &QListWidget::itemActivated, this, &TSearchPanel::ItemChosen);
    connect(list_, &QListWidget::itemClicked, this, &TSearchPanel::ItemChosen);
    const auto suggestionChosen = [this](QListWidgetItem* item) {
        emit placeChosen(item->data(kPageNameRole).toByteArray(), item->data(kAnchorRole).toByteArray());
    };
    connect(suggestions_, &QListWidget::itemActivated, this, suggestionChosen);
    connect(suggestions_, &QListWidget::itemClicked, this, suggestionChosen);
    list_->viewport()->installEventFilter(this);
    connect(&search_, &TBookSearch::resultsReady, this, &TSearchPanel::ShowResults);
    connect(&search_, &TBookSearch::progress, this, &TSearchPanel::ShowProgress);
    connect(&search_, &TBookSearch::pageDamaged, this, [this] {
        ++damaged_;
        UpdateStatus();
    });
    connect(&search_, &TBookSearch::unsearchable, this, [this](const QString& why) {
        unsearchable_ = why;
        UpdateStatus();
    });
}

void TSearchPanel::Open()
{
    search_.Prepare();
    show();
    raise();
    field_->setFocus(Qt::ShortcutFocusReason);
    field_->selectAll();
}

void TSearchPanel::RunSearch(LastWord last)
{
    typingPause_->stop();
    query_ = field_->text();
    last_ = last;
    terms_ = TermsOf(query_);
    if (query_.trimmed().isEmpty()) {
        ticket_ = 0;
        list_->clear();
        suggestions_->clear();
        suggestions_->hide();
        UpdateStatus();
        return;
    }
    ticket_ = search_.Search(query_, 0, kResultsPerPage, last_, kMostSuggestions);
}

void TSearchPanel::ShowResults(uint64_t ticket, const SearchResults& results)
{
    if (ticket != ticket_)
        return;
    if (results.offset == 0) {
        list_->clear();
        shown_ = 0;
        ShowSuggestions(results);
    } else if (list_->count() > 0 && !list_->item(list_->count() - 1)->data(kPageNameRole).isValid()) {
        delete list_->takeItem(list_->count() - 1); // the "more results" item
    }
    for (const SearchHit& hit : results.hits) {
        auto* item = new QListWidgetItem(list_);
        item->setData(kPageNameRole, QByteArray::fromStdString(hit.name));
        auto* label = new QLabel(ResultHtml(hit));
        label->setWordWrap(true);
        label->setTextFormat(Qt::RichText);
        label->setContentsMargins(4, 3, 4, 3);
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        list_->setItemWidget(item, label);
        // A screen reader reads the item, not the label drawn over it.
        item->setData(Qt::AccessibleTextRole, QTextDocumentFragment::fromHtml(label->text()).toPlainText());
    }
    FitResultHeights();
    shown_ = results.offset + static_cast<int64_t>(results.hits.size());
    total_ = results.total;
    if (shown_ < total_)
        new QListWidgetItem(tr("More results…"), list_);
    UpdateStatus();
    if (openFirstWhenReady_ && !results.hits.empty()) {
        openFirstWhenReady_ = false;
        ItemChosen(list_->item(0));
    }
}

void TSearchPanel::ShowSuggestions(const SearchResults& results)
{
    suggestions_->clear();
    for (const TitleSuggestion& suggestion : results.suggestions) {
        auto* item = new QListWidgetItem(QString::fromStdString(CutForDisplay(suggestion.title)), suggestions_);
        item->setData(kPageNameRole, QByteArray::fromStdString(suggestion.page));
        item->setData(kAnchorRole, QByteArray::fromStdString(suggestion.anchor));
        item->setToolTip(QString::fromStdString(BookTextToUtf8(suggestion.page)));
    }
    suggestions_->setVisible(suggestions_->count() > 0);
    if (suggestions_->count() > 0)
        suggestions_->setMaximumHeight(
            suggestions_->sizeHintForRow(0) * suggestions_->count() + 2 * suggestions_->frameWidth());
}

bool TSearchPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == list_->viewport() && event->type() == QEvent::Resize)
        FitResultHeights();
    return QDockWidget::eventFilter(watched, event);
}

void TSearchPanel::FitResultHeights()
{
    const int width = list_->viewport()->width();
    for (int i = 0; i < list_->count(); ++i) {
        QListWidgetItem* item = list_->item(i);
        if (const QWidget* label = list_->itemWidget(item))
            item->setSizeHint(QSize(0, label->heightForWidth(width) + 2));
    }
}

void TSearchPanel::ShowProgress(int done, int total)
{
    indexed_ = done;
    pages_ = total;
    UpdateStatus();
}

void TSearchPanel::UpdateStatus()
{
    QString text = unsearchable_;
    if (!unsearchable_.isEmpty()) {
        status_->setText(text);
        return;
    }
    if (!query_.trimmed().isEmpty() && ticket_ != 0)
        text = total_ == 1 ? tr("1 page") : tr("%1 pages").arg(total_);
    if (pages_ > 0 && indexed_ < pages_)
        text += (text.isEmpty() ? QString() : QStringLiteral(" · "))
            + tr("indexing %1 of %2 pages…").arg(indexed_).arg(pages_);
    if (damaged_ > 0)
        text
            += (text.isEmpty() ? QString() : QStringLiteral(" · ")) + tr("%1 damaged pages not searched").arg(damaged_);
    status_->setText(text);
}

void TSearchPanel::ItemChosen(QListWidgetItem* item)
{
    if (item == nullptr)
        return;
    const QVariant name = item->data(kPageNameRole);
    if (!name.isValid()) {
        ticket_ = search_.Search(query_, shown_, kResultsPerPage, last_);
        return;
    }
    emit pageChosen(name.toByteArray(), terms_);
}

void TSearchPanel::OpenFirstResult()
{
    // Enter takes the words as whole words: the results shown while typing may hold pages with
    // longer words only, so they are asked for again unless they already answer the whole words.
    if (typingPause_->isActive() || query_ != field_->text() || last_ != LastWord::Whole) {
        RunSearch(LastWord::Whole); // the first result opens when it comes
        openFirstWhenReady_ = true;
        return;
    }
    if (list_->count() > 0)
        ItemChosen(list_->item(0));
}
