#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <unordered_map>

// How a watch is added: inotify_add_watch, or in tests a stand-in that fails as the system can.
using TAddWatch = int (*)(int fd, const char* path, uint32_t mask);

// Changes below a folder as the kernel tells them (inotify): every folder below it is watched,
// links to folders followed as the folder walk follows them, and folders that appear are added
// by WatchFolders. Waiting costs nothing while nothing changes.
class TFolderNotifications {
public:
    // Never raises: without inotify, or when a watch cannot be had, Watching() is false and the
    // caller polls instead. When the user's watches run out (fs.inotify.max_user_watches), that is
    // said once on `notes` with the limit and how to raise it, and every watch taken is given
    // back, so that other programs (and editors) keep theirs.
    TFolderNotifications(std::filesystem::path folder, std::ostream& notes, TAddWatch addWatch = nullptr);
    ~TFolderNotifications();
    TFolderNotifications(const TFolderNotifications&) = delete;
    TFolderNotifications& operator=(const TFolderNotifications&) = delete;

    // True while every folder is watched, the top one included (it may be removed and made anew).
    bool Watching() const { return complete_ && rootWatch_ >= 0; }

    // Waits up to `timeout` for changes; true when some came (they are all taken).
    bool Wait(std::chrono::milliseconds timeout);

    // Watches the folders that are not watched yet (after a change made some).
    void WatchFolders();

private:
    void Watch(const std::filesystem::path& folder, int depth);
    void GiveUp();

    const std::filesystem::path folder_;
    std::ostream& notes_;
    const TAddWatch addWatch_;
    int fd_ = -1;
    int rootWatch_ = -1;
    bool complete_ = false;
    bool exhausted_ = false;
    std::unordered_map<int, std::filesystem::path> watches_;
};

// The user's limit of inotify watches as the system states it; 0 when it cannot be read.
uint64_t InotifyWatchLimit();
