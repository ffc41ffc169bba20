#include "BookIndexing.h"

#include "BookReader.h"

PageIndexing IndexBookPage(const TBookReader& reader, int entry, TSearchIndex& index)
{
    const std::string& name = reader.Pages()[entry];
    if (PageKindOf(name) == PageKind::Other || reader.IndexOfPage(name) != entry)
        return PageIndexing::Skipped;
    std::string bytes;
    if (!reader.ExtractPageAtConcurrently(entry, bytes))
        return PageIndexing::Damaged;
    const auto text = ExtractPageText(name, bytes);
    if (!text)
        return PageIndexing::Skipped;
    index.Add(name, *text);
    return PageIndexing::Indexed;
}
