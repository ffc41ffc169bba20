#pragma once

#include "search/SearchWorker.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

class TBookSource;

// A search worker asked as the viewer's panel asks it, with each query waited on until the
// worker's complete answer comes.
class TAskedWorker {
public:
    explicit TAskedWorker(TBookSource& source);

    // Its other callbacks are set here before the first Ask, which starts it.
    TSearchWorker& Worker() { return worker_; }
    // The complete answer to the query, waited for up to a minute; nothing when none came.
    std::optional<SearchResults> Ask(const std::string& typed, int64_t offset, int64_t limit,
        LastWord last = LastWord::Whole, std::size_t suggestions = 0);

private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::optional<SearchResults> complete_; // under lock_
    // Last: its thread, which reports into the members above, is joined first.
    TSearchWorker worker_;
};
