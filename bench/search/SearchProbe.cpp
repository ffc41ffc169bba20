// Builds a book's search index as the viewer does and answers the queries of a file, printing what
// bench/search.sh compares with `ebook-pack extract` and `grep -ril`:
//   index_seconds S (median of three builds), html_bytes B, memory_bytes M, peak_memory_bytes P,
//   then a line per query: query_seconds S total N QUERY (median of many runs of the first page).

#include "book/OpenedBook.h"
#include "search/BookPageFeeder.h"
#include "search/SearchIndex.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <vector>

namespace {

constexpr int kBuilds = 3;
constexpr int kQueryRuns = 31;
constexpr int64_t kResultsShown = 20; // what the viewer's panel asks for first

double Seconds(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::unique_ptr<TSearchIndex> Build(const TBookReader& reader)
{
    auto index = std::make_unique<TSearchIndex>();
    IndexWholeBook(reader, *index);
    return index;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: search_probe BOOK QUERY_FILE\n";
        return 2;
    }
    try {
        const auto book = OpenBook(argv[1]);
        int64_t htmlBytes = 0;
        for (int i = 0; i < book->reader.Pages().Count(); ++i) {
            if (PageKindOf(book->reader.Pages()[i]) != PageKind::Other)
                htmlBytes += book->reader.InflatedSizeAt(i);
        }
        std::vector<double> builds;
        std::unique_ptr<TSearchIndex> index;
        for (int run = 0; run < kBuilds; ++run) {
            index.reset();
            sqlite3_memory_highwater(1); // resets the peak
            const auto start = std::chrono::steady_clock::now();
            index = Build(book->reader);
            builds.push_back(Seconds(std::chrono::steady_clock::now() - start));
        }
        // The peak is SQLite's, while its words waited in memory, plus the packed text kept beside.
        const int64_t kept = index->MemoryUsed();
        std::printf("index_seconds %.4f\nhtml_bytes %lld\nmemory_bytes %lld\npeak_memory_bytes %lld\n", Median(builds),
            static_cast<long long>(htmlBytes), static_cast<long long>(kept),
            static_cast<long long>(sqlite3_memory_highwater(0) + kept - sqlite3_memory_used()));
        std::ifstream queries(argv[2]);
        for (std::string typed; std::getline(queries, typed);) {
            if (typed.empty())
                continue;
            std::vector<double> runs;
            int64_t total = 0;
            for (int run = 0; run < kQueryRuns; ++run) {
                const auto start = std::chrono::steady_clock::now();
                const SearchResults results = index->Search(typed, 0, kResultsShown, LastWord::Prefix);
                runs.push_back(Seconds(std::chrono::steady_clock::now() - start));
                total = results.total;
            }
            std::printf(
                "query_seconds %.6f total %lld %s\n", Median(runs), static_cast<long long>(total), typed.c_str());
        }
    } catch (const std::exception& error) {
        std::cerr << "search_probe: " << error.what() << "\n";
        return 2;
    }
    return 0;
}
