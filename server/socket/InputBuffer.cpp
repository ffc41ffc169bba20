#include "server/socket/InputBuffer.h"

#include <cstdlib>
#include <new>

TInputBuffer::~TInputBuffer()
{
    std::free(data_);
}

void TInputBuffer::resize(std::size_t size)
{
    if (size == size_)
        return;
    if (size == 0) {
        std::free(data_);
        data_ = nullptr;
        size_ = 0;
        return;
    }
    // realloc grows a large block by remapping its pages, without a copy.
    void* grown = std::realloc(data_, size);
    if (grown == nullptr)
        throw std::bad_alloc();
    data_ = static_cast<char*>(grown);
    size_ = size;
}
