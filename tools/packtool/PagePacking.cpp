#include "tools/packtool/PagePacking.h"

#include "book/BookWriter.h"
#include "book/PageCompressor.h"
#include "common/OrderedWork.h"
#include "tools/packtool/BuildIndex.h"
#include "tools/packtool/LinkCheck.h"
#include "tools/packtool/Progress.h"

void PackPages(const std::vector<SourcePage>& pages, TBookStreamWriter& writer, const PackingOptions& options)
{
    int64_t totalBytes = 0;
    for (const SourcePage& page : pages)
        totalBytes += static_cast<int64_t>(page.size);
    static std::ostream nowhere(nullptr);
    TProgress progress(options.progress != nullptr ? *options.progress : nowhere, options.progress != nullptr,
        "Packing", static_cast<int64_t>(pages.size()), totalBytes);
    // Pages run well ahead of the writer, so that a large page being compressed does not hold up
    // the other threads, and within a few MiB per thread, so that a folder of large files does not
    // fill the memory: each page holds its bytes and then its compressed bytes.
    const OrderedWindow window { std::size_t { options.threads } * 32, std::size_t { options.threads } * (16U << 20),
        [&pages](std::size_t i) { return static_cast<std::size_t>(pages[i].size); } };
    RunOrdered(
        pages.size(), options.threads, window,
        [&](std::size_t i) {
            const SourcePage& page = pages[i];
            const std::string content = page.load();
            if (options.index != nullptr)
                options.index->Prepare(i, content);
            if (options.links != nullptr)
                options.links->Read(i, content);
            if (content.empty())
                return std::string();
            return CompressPageBody(content, CompressionLevelFor(page.pageName, options.level));
        },
        [&](std::size_t i, std::string&& body) {
            if (!body.empty() || !pages[i].leftOutWhenEmpty)
                writer.AddRecord(pages[i].pageName, body);
            if (options.index != nullptr)
                options.index->Add(i);
            progress.Step();
        });
}
