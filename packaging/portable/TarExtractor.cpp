#include "packaging/portable/TarExtractor.h"

#include "packaging/portable/LauncherError.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

// A GNU long name longer than this is not one a runtime holds: the stream is damaged.
constexpr uint64_t kMaxLongName = 4096;

[[noreturn]] void Damaged(const std::string& why)
{
    throw TLauncherError(ELauncherFailure::Damaged, "the runtime's payload is damaged: " + why);
}

[[noreturn]] void WriteFailed(const std::string& what, int error)
{
    throw TLauncherError(ELauncherFailure::UnpackFailed, WithErrno("cannot write " + what, error));
}

uint64_t Octal(const char* field, std::size_t size)
{
    uint64_t value = 0;
    std::size_t i = 0;
    while (i < size && field[i] == ' ')
        ++i;
    for (; i < size && field[i] != '\0' && field[i] != ' '; ++i) {
        if (field[i] < '0' || field[i] > '7')
            Damaged("a tar header holds a number that is not octal");
        value = value * 8 + static_cast<uint64_t>(field[i] - '0');
    }
    return value;
}

std::string Field(const char* field, std::size_t size)
{
    return std::string(field, strnlen(field, size));
}

// A name stays inside the folder: relative, with no ".." among its parts.
// A name stays inside the folder: relative, with no ".." among its parts. The folder itself is "".
std::string SafeName(std::string name)
{
    while (name.size() > 1 && name.back() == '/')
        name.pop_back();
    while (name.rfind("./", 0) == 0)
        name.erase(0, 2);
    if (name == ".")
        return {};
    if (!name.empty() && name.front() == '/')
        Damaged("a member's name is absolute: " + name);
    std::size_t start = 0;
    while (start <= name.size()) {
        const std::size_t end = std::min(name.find('/', start), name.size());
        if (end - start == 2 && name.compare(start, 2, "..") == 0)
            Damaged("a member's name leads out of the folder: " + name);
        start = end + 1;
    }
    return name;
}

void MakeParents(int rootFd, const std::string& name)
{
    for (std::size_t slash = name.find('/'); slash != std::string::npos; slash = name.find('/', slash + 1)) {
        const std::string parent = name.substr(0, slash);
        if (::mkdirat(rootFd, parent.c_str(), 0755) != 0 && errno != EEXIST)
            WriteFailed(parent, errno);
    }
}

} // namespace

TTarExtractor::TTarExtractor(int rootFd)
    : rootFd_(rootFd)
{
}

TTarExtractor::~TTarExtractor()
{
    if (fileFd_ >= 0)
        ::close(fileFd_);
}

void TTarExtractor::Feed(const char* data, std::size_t size)
{
    while (size > 0) {
        if (state_ == EState::End)
            return; // what follows the end block is the blocking factor's zeros
        if (state_ == EState::FileData || state_ == EState::Padding) {
            const std::size_t take = static_cast<std::size_t>(std::min<uint64_t>(size, left_));
            if (state_ == EState::FileData)
                WriteData(data, take);
            data += take;
            size -= take;
            left_ -= take;
            if (left_ == 0) {
                if (state_ == EState::FileData)
                    CloseFile();
                EndOfData();
            }
            continue;
        }
        if (state_ == EState::LongName || state_ == EState::LongLink) {
            const std::size_t take = static_cast<std::size_t>(std::min<uint64_t>(size, left_));
            collected_.append(data, take);
            data += take;
            size -= take;
            left_ -= take;
            if (left_ == 0) {
                (state_ == EState::LongName ? longName_ : longLink_) = Field(collected_.data(), collected_.size());
                collected_.clear();
                EndOfData();
            }
            continue;
        }
        const std::size_t take = std::min(size, sizeof block_ - blockFill_);
        std::memcpy(block_ + blockFill_, data, take);
        blockFill_ += take;
        data += take;
        size -= take;
        if (blockFill_ == sizeof block_) {
            blockFill_ = 0;
            TakeHeader();
        }
    }
}

void TTarExtractor::TakeHeader()
{
    if (std::all_of(block_, block_ + sizeof block_, [](char c) { return c == '\0'; })) {
        state_ = EState::End;
        finished_ = true;
        return;
    }
    uint64_t sum = 0;
    for (std::size_t i = 0; i < sizeof block_; ++i)
        sum += (i >= 148 && i < 156) ? ' ' : static_cast<unsigned char>(block_[i]);
    if (sum != Octal(block_ + 148, 8))
        Damaged("a tar header's checksum does not match");
    const char type = block_[156];
    const uint64_t size = Octal(block_ + 124, 12);
    const uint32_t mode = static_cast<uint32_t>(Octal(block_ + 100, 8));
    padding_ = (512 - size % 512) % 512;
    left_ = size;
    if (type == 'L' || type == 'K') {
        if (size == 0 || size > kMaxLongName)
            Damaged("a long name's length is out of range");
        state_ = type == 'L' ? EState::LongName : EState::LongLink;
        return;
    }
    std::string name = Field(block_, 100);
    if (std::memcmp(block_ + 257, "ustar", 5) == 0 && block_[345] != '\0')
        name = Field(block_ + 345, 155) + "/" + name;
    if (!longName_.empty())
        name = std::exchange(longName_, {});
    std::string link = Field(block_ + 157, 100);
    if (!longLink_.empty())
        link = std::exchange(longLink_, {});
    StartMember(type, SafeName(name), link, mode);
    if (state_ == EState::Header && left_ > 0) {
        // Data of a member that is not a regular file (none in a runtime) is passed over.
        state_ = EState::Padding;
        left_ += std::exchange(padding_, 0);
    }
}

void TTarExtractor::EndOfData()
{
    if (state_ != EState::Padding && padding_ > 0) {
        state_ = EState::Padding;
        left_ = std::exchange(padding_, 0);
    } else {
        state_ = EState::Header;
    }
}

void TTarExtractor::StartMember(char type, const std::string& name, const std::string& link, uint32_t mode)
{
    if (name.empty())
        return; // the folder itself
    MakeParents(rootFd_, name);
    // Only the owner's and the plain read and execute bits: nothing set-user-id.
    const mode_t kept = static_cast<mode_t>(mode & 0755);
    if (type == '5') {
        if (::mkdirat(rootFd_, name.c_str(), kept | 0700) != 0 && errno != EEXIST)
            WriteFailed(name, errno);
    } else if (type == '2') {
        if (::symlinkat(link.c_str(), rootFd_, name.c_str()) != 0)
            WriteFailed(name, errno);
    } else if (type == '1') {
        if (::linkat(rootFd_, SafeName(link).c_str(), rootFd_, name.c_str(), 0) != 0)
            WriteFailed(name, errno);
    } else if (type == '0' || type == '\0' || type == '7') {
        fileFd_ = ::openat(rootFd_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kept | 0600);
        if (fileFd_ < 0)
            WriteFailed(name, errno);
        fileName_ = name;
        if (left_ > 0)
            state_ = EState::FileData;
        else
            CloseFile();
    } else {
        Damaged(std::string("a member of a kind a runtime never holds (type '") + type + "')");
    }
}

void TTarExtractor::WriteData(const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fileFd_, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            WriteFailed(fileName_, errno);
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

void TTarExtractor::CloseFile()
{
    const int fd = std::exchange(fileFd_, -1);
    // A full disk may only show when the file is closed (delayed allocation, quotas).
    if (fd >= 0 && ::close(fd) != 0)
        WriteFailed(fileName_, errno);
}
