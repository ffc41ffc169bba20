#include "packaging/portable/RuntimeFolder.h"

#include "packaging/portable/LauncherError.h"
#include "packaging/portable/PayloadUnpack.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* kUnpackingPrefix = ".unpacking-";
constexpr const char* kRemovingPrefix = ".removing-";
constexpr const char* kLockPrefix = ".lock-";
// Room left over beyond the runtime's own size, for the file system's bookkeeping.
constexpr uint64_t kSpareBytes = 16u << 20;
// What stopped starts left behind is removed when it is older than this.
constexpr time_t kStaleSeconds = 24 * 60 * 60;

[[noreturn]] void Refuse(const std::string& why)
{
    throw TLauncherError(ELauncherFailure::FolderRefused, why);
}

std::string Megabytes(uint64_t bytes)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    return text;
}

void MakeFolders(const std::string& path)
{
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            Refuse(WithErrno("cannot make the folder " + part, errno));
        if (slash == std::string::npos)
            return;
    }
}

bool IsHashName(const std::string& name)
{
    return name.size() == 32 && name.find_first_not_of("0123456789abcdef") == std::string::npos;
}

uint64_t diskUsage = 0;

int AddUsage(const char*, const struct stat* info, int, struct FTW*)
{
    diskUsage += static_cast<uint64_t>(info->st_blocks) * 512;
    return 0;
}

int RemoveOne(const char* path, const struct stat*, int, struct FTW*)
{
    ::remove(path);
    return 0;
}

// Removes the temporary folders of `hash` that earlier starts left; the caller holds the hash's
// unpacking lock, so no start is writing any of them.
bool RemoveHalfRuntimes(const std::string& folder, const std::string& hash)
{
    bool removed = false;
    const std::string prefix = kUnpackingPrefix + hash + "-";
    if (DIR* dir = ::opendir(folder.c_str())) {
        std::vector<std::string> names;
        while (const dirent* entry = ::readdir(dir))
            if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0)
                names.emplace_back(entry->d_name);
        ::closedir(dir);
        for (const auto& name : names) {
            RemoveTree(folder + "/" + name);
            removed = true;
        }
    }
    return removed;
}

void CheckFreeSpace(const std::string& folder, const TPayloadFooter& footer)
{
    struct statvfs space { };
    if (footer.unpackedSize == 0 || ::statvfs(folder.c_str(), &space) != 0)
        return;
    const uint64_t free = static_cast<uint64_t>(space.f_bavail) * space.f_frsize;
    if (free < footer.unpackedSize + kSpareBytes)
        throw TLauncherError(ELauncherFailure::UnpackFailed,
            "not enough room in " + folder + " to unpack the runtime: it needs " + Megabytes(footer.unpackedSize) + ", "
                + Megabytes(free) + " are free (free some space, or set EBOOK_RUNTIME_DIR to another folder)");
}

void Unpack(const std::string& folder, const std::string& hash, const std::string& runtime, int programFd,
    const TPayloadFooter& footer)
{
    CheckFreeSpace(folder, footer);
    std::string temporary = folder + "/" + kUnpackingPrefix + hash + "-XXXXXX";
    if (::mkdtemp(temporary.data()) == nullptr)
        throw TLauncherError(ELauncherFailure::UnpackFailed, WithErrno("cannot make a folder in " + folder, errno));
    try {
        const int target = ::open(temporary.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (target < 0)
            throw TLauncherError(ELauncherFailure::UnpackFailed, WithErrno("cannot open " + temporary, errno));
        try {
            UnpackPayload(programFd, footer, target);
        } catch (...) {
            ::close(target);
            throw;
        }
        // Not synced to disk first: syncfs waits for every other writer on the file system (seconds
        // on a busy machine), and a runtime is a cache that a stopped process cannot leave half-named.
        ::close(target);
        if (::rename(temporary.c_str(), runtime.c_str()) != 0)
            throw TLauncherError(
                ELauncherFailure::UnpackFailed, WithErrno("cannot name the runtime " + runtime, errno));
    } catch (const TLauncherError& error) {
        RemoveTree(temporary);
        throw TLauncherError(error.failure,
            std::string(error.what()) + "; the half-unpacked runtime was removed, nothing is left behind");
    }
}

bool IsOwnFolder(const std::string& path)
{
    struct stat info { };
    if (::lstat(path.c_str(), &info) != 0)
        return false;
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid())
        Refuse(path + " is not a folder of this user's: remove it or set EBOOK_RUNTIME_DIR to another folder");
    return true;
}

} // namespace

void CheckPrivateFolder(const std::string& path)
{
    struct stat info { };
    if (::lstat(path.c_str(), &info) != 0)
        Refuse(WithErrno("cannot use the runtimes' folder " + path, errno));
    const std::string advice = " (the unpacked viewer runs from there, so it must be this user's own folder of "
                               "mode 0700; or set EBOOK_RUNTIME_DIR to another folder)";
    if (S_ISLNK(info.st_mode))
        Refuse("refusing the runtimes' folder " + path + ": it is a symbolic link" + advice);
    if (!S_ISDIR(info.st_mode))
        Refuse("refusing the runtimes' folder " + path + ": it is not a folder" + advice);
    if (info.st_uid != ::geteuid())
        Refuse("refusing the runtimes' folder " + path + ": it belongs to another user" + advice);
    if ((info.st_mode & 077) != 0)
        Refuse("refusing the runtimes' folder " + path + ": it is open to other users" + advice);
}

