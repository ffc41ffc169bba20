#include "tools/packtool/AtomicFile.h"

#include "common/Exception.h"

#include <cerrno>
#include <csignal>
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

// An interrupt while the file is written removes the temporary file and ends the program as the
// shell reports a death by that signal (128 + its number), so no half-written file is left behind.
// One file is written at a time; its name is copied where the handler can read it without
// allocating.
constexpr int kInterrupts[] = { SIGINT, SIGTERM, SIGHUP };
char gInterruptedFile[4096];
volatile std::sig_atomic_t gRemoveOnInterrupt = 0;
struct sigaction gPreviousActions[std::size(kInterrupts)];

extern "C" void RemoveAndExit(int signal)
{
    if (gRemoveOnInterrupt)
        ::unlink(gInterruptedFile);
    ::_exit(128 + signal);
}

void RemoveOnInterrupt(const std::string& path)
{
    if (path.size() >= sizeof gInterruptedFile)
        return;
    std::memcpy(gInterruptedFile, path.c_str(), path.size() + 1);
    gRemoveOnInterrupt = 1;
    struct sigaction action { };
    action.sa_handler = RemoveAndExit;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(kInterrupts); ++i)
        ::sigaction(kInterrupts[i], &action, &gPreviousActions[i]);
}

void KeepOnInterrupt()
{
    if (!gRemoveOnInterrupt)
        return;
    for (std::size_t i = 0; i < std::size(kInterrupts); ++i)
        ::sigaction(kInterrupts[i], &gPreviousActions[i], nullptr);
    gRemoveOnInterrupt = 0;
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
    RemoveOnInterrupt(temporary_);
    try {
        stream_ = std::make_unique<TFileStream>(temporary_, TFileStream::Mode::Create);
    } catch (...) {
        KeepOnInterrupt();
        std::remove(temporary_.c_str());
        throw;
    }
}

TAtomicFile::~TAtomicFile()
{
    stream_.reset();
    if (!committed_)
        std::remove(temporary_.c_str());
    KeepOnInterrupt();
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
    KeepOnInterrupt();
    // The rename itself is made durable by syncing the folder.
    const std::filesystem::path path(target_);
    const std::string folder = path.has_parent_path() ? path.parent_path().string() : ".";
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}
