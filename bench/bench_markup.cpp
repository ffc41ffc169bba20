// The markup readers over a folder of real pages held in memory: the page text that feeds the
// search index, the link lists that give a book without contents its contents, and the link
// targets the link check follows. BENCH_PAGES names the folder (every .htm, .html and .xhtml
// below it); without it the Rust book of the installed toolchain is read when present.

#include "html/LinkListTree.h"
#include "html/PageLinkTargets.h"
#include "html/PageText.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Page {
    std::string name;
    std::string bytes;
};

const std::vector<Page>& Pages()
{
    static const std::vector<Page> pages = [] {
        std::vector<Page> read;
        const char* given = std::getenv("BENCH_PAGES");
        const fs::path folder = given ? fs::path(given)
                                      : fs::path(std::getenv("HOME") ? std::getenv("HOME") : "/")
                / ".rustup/toolchains/stable-x86_64-unknown-linux-gnu/share/doc/rust/html/book";
        std::error_code error;
        for (auto it = fs::recursive_directory_iterator(folder, error); !error && it != fs::end(it);
             it.increment(error)) {
            const std::string extension = it->path().extension().string();
            if (!it->is_regular_file() || (extension != ".htm" && extension != ".html" && extension != ".xhtml"))
                continue;
            std::ifstream file(it->path(), std::ios::binary);
            std::ostringstream bytes;
            bytes << file.rdbuf();
            read.push_back({ it->path().filename().string(), bytes.str() });
        }
        return read;
    }();
    return pages;
}

std::size_t TotalBytes()
{
    std::size_t total = 0;
    for (const Page& page : Pages())
        total += page.bytes.size();
    return total;
}

template <typename Read> void RunOverPages(benchmark::State& state, Read read)
{
    if (Pages().empty()) {
        state.SkipWithError("no pages: set BENCH_PAGES to a folder of HTML pages");
        return;
    }
    for (auto _ : state) {
        for (const Page& page : Pages())
            read(page);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * TotalBytes()));
}

void BM_PageText(benchmark::State& state)
{
    RunOverPages(state, [](const Page& page) { benchmark::DoNotOptimize(ExtractPageText(page.name, page.bytes)); });
}

void BM_LinkListTree(benchmark::State& state)
{
    RunOverPages(state, [](const Page& page) { benchmark::DoNotOptimize(ReadLinkListTree(page.bytes)); });
}

void BM_LinkTargets(benchmark::State& state)
{
    RunOverPages(state, [](const Page& page) { benchmark::DoNotOptimize(LinkTargetsOfMarkup(page.bytes)); });
}

} // namespace

BENCHMARK(BM_PageText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LinkListTree)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LinkTargets)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
