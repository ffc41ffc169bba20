#include "browserhost/WindowCaption.h"

#include "resources/StringTable.h"

#include <QRegularExpression>

#include <algorithm>

QString CutForDisplay(const QString& text, std::size_t maxCharacters, LineBreaks lineBreaks)
{
    // A character takes one or two UTF-16 units: twice the limit, plus one character, is always
    // enough to tell whether the text goes past it, and a pair cut at the end lies past the cut.
    const auto units = static_cast<qsizetype>(std::min<std::size_t>(2 * (maxCharacters + 1), 1u << 30));
    return QString::fromStdString(CutForDisplay(text.left(units).toStdString(), maxCharacters, lineBreaks));
}

bool TitleSaysNothing(const QString& title)
{
    static const QRegularExpression fileName(
        QStringLiteral(R"(^[^\s/]+\.(x?html?|xht|php|aspx?)$)"), QRegularExpression::CaseInsensitiveOption);
    const QString trimmed = title.trimmed();
    return trimmed.isEmpty() || fileName.match(trimmed).hasMatch();
}

QString ComposeCaption(const QString& bookTitle, const QString& pageTitle)
{
    const QString book = bookTitle.isEmpty() ? QString::fromLatin1(kUntitledEBook) : CutForDisplay(bookTitle);
    // A home page titled as the book says it once.
    if (pageTitle.isEmpty() || CutForDisplay(pageTitle).trimmed() == book.trimmed())
        return book;
    return QStringLiteral("%1 - %2").arg(book, CutForDisplay(pageTitle));
}
