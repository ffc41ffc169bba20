#include "common/Streams.h"

#include "common/Exception.h"
#include "common/RetryOnInterrupt.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

void TStream::ReadBuffer(void* buffer, int64_t count)
{
    if (count > 0 && Read(buffer, count) != count)
        throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count)
{
    if (count > 0 && Write(buffer, count) != count)
        throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count)
{
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    constexpr int64_t kChunk = 64 * 1024;
    auto buffer = std::make_unique<unsigned char[]>(static_cast<std::size_t>(std::min(count, kChunk)) + 1);
    int64_t left = count;
    while (left > 0) {
        const int64_t n = std::min(left, kChunk);
        source.ReadBuffer(buffer.get(), n);
        WriteBuffer(buffer.get(), n);
        left -= n;
    }
    return count;
}

// ---- TMemoryStream ----

void TMemoryStream::Reserve(int64_t capacity)
{
    if (capacity <= capacity_)
        return;
    // Grow geometrically so that repeated small writes stay linear overall.
    const int64_t grown = std::max(capacity, capacity_ + capacity_ / 2);
    auto data = std::make_unique_for_overwrite<unsigned char[]>(static_cast<std::size_t>(grown));
    if (size_ > 0)
        std::memcpy(data.get(), data_.get(), static_cast<std::size_t>(size_));
    data_ = std::move(data);
    capacity_ = grown;
}

void TMemoryStream::SetSize(int64_t size)
{
    if (size < 0)
        throw EStreamError("Invalid stream size");
    if (size > size_) {
        Reserve(size);
        std::memset(data_.get() + size_, 0, static_cast<std::size_t>(size - size_));
    }
    size_ = size;
    position_ = std::min(position_, size_);
}

void TMemoryStream::Clear()
{
    data_.reset();
    size_ = capacity_ = position_ = 0;
}

int64_t TMemoryStream::Read(void* buffer, int64_t count)
{
    if (count <= 0 || position_ >= size_)
        return 0;
    const int64_t n = std::min(count, size_ - position_);
    std::memcpy(buffer, data_.get() + position_, static_cast<std::size_t>(n));
    position_ += n;
    return n;
}

namespace {

// The bytes of a block in memory from offset on, as far as count reaches.
int64_t CopyOut(const unsigned char* data, int64_t size, int64_t offset, void* buffer, int64_t count)
{
    if (count <= 0 || offset < 0 || offset >= size)
        return 0;
    const int64_t n = std::min(count, size - offset);
    std::memcpy(buffer, data + offset, static_cast<std::size_t>(n));
    return n;
}

} // namespace

int64_t TMemoryStream::ReadAt(int64_t offset, void* buffer, int64_t count) const
{
    return CopyOut(data_.get(), size_, offset, buffer, count);
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count)
{
    if (count <= 0)
        return 0;
    const int64_t end = position_ + count;
    if (end > size_) {
        Reserve(end);
        // A position set past the end leaves a gap; it reads as zeros.
        if (position_ > size_)
            std::memset(data_.get() + size_, 0, static_cast<std::size_t>(position_ - size_));
        size_ = end;
    }
    std::memcpy(data_.get() + position_, buffer, static_cast<std::size_t>(count));
    position_ = end;
    return count;
}

int64_t MovedPosition(int64_t position, int64_t size, int64_t offset, TStream::Origin origin)
{
    int64_t base = 0;
    if (origin == TStream::Origin::Current)
        base = position;
    else if (origin == TStream::Origin::End)
        base = size;
    if (base + offset < 0)
        throw EStreamError("Invalid stream position");
    return base + offset;
}

int64_t ReadFileAt(int fd, int64_t offset, void* buffer, int64_t count)
{
    int64_t done = 0;
    auto* out = static_cast<unsigned char*>(buffer);
    while (done < count) {
        const ssize_t n = RetryOnInterrupt([&] {
            return ::pread(fd, out + done, static_cast<std::size_t>(count - done), static_cast<off_t>(offset + done));
        });
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

int64_t TMemoryStream::Seek(int64_t offset, Origin origin)
{
    position_ = MovedPosition(position_, size_, offset, origin);
    return position_;
}

// ---- TSharedBytesStream ----

int64_t TSharedBytesStream::Read(void* buffer, int64_t count)
{
    const int64_t size = Size();
    if (count <= 0 || position_ >= size)
        return 0;
    const int64_t n = std::min(count, size - position_);
    std::memcpy(buffer, bytes_->data() + position_, static_cast<std::size_t>(n));
    position_ += n;
    return n;
}

int64_t TSharedBytesStream::ReadAt(int64_t offset, void* buffer, int64_t count) const
{
    return CopyOut(reinterpret_cast<const unsigned char*>(bytes_->data()), Size(), offset, buffer, count);
}

int64_t TSharedBytesStream::Write(const void*, int64_t)
{
    throw EWriteError("Stream write error");
}

void TSharedBytesStream::SetSize(int64_t)
{
    throw EWriteError("Stream write error");
}

int64_t TSharedBytesStream::Seek(int64_t offset, Origin origin)
{
    position_ = MovedPosition(position_, Size(), offset, origin);
    return position_;
}

// ---- TFileStream ----

TFileStream::TFileStream(const std::string& fileName, Mode mode)
    : fileName_(fileName)
{
    const int flags = mode == Mode::OpenRead ? O_RDONLY : (O_WRONLY | O_CREAT | O_TRUNC);
    fd_ = RetryOnInterrupt([&] { return ::open(fileName.c_str(), flags | O_CLOEXEC, 0644); });
    if (fd_ < 0)
        throw EFOpenError("Cannot open file " + fileName + ": " + std::strerror(errno));
    struct stat info { };
    if (mode == Mode::OpenRead && ::fstat(fd_, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        throw EFOpenError("Cannot open file " + fileName + ": " + std::strerror(EISDIR));
    }
}

TFileStream::~TFileStream()
{
    if (fd_ >= 0)
        ::close(fd_);
}

int64_t TFileStream::Read(void* buffer, int64_t count)
{
    int64_t done = 0;
    auto* out = static_cast<unsigned char*>(buffer);
    while (done < count) {
        const ssize_t n
            = RetryOnInterrupt([&] { return ::read(fd_, out + done, static_cast<std::size_t>(count - done)); });
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

int64_t TFileStream::ReadAt(int64_t offset, void* buffer, int64_t count) const
{
    return ReadFileAt(fd_, offset, buffer, count);
}

int64_t TFileStream::Write(const void* buffer, int64_t count)
{
    int64_t done = 0;
    const auto* in = static_cast<const unsigned char*>(buffer);
    while (done < count) {
        const ssize_t n
            = RetryOnInterrupt([&] { return ::write(fd_, in + done, static_cast<std::size_t>(count - done)); });
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

int64_t TFileStream::Seek(int64_t offset, Origin origin)
{
    const int whence = origin == Origin::Begin ? SEEK_SET : origin == Origin::Current ? SEEK_CUR : SEEK_END;
    const off_t result = ::lseek(fd_, static_cast<off_t>(offset), whence);
    if (result < 0)
        throw EStreamError("Invalid stream position");
    return result;
}

int64_t TFileStream::Size() const
{
    struct stat info { };
    if (::fstat(fd_, &info) != 0)
        return 0;
    return info.st_size;
}

void TFileStream::SetSize(int64_t size)
{
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0)
        throw EWriteError("Stream write error");
}

void TFileStream::Sync()
{
    if (::fsync(fd_) != 0)
        throw EWriteError("Cannot write file " + fileName_ + ": " + std::strerror(errno));
}
