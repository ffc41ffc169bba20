#pragma once

#include <chrono>
#include <filesystem>
#include <unordered_map>

// Changes below a folder as the kernel tells them (inotify): every folder below it is watched,
// links to folders followed as the folder walk follows them, and folders that appear are added
// by WatchFolders. Waiting costs nothing while nothing changes.
class TFolderNotifications {
public:
    // Never raises: without inotify, or when a watch cannot be had (the system's limit of
    // watches reached), Watching() is false and the caller polls instead.
    explicit TFolderNotifications(std::filesystem::path folder);
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

    const std::filesystem::path folder_;
    int fd_ = -1;
    int rootWatch_ = -1;
    bool complete_ = false;
    std::unordered_map<int, std::filesystem::path> watches_;
};
