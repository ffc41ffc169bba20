#pragma once

#include "search/SearchWorker.h"

#include <QObject>
#include <QString>

#include <memory>

class TBookReader;

// The book's search index for the window: built on a worker thread the first time a search is
// made, a page at a time, with the worker's answers and progress delivered on the window's thread.
// Nothing is kept on disk or between runs.
class TBookSearch : public QObject {
    Q_OBJECT
public:
    // The reader must outlive this object.
    TBookSearch(const TBookReader& reader, QObject* parent);
    ~TBookSearch() override;

    // Results from `offset` on, `limit` of them; starts the build on first use. Answers come as
    // resultsReady with the returned ticket: at once over the pages indexed so far, and again when
    // the index is complete.
    uint64_t Search(const QString& typed, int64_t offset, int64_t limit, LastWord last);

signals:
    void resultsReady(uint64_t ticket, const SearchResults& results);
    // Directory entries done out of all of them, while the index is built and once at its end.
    void progress(int done, int total);
    // A page that could not be inflated and is not searched.
    void pageDamaged();

private:
    std::unique_ptr<TSearchWorker> worker_; // joins its thread before this object goes
};
