#include "tools/packtool/AtomicFile.h"

#include "common/Exception.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

mode_t CurrentUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

std::string Reason()
{
    return std::strerror(errno);
}

} // namespace

TAtomicFile::TAtomicFile(std::string target)
    : target_(std::move(target))
{
    const std::filesystem::path path(target_);
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    std::string leaf = ".";
    leaf += path.filename().string();
    leaf += ".tmp-XXXXXX";
    std::string pattern = (folder / leaf).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        throw EFOpenError("Cannot create file " + target_ + ": " + Reason());
    ::close(fd);
    temporary_ = pattern;
    try {
        stream_ = std::make_unique<TFileStream>(temporary_, TFileStream::Mode::Create);
    } catch (...) {
        std::remove(temporary_.c_str());
        throw;
    }
}

TAtomicFile::~TAtomicFile()
{
    stream_.reset();
    if (!committed_)
        std::remove(temporary_.c_str());
}

void TAtomicFile::Commit(bool executable)
{
    stream_->Sync();
    stream_.reset();
    const mode_t mode = (executable ? 0777 : 0666) & ~CurrentUmask();
    if (::chmod(temporary_.c_str(), mode) != 0)
        throw Exception("Cannot set permissions of " + target_ + ": " + Reason());
    if (::rename(temporary_.c_str(), target_.c_str()) != 0)
        throw Exception("Cannot write file " + target_ + ": " + Reason());
    committed_ = true;
    // The rename itself is made durable by syncing the folder.
    const std::filesystem::path path(target_);
    const std::string folder = path.has_parent_path() ? path.parent_path().string() : ".";
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}
