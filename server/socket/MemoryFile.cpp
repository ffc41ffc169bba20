#include "server/socket/MemoryFile.h"

#include "common/RetryOnInterrupt.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

TMemoryFile::TMemoryFile(std::string_view bytes)
{
    const int file = ::memfd_create("ebook-page", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (file < 0)
        return;
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n
            = RetryOnInterrupt([&] { return ::write(file, bytes.data() + written, bytes.size() - written); });
        if (n <= 0) {
            ::close(file);
            return;
        }
        written += static_cast<std::size_t>(n);
    }
    // Sealed: nobody can change what every answer sends from it.
    ::fcntl(file, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL);
    handle_ = file;
}

TMemoryFile::~TMemoryFile()
{
    if (handle_ >= 0)
        ::close(handle_);
}
