#include "BookIndexing.h"

#include "AnsiText.h"
#include "BookReader.h"

#include <string>
#include <unordered_set>

std::vector<bool> ServedEntries(const TBookReader& reader)
{
    std::vector<bool> served(static_cast<std::size_t>(reader.Pages().Count()), false);
    std::unordered_set<std::string> names;
    for (int i = 0; i < reader.Pages().Count(); ++i) {
        std::string folded = reader.Pages()[i];
        for (char& c : folded)
            c = static_cast<char>(AnsiLowerChar(static_cast<unsigned char>(c)));
        served[static_cast<std::size_t>(i)] = names.insert(std::move(folded)).second;
    }
    return served;
}

PageIndexing IndexBookPage(const TBookReader& reader, int entry, bool served, TSearchIndex& index)
{
    const std::string& name = reader.Pages()[entry];
    if (!served || PageKindOf(name) == PageKind::Other)
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
