// The book's structure for books that are no book file: the contents panel, next in contents, the
// caption's title and the whole-book PDF of an EPUB and a folder made here.

#include "bookpdf/ExportBook.h"
#include "sources/tests/SampleSources.h"
#include "viewer/BookMainDesign.h"
#include "viewer/SaveBookAsPdf.h"
#include "viewer/app/PdfExportCommand.h"
#include "viewer/contents/ContentsPanel.h"
#include "viewer/search/SearchPanel.h"
#include "viewer/tests/ViewerFixture.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QTest>
#include <QTreeWidget>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFOutlineDocumentHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <gtest/gtest.h>
#include <zim/writer/creator.h>
#include <zim/writer/item.h>

#include <chrono>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string Body(const std::string& title, const std::string& body)
{
    return "<html><head><title>" + title + "</title></head><body><h1 id='top'>" + body + "</h1></body></html>";
}

std::string Xhtml(const std::string& title, const std::string& body)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><html xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>"
        + title + "</title></head><body><h1 id='top'>" + body + "</h1></body></html>";
}

// An EPUB as pandoc writes them: chapters titled by their file name (or a slug), the navigation naming
// them; notes that the navigation leaves out, reached from the second chapter, and a colophon that
// nothing links to.
fs::path WritePandocEpub(const fs::path& folder)
{
    const std::string opf = R"(<?xml version="1.0" encoding="utf-8"?>
<package xmlns="http://www.idpf.org/2007/opf" version="3.0" unique-identifier="id">
  <metadata xmlns:dc="http://purl.org/dc/elements/1.1/"><dc:title>Pandoc Sample</dc:title></metadata>
  <manifest>
    <item id="nav" href="nav.xhtml" media-type="application/xhtml+xml" properties="nav"/>
    <item id="c1" href="text/ch001.xhtml" media-type="application/xhtml+xml"/>
    <item id="c2" href="text/ch002.xhtml" media-type="application/xhtml+xml"/>
    <item id="c3" href="text/ch003.xhtml" media-type="application/xhtml+xml"/>
    <item id="n" href="text/notes.xhtml" media-type="application/xhtml+xml"/>
    <item id="k" href="text/colophon.xhtml" media-type="application/xhtml+xml"/>
  </manifest>
  <spine><itemref idref="c1"/><itemref idref="c2"/><itemref idref="c3"/></spine>
</package>)";
    const std::string nav = R"(<?xml version="1.0" encoding="utf-8"?>
<html xmlns="http://www.w3.org/1999/xhtml" xmlns:epub="http://www.idpf.org/2007/ops"><body>
<nav epub:type="toc"><ol>
  <li><a href="text/ch001.xhtml">Opening</a>
    <ol><li><a href="text/ch002.xhtml">Middle</a></li><li><a href="text/ch002.xhtml#end">Middle end</a></li></ol></li>
  <li><a href="text/ch003.xhtml">Closing</a></li>
</ol></nav></body></html>)";
    const std::string container = R"(<?xml version="1.0"?>
<container version="1.0" xmlns="urn:oasis:names:tc:opendocument:xmlns:container">
<rootfiles><rootfile full-path="OEBPS/content.opf" media-type="application/oebps-package+xml"/></rootfiles>
</container>)";
    const fs::path path = folder / "pandoc.epub";
    WriteZip(path,
        { { "mimetype", "application/epub+zip" }, { "META-INF/container.xml", container }, { "OEBPS/content.opf", opf },
            { "OEBPS/nav.xhtml", nav }, { "OEBPS/text/ch001.xhtml", Xhtml("ch001.xhtml", "Words of opening") },
            { "OEBPS/text/ch002.xhtml",
                Xhtml("the-middle", "Words of middle</h1><p><a href='notes.xhtml'>notes</a></p><h1 id='end'>End") },
            { "OEBPS/text/ch003.xhtml", Xhtml("", "Words of closing") },
            { "OEBPS/text/colophon.xhtml", Xhtml("Colophon", "Words of colophon") },
            { "OEBPS/text/notes.xhtml", Xhtml("Notes", "Words of notes") } });
    return path;
}

