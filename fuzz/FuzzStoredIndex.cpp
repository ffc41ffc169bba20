// A book whose stored search index is arbitrary bytes: the index is the book author's data, opened
// in place and queried the three ways readers query it (words, a word being typed, a phrase) and
// its titles listed. Damage must end as Exception ("the index is damaged"), never a crash, a hang
// past the query bound or a value larger than the connection takes.

#include "book/BookReader.h"
#include "book/BookWriter.h"
#include "common/Exception.h"
#include "common/Streams.h"
#include "search/SearchIndex.h"
#include "search/StoredIndex.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TBookWriter writer;
    writer.AddPage("/index.htm", "<html><head><title>Keeper</title></head><body>The lamp keeper</body></html>");
    writer.AddPage("/b.htm", "<html><head><title>Lamp</title></head><body>A lamp and a keeper's lamp</body></html>");
    for (const auto& [name, chunk] : StoredIndexEntries(std::string_view(reinterpret_cast<const char*>(data), size)))
        writer.AddPage(name, chunk);
    TMemoryStream book;
    writer.SaveToStream(book);
    book.SetPosition(0);
    TBookReader reader;
    if (!reader.LoadFromStream(book))
        return 0;
    try {
        const std::unique_ptr<TSearchIndex> index = TSearchIndex::OpenStored(reader);
        if (!index)
            return 0;
        index->Search("lamp keeper", 0, 10);
        index->Search("kee", 0, 10, LastWord::Prefix);
        index->Search("\"the lamp keeper\"", 0, 10);
        index->PageTitles();
    } catch (const Exception&) {
        // A damaged index is said so, and the book is searched without it.
    }
    return 0;
}
