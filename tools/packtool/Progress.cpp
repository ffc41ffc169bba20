#include "tools/packtool/Progress.h"

namespace {

// Below these a job finishes before a progress line would be read.
constexpr int64_t kMinItemsForProgress = 200;
constexpr int64_t kMinBytesForProgress = 16 * 1024 * 1024;

} // namespace

TProgress::TProgress(std::ostream& out, bool isTerminal, std::string label, int64_t total, int64_t totalBytes)
    : out_(out)
    , shown_(isTerminal && (total >= kMinItemsForProgress || totalBytes >= kMinBytesForProgress))
    , label_(std::move(label))
    , total_(total)
{
}

TProgress::~TProgress()
{
    if (shown_ && lastPercent_ >= 0)
        out_ << "\r\033[K" << std::flush;
}

void TProgress::Step()
{
    ++done_;
    if (shown_)
        Draw();
}

void TProgress::Draw()
{
    const int percent = total_ > 0 ? static_cast<int>(done_ * 100 / total_) : 100;
    if (percent == lastPercent_)
        return;
    lastPercent_ = percent;
    out_ << "\r" << label_ << " " << done_ << "/" << total_ << " (" << percent << "%)" << std::flush;
}
