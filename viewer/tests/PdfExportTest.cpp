#include "bookpdf/BookPdfExport.h"
#include "common/DisplayText.h"
#include "sources/OpenSource.h"
#include "sources/StoredContents.h"
#include "viewer/BookMainDesign.h"
#include "viewer/SaveBookAsPdf.h"
#include "viewer/app/PdfExportCommand.h"
#include "viewer/tests/ViewerFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAnnotationObjectHelper.hh>
#include <qpdf/QPDFOutlineDocumentHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <gtest/gtest.h>

#include <csignal>
#include <map>
#include <sstream>
#include <unistd.h>

namespace {

const std::string kBookTitle = "Export Book";

std::string Page(const std::string& title, const std::vector<std::string>& links, const std::string& extra = {})
{
    std::string html = "<html><head><title>" + title + "</title><meta name='author' content='Ann Author'></head>"
        + "<body><h1 id='top'>Body of " + title + "</h1>" + extra;
    for (const std::string& link : links)
        html += "<p><a href='" + link + "'>to " + link + "</a></p>";
    return html + "</body></html>";
}

// A book whose home page is not first in the directory, with pages reached through several links,
// pages no link reaches, and a style sheet that a link names.
std::string WriteLinkedBook(TTestBook& book)
{
    TBookWriter& w = book.writer;
    w.settings.title = kBookTitle;
    w.settings.display.allowPrint = true;
    w.AddPage("/z.htm", Page("Zed", {}));
    w.AddPage("/index.htm", Page("Home", { "b.htm", "a.htm", "style.css", "http://example.com/outside", "#top" }));
    w.AddPage("/a.htm", Page("A", { "a1.htm", "index.htm" }));
    w.AddPage("/style.css", "h1 { color: navy }");
    w.AddPage("/b.htm", Page("B", { "a.htm#top", "b1.htm" }));
    w.AddPage("/c.htm", Page("Cee", {}));
    w.AddPage("/a1.htm", Page("A1", {}));
    w.AddPage("/b1.htm", Page("B1", {}));
    w.settings.homePageIndex = 1;
    return book.Save();
}

// The text of each sheet, as pdftotext reads it.
QStringList SheetTexts(const QString& pdf)
{
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), { pdf, QStringLiteral("-") });
    if (!pdftotext.waitForFinished(30000) || pdftotext.exitCode() != 0)
        return {};
    QStringList sheets = QString::fromUtf8(pdftotext.readAllStandardOutput()).split(u'\f');
    if (!sheets.isEmpty() && sheets.back().trimmed().isEmpty())
        sheets.removeLast();
    for (QString& sheet : sheets)
        sheet = sheet.simplified();
    return sheets;
}

// "Title@sheet" for each outline entry, its children in brackets after it.
std::string Outline(const std::vector<QPDFOutlineObjectHelper>& items, const std::map<QPDFObjGen, int>& sheetOf)
{
    std::string text;
    for (QPDFOutlineObjectHelper item : items) {
        const auto sheet = sheetOf.find(item.getDestPage().getObjGen());
        text += (text.empty() ? "" : " ") + item.getTitle() + "@"
            + (sheet == sheetOf.end() ? "?" : std::to_string(sheet->second));
        const std::vector<QPDFOutlineObjectHelper> kids = item.getKids();
        if (!kids.empty())
            text += " [" + Outline(kids, sheetOf) + "]";
    }
    return text;
}

// The outline of a PDF file, as Outline writes it.
std::string OutlineOf(const std::string& file)
{
    QPDF pdf;
    pdf.processFile(file.c_str());
    std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(pdf).getAllPages();
    std::map<QPDFObjGen, int> sheetOf;
    for (std::size_t i = 0; i < pages.size(); ++i)
        sheetOf[pages[i].getObjectHandle().getObjGen()] = int(i) + 1;
    QPDFOutlineDocumentHelper outline(pdf);
    return Outline(outline.getTopLevelOutlines(), sheetOf);
}

// The files in a folder, to see that nothing was left behind.
QStringList FilesIn(const std::filesystem::path& folder)
{
    return QDir(QString::fromStdString(folder.string())).entryList(QDir::Files | QDir::Hidden);
}

} // namespace

