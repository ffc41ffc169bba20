#pragma once

#include "common/Streams.h"

#include <memory>
#include <string>

// Writes a file so that readers see either the old file or the complete new one: the bytes go to
// a temporary file in the same folder (so the rename cannot cross file systems), which Commit
// flushes to the disk and renames over the target. Without Commit the temporary file is removed.
class TAtomicFile {
public:
    // Raises EFOpenError when the temporary file cannot be created.
    explicit TAtomicFile(std::string target);
    ~TAtomicFile();
    TAtomicFile(const TAtomicFile&) = delete;
    TAtomicFile& operator=(const TAtomicFile&) = delete;

    TFileStream& Stream() { return *stream_; }
    // Syncs, sets the permissions (with the run bits when executable, both within the umask) and
    // renames. Raises Exception on failure, leaving the target as it was.
    void Commit(bool executable);

private:
    std::string target_;
    std::string temporary_;
    std::unique_ptr<TFileStream> stream_;
    bool committed_ = false;
};
