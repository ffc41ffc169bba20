#include "book/OpenedBook.h"

#include "common/Exception.h"

std::unique_ptr<TFileStream> OpenBookStream(const std::string& fileName)
{
    const std::string cannotOpen = "Cannot open file " + fileName;
    try {
        return std::make_unique<TFileStream>(fileName, TFileStream::Mode::OpenRead);
    } catch (const EFOpenError& error) {
        // The message's own line stays exactly as scripts expect it; the system's reason follows.
        std::string reason = error.Message();
        if (reason.starts_with(cannotOpen + ": "))
            reason.erase(0, cannotOpen.size() + 2);
        throw Exception(cannotOpen + "\n  " + reason);
    }
}

std::unique_ptr<OpenedBook> OpenBook(const std::string& fileName)
{
    auto book = std::make_unique<OpenedBook>();
    book->fileName = fileName;
    book->file = OpenBookStream(fileName);
    if (!book->reader.LoadFromStream(*book->file))
        throw Exception("Invalid eBook: " + fileName);
    return book;
}
