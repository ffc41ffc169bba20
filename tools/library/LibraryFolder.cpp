#include "tools/library/LibraryFolder.h"

#include "common/CommandLine.h"
#include "common/Exception.h"
#include "sources/SourceKind.h"
#include "tools/library/Library.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// How often the whole folder is looked at when nothing is waiting to settle: what inotify cannot
// tell (a folder on a network file system, events lost to an overflow) is seen within this time.
constexpr int kLookIntervalMs = 3000;

// Names a book of a kind told by content would carry; a file of no kind under one of them is a
// damaged book to name, any other is none of the library's business.
bool HasBookExtension(const std::string& path)
{
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
        [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".ebook" || extension == ".epub" || extension == ".chm" || extension == ".zim"
        || extension == ".exe";
}

std::string OneLine(std::string text)
{
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

} // namespace

TLibraryFolder::TLibraryFolder(
    TLibrary& library, std::string folder, std::ostream& err, std::chrono::milliseconds settle)
    : library_(library)
    , folder_(std::move(folder))
    , err_(err)
    , settle_(settle)
{
    std::error_code error;
    if (!std::filesystem::is_directory(folder_, error))
        throw Exception("Cannot read the library folder " + folder_ + ": it is no folder");
    if (::pipe2(wakeup_, O_CLOEXEC | O_NONBLOCK) != 0)
        throw Exception("Cannot watch the library folder " + folder_ + ": " + std::strerror(errno));
    inotify_ = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    // Watched before the first look, so that nothing added meanwhile goes unnoticed; without a
    // watch the periodic look still finds every change.
    if (inotify_ >= 0
        && ::inotify_add_watch(inotify_, folder_.c_str(),
               IN_CREATE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_ATTRIB
                   | IN_DELETE_SELF | IN_MOVE_SELF)
            < 0) {
        err_ << "Cannot watch " << folder_ << " for changes (" << std::strerror(errno) << "); looking at it every "
             << kLookIntervalMs / 1000 << " seconds instead" << std::endl;
        ::close(inotify_);
        inotify_ = -1;
    }
    Look(true);
    thread_ = std::thread([this] { Run(); });
}

TLibraryFolder::~TLibraryFolder()
{
    const char stop = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeup_[1], &stop, 1);
    thread_.join();
    if (inotify_ >= 0)
        ::close(inotify_);
    ::close(wakeup_[0]);
    ::close(wakeup_[1]);
}

std::vector<std::string> TLibraryFolder::Candidates(const std::string& folder)
{
    std::vector<std::string> paths;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        std::error_code kindError;
        if (name.starts_with('.') || !entry.is_regular_file(kindError))
            continue;
        paths.push_back(entry.path().string());
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

void TLibraryFolder::Run()
{
    alignas(inotify_event) char events[4096];
    for (;;) {
        pollfd ready[2] = { { wakeup_[0], POLLIN, 0 }, { inotify_, POLLIN, 0 } };
        const int timeout
            = pending_.empty() ? kLookIntervalMs : static_cast<int>(std::max<long long>(settle_.count() / 2, 10));
        const int count = ::poll(ready, inotify_ >= 0 ? 2 : 1, timeout);
        if (count > 0 && (ready[0].revents & POLLIN) != 0)
            return;
        if (count > 0 && (ready[1].revents & POLLIN) != 0) {
            ssize_t length;
            while ((length = ::read(inotify_, events, sizeof events)) > 0) {
                for (ssize_t at = 0; at < length;) {
                    const auto* event = reinterpret_cast<const inotify_event*>(events + at);
                    at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                    if (event->len == 0)
                        continue;
                    const std::string path = (std::filesystem::path(folder_) / event->name).string();
                    // Written to and not closed: not a book yet, however long it stays the same.
                    if ((event->mask & (IN_CREATE | IN_MODIFY)) != 0)
                        writing_.insert(path);
                    if ((event->mask & (IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE)) != 0)
                        writing_.erase(path);
                }
            }
        }
        Look(false);
    }
}

void TLibraryFolder::Look(bool startup)
{
    const std::vector<std::string> paths = Candidates(folder_);
    for (auto served = served_.begin(); served != served_.end();) {
        if (std::binary_search(paths.begin(), paths.end(), served->first)) {
            ++served;
            continue;
        }
        library_.Remove(served->first);
        err_ << "Removed " << served->first << " from the library" << std::endl;
        served = served_.erase(served);
    }
    std::erase_if(
        refused_, [&](const auto& entry) { return !std::binary_search(paths.begin(), paths.end(), entry.first); });
    std::erase_if(
        pending_, [&](const auto& entry) { return !std::binary_search(paths.begin(), paths.end(), entry.first); });

    const auto now = std::chrono::steady_clock::now();
    for (const std::string& path : paths) {
        struct stat status { };
        if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
            continue;
        const Seen seen { static_cast<long long>(status.st_dev), static_cast<long long>(status.st_ino),
            static_cast<long long>(status.st_size),
            static_cast<long long>(status.st_mtim.tv_sec) * 1000000000LL + status.st_mtim.tv_nsec };
        const auto served = served_.find(path);
        const auto refused = refused_.find(path);
        if ((served != served_.end() && served->second == seen)
            || (refused != refused_.end() && refused->second == seen)) {
            pending_.erase(path);
            continue;
        }
        if (startup) {
            OpenFile(path, seen);
            continue;
        }
        if (writing_.contains(path))
            continue;
        const auto waiting = pending_.find(path);
        if (waiting == pending_.end() || !(waiting->second.seen == seen)) {
            pending_[path] = Pending { seen, now };
            continue;
        }
        if (now - waiting->second.since < settle_)
            continue;
        pending_.erase(waiting);
        OpenFile(path, seen);
    }
}

void TLibraryFolder::OpenFile(const std::string& path, const Seen& seen)
{
    const std::optional<ESourceKind> kind = DetectSourceKind(path);
    if ((!kind && !HasBookExtension(path)) || kind == ESourceKind::Folder) {
        // Not a book (a README, a checksum file): passed over quietly, and again until it changes.
        refused_[path] = seen;
        return;
    }
    try {
        const CommandLine noOptions({}, {});
        const bool replacing = served_.contains(path);
        library_.Place({ library_.Open(path, noOptions) });
        served_[path] = seen;
        refused_.erase(path);
        err_ << (replacing ? "Replaced " : "Added ") << path << (replacing ? " in the library" : " to the library")
             << std::endl;
    } catch (const std::exception& error) {
        refused_[path] = seen;
        // What is at the path now is not the book that was: it is served no more.
        if (served_.erase(path) != 0)
            library_.Remove(path);
        err_ << "Refused " << path << ": " << OneLine(error.what()) << std::endl;
    }
}
