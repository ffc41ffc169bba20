#include "sources/RegularFile.h"

#include "common/Exception.h"
#include "common/RetryOnInterrupt.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Closes the descriptor on every way out.
class TOpenFile {
public:
    explicit TOpenFile(int fd)
        : fd_(fd)
    {
    }
    ~TOpenFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    TOpenFile(const TOpenFile&) = delete;
    TOpenFile& operator=(const TOpenFile&) = delete;
    int Fd() const { return fd_; }

private:
    int fd_;
};

int OpenForReading(const std::string& name)
{
    const int fd = RetryOnInterrupt([&] { return ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY); });
    if (fd < 0)
        throw Exception("Cannot read " + name + ": " + std::strerror(errno));
    return fd;
}

// What the system says the descriptor names now, every link resolved; empty when it cannot say.
std::filesystem::path RealPathOf(int fd)
{
    std::error_code error;
    const std::filesystem::path real = std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), error);
    return error ? std::filesystem::path() : real;
}

bool LiesBelow(const std::filesystem::path& folder, const std::filesystem::path& path)
{
    const auto [folderEnd, pathAt] = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
    return !folder.empty() && folderEnd == folder.end() && pathAt != path.end();
}

std::string ReadOpenFile(const TOpenFile& file, const std::string& name, uint64_t maxBytes);

} // namespace

std::string ReadRegularFile(const std::filesystem::path& path, uint64_t maxBytes)
{
    const std::string name = path.string();
    const TOpenFile file(OpenForReading(name));
    return ReadOpenFile(file, name, maxBytes);
}

std::string ReadRegularFileWithin(
    const std::filesystem::path& path, const std::filesystem::path& realFolder, uint64_t maxBytes)
{
    const std::string name = path.string();
    const TOpenFile file(OpenForReading(name));
    // Asked of the open descriptor, so no link swapped in after this check can matter.
    if (!LiesBelow(realFolder, RealPathOf(file.Fd())))
        throw Exception("Refusing " + name + ": it lies outside " + realFolder.string());
    return ReadOpenFile(file, name, maxBytes);
}

namespace {

std::string ReadOpenFile(const TOpenFile& file, const std::string& name, uint64_t maxBytes)
{
    struct stat status { };
    if (::fstat(file.Fd(), &status) != 0)
        throw Exception("Cannot read " + name + ": " + std::strerror(errno));
    if (!S_ISREG(status.st_mode))
        throw Exception("Refusing " + name + ": it is not a regular file");
    const auto tooLarge = [&] {
        return Exception(
            "Refusing " + name + ": it holds more than the " + std::to_string(maxBytes) + " bytes a page may hold");
    };
    if (static_cast<uint64_t>(status.st_size) > maxBytes)
        throw tooLarge();
    // One byte more than the limit shows a file that grew past it since it was measured.
    std::string content(static_cast<std::size_t>(status.st_size) + 1, '\0');
    std::size_t got = 0;
    while (true) {
        if (got == content.size()) {
            if (content.size() > maxBytes)
                throw tooLarge();
            content.resize(std::min<uint64_t>(content.size() * 2, maxBytes + 1));
        }
        const ssize_t read
            = RetryOnInterrupt([&] { return ::read(file.Fd(), content.data() + got, content.size() - got); });
        if (read < 0)
            throw Exception("Cannot read " + name + ": " + std::strerror(errno));
        if (read == 0)
            break;
        got += static_cast<std::size_t>(read);
    }
    content.resize(got);
    return content;
}

} // namespace