TEST(PdfExport, TheWholeBookComesInReadingOrderWithHeaderFooterOutlineAndLinksInsideTheFile)
{
    TTestBook book;
    const std::string bookFile = WriteLinkedBook(book);
    const std::string out = (book.Folder() / "book.pdf").string();
    std::ostringstream err;
    ASSERT_EQ(RunPdfExport(out, bookFile, err), 0) << err.str();
    EXPECT_NE(err.str().find("page 3 of 3: /a.htm"), std::string::npos) << err.str();

    // The home page, then the pages its links name, its contents; pages they do not name and
    // the style sheet are left out.
    const QStringList sheets = SheetTexts(QString::fromStdString(out));
    const QStringList titles { "Home", "B", "A" };
    const QStringList names { "/index.htm", "/b.htm", "/a.htm" };
    ASSERT_EQ(sheets.size(), titles.size()) << sheets.join(u'|').toStdString();
    for (qsizetype i = 0; i < sheets.size(); ++i) {
        const QString& sheet = sheets[i];
        EXPECT_TRUE(sheet.startsWith(
            QStringLiteral("%1 - %2 Page %3 of 3").arg(QString::fromStdString(kBookTitle), titles[i]).arg(i + 1)))
            << sheet.toStdString();
        EXPECT_TRUE(sheet.contains(QStringLiteral("Body of ") + titles[i])) << sheet.toStdString();
        // The footer names the page in the book, not a loopback address.
        EXPECT_TRUE(sheet.contains(names[i] + u' ')) << sheet.toStdString();
        EXPECT_FALSE(sheet.contains(QStringLiteral("127.0.0.1"))) << sheet.toStdString();
    }

    QPDF pdf;
    pdf.processFile(out.c_str());
    std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(pdf).getAllPages();
    std::map<QPDFObjGen, int> sheetOf;
    for (std::size_t i = 0; i < pages.size(); ++i)
        sheetOf[pages[i].getObjectHandle().getObjGen()] = int(i) + 1;
    QPDFOutlineDocumentHelper outline(pdf);
    EXPECT_EQ(Outline(outline.getTopLevelOutlines(), sheetOf), "to b.htm@2 to a.htm@3");
    QPDFObjectHandle info = pdf.getTrailer().getKey("/Info");
    EXPECT_EQ(info.getKey("/Title").getUTF8Value(), kBookTitle);
    EXPECT_EQ(info.getKey("/Author").getUTF8Value(), "Ann Author");

    // The sheet a link inside the file goes to (its destination named or given), or 0.
    auto destinationSheet = [&](QPDFObjectHandle annotation) {
        QPDFObjectHandle destination = annotation.getKey("/Dest");
        if (destination.isName() || destination.isString())
            destination = outline.resolveNamedDest(destination);
        if (!destination.isArray())
            return 0;
        const auto sheet = sheetOf.find(destination.getArrayItem(0).getObjGen());
        return sheet == sheetOf.end() ? 0 : sheet->second;
    };
    // The home page's links to B and A go to their sheets; the outside link stays a web link.
    std::vector<std::string> links;
    for (QPDFAnnotationObjectHelper& link : pages[0].getAnnotations("/Link")) {
        QPDFObjectHandle annotation = link.getObjectHandle();
        if (annotation.hasKey("/Dest")) {
            links.push_back("sheet " + std::to_string(destinationSheet(annotation)));
        } else if (annotation.getKey("/A").isDictionary() && annotation.getKey("/A").getKey("/URI").isString()) {
            const std::string uri = annotation.getKey("/A").getKey("/URI").getUTF8Value();
            if (uri.find("127.0.0.1") == std::string::npos)
                links.push_back(uri);
        }
    }
    // The last is the link to a place on the page itself.
    EXPECT_EQ(links, (std::vector<std::string> { "sheet 2", "sheet 3", "http://example.com/outside", "sheet 1" }));
    // B's link to a place in A goes to A's sheet as well.
    ASSERT_FALSE(pages[1].getAnnotations("/Link").empty());
    EXPECT_EQ(destinationSheet(pages[1].getAnnotations("/Link")[0].getObjectHandle()), 3);
    EXPECT_EQ(FilesIn(book.Folder()), (QStringList { "book.ebook", "book.pdf" }));
}

