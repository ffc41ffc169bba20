#pragma once

#include "common/Streams.h"

#include <cstdint>
#include <memory>

// Serves small reads from blocks read ahead, one system call per block instead of one per read:
// for a format read a few bytes at a time (a book's header and directory: a name's length, the
// name, its record's position). Read-only; the stream must not change while it is read.
class TReadAheadStream : public TStream {
public:
    explicit TReadAheadStream(const TStream& stream);

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void*, int64_t) override { return 0; }
    int64_t Seek(int64_t offset, Origin origin) override;
    int64_t Size() const override { return size_; }
    void SetSize(int64_t) override;
    int64_t ReadAt(int64_t offset, void* buffer, int64_t count) const override
    {
        return stream_.ReadAt(offset, buffer, count);
    }

private:
    static constexpr int64_t kBlockSize = 16 * 1024;

    const TStream& stream_;
    const int64_t size_;
    int64_t position_ = 0;
    std::unique_ptr<char[]> block_ = std::make_unique<char[]>(kBlockSize);
    int64_t start_ = 0; // where the block's bytes come from
    int64_t filled_ = 0; // how many it holds
};
