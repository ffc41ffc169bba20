#pragma once

#include <cstddef>

// The receive buffer of a connection: one block of bytes whose size is its capacity. Resizing keeps
// the bytes in front and never holds the old and the new block at once for large sizes: the
// system moves a large block's pages instead of copying them, so a buffer that grows to hold one
// long line costs about that line, not two or three times it.
class TInputBuffer {
public:
    TInputBuffer() = default;
    ~TInputBuffer();
    TInputBuffer(const TInputBuffer&) = delete;
    TInputBuffer& operator=(const TInputBuffer&) = delete;

    char* data() { return data_; }
    const char* data() const { return data_; }
    std::size_t size() const { return size_; }
    // Raises std::bad_alloc when the memory cannot be had; the buffer is then unchanged.
    void resize(std::size_t size);

private:
    char* data_ = nullptr;
    std::size_t size_ = 0;
};
