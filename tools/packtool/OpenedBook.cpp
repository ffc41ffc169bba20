#include "OpenedBook.h"

#include "Exception.h"

std::unique_ptr<OpenedBook> OpenBook(const std::string& fileName)
{
    auto book = std::make_unique<OpenedBook>();
    book->fileName = fileName;
    book->file = std::make_unique<TFileStream>(fileName, TFileStream::Mode::OpenRead);
    if (!book->reader.LoadFromStream(*book->file))
        throw Exception("Invalid eBook: " + fileName);
    return book;
}
