#include "viewer/search/BookSearch.h"

TBookSearch::TBookSearch(TBookSource& source, QObject* parent)
    : QObject(parent)
    , worker_(std::make_unique<TSearchWorker>(source))
{
    // The worker calls these on its own thread; each hands its values over to this object's
    // thread. The worker is joined in the destructor, before `this` can go.
    worker_->OnResults = [this](uint64_t ticket, const SearchResults& results) {
        QMetaObject::invokeMethod(
            this, [this, ticket, results] { emit resultsReady(ticket, results); }, Qt::QueuedConnection);
    };
    worker_->OnProgress = [this](int done, int total) {
        QMetaObject::invokeMethod(
            this, [this, done, total] { emit progress(done, total); }, Qt::QueuedConnection);
    };
    worker_->OnDamaged = [this](const std::string&) {
        QMetaObject::invokeMethod(
            this, [this] { emit pageDamaged(); }, Qt::QueuedConnection);
    };
    worker_->OnUnsearchable = [this](const std::string& why) {
        const QString text = QString::fromStdString(why);
        QMetaObject::invokeMethod(
            this, [this, text] { emit unsearchable(text); }, Qt::QueuedConnection);
    };
}

TBookSearch::~TBookSearch() = default;

void TBookSearch::Prepare()
{
    if (!worker_->Started())
        worker_->Start();
}

uint64_t TBookSearch::Search(
    const QString& typed, int64_t offset, int64_t limit, LastWord last, std::size_t suggestions)
{
    if (!worker_->Started())
        worker_->Start();
    return worker_->Search(typed.toStdString(), offset, limit, last, suggestions);
}