TEST(PdfExport, TheStoredContentsGiveOrderOutlineAndTitlesAndAPageThatMovesIsPrintedAsWhatItBecame)
{
    TTestBook book;
    TBookWriter& w = book.writer;
    w.settings.title = kBookTitle;
    w.settings.display.allowPrint = true;
    w.AddPage("/index.htm", Page("Home", { "print.htm" }));
    w.AddPage("/print.htm", Page("Everything", {}));
    w.AddPage("/ch1.htm", Page("ch1.htm", { "#deep" }, "<div style='page-break-before: always' id='deep'>Deep</div>"));
    w.AddPage("/s1.htm", Page("Section", {}));
    w.AddPage("/ch2.htm", "<title>Two</title><script>location.replace('/moved.htm')</script>");
    w.AddPage("/moved.htm", Page("Moved", {}));
    w.AddPage("/away.htm", "<script>location.replace('http://127.0.0.1:9/')</script>");
    TStoredContents contents;
    contents.entries = { { "Chapter One", "/ch1.htm", "",
                             { { "Deep place", "/ch1.htm", "deep", {} }, { "Section", "/s1.htm", "", {} } } },
        // A heading of a book's own making: its line break shows as blanks, its length is cut.
        { "Part\r\n" + std::string(100000, 'p'), "", "",
            { { "Chapter Two", "/ch2.htm", "", {} }, { "Away", "/away.htm", "", {} } } } };
    w.AddPage(std::string(kContentsEntryName), StoredContentsJson(contents));
    const std::string bookFile = book.Save();
    const std::string out = (book.Folder() / "book.pdf").string();
    std::ostringstream err;
    // The page that moves out of the book has a notice sheet: the file is kept, the status says so.
    ASSERT_EQ(RunPdfExport(out, bookFile, err), 1) << err.str();
    EXPECT_NE(err.str().find("a notice sheet stands for /away.htm: It moves to an address outside the book"),
        std::string::npos)
        << err.str();

    const QStringList sheets = SheetTexts(QString::fromStdString(out));
    ASSERT_EQ(sheets.size(), 6) << sheets.join(u'|').toStdString();
    // A title that is a file name gives way to the contents' title; the page that moved is printed
    // as the page it became, under its name.
    EXPECT_TRUE(sheets[1].startsWith(QStringLiteral("Export Book - Chapter One"))) << sheets[1].toStdString();
    EXPECT_TRUE(
        sheets[4].contains(QStringLiteral("Body of Moved")) && sheets[4].contains(QStringLiteral("/moved.htm ")))
        << sheets[4].toStdString();
    EXPECT_TRUE(sheets[5].contains(QStringLiteral("/away.htm"))) << sheets[5].toStdString();
    for (const QString& sheet : sheets)
        EXPECT_FALSE(sheet.contains(QStringLiteral("Everything"))) << sheet.toStdString();

    QPDF pdf;
    pdf.processFile(out.c_str());
    std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(pdf).getAllPages();
    std::map<QPDFObjGen, int> sheetOf;
    for (std::size_t i = 0; i < pages.size(); ++i)
        sheetOf[pages[i].getObjectHandle().getObjGen()] = int(i) + 1;
    QPDFOutlineDocumentHelper outline(pdf);
    EXPECT_EQ(Outline(outline.getTopLevelOutlines(), sheetOf),
        "Chapter One@2 [Deep place@3 Section@4] Part  " + std::string(kDisplayTextLength - 6, 'p')
            + "\xE2\x80\xA6@5 [Chapter Two@5 Away@6]");
}

