// Page lookup in a 100,000-page book: the first page's name against the last one's, and the load
// that builds the folded-name index. The goal is that the last page is found as fast as the first.

#include "book/BookReader.h"
#include "book/BookWriter.h"
#include "common/Streams.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

constexpr int kPageCount = 100000;

std::string NameOf(int index)
{
    return "/chapters/section-" + std::to_string(index) + "/page.htm";
}

// The book in memory, written once; empty records keep it small.
const std::string& BookBytes()
{
    static const std::string bytes = [] {
        TBookWriter writer;
        for (int i = 0; i < kPageCount; ++i)
            writer.AddEmptyPage(NameOf(i));
        TMemoryStream stream;
        writer.SaveToStream(stream);
        return stream.ToString();
    }();
    return bytes;
}

void BM_Load(benchmark::State& state)
{
    for (auto _ : state) {
        TMemoryStream stream;
        stream.WriteString(BookBytes());
        TBookReader reader;
        benchmark::DoNotOptimize(reader.LoadFromStream(stream));
    }
}

void BM_Lookup(benchmark::State& state)
{
    TMemoryStream stream;
    stream.WriteString(BookBytes());
    TBookReader reader;
    if (!reader.LoadFromStream(stream)) {
        state.SkipWithError("book does not load");
        return;
    }
    const int wanted = static_cast<int>(state.range(0));
    // Upper case, as a link written by hand might have it.
    std::string name = NameOf(wanted);
    for (char& c : name)
        c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
    for (auto _ : state)
        benchmark::DoNotOptimize(reader.IndexOfPage(name));
    if (reader.IndexOfPage(name) != wanted)
        state.SkipWithError("lookup found the wrong page");
}

BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lookup)->Arg(0)->Arg(kPageCount - 1);

} // namespace

BENCHMARK_MAIN();
