#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// A byte stream with a position. Positions and sizes are 64-bit here; the book container itself
// limits them to 31 bits.
class TStream {
public:
    enum class Origin { Begin, Current, End };

    virtual ~TStream() = default;

    // Reads up to count bytes at the position and advances it; returns how many were read.
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    // Writes count bytes at the position and advances it; returns how many were written.
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    // Moves the position; returns the new position.
    virtual int64_t Seek(int64_t offset, Origin origin) = 0;
    virtual int64_t Size() const = 0;
    virtual void SetSize(int64_t size) = 0;
    // Reads up to count bytes at offset without moving the position; returns how many were read.
    // Several threads may call it at once on a stream that nobody writes meanwhile.
    virtual int64_t ReadAt(int64_t offset, void* buffer, int64_t count) const = 0;
    // All of the stream's bytes when it holds them in one block of memory, so that a sender can
    // take them from there without a copy; null for a stream that does not.
    virtual const char* BytesInMemory() const { return nullptr; }

    int64_t Position() { return Seek(0, Origin::Current); }
    void SetPosition(int64_t position) { Seek(position, Origin::Begin); }

    // Read or write exactly count bytes: a short read raises EReadError "Stream read error",
    // a short write EWriteError "Stream write error".
    void ReadBuffer(void* buffer, int64_t count);
    void WriteBuffer(const void* buffer, int64_t count);
    void WriteString(std::string_view text) { WriteBuffer(text.data(), static_cast<int64_t>(text.size())); }

    // Copies count bytes from source's position (the whole of source from its start when count
    // is 0); returns the number copied. A source that ends early raises EReadError.
    int64_t CopyFrom(TStream& source, int64_t count);
};

// The position a stream that keeps its own moves to: offset from the start, from `position` or
// from `size`. Raises EStreamError "Invalid stream position" for a place before the start.
int64_t MovedPosition(int64_t position, int64_t size, int64_t offset, TStream::Origin origin);

// Up to count bytes of the open file from offset on, by positioned reads (interrupted ones
// retried); fewer at the file's end or on an error.
int64_t ReadFileAt(int fd, int64_t offset, void* buffer, int64_t count);

// A growable stream in memory. Growing fills the new bytes with zeros, so a stream never exposes
// stale memory.
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    TMemoryStream(const TMemoryStream&) = delete;
    TMemoryStream& operator=(const TMemoryStream&) = delete;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, Origin origin) override;
    int64_t Size() const override { return size_; }
    void SetSize(int64_t size) override;
    int64_t ReadAt(int64_t offset, void* buffer, int64_t count) const override;
    const char* BytesInMemory() const override { return reinterpret_cast<const char*>(data_.get()); }

    void Clear();
    unsigned char* Memory() { return data_.get(); }
    const unsigned char* Memory() const { return data_.get(); }
    std::string_view View() const
    {
        return { reinterpret_cast<const char*>(data_.get()), static_cast<std::size_t>(size_) };
    }
    std::string ToString() const { return std::string(View()); }

private:
    void Reserve(int64_t capacity);

    std::unique_ptr<unsigned char[]> data_;
    int64_t size_ = 0;
    int64_t capacity_ = 0;
    int64_t position_ = 0;
};

// A read-only stream over bytes shared with others (a cached page sent to several clients at
// once): each stream has its own position, and nobody can change the bytes.
class TSharedBytesStream : public TStream {
public:
    explicit TSharedBytesStream(std::shared_ptr<const std::string> bytes)
        : bytes_(std::move(bytes))
    {
    }

    int64_t Read(void* buffer, int64_t count) override;
    // Writing and resizing raise EWriteError: the bytes are shared.
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, Origin origin) override;
    int64_t Size() const override { return static_cast<int64_t>(bytes_->size()); }
    void SetSize(int64_t size) override;
    int64_t ReadAt(int64_t offset, void* buffer, int64_t count) const override;
    const char* BytesInMemory() const override { return bytes_->data(); }

private:
    std::shared_ptr<const std::string> bytes_;
    int64_t position_ = 0;
};

// A stream over a file. Opening for reading never locks others out of the file.
class TFileStream : public TStream {
public:
    enum class Mode { OpenRead, Create };

    // Raises EFOpenError "Cannot open file <name>" (with the system's reason) on failure.
    TFileStream(const std::string& fileName, Mode mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, Origin origin) override;
    int64_t Size() const override;
    void SetSize(int64_t size) override;
    // A positioned read of the file (pread): safe on several threads at once.
    int64_t ReadAt(int64_t offset, void* buffer, int64_t count) const override;

    const std::string& FileName() const { return fileName_; }
    // Flushes written data to the disk; raises EWriteError on failure.
    void Sync();

private:
    std::string fileName_;
    int fd_ = -1;
};
