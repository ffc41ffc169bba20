#pragma once

#include "common/CommandLine.h"
#include "sources/BookSource.h"
#include "sources/FolderBook.h"
#include "sources/FolderNotifications.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <ostream>
#include <set>
#include <string>
#include <thread>
#include <unordered_map>

// The name under which the preview tells open pages the folder's generation; it starts with "/."
// so no page of a book (hidden files are left out) can hold it.
inline constexpr std::string_view kPreviewGenerationPage = "/.ebook-preview/generation";
// The reload script the hook loads.
inline constexpr std::string_view kPreviewReloadScript = "/.ebook-preview/reload.js";

// The hook an HTML page of a reloading preview starts with: an element that loads the reload
// script, the generation the page was served in as its query.
std::string ReloadHook(uint64_t generation);

// A folder served as the book built from it would be: the same page names and settings
// (PlanFolderBook), the same lookup (letter case folded in every script, the first page in
// directory order winning), each file read afresh on every request. With `reload` set, HTML pages
// and the not-found answer carry the reload hook, whose script asks for kPreviewGenerationPage and
// reloads the page when the generation moved on. Nothing is written into the folder.
class TFolderPages : public TBookSource {
public:
    // Plans the book once; raises what PlanFolderBook raises. Read in place, links that lead outside
    // the folder are refused unless the line says --follow-outside; opened as a build reads it,
    // they are followed unless it says --no-follow-outside.
    TFolderPages(std::filesystem::path folder, CommandLine line, bool reload, std::ostream& out, std::ostream& notes,
        FolderOpening opening = { EFolderUse::Read, nullptr });

    TPageLookup Lookup(std::string_view name) override;
    std::vector<std::string> PageNames() const override;
    std::optional<int> PageIndexOf(std::string_view name) const override;
    std::optional<std::string> StoredPageName(std::string_view name) override;
    std::string Title() const override;
    std::string HomePageName() const override;
    std::string NotFoundMarkup() override;
    std::string KindName() const override { return "folder"; }
    // The contents the book built from the folder would store.
    TContents Contents() const override;
    uint64_t Generation() const;
    const std::filesystem::path& Folder() const { return folder_; }

    // Whether files reached through links that lead outside the folder are served (as the rules
    // above say by default). When not, a file whose real path, as it is opened, lies outside the
    // folder's real path when it was opened is not found, whatever the plan said.
    void ServeOutsideFiles(bool serve) { serveOutside_ = serve; }

    // Looks at the folder once: when what a build would pack (names, sizes, modification times,
    // book.json; hidden files and books built into the folder, *.ebook, do not count) differs from the last look and
    // did not change since the look before, so that a burst of changes makes one rebuild, plans the book again and
    // moves the generation on. Returns whether it did. A plan that fails (book.json half-written) keeps the pages
    // served so far.
    bool CheckForChanges(std::ostream& notes);
    // Whether the last look saw the folder differ from what is served, a change not yet taken
    // because it had not settled. Asked by whoever calls CheckForChanges, on the same thread.
    bool ChangeUnsettled() const { return lastSignature_ != servedSignature_; }

private:
    struct Plan {
        FolderBook book;
        std::unordered_map<std::string, std::size_t> firstByFoldedName;
    };
    std::shared_ptr<const Plan> MakePlan(std::ostream& out, std::ostream& notes) const;
    std::string Signature() const;

    const std::filesystem::path folder_;
    const CommandLine line_;
    const bool reload_;
    const FolderOpening opening_;
    // The folder's real path when it was opened: a folder swapped for a link later does not move it.
    std::filesystem::path realFolder_;
    std::atomic<bool> serveOutside_ { true };
    // Links refused so far, each named once (plans are made one at a time).
    mutable std::set<std::string> refusalsTold_;
    mutable std::mutex mutex_;
    std::shared_ptr<const Plan> plan_;
    std::atomic<uint64_t> generation_ { 1 };
    std::string servedSignature_;
    std::string lastSignature_;
};

// Calls CheckForChanges on a thread of its own until destroyed: after the kernel tells of a change
// below the folder (inotify), a quarter of a second apart until the change has settled; where
// notifications cannot be had (no inotify, the user's watches used up: said once on `notes`),
// every 2 seconds, or twenty times as long as the last look took, so that looking at a large tree
// costs at most a twentieth of a processor while nothing changes; a change seen is confirmed by a
// look 2 seconds (or five looks' time) later.
class TFolderWatch {
public:
    // `addWatch` stands in for inotify_add_watch (tests make it fail); null for the system's.
    TFolderWatch(TFolderPages& pages, std::ostream& notes, TAddWatch addWatch = nullptr);
    ~TFolderWatch();
    TFolderWatch(const TFolderWatch&) = delete;
    TFolderWatch& operator=(const TFolderWatch&) = delete;

private:
    void Run();

    TFolderPages& pages_;
    std::ostream& notes_;
    const TAddWatch addWatch_;
    std::mutex mutex_;
    std::condition_variable stop_;
    bool stopping_ = false;
    // Last: started once everything it uses exists, joined first.
    std::jthread thread_;
};
