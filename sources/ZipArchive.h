#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

struct zip;

// A zip archive opened read-only, with what a hostile archive can cost bounded: the number of
// entries, each entry's inflated size and the total, and names that would climb out of the archive
// (an absolute name, a ".." step, a backslash or a NUL) are refused before anything is inflated.
// Names are read without "." and empty steps; two entries with one such name are refused.
// Read is safe on several threads at once: reads take turns.
class TZipArchive {
public:
    struct Entry {
        std::string name; // UTF-8, "/" between folders, with no "." or empty steps
        uint64_t size = 0; // the inflated size the archive declares
        std::string stored; // the name as the archive holds it
    };

    static constexpr std::size_t kMaxEntries = 100000;
    static constexpr uint64_t kMaxEntrySize = 256ULL * 1024 * 1024;
    static constexpr uint64_t kMaxTotalSize = 2ULL * 1024 * 1024 * 1024;

    // Raises Exception naming the file when it is not a zip archive or breaks a bound above.
    explicit TZipArchive(const std::string& fileName);
    ~TZipArchive();
    TZipArchive(const TZipArchive&) = delete;
    TZipArchive& operator=(const TZipArchive&) = delete;

    // Files only (folder entries are left out), in archive order.
    const std::vector<Entry>& Entries() const { return entries_; }
    // The entry's index among Entries(), or -1.
    int Find(const std::string& name) const;
    // The inflated bytes. Raises Exception naming the entry when it is damaged or inflates to more
    // than it declares.
    std::string Read(int index) const;

private:
    std::string fileName_;
    zip* archive_ = nullptr;
    std::vector<Entry> entries_;
    std::vector<uint64_t> indices_; // the archive's own index of each entry
    std::unordered_map<std::string, int> byName_; // the first entry of each name
    mutable std::mutex readLock_;
};

// Whether the file starts like a zip archive.
bool LooksLikeZip(const std::string& fileName);
