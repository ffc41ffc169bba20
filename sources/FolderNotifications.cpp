#include "sources/FolderNotifications.h"

#include "common/DisplayText.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
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

uint64_t InotifyWatchLimit()
{
    std::ifstream limit("/proc/sys/fs/inotify/max_user_watches");
    uint64_t watches = 0;
    return limit >> watches ? watches : 0;
}

TFolderNotifications::TFolderNotifications(fs::path folder, std::ostream& notes, TAddWatch addWatch)
    : folder_(std::move(folder))
    , notes_(notes)
    , addWatch_(addWatch != nullptr ? addWatch : &::inotify_add_watch)
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
    if (exhausted_) {
        GiveUp();
        return;
    }
    std::error_code error;
    if (rootWatch_ >= 0 && !fs::is_directory(folder_, error))
        rootWatch_ = -1;
}

void TFolderNotifications::Watch(const fs::path& folder, int depth)
{
    if (depth > kDeepestFolder)
        return;
    if (exhausted_)
        return;
    const int watch = addWatch_(fd_, folder.c_str(), kChanges | IN_ONLYDIR);
    if (watch < 0) {
        // A folder removed meanwhile is no loss; the limit of watches is.
        if (errno == ENOSPC)
            exhausted_ = true;
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

void TFolderNotifications::GiveUp()
{
    // Closing the descriptor gives every watch back at once.
    ::close(fd_);
    fd_ = -1;
    complete_ = false;
    rootWatch_ = -1;
    const std::size_t taken = watches_.size();
    watches_.clear();
    const uint64_t limit = InotifyWatchLimit();
    notes_ << "Cannot watch every folder below " << EscapeForTerminal(folder_.string())
           << ": the user's inotify watches ran out after " << taken << " (fs.inotify.max_user_watches is "
           << (limit > 0 ? std::to_string(limit) : std::string("unknown"))
           << "). Released them; looking for changes at most every 2 seconds instead. To be told of changes, "
              "raise the limit: sysctl fs.inotify.max_user_watches="
           << std::max<uint64_t>(limit * 2, 524288) << std::endl;
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
