#pragma once

#include "common/Streams.h"
#include "server/socket/SendableFile.h"

#include <cstdint>
#include <memory>

// A part of a body sent as an answer: bytes in memory, or a part of an open file sent from the
// file (sendfile) and read with positioned reads otherwise, never read whole. The owner keeps the
// bytes or the file alive while the stream lives.
class TBodySliceStream : public TStream, public TSendableFile {
public:
    // bytes: the slice's first byte in memory, or null for a file-only slice. file: a descriptor
    // that holds the same bytes from fileOffset on, or -1.
    TBodySliceStream(std::shared_ptr<const void> owner, const char* bytes, int file, int64_t fileOffset, int64_t size);

    int64_t Read(void* buffer, int64_t count) override;
    // Writing and resizing raise EWriteError: the bytes are shared.
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, Origin origin) override;
    int64_t Size() const override { return size_; }
    void SetSize(int64_t size) override;
    int64_t ReadAt(int64_t offset, void* buffer, int64_t count) const override;
    const char* BytesInMemory() const override { return bytes_; }
    int SendableHandle() const override { return file_; }
    int64_t SendableOffset() const override { return fileOffset_; }

private:
    std::shared_ptr<const void> owner_;
    const char* bytes_;
    int file_;
    int64_t fileOffset_;
    int64_t size_;
    int64_t position_ = 0;
};
