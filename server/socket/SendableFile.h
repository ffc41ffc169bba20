#pragma once

// A stream whose bytes an open file also holds, from the file's start: a connection may hand the
// system that file (sendfile) instead of copying the bytes through the process. The file stays
// open for as long as the stream lives.
class TSendableFile {
public:
    virtual ~TSendableFile() = default;
    // The file's descriptor, or -1 when there is none after all.
    virtual int SendableHandle() const = 0;
};
