#include "sources/FolderNotifications.h"

#include <cerrno>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kChanges = IN_CREATE | IN_DELETE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_FROM | IN_MOVED_TO
    | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF;

// Deeper than any real site; a chain of links deeper still is not followed.
constexpr int kDeepestFolder = 64;

} // namespace

TFolderNotifications::TFolderNotifications(fs::path folder)
    : folder_(std::move(folder))
    , fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
{
    WatchFolders();
}

TFolderNotifications::~TFolderNotifications()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void TFolderNotifications::WatchFolders()
{
    if (fd_ < 0)
        return;
    complete_ = true;
    Watch(folder_, 0);
    std::error_code error;
    if (rootWatch_ >= 0 && !fs::is_directory(folder_, error))
        rootWatch_ = -1;
}

void TFolderNotifications::Watch(const fs::path& folder, int depth)
{
    if (depth > kDeepestFolder)
        return;
    const int watch = ::inotify_add_watch(fd_, folder.c_str(), kChanges | IN_ONLYDIR);
    if (watch < 0) {
        // A folder removed meanwhile is no loss; the limit of watches is.
        if (errno == ENOSPC || errno == ENOMEM)
            complete_ = false;
        return;
    }
    if (depth == 0)
        rootWatch_ = watch;
    // A watch already held (the same folder reached again, by a link or a second look) is not
    // walked again, which also ends loops of links.
    if (!watches_.emplace(watch, folder).second && depth > 0)
        return;
    std::error_code error;
    for (fs::directory_iterator it(folder, error); !error && it != fs::directory_iterator(); it.increment(error)) {
        std::error_code ignored;
        if (it->is_directory(ignored))
            Watch(it->path(), depth + 1);
    }
}

bool TFolderNotifications::Wait(std::chrono::milliseconds timeout)
{
    if (fd_ < 0)
        return false;
    pollfd ready { fd_, POLLIN, 0 };
    if (::poll(&ready, 1, static_cast<int>(timeout.count())) <= 0)
        return false;
    alignas(inotify_event) char buffer[16384];
    ssize_t got;
    while ((got = ::read(fd_, buffer, sizeof buffer)) > 0) {
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if (event->mask & IN_IGNORED) {
                watches_.erase(event->wd);
                if (event->wd == rootWatch_)
                    rootWatch_ = -1;
            }
            if (event->mask & IN_Q_OVERFLOW)
                complete_ = false;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    return true;
}
