#pragma once

#include <cstdint>
#include <ostream>
#include <string>

// A one-line progress counter on a terminal, redrawn in place. Shown only when the stream is a
// terminal and the job is large enough for a person to wait on it.
class TProgress {
public:
    TProgress(std::ostream& out, bool isTerminal, std::string label, int64_t total, int64_t totalBytes);
    ~TProgress();

    // One item done.
    void Step();

private:
    void Draw();

    std::ostream& out_;
    bool shown_;
    std::string label_;
    int64_t total_;
    int64_t done_ = 0;
    int lastPercent_ = -1;
};
