#include "browserhost/WindowCaption.h"

#include "resources/StringTable.h"

QString ComposeCaption(const QString& bookTitle, const QString& pageTitle)
{
    const QString book = bookTitle.isEmpty() ? QString::fromLatin1(kUntitledEBook) : bookTitle;
    // A home page titled as the book says it once.
    if (pageTitle.isEmpty() || pageTitle.trimmed() == book.trimmed())
        return book;
    return QStringLiteral("%1 - %2").arg(book, pageTitle);
}