// A folder whose home page holds its contents as nested lists, as Sphinx writes them.
fs::path WriteContentsFolder(const fs::path& folder)
{
    const fs::path root = folder / "site";
    fs::create_directories(root / "guide");
    std::ofstream(root / "index.html") << "<html><head><title>Site</title></head><body><h1>Site</h1><ul>"
                                       << "<li><a href='guide/start.html'>Start</a><ul>"
                                       << "<li><a href='guide/install.html'>Install</a></li></ul></li>"
                                       << "<li><a href='faq.html'>Questions</a></li></ul></body></html>";
    std::ofstream(root / "guide/start.html") << Body("start.html", "Words of start");
    std::ofstream(root / "guide/install.html") << Body("Installing", "Words of install");
    std::ofstream(root / "faq.html") << Body("FAQ", "Words of questions");
    return root;
}

// The body words on each sheet, in order, as pdftotext reads them.
std::vector<std::string> SheetWords(const std::string& pdf)
{
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), { QString::fromStdString(pdf), QStringLiteral("-") });
    if (!pdftotext.waitForFinished(30000))
        return {};
    std::vector<std::string> words;
    for (const QString& sheet : QString::fromUtf8(pdftotext.readAllStandardOutput()).split(u'\f')) {
        const qsizetype at = sheet.indexOf(QStringLiteral("Words of "));
        if (!sheet.trimmed().isEmpty())
            words.push_back(at < 0 ? "-" : sheet.mid(at + 9).section(u'\n', 0, 0).toStdString());
    }
    return words;
}

// "Title@sheet" for each outline entry, its children in brackets after it.
std::string Outline(const std::string& file)
{
    QPDF pdf;
    pdf.processFile(file.c_str());
    std::map<QPDFObjGen, int> sheetOf;
    const std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(pdf).getAllPages();
    for (std::size_t i = 0; i < pages.size(); ++i)
        sheetOf[pages[i].getObjectHandle().getObjGen()] = int(i) + 1;
    QPDFOutlineDocumentHelper outline(pdf);
    std::function<std::string(const std::vector<QPDFOutlineObjectHelper>&)> text = [&](const auto& items) {
        std::string out;
        for (QPDFOutlineObjectHelper item : items) {
            const auto sheet = sheetOf.find(item.getDestPage().getObjGen());
            out += (out.empty() ? "" : " ") + item.getTitle() + "@"
                + (sheet == sheetOf.end() ? "?" : std::to_string(sheet->second));
            if (!item.getKids().empty())
                out += " [" + text(item.getKids()) + "]";
        }
        return out;
    };
    return text(outline.getTopLevelOutlines());
}

QString Selected(TBookMainForm& form)
{
    QTreeWidgetItem* item = form.ContentsPanelMade()->Tree()->currentItem();
    return item && item->isSelected() ? item->text(0) : QString();
}

void Trigger(TBookMainForm& form, const char* action)
{
    form.findChild<QAction*>(QString::fromLatin1(action))->trigger();
}

// Writes the book the window shows into a PDF through Book > Save Book as PDF; whether written.
bool SavedFromWindow(const fs::path& book, const std::string& pdf)
{
    TViewerWindow window(book.string());
    window.ShowAndWaitForHome();
    TSaveBookAsPdf& save = window.Form().SaveBookAsPdf();
    std::optional<bool> written;
    QObject::connect(&save, &TSaveBookAsPdf::finished, [&](bool w, const QString&) { written = w; });
    save.SaveTo(QString::fromStdString(pdf));
    return WaitUntil([&] { return written.has_value(); }, std::chrono::seconds(60)) && *written;
}

// A ZIM archive as zimwriterfs makes one of a site: articles titled by their file names, no
// contents of its own, its home page holding them as nested lists.
fs::path WriteSiteZim(const fs::path& folder)
{
    const fs::path path = folder / "site.zim";
    zim::writer::Creator creator;
    creator.configIndexing(true, "eng");
    creator.configNbWorkers(1);
    creator.startZimCreation(path.string());
    const zim::writer::Hints front { { zim::writer::FRONT_ARTICLE, 1 } };
    const auto add = [&](const std::string& name, const std::string& html) {
        creator.addItem(zim::writer::StringItem::create(name, "text/html", name, front, html));
    };
    add("index.html",
        "<html><head><title>Site</title></head><body><h1>Site</h1><ul>"
        "<li><a href='part.html'>Part One</a><ul><li><a href='alpha.html'>Alpha</a></li></ul></li>"
        "<li><a href='beta.html'>Beta</a></li></ul></body></html>");
    add("part.html", Body("part.html", "Words of part"));
    add("alpha.html", Body("alpha.html", "Words of zebra"));
    add("beta.html", Body("beta.html", "Words of beta"));
    creator.setMainPath("index.html");
    creator.finishZimCreation();
    return path;
}

} // namespace