TEST(PdfExport, AFailureLeavesNoFileBehindAndNamesWhatFailed)
{
    TTestBook book;
    const std::string bookFile = WriteLinkedBook(book);
    std::ostringstream err;

    // A folder that does not exist: nothing is rendered.
    const std::string nowhere = (book.Folder() / "missing" / "book.pdf").string();
    EXPECT_EQ(RunPdfExport(nowhere, bookFile, err), 1);
    EXPECT_NE(err.str().find(nowhere), std::string::npos) << err.str();

    // A target that cannot be replaced (a folder stands there) fails only once everything is
    // rendered and put together: the finished document goes too.
    std::filesystem::create_directory(book.Folder() / "taken.pdf");
    err.str({});
    EXPECT_EQ(RunPdfExport((book.Folder() / "taken.pdf").string(), bookFile, err), 1);
    EXPECT_NE(err.str().find("taken.pdf"), std::string::npos) << err.str();
    EXPECT_TRUE(std::filesystem::is_directory(book.Folder() / "taken.pdf"));
    EXPECT_EQ(FilesIn(book.Folder()), QStringList { "book.ebook" });

    // A book that does not allow printing is not written out either.
    TTestBook noPrint;
    noPrint.writer.AddPage("/index.htm", Page("Home", {}));
    const std::string noPrintFile = noPrint.Save();
    err.str({});
    EXPECT_EQ(RunPdfExport((noPrint.Folder() / "book.pdf").string(), noPrintFile, err), 1);
    EXPECT_NE(err.str().find("does not allow printing"), std::string::npos) << err.str();
    EXPECT_EQ(FilesIn(noPrint.Folder()), QStringList { "book.ebook" });
}

TEST(PdfExport, APageTheEngineCannotRenderGetsANoticeSheetAndACancelLeavesNoFile)
{
    // A server that takes connections and never answers: a picture from it keeps its page loading.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    TTestBook book;
    book.writer.settings.title = kBookTitle;
    book.writer.settings.display.allowPrint = true;
    book.writer.AddPage("/index.htm", Page("Home", { "stuck.htm", "after.htm" }));
    book.writer.AddPage("/stuck.htm",
        Page("Stuck", {}, "<img src='http://127.0.0.1:" + std::to_string(silent.serverPort()) + "/never.png'>"));
    book.writer.AddPage("/after.htm", Page("After", {}));
    const std::string bookFile = book.Save();

    const QString out = QString::fromStdString((book.Folder() / "book.pdf").string());
    const std::unique_ptr<TBookSource> source = OpenBookSource(bookFile);
    const QString bookName = QString::fromStdString(bookFile);
    {
        TBookPdfExport exporter(*source, bookName, {}, nullptr, 4000);
        std::optional<bool> written;
        QObject::connect(&exporter, &TBookPdfExport::finished, [&](bool w, const QString&) { written = w; });
        exporter.Start(out);
        ASSERT_TRUE(WaitUntil([&] { return written.has_value(); }, std::chrono::seconds(60)));
        EXPECT_TRUE(*written);
        ASSERT_EQ(exporter.SkippedPages().size(), 1);
        EXPECT_TRUE(exporter.SkippedPages()[0].startsWith(QStringLiteral("/stuck.htm: ")))
            << exporter.SkippedPages()[0].toStdString();
        // The stuck page's sheet names it; the export went on to the page after it.
        const QStringList sheets = SheetTexts(out);
        ASSERT_EQ(sheets.size(), 3) << sheets.join(u'|').toStdString();
        EXPECT_TRUE(sheets[1].contains(QStringLiteral("/stuck.htm")) && sheets[1].contains(QStringLiteral("4 seconds")))
            << sheets[1].toStdString();
        EXPECT_TRUE(sheets[2].contains(QStringLiteral("Body of After"))) << sheets[2].toStdString();
    }
    EXPECT_EQ(FilesIn(book.Folder()), (QStringList { "book.ebook", "book.pdf" }));
    QFile::remove(out);

    {
        TBookPdfExport exporter(*source, bookName, {});
        std::optional<bool> written;
        QString error = QStringLiteral("not told");
        QObject::connect(&exporter, &TBookPdfExport::finished, [&](bool w, const QString& e) {
            written = w;
            error = e;
        });
        QObject::connect(&exporter, &TBookPdfExport::progressed, [&](int page, int, const QString&) {
            if (page == 1)
                exporter.Cancel();
        });
        exporter.Start(out);
        ASSERT_TRUE(WaitUntil([&] { return written.has_value(); }, std::chrono::seconds(30)));
        EXPECT_FALSE(*written);
        EXPECT_TRUE(error.isEmpty());
    }
    EXPECT_EQ(FilesIn(book.Folder()), QStringList { "book.ebook" });
}

