#pragma once

#include "common/Streams.h"
#include "server/socket/SendableFile.h"

#include <memory>
#include <string>

// A page shared with other answers that a memory file holds too: sent from the file without a
// copy. The file belongs to the page and lives while the bytes do.
class TSharedPageStream : public TSharedBytesStream, public TSendableFile {
public:
    TSharedPageStream(std::shared_ptr<const std::string> bytes, int fileHandle)
        : TSharedBytesStream(std::move(bytes))
        , fileHandle_(fileHandle)
    {
    }
    int SendableHandle() const override { return fileHandle_; }

private:
    int fileHandle_;
};
