// The one-file viewer's launcher: finds the runtime carried after it, unpacks it once into the
// user's cache, and becomes the viewer in it, passing every argument and its own file, which may
// carry a book.
#include "book/ViewerMark.h"
#include "packaging/portable/LauncherError.h"
#include "packaging/portable/PayloadLocation.h"
#include "packaging/portable/RuntimeFolder.h"
#include "packaging/portable/ViewerEnvironment.h"

#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Held so that `ebook-pack build --stub` takes this program as one a book may be appended to.
[[gnu::used]] constexpr std::array<char, kViewerMarkSize> kHeldViewerMark = ViewerMark();

// Runtimes of other payloads not used for this long are removed.
constexpr int kUnusedDays = 30;
// Tries at providing a runtime that another start removes at the same moment.
constexpr int kProvideTries = 3;

std::string OwnFile()
{
    char path[PATH_MAX];
    const ssize_t size = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (size <= 0)
        throw TLauncherError(ELauncherFailure::Damaged, WithErrno("cannot find the program's own file", errno));
    return std::string(path, static_cast<std::size_t>(size));
}

std::string Mebibytes(uint64_t bytes)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    return text;
}

int PrintRuntimeInfo(const TPayloadFooter& footer, const std::string& hash)
{
    const std::string runtime = RuntimesFolderPath() + "/" + hash;
    struct stat info { };
    std::printf("runtime folder: %s\n", runtime.c_str());
    if (::lstat(runtime.c_str(), &info) == 0)
        std::printf("runtime size: %s\n", Mebibytes(FolderDiskUsage(runtime)).c_str());
    else
        std::printf("runtime size: not unpacked yet (%s once unpacked by the first start)\n",
            Mebibytes(footer.unpackedSize).c_str());
    std::printf("payload hash: %s\n", hash.c_str());
    std::printf("payload size: %s compressed\n", Mebibytes(footer.payloadSize).c_str());
    return 0;
}

int Launch(int argc, char** argv)
{
    const std::string program = OwnFile();
    const int fd = ::open(program.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info { };
    if (fd < 0 || ::fstat(fd, &info) != 0)
        throw TLauncherError(ELauncherFailure::Damaged, WithErrno("cannot read " + program, errno));
    const TPayloadFooter footer = LocatePayload(fd, static_cast<uint64_t>(info.st_size), program);
    const std::string hash = FooterHashName(footer);
    if (argc > 1 && std::strcmp(argv[1], "--runtime-info") == 0)
        return PrintRuntimeInfo(footer, hash);

    const std::string folder = RuntimesFolder();
    std::string runtime;
    int hold = -1;
    for (int attempt = 0; attempt < kProvideTries && hold < 0; ++attempt) {
        runtime = ProvideRuntime(folder, hash, fd, footer);
        hold = HoldRuntime(runtime);
    }
    ::close(fd);
    if (hold < 0)
        throw TLauncherError(ELauncherFailure::StartFailed, "the runtime " + runtime + " keeps disappearing");
    RemoveUnusedRuntimes(folder, hash, kUnusedDays);

    PrepareViewerEnvironment(runtime, program, hold);
    const std::string viewer = runtime + "/bin/ebook";
    argv[0] = const_cast<char*>(viewer.c_str());
    ::execv(viewer.c_str(), argv);
    throw TLauncherError(ELauncherFailure::StartFailed,
        WithErrno("cannot start the viewer " + viewer, errno) + " (remove " + runtime + " to unpack it anew)");
}

} // namespace

int main(int argc, char** argv)
{
    try {
        return Launch(argc, argv);
    } catch (const TLauncherError& error) {
        std::fprintf(stderr, "ebook: %s\n", error.what());
        return static_cast<int>(error.failure);
    }
}