TEST(PdfExport, TheBookMenuOffersTheExportOnlyWhenPrintingIsAllowedAndItRunsBesideTheReading)
{
    TTestBook book;
    const std::string bookFile = WriteLinkedBook(book);
    TViewerWindow viewer(bookFile);
    viewer.ShowAndWaitForHome();
    TSaveBookAsPdf& save = viewer.Form().SaveBookAsPdf();
    EXPECT_TRUE(save.Action()->isVisible());
    EXPECT_EQ(save.Action()->text(), QStringLiteral("Save Book as PDF\u2026"));
    EXPECT_TRUE(viewer.Form().Designed().BookMenu->actions().contains(save.Action()));

    std::optional<bool> written;
    QObject::connect(&save, &TSaveBookAsPdf::finished, [&](bool w, const QString&) { written = w; });
    const QString out = QString::fromStdString((book.Folder() / "menu.pdf").string());
    save.SaveTo(out);
    QProgressDialog* progress = save.Progress();
    ASSERT_NE(progress, nullptr);
    EXPECT_TRUE(progress->isVisible());
    EXPECT_FALSE(save.Action()->isEnabled());
    // The reader goes on reading meanwhile.
    viewer.Form().Designed().ActionHome->trigger();
    EXPECT_TRUE(viewer.WaitForLoad());
    ASSERT_TRUE(WaitUntil([&] { return written.has_value(); }, std::chrono::seconds(30)));
    EXPECT_TRUE(*written);
    EXPECT_TRUE(save.Action()->isEnabled());
    // The window's source, shared with the export, gives the document the command gives.
    const std::string fromCommand = (book.Folder() / "command.pdf").string();
    std::ostringstream err;
    ASSERT_EQ(RunPdfExport(fromCommand, bookFile, err), 0) << err.str();
    EXPECT_EQ(SheetTexts(out).size(), 3);
    EXPECT_EQ(SheetTexts(out), SheetTexts(QString::fromStdString(fromCommand)));
    EXPECT_EQ(OutlineOf(out.toStdString()), "to b.htm@2 to a.htm@3");

    // The progress window's Cancel ends a second export with nothing written.
    written.reset();
    const QString cancelled = QString::fromStdString((book.Folder() / "cancelled.pdf").string());
    save.SaveTo(cancelled);
    progress = save.Progress();
    ASSERT_NE(progress, nullptr);
    QPushButton* cancel = progress->findChild<QPushButton*>();
    ASSERT_NE(cancel, nullptr);
    QTest::mouseClick(cancel, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return written.has_value(); }, std::chrono::seconds(30)));
    EXPECT_FALSE(*written);
    EXPECT_FALSE(QFile::exists(cancelled));

    TTestBook noPrint;
    noPrint.writer.settings.display.allowPrint = false;
    noPrint.writer.AddPage("/index.htm", Page("Home", {}));
    TViewerWindow other(noPrint.Save());
    other.ShowAndWaitForHome();
    EXPECT_FALSE(other.Form().SaveBookAsPdf().Action()->isVisible());
}

TEST(PdfExport, InterruptAndTerminateCancelTheExportAndLeaveNoFileBehind)
{
    TTestBook book;
    const std::string bookFile = WriteLinkedBook(book);
    const QByteArray runtimeBefore = qgetenv("XDG_RUNTIME_DIR");
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    const QString scratch = QDir(runtime.path()).filePath(QStringLiteral("ebook-export-%1").arg(::getuid()));
    for (const int signal : { SIGINT, SIGTERM }) {
        std::ostringstream err;
        // Raised once the export runs: the handler only wakes the event loop, which cancels it.
        QTimer::singleShot(0, [signal] { ::raise(signal); });
        EXPECT_EQ(RunPdfExport((book.Folder() / "book.pdf").string(), bookFile, err), 128 + signal) << err.str();
        EXPECT_NE(err.str().find("stopped by"), std::string::npos) << err.str();
        EXPECT_EQ(FilesIn(book.Folder()), QStringList { "book.ebook" }) << "no part file";
        EXPECT_TRUE(QFileInfo::exists(scratch)) << "the pages went to the runtime folder";
        EXPECT_TRUE(QDir(scratch).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
            << QDir(scratch).entryList().join(u' ').toStdString();
    }
    if (runtimeBefore.isNull())
        qunsetenv("XDG_RUNTIME_DIR");
    else
        qputenv("XDG_RUNTIME_DIR", runtimeBefore);
}
