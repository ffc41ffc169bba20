#include "tools/packtool/PagePacking.h"

#include "book/BookWriter.h"
#include "book/PageCompressor.h"
#include "common/OrderedWork.h"
#include "tools/packtool/BuildIndex.h"
#include "tools/packtool/Progress.h"

void PackPages(const std::vector<SourcePage>& pages, TBookStreamWriter& writer, const PackingOptions& options)
{
    int64_t totalBytes = 0;
    for (const SourcePage& page : pages)
        totalBytes += static_cast<int64_t>(page.size);
    static std::ostream nowhere(nullptr);
    TProgress progress(options.progress != nullptr ? *options.progress : nowhere, options.progress != nullptr,
        "Packing", static_cast<int64_t>(pages.size()), totalBytes);
    // A few pages per thread keep every thread busy when one large page holds up the writer.
    const std::size_t window = std::size_t { options.threads } * 4;
    RunOrdered(
        pages.size(), options.threads, window,
        [&](std::size_t i) {
            const SourcePage& page = pages[i];
            const std::string content = page.load();
            if (options.index != nullptr)
                options.index->Prepare(i, content);
            if (content.empty())
                return std::string();
            return CompressPageBody(content, CompressionLevelFor(page.pageName, options.level));
        },
        [&](std::size_t i, std::string&& body) {
            writer.AddRecord(pages[i].pageName, body);
            if (options.index != nullptr)
                options.index->Add(i);
            progress.Step();
        });
}