TEST(StructureOfEveryKind, AnEpubsNavigationGivesPanelStepsCaptionAndPdfOutline)
{
    TTestBook temp;
    const fs::path epub = WritePandocEpub(temp.Folder());
    {
        TViewerWindow window(epub.string());
        window.ShowAndWaitForHome();
        Trigger(window.Form(), "ActionContents");
        ASSERT_NE(window.Form().ContentsPanelMade(), nullptr);
        EXPECT_TRUE(window.Form().ContentsPanelMade()->isVisible());
        // It opens on its first page, not on the contents page made from its navigation. A page
        // titled by its file name, a slug or not at all takes its entry's title.
        EXPECT_TRUE(WaitUntil([&] { return window.Caption() == QStringLiteral("Pandoc Sample - Opening"); }))
            << window.Caption().toStdString();
        EXPECT_EQ(Selected(window.Form()), QStringLiteral("Opening"));
        Trigger(window.Form(), "ActionNextInContents");
        ASSERT_TRUE(window.WaitForLoad());
        EXPECT_EQ(Selected(window.Form()), QStringLiteral("Middle"));
        EXPECT_TRUE(WaitUntil([&] { return window.Caption() == QStringLiteral("Pandoc Sample - Middle"); }))
            << window.Caption().toStdString();
        // Out of the contents to the notes, whose own title stands.
        window.RunScript(QStringLiteral("document.querySelector('a').click()"));
        ASSERT_TRUE(window.WaitForLoad());
        EXPECT_TRUE(WaitUntil([&] { return window.Caption() == QStringLiteral("Pandoc Sample - Notes"); }));
        EXPECT_EQ(Selected(window.Form()), QString());
        Trigger(window.Form(), "ActionPreviousInContents");
        ASSERT_TRUE(window.WaitForLoad());
        EXPECT_EQ(Selected(window.Form()), QStringLiteral("Opening"));
        // On through the second chapter's place to the last chapter.
        for (const QString& entry :
            { QStringLiteral("Middle"), QStringLiteral("Middle end"), QStringLiteral("Closing") }) {
            Trigger(window.Form(), "ActionNextInContents");
            EXPECT_TRUE(WaitUntil([&] { return Selected(window.Form()) == entry; })) << entry.toStdString();
        }
        EXPECT_TRUE(WaitUntil([&] { return window.Caption() == QStringLiteral("Pandoc Sample - Closing"); }))
            << window.Caption().toStdString();
        EXPECT_TRUE(window.Form().findChild<QAction*>(QStringLiteral("ActionSaveBookAsPdf"))->isVisible());
    }

    // The PDF: the contents page, then the chapters; the outline is the navigation's.
    const std::string out = (temp.Folder() / "book.pdf").string();
    std::ostringstream err;
    ASSERT_EQ(RunPdfExport(out, epub.string(), err), 0) << err.str();
    EXPECT_EQ(SheetWords(out), (std::vector<std::string> { "-", "opening", "middle", "closing" }));
    EXPECT_EQ(Outline(out), "Opening@2 [Middle@3 Middle end@3] Closing@4");

    // With every page: the notes, which a chapter's link reaches, then those nothing links to in the
    // book's order (the navigation document, untitled, and the colophon).
    const std::string all = (temp.Folder() / "all.pdf").string();
    ASSERT_EQ(RunPdfExport(all, epub.string(), err, true), 0) << err.str();
    EXPECT_EQ(
        SheetWords(all), (std::vector<std::string> { "-", "opening", "middle", "closing", "notes", "-", "colophon" }));
    EXPECT_EQ(Outline(all), "Opening@2 [Middle@3 Middle end@3] Closing@4 Notes@5 /OEBPS/nav.xhtml@6 Colophon@7");
}

