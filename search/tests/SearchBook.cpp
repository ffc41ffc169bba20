#include "search/tests/SearchBook.h"

#include "book/BookWriter.h"

#include <stdexcept>

std::unique_ptr<SearchBook> MakeSearchBook(const BookPages& pages)
{
    TBookWriter writer;
    writer.settings.title = "Search test";
    for (const auto& [name, bytes] : pages)
        writer.AddPage(name, bytes);
    auto book = std::make_unique<SearchBook>();
    writer.SaveToStream(book->file);
    if (!book->reader.LoadFromStream(book->file))
        throw std::runtime_error("the test book does not load");
    return book;
}

void DamagePage(SearchBook& book, const std::string& name)
{
    const int index = book.reader.IndexOfPage(name);
    const int32_t offset = book.reader.PageOffset(index);
    const int32_t storedLength = book.reader.StoredLengthAt(index);
    // The record's last byte is the last of the zlib stream's Adler-32 checksum.
    book.file.Memory()[offset + 4 + storedLength - 1] ^= 0x5A;
}

std::string HtmlPage(const std::string& title, const std::string& body)
{
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + title + "</title></head><body>" + body
        + "</body></html>";
}
