#include "search/QueryBound.h"

#include <sqlite3.h>

namespace {

// The handler runs after this many virtual machine steps: a few microseconds of work.
constexpr int kStepsBetweenChecks = 1000;

std::atomic<bool> stopped { false };
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

} // namespace

void StopAllSearches() noexcept
{
    stopped.store(true);
}

bool SearchesStopped() noexcept
{
    return stopped.load();
}

TQueryBound::TQueryBound(sqlite3* db, std::chrono::milliseconds limit)
    : db_(db)
    , limit_(limit)
{
    Start();
    sqlite3_progress_handler(db_, kStepsBetweenChecks, OnProgress, this);
}

TQueryBound::~TQueryBound()
{
    sqlite3_progress_handler(db_, 0, nullptr, nullptr);
}

void TQueryBound::Start()
{
    exceeded_ = false;
    deadline_ = std::chrono::steady_clock::now() + limit_;
}

int TQueryBound::OnProgress(void* context)
{
    auto* bound = static_cast<TQueryBound*>(context);
    if (stopped.load(std::memory_order_relaxed))
        return 1;
    if (bound->limit_.count() > 0 && std::chrono::steady_clock::now() > bound->deadline_) {
        bound->exceeded_ = true;
        return 1;
    }
    return 0;
}
