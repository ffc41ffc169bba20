#include "viewer/app/ReadingStyleOption.h"

#include "viewer/reading/ReadingStyle.h"

#include <QFile>

#include <cstdlib>

namespace {

// A style sheet is text; a file this large is not one.
constexpr qint64 kLargestSheet = 1 << 20;

std::optional<QString> ReadSheet(const std::string& fileName)
{
    QFile file(QFile::decodeName(fileName.c_str()));
    if (!file.open(QIODevice::ReadOnly) || file.size() > kLargestSheet)
        return std::nullopt;
    return QString::fromUtf8(file.readAll());
}

} // namespace

std::optional<QString> StartingReadingSheet(const std::optional<std::string>& optionFile, std::ostream& err)
{
    if (optionFile) {
        std::optional<QString> sheet = ReadSheet(*optionFile);
        if (!sheet)
            err << "ebook: cannot read the reading style " << *optionFile << "\n";
        return sheet;
    }
    const char* named = std::getenv(kReadingStyleVariable);
    if (named == nullptr || *named == '\0')
        return QString();
    std::optional<QString> sheet = ReadSheet(named);
    if (!sheet) {
        err << "ebook: cannot read the reading style " << named << " (" << kReadingStyleVariable
            << "); the book's own look is shown\n";
        return QString();
    }
    return sheet;
}