TEST(StructureOfEveryKind, AFoldersHomePageListsGivePanelAndPdfOutline)
{
    TTestBook temp;
    const fs::path folder = WriteContentsFolder(temp.Folder());
    {
        TViewerWindow window(folder.string());
        window.ShowAndWaitForHome();
        Trigger(window.Form(), "ActionContents");
        ASSERT_NE(window.Form().ContentsPanelMade(), nullptr);
        EXPECT_EQ(window.Form().ContentsPanelMade()->Tree()->topLevelItemCount(), 2);
        Trigger(window.Form(), "ActionNextInContents");
        ASSERT_TRUE(window.WaitForLoad());
        EXPECT_EQ(Selected(window.Form()), QStringLiteral("Start"));
        EXPECT_TRUE(WaitUntil([&] { return window.Caption() == QStringLiteral("Site - Start"); }))
            << window.Caption().toStdString();
        Trigger(window.Form(), "ActionNextInContents");
        ASSERT_TRUE(window.WaitForLoad());
        EXPECT_EQ(Selected(window.Form()), QStringLiteral("Install"));
        EXPECT_TRUE(WaitUntil([&] { return window.Caption() == QStringLiteral("Site - Installing"); }));
    }
    const std::string out = (temp.Folder() / "site.pdf").string();
    std::ostringstream err;
    ASSERT_EQ(RunPdfExport(out, folder.string(), err), 0) << err.str();
    EXPECT_EQ(SheetWords(out), (std::vector<std::string> { "-", "start", "install", "questions" }));
    EXPECT_EQ(Outline(out), "Start@2 [Install@3] Questions@4");
    // The window's own source, shared with the export, gives the same document.
    const std::string fromWindow = (temp.Folder() / "window.pdf").string();
    ASSERT_TRUE(SavedFromWindow(folder, fromWindow));
    EXPECT_EQ(SheetWords(fromWindow), SheetWords(out));
    EXPECT_EQ(Outline(fromWindow), Outline(out));

    // A ZIM archive keeps no contents: its home page's links give them.
    WriteSampleZim(temp.Folder() / "sample.zim");
    const std::string zimOut = (temp.Folder() / "zim.pdf").string();
    ASSERT_EQ(RunPdfExport(zimOut, (temp.Folder() / "sample.zim").string(), err), 0) << err.str();
    EXPECT_EQ(Outline(zimOut), "Chapter@2");
}

TEST(StructureOfEveryKind, AZimOfMoreArticlesThanTheLimitIsRefusedBeforeAnyPageIsRendered)
{
    TTestBook temp;
    const fs::path zim = temp.Folder() / "big.zim";
    {
        zim::writer::Creator creator;
        creator.configNbWorkers(1);
        creator.startZimCreation(zim.string());
        const zim::writer::Hints front { { zim::writer::FRONT_ARTICLE, 1 } };
        for (uint64_t i = 0; i <= TExportBook::kMaxZimPages; ++i)
            creator.addItem(zim::writer::StringItem::create(
                "a" + std::to_string(i) + ".html", "text/html", "A", front, "<html><body>a</body></html>"));
        creator.setMainPath("a0.html");
        creator.finishZimCreation();
    }
    const fs::path out = temp.Folder() / "big.pdf";
    std::ostringstream err;
    EXPECT_EQ(RunPdfExport(out.string(), zim.string(), err), 1);
    EXPECT_NE(err.str().find(std::to_string(TExportBook::kMaxZimPages + 1) + " articles"), std::string::npos)
        << err.str();
    EXPECT_EQ(err.str().find("page 1 of"), std::string::npos) << err.str();
    EXPECT_FALSE(fs::exists(out));
}

TEST(StructureOfEveryKind, TheContentsPanelAndSearchShowTheSameContentsOfAZimWithoutContentsOfItsOwn)
{
    TTestBook temp;
    TViewerWindow window(WriteSiteZim(temp.Folder()).string());
    window.ShowAndWaitForHome();
    TBookMainForm& form = window.Form();
    Trigger(form, "ActionContents");
    ASSERT_NE(form.ContentsPanelMade(), nullptr);
    QTreeWidget& tree = *form.ContentsPanelMade()->Tree();
    ASSERT_EQ(tree.topLevelItemCount(), 2);
    EXPECT_EQ(tree.topLevelItem(0)->text(0), QStringLiteral("Part One"));
    ASSERT_EQ(tree.topLevelItem(0)->childCount(), 1);
    EXPECT_EQ(tree.topLevelItem(0)->child(0)->text(0), QStringLiteral("Alpha"));

    // The result is placed where the panel shows its page, under the entry's title.
    QTest::keyClick(&form, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    auto* panel = form.findChild<TSearchPanel*>();
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return panel->isVisible(); }));
    QTest::keyClicks(panel->Field(), QStringLiteral("zebra"));
    QListWidget* list = panel->Results();
    ASSERT_TRUE(WaitUntil([&] { return list->count() == 1; }));
    const QString result = qobject_cast<QLabel*>(list->itemWidget(list->item(0)))->text();
    EXPECT_TRUE(result.startsWith(QStringLiteral("<b>Alpha</b><br><small>Part One</small>"))) << result.toStdString();
}
