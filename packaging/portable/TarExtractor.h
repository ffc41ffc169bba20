#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Writes the files of a tar stream (ustar and GNU long names: regular files, folders, symbolic and
// hard links) under one folder, as the bytes arrive. Raises TLauncherError: Damaged for a stream
// that is not a well-formed tar or names a place outside the folder, UnpackFailed for a write that
// fails (a full disk).
class TTarExtractor {
public:
    // `rootFd` is the open folder everything is written under; it stays the caller's.
    explicit TTarExtractor(int rootFd);
    ~TTarExtractor();
    TTarExtractor(const TTarExtractor&) = delete;
    TTarExtractor& operator=(const TTarExtractor&) = delete;

    void Feed(const char* data, std::size_t size);

    // Whether the end-of-archive block has been seen after every member was whole.
    bool Finished() const { return finished_; }

private:
    enum class EState { Header, FileData, LongName, LongLink, Padding, End };

    void TakeHeader();
    void StartMember(char type, const std::string& name, const std::string& link, uint32_t mode);
    void WriteData(const char* data, std::size_t size);
    void CloseFile();
    // After a member's data: its padding to the next block, then the next header.
    void EndOfData();

    int rootFd_;
    EState state_ = EState::Header;
    char block_[512] = {};
    std::size_t blockFill_ = 0;
    uint64_t left_ = 0; // bytes of the current member's data still to come
    uint64_t padding_ = 0; // bytes to skip after it, up to the next 512-byte block
    std::string longName_;
    std::string longLink_;
    std::string collected_;
    std::string fileName_;
    int fileFd_ = -1;
    bool finished_ = false;
};
