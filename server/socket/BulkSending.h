#pragma once

#include <cstdint>

// While it lives, the calling thread is sending a large answer: it asks the system's scheduler for
// a long time slice, so that a thread woken for short work (the accept loop, a session answering a
// small page) runs before it at once instead of after its slice. Where the system knows no slice
// per thread, nothing changes.
class TBulkSendingScope {
public:
    // Answers of at least this many bytes are bulk.
    static constexpr int64_t kBulkBytes = 1 << 20;

    explicit TBulkSendingScope(int64_t answerBytes);
    ~TBulkSendingScope();
    TBulkSendingScope(const TBulkSendingScope&) = delete;
    TBulkSendingScope& operator=(const TBulkSendingScope&) = delete;

private:
    bool asked_ = false;
};
