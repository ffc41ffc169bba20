#include "tools/packtool/BookArgument.h"

#include "common/Exception.h"
#include "sources/SourceKind.h"

std::unique_ptr<OpenedBook> OpenBookArgument(const std::string& fileName)
{
    auto book = OpenBookStream(fileName);
    auto opened = std::make_unique<OpenedBook>();
    opened->fileName = fileName;
    opened->file = std::move(book);
    if (!opened->reader.LoadFromStream(*opened->file)) {
        RaiseNotABookHint(fileName);
        throw Exception("Invalid eBook: " + fileName);
    }
    return opened;
}

void RaiseNotABookHint(const std::string& fileName)
{
    if (auto hint = NotABookHint(fileName))
        throw Exception(*hint);
}
