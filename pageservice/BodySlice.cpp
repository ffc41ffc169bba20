#include "pageservice/BodySlice.h"

#include "common/Exception.h"

#include <algorithm>
#include <cstring>

TBodySliceStream::TBodySliceStream(
    std::shared_ptr<const void> owner, const char* bytes, int file, int64_t fileOffset, int64_t size)
    : owner_(std::move(owner))
    , bytes_(bytes)
    , file_(file)
    , fileOffset_(fileOffset)
    , size_(size)
{
}

int64_t TBodySliceStream::Read(void* buffer, int64_t count)
{
    const int64_t read = ReadAt(position_, buffer, count);
    position_ += read;
    return read;
}

int64_t TBodySliceStream::Write(const void*, int64_t)
{
    throw EWriteError("Stream write error");
}

int64_t TBodySliceStream::Seek(int64_t offset, Origin origin)
{
    position_ = MovedPosition(position_, size_, offset, origin);
    return position_;
}

void TBodySliceStream::SetSize(int64_t)
{
    throw EWriteError("Stream write error");
}

int64_t TBodySliceStream::ReadAt(int64_t offset, void* buffer, int64_t count) const
{
    count = std::min(count, size_ - offset);
    if (count <= 0)
        return 0;
    if (bytes_ != nullptr) {
        std::memcpy(buffer, bytes_ + offset, static_cast<std::size_t>(count));
        return count;
    }
    return ReadFileAt(file_, fileOffset_ + offset, buffer, count);
}
