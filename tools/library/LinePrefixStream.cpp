#include "tools/library/LinePrefixStream.h"

namespace {

// Lines of every prefixed stream go out one at a time.
std::mutex& OutputLock()
{
    static std::mutex lock;
    return lock;
}

} // namespace

TLinePrefixStream::Buffer::Buffer(std::ostream& target, std::string prefix)
    : std::stringbuf(std::ios::out | std::ios::ate) // what is kept of a line is written on, not over
    , target_(target)
    , prefix_(std::move(prefix))
{
}

int TLinePrefixStream::Buffer::sync()
{
    std::string text = str();
    const std::size_t end = text.rfind('\n');
    if (end == std::string::npos)
        return 0;
    std::string lines;
    std::size_t start = 0;
    while (start <= end) {
        const std::size_t next = text.find('\n', start);
        lines += prefix_ + text.substr(start, next + 1 - start);
        start = next + 1;
    }
    str(text.substr(end + 1));
    const std::lock_guard<std::mutex> guard(OutputLock());
    target_ << lines << std::flush;
    return 0;
}

TLinePrefixStream::TLinePrefixStream(std::ostream& target, std::string prefix)
    : std::ostream(nullptr)
    , buffer_(target, std::move(prefix))
{
    rdbuf(&buffer_);
    setf(std::ios::unitbuf);
}

TLinePrefixStream::~TLinePrefixStream()
{
    buffer_.pubsync();
}
