#pragma once

#include "search/SearchWorker.h"

#include <QObject>
#include <QString>

#include <cstddef>
#include <memory>

class TBookSource;

// The search of the book shown, whatever its kind, for the window: a worker thread answers from
// the index the book keeps, the archive's own index or one built the first time a search is made,
// with its answers and progress delivered on the window's thread.
class TBookSearch : public QObject {
    Q_OBJECT
public:
    // The source must outlive this object. contents are the book's as the window read them, for
    // the results' breadcrumbs and the entries' titles; without them the worker reads its own.
    TBookSearch(TBookSource& source, QObject* parent);
    ~TBookSearch() override;

    // Results from `offset` on, `limit` of them, and with the first page at most `suggestions`
    // titles beginning with the words; starts the worker on first use. Answers come as
    // resultsReady with the returned ticket: at once over the pages indexed so far, and again when
    // the index is complete.
    uint64_t Search(const QString& typed, int64_t offset, int64_t limit, LastWord last, std::size_t suggestions = 0);
    // Starts the worker, so that the index is opened (or its build begun) before the first word.
    void Prepare();

signals:
    void resultsReady(uint64_t ticket, const SearchResults& results);
    // Pages done out of all of them, while the index is built and once at its end.
    void progress(int done, int total);
    // A page that could not be read and is not searched.
    void pageDamaged();
    // Why the book's text cannot be searched; its titles still can.
    void unsearchable(const QString& why);

private:
    std::unique_ptr<TSearchWorker> worker_; // joins its thread before this object goes
};
