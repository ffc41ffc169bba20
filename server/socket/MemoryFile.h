#pragma once

#include <string_view>

// An anonymous file in memory holding a copy of some bytes, so that a connection can hand the
// system the file (sendfile) instead of copying the bytes through the process for every answer.
// Closed with the object.
class TMemoryFile {
public:
    // Handle() is -1 when the system gives no such file (no descriptor left, no memory).
    explicit TMemoryFile(std::string_view bytes);
    ~TMemoryFile();
    TMemoryFile(const TMemoryFile&) = delete;
    TMemoryFile& operator=(const TMemoryFile&) = delete;

    int Handle() const { return handle_; }

private:
    int handle_ = -1;
};
