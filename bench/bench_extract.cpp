// Page extraction from a book file on disk against zlib's bare one-shot uncompress of the very
// same stored data, for small, medium and large HTML-like pages. The goal is that ExtractPage
// (lookup, seek, read, inflate into a fresh stream) stays within 1.2x of uncompress alone.

#include "book/BookReader.h"
#include "book/BookWriter.h"
#include "common/Streams.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int64_t kPageSizes[] = { 4 * 1024, 64 * 1024, 1024 * 1024 };
constexpr int kRepetitions = 7;

// Markup with a realistic mix of tags, attributes and prose from a small vocabulary; it compresses
// about as well as real pages do (roughly 4-6:1).
std::string HtmlLikePage(int64_t size, unsigned seed)
{
    static const char* const kWords[] = { "the", "viewer", "book", "page", "server", "request", "loopback", "window",
        "toolbar", "history", "print", "about", "settings", "container", "directory", "record", "inflate", "stream",
        "chapter", "section", "image", "link", "reader", "author", "title", "description", "forward", "back", "home",
        "address", "port", "random", "frame", "style", "table", "list", "paragraph", "example", "contents" };
    std::mt19937 random(seed);
    std::string html = "<!DOCTYPE html><html><head><title>Benchmark page</title>"
                       "<link rel=\"stylesheet\" href=\"/style.css\"></head><body>\n";
    int paragraph = 0;
    while (static_cast<int64_t>(html.size()) < size) {
        html += "<h2 id=\"s" + std::to_string(paragraph) + "\">Section " + std::to_string(paragraph) + "</h2>\n<p>";
        for (unsigned n = 40 + random() % 80; n > 0; --n) {
            html += kWords[random() % std::size(kWords)];
            if (random() % 17 == 0)
                html += " <a href=\"/page" + std::to_string(random() % 500) + ".htm\">link</a>";
            html += (random() % 11 == 0) ? ". " : " ";
        }
        html += "</p>\n";
        ++paragraph;
    }
    html.resize(static_cast<std::size_t>(size));
    return html;
}

std::string PageName(int64_t size)
{
    return "/page-" + std::to_string(size) + ".htm";
}

// One book file with a page of every size, written once for the whole run.
struct BenchBook {
    std::filesystem::path path;
    std::map<int64_t, std::string> content;

    BenchBook()
    {
        path = std::filesystem::temp_directory_path() / ("bench-extract-" + std::to_string(::getpid()) + ".ebook");
        TBookWriter writer;
        // Some unrelated pages ahead in the directory, as in a real book.
        for (int i = 0; i < 50; ++i)
            writer.AddPage("/other" + std::to_string(i) + ".htm", HtmlLikePage(2000, 100u + static_cast<unsigned>(i)));
        for (int64_t size : kPageSizes) {
            content[size] = HtmlLikePage(size, static_cast<unsigned>(size));
            writer.AddPage(PageName(size), content[size]);
        }
        TFileStream file(path.string(), TFileStream::Mode::Create);
        writer.SaveToStream(file);
    }
    ~BenchBook() { std::filesystem::remove(path); }
};

BenchBook& Book()
{
    static BenchBook book;
    return book;
}

void BM_ExtractPage(benchmark::State& state)
{
    const int64_t size = state.range(0);
    TFileStream file(Book().path.string(), TFileStream::Mode::OpenRead);
    TBookReader reader;
    if (!reader.LoadFromStream(file)) {
        state.SkipWithError("book does not load");
        return;
    }
    const std::string name = PageName(size);
    for (auto _ : state) {
        TMemoryStream page; // fresh for every request, as the page handler does
        const bool ok = reader.ExtractPage(name, page);
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(page.Memory());
    }
    TMemoryStream check;
    if (!reader.ExtractPage(name, check) || check.View() != Book().content[size])
        state.SkipWithError("extracted page differs");
    state.SetBytesProcessed(state.iterations() * size);
}

void BM_Uncompress(benchmark::State& state)
{
    const int64_t size = state.range(0);
    // The exact zlib stream the book holds for this page, read from the file.
    TFileStream file(Book().path.string(), TFileStream::Mode::OpenRead);
    TBookReader reader;
    reader.LoadFromStream(file);
    const int index = reader.IndexOfPage(PageName(size));
    const int32_t storedLength = reader.StoredLengthAt(index);
    std::vector<unsigned char> data(static_cast<std::size_t>(storedLength - 4));
    file.SetPosition(reader.PageOffset(index) + 8);
    file.ReadBuffer(data.data(), static_cast<int64_t>(data.size()));
    std::vector<unsigned char> output(static_cast<std::size_t>(size));
    for (auto _ : state) {
        uLongf length = static_cast<uLongf>(output.size());
        const int result = uncompress(output.data(), &length, data.data(), static_cast<uLong>(data.size()));
        benchmark::DoNotOptimize(result);
        benchmark::DoNotOptimize(output.data());
    }
    state.SetBytesProcessed(state.iterations() * size);
    state.counters["ratio"] = static_cast<double>(size) / static_cast<double>(data.size());
}

// Prints, after the usual table, how ExtractPage compares with uncompress for each size.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        // The fastest repetition is the one least disturbed by other work on the machine.
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "min" && !run.error_occurred)
                times_[run.run_name.function_name + "/" + run.run_name.args] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf("\nExtractPage time / bare uncompress time, fastest of %d repetitions (goal: at most 1.20)\n",
            kRepetitions);
        for (int64_t size : kPageSizes) {
            std::string suffix = "/";
            suffix += std::to_string(size);
            const auto extract = times_.find("BM_ExtractPage" + suffix);
            const auto bare = times_.find("BM_Uncompress" + suffix);
            if (extract != times_.end() && bare != times_.end())
                std::printf("  %8lld bytes: %.3f\n", static_cast<long long>(size), extract->second / bare->second);
        }
    }

private:
    std::map<std::string, double> times_;
};

} // namespace

int main(int argc, char** argv)
{
    // Each size's pair runs back to back so that both see the same machine load.
    auto fastest = [](const std::vector<double>& times) { return *std::min_element(times.begin(), times.end()); };
    for (int64_t size : kPageSizes) {
        for (auto* function : { BM_Uncompress, BM_ExtractPage }) {
            const char* name = function == BM_Uncompress ? "BM_Uncompress" : "BM_ExtractPage";
            benchmark::RegisterBenchmark(name, function)
                ->Arg(size)
                ->Repetitions(kRepetitions)
                ->ReportAggregatesOnly(true)
                ->ComputeStatistics("min", fastest);
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