std::string RuntimesFolderPath()
{
    std::string folder;
    if (const char* chosen = std::getenv("EBOOK_RUNTIME_DIR"); chosen && *chosen) {
        folder = chosen;
    } else {
        const char* cache = std::getenv("XDG_CACHE_HOME");
        const char* home = std::getenv("HOME");
        // The base directory specification ignores a relative XDG_CACHE_HOME.
        if (cache && cache[0] == '/')
            folder = std::string(cache) + "/ebook-runtime";
        else if (home && home[0] == '/')
            folder = std::string(home) + "/.cache/ebook-runtime";
        else
            Refuse("no place for the runtime: HOME is not set (set EBOOK_RUNTIME_DIR to a folder)");
    }
    if (folder.front() != '/')
        Refuse("EBOOK_RUNTIME_DIR must be an absolute path, not " + folder);
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

std::string RuntimesFolder()
{
    const std::string folder = RuntimesFolderPath();
    MakeFolders(folder);
    CheckPrivateFolder(folder);
    return folder;
}

std::string ProvideRuntime(
    const std::string& folder, const std::string& hash, int programFd, const TPayloadFooter& footer)
{
    const std::string runtime = folder + "/" + hash;
    if (IsOwnFolder(runtime))
        return runtime;
    const std::string lockName = folder + "/" + kLockPrefix + hash;
    const int lock = ::open(lockName.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (lock < 0)
        throw TLauncherError(ELauncherFailure::UnpackFailed, WithErrno("cannot open " + lockName, errno));
    if (::flock(lock, LOCK_EX | LOCK_NB) != 0) {
        std::fprintf(stderr, "ebook: waiting for another start of this program to unpack its runtime\n");
        while (::flock(lock, LOCK_EX) != 0 && errno == EINTR) { }
    }
    try {
        if (!IsOwnFolder(runtime)) {
            if (RemoveHalfRuntimes(folder, hash))
                std::fprintf(
                    stderr, "ebook: removed a runtime left half unpacked by an earlier start that was stopped\n");
            std::fprintf(stderr, "ebook: unpacking the viewer's runtime into %s (once)\n", runtime.c_str());
            Unpack(folder, hash, runtime, programFd, footer);
        }
    } catch (...) {
        ::close(lock);
        throw;
    }
    ::close(lock);
    return runtime;
}

int HoldRuntime(const std::string& runtime)
{
    // Without O_CLOEXEC: the viewer this process becomes keeps the lock.
    const int fd = ::open(runtime.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
    if (fd < 0)
        return -1;
    while (::flock(fd, LOCK_SH) != 0 && errno == EINTR) { }
    // A start that removed the runtime held it exclusively; once that is over the name may be gone.
    struct stat held {
    }, named {};
    if (::fstat(fd, &held) != 0 || ::lstat(runtime.c_str(), &named) != 0 || held.st_ino != named.st_ino
        || held.st_dev != named.st_dev) {
        ::close(fd);
        return -1;
    }
    ::futimens(fd, nullptr);
    return fd;
}

void RemoveUnusedRuntimes(const std::string& folder, const std::string& keptHash, int days)
{
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return;
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir))
        names.emplace_back(entry->d_name);
    ::closedir(dir);
    const time_t now = std::time(nullptr);
    for (const auto& name : names) {
        const std::string path = folder + "/" + name;
        struct stat info { };
        if (name == keptHash || ::lstat(path.c_str(), &info) != 0 || info.st_uid != ::geteuid())
            continue;
        const time_t age = now - info.st_mtime;
        if (IsHashName(name) && S_ISDIR(info.st_mode) && age > static_cast<time_t>(days) * 24 * 60 * 60) {
            const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (fd < 0)
                continue;
            // A running viewer holds its runtime shared: then it stays.
            if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
                const std::string doomed = folder + "/" + kRemovingPrefix + name;
                if (::rename(path.c_str(), doomed.c_str()) == 0)
                    RemoveTree(doomed);
                ::unlink((folder + "/" + kLockPrefix + name).c_str());
            }
            ::close(fd);
        } else if (age > kStaleSeconds
            && (name.rfind(kRemovingPrefix, 0) == 0
                || (name.rfind(kUnpackingPrefix, 0) == 0 && name.find(keptHash) == std::string::npos))) {
            RemoveTree(path);
        }
    }
}

uint64_t FolderDiskUsage(const std::string& path)
{
    diskUsage = 0;
    ::nftw(path.c_str(), AddUsage, 16, FTW_PHYS);
    return diskUsage;
}

void RemoveTree(const std::string& path)
{
    ::nftw(path.c_str(), RemoveOne, 16, FTW_DEPTH | FTW_PHYS);
}
