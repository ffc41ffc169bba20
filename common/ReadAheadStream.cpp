#include "common/ReadAheadStream.h"

#include "common/Exception.h"

#include <algorithm>
#include <cstring>

TReadAheadStream::TReadAheadStream(const TStream& stream)
    : stream_(stream)
    , size_(stream.Size())
{
}

int64_t TReadAheadStream::Read(void* buffer, int64_t count)
{
    auto* out = static_cast<char*>(buffer);
    int64_t done = 0;
    while (done < count && position_ < size_) {
        if (count - done >= kBlockSize) {
            // A long read goes straight to the stream.
            const int64_t got = stream_.ReadAt(position_, out + done, count - done);
            if (got <= 0)
                break;
            done += got;
            position_ += got;
            continue;
        }
        if (position_ < start_ || position_ >= start_ + filled_) {
            start_ = position_;
            filled_ = std::max<int64_t>(stream_.ReadAt(position_, block_.get(), kBlockSize), 0);
            if (filled_ == 0)
                break;
        }
        const int64_t taken = std::min(count - done, start_ + filled_ - position_);
        std::memcpy(out + done, block_.get() + (position_ - start_), static_cast<std::size_t>(taken));
        done += taken;
        position_ += taken;
    }
    return done;
}

int64_t TReadAheadStream::Seek(int64_t offset, Origin origin)
{
    const int64_t base = origin == Origin::Begin ? 0 : origin == Origin::Current ? position_ : size_;
    position_ = std::max<int64_t>(base + offset, 0);
    return position_;
}

void TReadAheadStream::SetSize(int64_t)
{
    throw EWriteError("Stream write error");
}
