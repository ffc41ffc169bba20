// Footnotes shown where they are referred to: a note reference opens a box holding the note's
// content without leaving the page, Esc closes it, a modifier lets the link work as a link, a
// note in another page of the book is read from it, and a link to no note stays a link.
#include "viewer/tests/ViewerFixture.h"

#include "browserhost/EmbeddedBrowser.h"
#include "viewer/BookMainDesign.h"
#include "viewer/reading/DarkMode.h"

#include <QTest>
#include <QWebEngineView>

#include <gtest/gtest.h>

namespace {

const char* const kChapter
    = "<html><head><title>Chapter</title></head><body><p>A claim.<a id=\"ref\" epub:type=\"noteref\" "
      "href=\"#n1\">1</a> Another.<a id=\"byrole\" href=\"#n2\">2</a> Elsewhere.<a id=\"far\" "
      "epub:type=\"noteref\" href=\"notes.htm#n3\">3</a> <a id=\"plain\" href=\"#section\">a section</a></p>"
      "<div style=\"height:3000px\"></div><h2 id=\"section\">Section</h2>"
      "<aside id=\"n1\" epub:type=\"footnote\"><p>The first note's <b>text</b>.</p></aside>"
      "<div id=\"n2\" role=\"doc-endnote\"><p>The second note.</p></div>"
      "<div style=\"height:3000px\"></div></body></html>";
const char* const kNotes = "<html><head><title>Notes</title></head><body><ol>"
                           "<li id=\"n3\" epub:type=\"endnote\"><p>The third note, on a page of its own.</p></li>"
                           "</ol></body></html>";

const char* const kShownNote = "(function(){ const h = document.getElementById('ebook-note-popup');"
                               " return h ? h.shadowRoot.querySelector('.box').textContent.trim() : ''; })()";

} // namespace

TEST(NotePopup, ANoteReferenceShowsTheNoteWhereItIsAndEscClosesIt)
{
    TTestBook book;
    book.writer.AddPage("/chapter.htm", kChapter);
    book.writer.AddPage("/notes.htm", kNotes);
    TViewerWindow window(book.Save());
    window.ShowAndWaitForHome();
    ASSERT_TRUE(WaitUntil([&] { return QGuiApplication::focusWindow() == window.Form().windowHandle(); }));
    const QString note = QString::fromLatin1(kShownNote);
    const QString scrolled = QStringLiteral("String(window.scrollY)");

    window.RunScript(QStringLiteral("document.getElementById('ref').click()"));
    EXPECT_TRUE(WaitUntil([&] { return window.RunScript(note) == QStringLiteral("The first note's text."); }))
        << window.RunScript(note).toStdString();
    EXPECT_EQ(window.RunScript(scrolled), QStringLiteral("0")) << "the page stays where it is";
    EXPECT_EQ(window.RunScript(QStringLiteral("location.hash")), QString());
    // The copy takes no id of the page's.
    EXPECT_EQ(window.RunScript(QStringLiteral("String(document.querySelectorAll('#n1').length)")), QStringLiteral("1"));

    // Esc, sent as the reader's key, takes it away.
    QWidget* page = window.Form().Designed().Browser->View()->focusProxy();
    page->setFocus();
    // The page may take the first key only to focus itself: the key is sent again until it acts.
    EXPECT_TRUE(WaitUntil([&] {
        QTest::keyClick(page, Qt::Key_Escape);
        return window.RunScript(note).isEmpty();
    }));

    // A target marked as a note by its role is one too, and a click elsewhere closes it.
    // (An Esc sent above before the first one acted may still arrive and close this note: the
    // reference is clicked again until its note stays.)
    EXPECT_TRUE(WaitUntil([&] {
        if (window.RunScript(note).isEmpty())
            window.RunScript(QStringLiteral("document.getElementById('byrole').click()"));
        return window.RunScript(note) == QStringLiteral("The second note.");
    }));
    window.RunScript(QStringLiteral("document.querySelector('h2').click()"));
    EXPECT_TRUE(WaitUntil([&] { return window.RunScript(note).isEmpty(); }));

    // A note in another page is read from the book; nothing is loaded into the window.
    window.RunScript(QStringLiteral("document.getElementById('far').click()"));
    EXPECT_TRUE(
        WaitUntil([&] { return window.RunScript(note) == QStringLiteral("The third note, on a page of its own."); }));
    EXPECT_EQ(window.Form().VisitedURLs().Count(), 1);

    // With Shift held the reference is a link again; a link to no note always is one.
    // (The page's own handler records what reached it, then keeps the window from opening a new one.)
    EXPECT_EQ(window.RunScript(QStringLiteral(
                  "(function(){ let seen = 'not reached'; const keep = (e) => { seen = String(e.defaultPrevented);"
                  " e.preventDefault(); }; window.addEventListener('click', keep);"
                  " document.getElementById('ref').dispatchEvent(new MouseEvent('click',"
                  " { bubbles: true, cancelable: true, shiftKey: true }));"
                  " window.removeEventListener('click', keep); return seen; })()")),
        QStringLiteral("false"));
    EXPECT_TRUE(window.RunScript(note).isEmpty());
    window.RunScript(QStringLiteral("document.getElementById('plain').click()"));
    EXPECT_TRUE(
        WaitUntil([&] { return window.RunScript(QStringLiteral("location.hash")) == QStringLiteral("#section"); }));
    EXPECT_TRUE(window.RunScript(note).isEmpty());

    // The box takes the page's colours: light on a light page, dark on a dark one, never a white
    // box glaring over a dark page.
    const QString painted
        = QStringLiteral("(function(){ const h = document.getElementById('ebook-note-popup'); if (!h) return '';"
                         " const s = getComputedStyle(h.shadowRoot.querySelector('.box')); return s.backgroundColor + "
                         "' / ' + s.color; })()");
    window.RunScript(QStringLiteral("document.getElementById('ref').click()"));
    EXPECT_TRUE(WaitUntil([&] {
        return window.RunScript(painted) == QStringLiteral("rgb(255, 253, 245) / rgb(17, 17, 17)");
    })) << window.RunScript(painted).toStdString();
    window.RunScript(QStringLiteral("document.querySelector('h2').click()"));
    window.Form().DarkMode().SetOn(true);
    ASSERT_TRUE(WaitUntil([&] {
        return window.RunScript(QStringLiteral("getComputedStyle(document.documentElement).backgroundColor"))
            == QStringLiteral("rgb(0, 0, 0)");
    }));
    window.RunScript(QStringLiteral("document.getElementById('ref').click()"));
    EXPECT_TRUE(WaitUntil([&] {
        return window.RunScript(painted) == QStringLiteral("rgb(0, 0, 0) / rgb(255, 255, 255)");
    })) << window.RunScript(painted).toStdString();
}
