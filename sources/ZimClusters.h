#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

// libzim inflates a compressed cluster from its start up to the end of the blob it is asked for,
// so one small entry stored after a blob of gigabytes costs gigabytes, whatever the entry's own
// size says. This reads, with the file's own bytes and no more inflating than the cluster's
// offset list takes, how far into its cluster an entry's blob ends, so that a read can be refused
// before libzim inflates past what a page may hold.
class TZimInflation {
public:
    // Opens the archive read-only; a file that cannot be opened gives an object that tells nothing.
    explicit TZimInflation(const std::string& fileName);
    ~TZimInflation();
    TZimInflation(const TZimInflation&) = delete;
    TZimInflation& operator=(const TZimInflation&) = delete;

    // The bytes libzim inflates to read the blob of the entry at `entryIndex` (in path order, as
    // zim::Item::getIndex gives it): the end of that blob in its cluster's inflated bytes. 0 for an
    // uncompressed cluster, which is read in place, and for whatever this cannot tell (libzim judges
    // those itself). Raises Exception when the cluster's offset list alone is larger than `bound`.
    // Safe from several threads at once.
    uint64_t InflatedThrough(uint64_t entryIndex, uint64_t bound) const;
    // Raises Exception when the cluster's offset list (its first offset says how long it is) is
    // longer than kMostOffsetListBytes, or for an uncompressed cluster longer than the file holds
    // past the cluster: libzim reserves room for the whole list before it reads a byte of it. Each
    // cluster is looked at once; safe from several threads at once.
    void CheckCluster(uint64_t cluster) const;
    // The position in path order of the entry stored under `ns` and `path`; nothing when the
    // archive holds none (or its path list cannot be read).
    std::optional<uint64_t> EntryAt(char ns, std::string_view path) const;
    // The cluster an item entry's data is stored in; nothing for a redirect or an unreadable entry.
    std::optional<uint64_t> ClusterOf(uint64_t entryIndex) const;

    // A list of a million offsets: writers put a few thousand blobs in a cluster at most.
    static constexpr uint64_t kMostOffsetListBytes = 8 << 20;

private:
    // Where an item entry's data lies: its cluster and its blob in that cluster.
    struct TBlobPlace {
        uint64_t cluster = 0;
        uint64_t blob = 0;
    };
    // Read from the entry's header; nothing for a redirect or an unreadable entry.
    std::optional<TBlobPlace> PlaceOf(uint64_t entryIndex) const;
    // The bytes [offset, offset + length) of the file; fewer at its end.
    std::string Read(uint64_t offset, uint64_t length) const;
    // The first `count` bytes of the cluster's inflated data, compressed by `compression` from
    // `at`; fewer when the stream ends first.
    std::string Inflate(uint64_t at, int compression, uint64_t count) const;

    // The path of the entry at `entryIndex` with its namespace first ("Xlisting/..."); empty when it
    // cannot be read.
    std::string PathAt(uint64_t entryIndex) const;

    int fd_ = -1;
    uint64_t size_ = 0;
    uint64_t entries_ = 0;
    uint64_t clusters_ = 0;
    uint64_t pathList_ = 0;
    uint64_t clusterList_ = 0;
    mutable std::mutex checkedLock_;
    mutable std::unordered_set<uint64_t> checked_; // clusters whose offset list was looked at
};
