#pragma once

#include <cstdint>

// A stream whose bytes an open file also holds, from the file's start: a connection may hand the
// system that file (sendfile) instead of copying the bytes through the process. The file stays
// open for as long as the stream lives.
class TSendableFile {
public:
    virtual ~TSendableFile() = default;
    // The file's descriptor, or -1 when there is none after all.
    virtual int SendableHandle() const = 0;
    // Where in the file the stream's first byte lies: a stream over a part of a file (a byte range
    // of a download) starts there.
    virtual int64_t SendableOffset() const { return 0; }
};
