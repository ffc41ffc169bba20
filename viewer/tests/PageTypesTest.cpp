#include "viewer/tests/ViewerFixture.h"

#include <QFile>

#include <gtest/gtest.h>

// What today's engine shows only when the server names each page's type: an SVG image, a module
// script, a web font, a style sheet and an XHTML page in UTF-8 without a declared encoding.
TEST(ViewerPageTypes, ImagesScriptsFontsStylesAndXhtmlOfABookAllShow)
{
    QFile fontFile(QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"));
    const std::string font = fontFile.open(QIODevice::ReadOnly) ? fontFile.readAll().toStdString() : std::string();
    ASSERT_FALSE(font.empty()) << "the DejaVu fonts are a dependency of the viewer";

    TTestBook book;
    book.writer.AddPage("/index.htm",
        "<html><head><link rel=\"stylesheet\" href=\"css/book.css\"><script type=\"module\" src=\"app.mjs\"></script>"
        "</head><body><p id=\"p\">text</p><img id=\"logo\" src=\"images/logo.svg\"></body></html>");
    book.writer.AddPage("/css/book.css",
        "@font-face { font-family: BookFace; src: url(../fonts/face.ttf); } p { color: rgb(255, 0, 0); }");
    book.writer.AddPage("/images/logo.svg",
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"40\" height=\"30\"><rect width=\"40\" "
        "height=\"30\"/></svg>");
    book.writer.AddPage("/app.mjs",
        "import { mark } from './mark.mjs'; mark(); "
        "document.fonts.load('16px BookFace').then(faces => { window.fontFaces = faces.length; });");
    book.writer.AddPage("/mark.mjs", "export function mark() { window.moduleRan = 'yes'; }");
    book.writer.AddPage("/fonts/face.ttf", font);
    book.writer.AddPage("/chapter.xhtml",
        "<html xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>Chapter</title></head>"
        "<body><p id=\"word\">caf\xC3\xA9</p></body></html>");
    TViewerWindow window(book.Save());
    window.ShowAndWaitForHome();

    EXPECT_TRUE(WaitUntil([&] { return window.RunScript(QStringLiteral("String(window.moduleRan)")) == "yes"; }));
    EXPECT_EQ(window.RunScript(QStringLiteral("String(document.getElementById('logo').naturalWidth)")), "40");
    EXPECT_EQ(window.RunScript(QStringLiteral("getComputedStyle(document.getElementById('p')).color")),
        QStringLiteral("rgb(255, 0, 0)"));
    EXPECT_TRUE(WaitUntil([&] { return window.RunScript(QStringLiteral("String(window.fontFaces)")) == "1"; }));

    window.RunScript(QStringLiteral("location.href = 'chapter.xhtml'"));
    ASSERT_TRUE(window.WaitForLoad());
    EXPECT_EQ(window.RunScript(QStringLiteral("document.contentType")), QStringLiteral("application/xhtml+xml"));
    EXPECT_EQ(
        window.RunScript(QStringLiteral("document.getElementById('word').textContent")), QStringLiteral("caf\u00E9"));
}
