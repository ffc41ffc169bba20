#pragma once

#include "common/CommandLine.h"
#include "sources/BookSource.h"
#include "sources/FolderBook.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <unordered_map>

// The name under which the preview tells open pages the folder's generation; it starts with "/."
// so no page of a book (hidden files are left out) can hold it.
inline constexpr std::string_view kPreviewGenerationPage = "/.ebook-preview/generation";

// A folder served as the book built from it would be: the same page names and settings
// (PlanFolderBook), the same lookup (letter case folded in every script, the first page in
// directory order winning), each file read afresh on every request. With `reload` set, HTML pages
// get a small script that asks for kPreviewGenerationPage and reloads the page when the
// generation moved on. Nothing is written into the folder.
class TFolderPages : public TBookSource {
public:
    // Plans the book once; raises what PlanFolderBook raises.
    TFolderPages(std::filesystem::path folder, CommandLine line, bool reload, std::ostream& out, std::ostream& notes);

    TPageLookup Lookup(std::string_view name) override;
    std::vector<std::string> PageNames() const override;
    std::string Title() const override;
    std::string HomePageName() const override;
    // The contents the book built from the folder would store.
    TContents Contents() const override;
    uint64_t Generation() const;

    // Looks at the folder once: when what a build would pack (names, sizes, modification times,
    // book.json; hidden files and books built into the folder, *.ebook, do not count) differs from the last look and
    // did not change since the look before, so that a burst of changes makes one rebuild, plans the book again and
    // moves the generation on. Returns whether it did. A plan that fails (book.json half-written) keeps the pages
    // served so far.
    bool CheckForChanges(std::ostream& notes);

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
    mutable std::mutex mutex_;
    std::shared_ptr<const Plan> plan_;
    std::atomic<uint64_t> generation_ { 1 };
    std::string servedSignature_;
    std::string lastSignature_;
};

// Calls CheckForChanges every quarter of a second on a thread of its own until destroyed.
class TFolderWatch {
public:
    TFolderWatch(TFolderPages& pages, std::ostream& notes);
    ~TFolderWatch();
    TFolderWatch(const TFolderWatch&) = delete;
    TFolderWatch& operator=(const TFolderWatch&) = delete;

private:
    TFolderPages& pages_;
    std::ostream& notes_;
    std::mutex mutex_;
    std::condition_variable stop_;
    bool stopping_ = false;
    // Last: started once everything it uses exists, joined first.
    std::jthread thread_;
};
