#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <ostream>
#include <set>
#include <string>
#include <thread>
#include <vector>

class TLibrary;

// The books of a library folder (`serve --library DIR`): every book file, EPUB, CHM and ZIM directly
// in it, kept on the library's shelf as files are added, replaced or removed while serving. The
// kernel tells of changes (inotify); a look at the whole folder every few seconds catches what it
// cannot tell. A file is opened once it is complete: closed after writing or moved in, and the
// same size and time on two looks `settle` apart. A file that does not open is named on `err`
// with the reason and not tried again until it changes. Folders, hidden files and files of other
// kinds in it are passed over.
class TLibraryFolder {
public:
    // Opens what the folder holds now (waiting for none to settle), then watches it on a thread of
    // its own. Raises Exception when the folder cannot be read.
    TLibraryFolder(TLibrary& library, std::string folder, std::ostream& err,
        std::chrono::milliseconds settle = std::chrono::milliseconds(500));
    // Joins the thread; the books stay on the shelf.
    ~TLibraryFolder();
    TLibraryFolder(const TLibraryFolder&) = delete;
    TLibraryFolder& operator=(const TLibraryFolder&) = delete;

    // The paths of the files the folder holds now that are neither hidden nor folders, sorted.
    static std::vector<std::string> Candidates(const std::string& folder);

private:
    // What a file was when last looked at: a change of any of these is a new file to open.
    struct Seen {
        long long device = 0, inode = 0, size = 0, modified = 0;
        bool operator==(const Seen&) const = default;
    };
    struct Pending {
        Seen seen;
        std::chrono::steady_clock::time_point since;
    };

    void Run();
    // One look at the whole folder; `startup` opens what it finds without waiting for it to settle.
    void Look(bool startup);
    // Opens the file, or names why it cannot be opened.
    void OpenFile(const std::string& path, const Seen& seen);

    TLibrary& library_;
    const std::string folder_;
    std::ostream& err_;
    const std::chrono::milliseconds settle_;
    // Looked at by the thread only (and by the constructor before it starts).
    std::map<std::string, Seen> served_; // what each book on the shelf was opened from
    std::map<std::string, Seen> refused_; // files that did not open, until they change
    std::map<std::string, Pending> pending_; // changed files waiting to settle
    std::set<std::string> writing_; // written to and not closed yet
    int inotify_ = -1;
    int wakeup_[2] = { -1, -1 }; // written to by the destructor to end the thread's wait
    // Last: started once everything above exists, joined first.
    std::thread thread_;
};
