#pragma once

#include <atomic>
#include <chrono>

struct sqlite3;

// Ends every search of the process, running or to come, within milliseconds: each index's next
// step fails (SQLITE_INTERRUPT) and its Search raises Exception. For a process that is stopping;
// safe to call from a signal handler. There is no way back.
void StopAllSearches() noexcept;
bool SearchesStopped() noexcept;

// Bounds the queries of one connection through SQLite's progress handler, which also runs inside
// the statements FTS5 runs for them: a query ends once StopAllSearches was called and, with a
// limit, once it has run that long since Start.
class TQueryBound {
public:
    // Installs the handler; `limit` zero for none.
    TQueryBound(sqlite3* db, std::chrono::milliseconds limit);
    ~TQueryBound();
    TQueryBound(const TQueryBound&) = delete;
    TQueryBound& operator=(const TQueryBound&) = delete;

    // A query begins now.
    void Start();
    // Whether the query begun last ran past the limit.
    bool Exceeded() const { return exceeded_; }
    std::chrono::milliseconds Limit() const { return limit_; }

private:
    static int OnProgress(void* bound);

    sqlite3* db_;
    std::chrono::milliseconds limit_;
    std::chrono::steady_clock::time_point deadline_;
    bool exceeded_ = false;
};
