#include "browserhost/EmbeddedBrowser.h"

#include <QApplication>
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QPointer>
#include <QPrintDialog>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <QWebEnginePage>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace {

constexpr int kParagraphs = 70;
constexpr int kWaitMs = 30000;
const QString kTitle = QStringLiteral("Printing Guide: Chapter One");

// The page's text is numbered paragraphs, long enough for several sheets.
QString LongPage()
{
    QString html = QStringLiteral("<html><head><title>Chapter</title></head><body style='font-size:16px'>");
    for (int i = 1; i <= kParagraphs; ++i)
        html += QStringLiteral("<p>Paragraph %1 reads plainly.</p>").arg(i);
    return html + QStringLiteral("</body></html>");
}

// A top-level window, captioned as the viewer's would be, holding the browser.
struct TBrowserWindow {
    TBrowserWindow()
    {
        window.setWindowTitle(kTitle);
        auto* layout = new QVBoxLayout(&window);
        browser = new TEmbeddedBrowser(&window);
        layout->addWidget(browser);
        browser->PrintOptions.Header = QStringLiteral("&w&bPage &p of &P");
        browser->PrintOptions.Footer = QStringLiteral("&u&b&d");
        browser->PrintOptions.Margins = { 0.75, 0.75, 0.75, 0.75 };
        window.resize(640, 480);
        window.show();
    }

    bool Load(const QUrl& url)
    {
        QSignalSpy finished(browser->Page(), &QWebEnginePage::loadFinished);
        browser->Navigate(url, 0);
        return finished.wait(kWaitMs) && finished.first().first().toBool();
    }

    // Prints into the file and gives done's answer, or nothing when done is not called in time.
    std::optional<bool> PrintToFile(const QString& path)
    {
        std::optional<bool> printed;
        browser->PrintToFile(path, [&printed](bool ok) { printed = ok; });
        return QTest::qWaitFor([&] { return printed.has_value(); }, kWaitMs) ? printed : std::nullopt;
    }

    QWidget window;
    TEmbeddedBrowser* browser = nullptr;
};

// One printed sheet as pdftotext reads it: the words in the top margin, in the bottom margin and
// in between, each joined by spaces.
struct TSheetText {
    double Width = 0;
    double Height = 0;
    QString Header;
    QString Body;
    QString Footer;
};

void AddWord(QString& text, const QString& word)
{
    if (!text.isEmpty())
        text += u' ';
    text += word;
}

QList<TSheetText> ReadSheets(const QString& pdf, double marginPoints)
{
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), { QStringLiteral("-bbox"), pdf, QStringLiteral("-") });
    if (!pdftotext.waitForFinished(kWaitMs) || pdftotext.exitCode() != 0)
        return {};
    const QString out = QString::fromUtf8(pdftotext.readAllStandardOutput());
    static const QRegularExpression element(QString::fromLatin1(
        R"re(<page width="([\d.]+)" height="([\d.]+)">|<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re"));
    QList<TSheetText> sheets;
    for (const QRegularExpressionMatch& m : element.globalMatch(out)) {
        if (!m.captured(1).isEmpty()) {
            sheets.append({ m.captured(1).toDouble(), m.captured(2).toDouble(), {}, {}, {} });
            continue;
        }
        if (sheets.isEmpty())
            return {};
        TSheetText& sheet = sheets.back();
        const QString word = m.captured(7).replace(QStringLiteral("&amp;"), QStringLiteral("&"));
        if (m.captured(6).toDouble() <= marginPoints)
            AddWord(sheet.Header, word);
        else if (m.captured(4).toDouble() >= sheet.Height - marginPoints)
            AddWord(sheet.Footer, word);
        else
            AddWord(sheet.Body, word);
    }
    return sheets;
}

// The lines of a poppler tool's output on the file, or nothing when it fails.
QStringList ToolLines(const QString& tool, const QStringList& arguments)
{
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(kWaitMs) || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

// The engine's own PDF of the page, laid out as the browser prints it.
QByteArray EnginePdf(QWebEnginePage& page, const TPrintOptions& options)
{
    QByteArray pdf;
    bool done = false;
    const TMargins& m = options.Margins;
    page.printToPdf(
        [&](const QByteArray& bytes) {
            pdf = bytes;
            done = true;
        },
        QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(m.Left, m.Top, m.Right, m.Bottom),
            QPageLayout::Inch));
    return QTest::qWaitFor([&] { return done; }, kWaitMs) ? pdf : QByteArray();
}

} // namespace

TEST(Print, EverySheetCarriesTitleAndPageNumberAboveAndAddressAndDateBelowThePage)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString pagePath = folder.filePath(QStringLiteral("chapter.htm"));
    {
        QFile page(pagePath);
        ASSERT_TRUE(page.open(QIODevice::WriteOnly));
        page.write(LongPage().toUtf8());
    }
    TBrowserWindow window;
    const QUrl url = QUrl::fromLocalFile(pagePath);
    ASSERT_TRUE(window.Load(url));

    const QString pdf = folder.filePath(QStringLiteral("printed.pdf"));
    ASSERT_EQ(window.PrintToFile(pdf), std::optional<bool>(true));
    const QList<TSheetText> sheets = ReadSheets(pdf, 0.75 * 72);
    ASSERT_GE(sheets.size(), 2);
    const QString date = QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
    QString body;
    for (qsizetype i = 0; i < sheets.size(); ++i) {
        const TSheetText& sheet = sheets[i];
        const QString page = QStringLiteral("Page %1 of %2").arg(i + 1).arg(sheets.size());
        EXPECT_EQ(sheet.Header, kTitle + QStringLiteral(" ") + page) << i;
        EXPECT_EQ(sheet.Footer, url.toDisplayString() + QStringLiteral(" ") + date) << i;
        EXPECT_LT(sheet.Width, sheet.Height);
        body += sheet.Body + QStringLiteral(" ");
    }
    // The page's own text is all there, within the margins, in order.
    qsizetype at = 0;
    for (int i = 1; i <= kParagraphs; ++i) {
        at = body.indexOf(QStringLiteral("Paragraph %1 reads plainly.").arg(i), at);
        ASSERT_GE(at, 0) << "paragraph " << i << " in: " << body.toStdString();
    }
    // The sheets are the engine's own, text and all: as many, no picture of a sheet (pdfimages
    // lists only its two heading lines), and the engine's size plus the header's font.
    const QByteArray engine = EnginePdf(*window.browser->Page(), window.browser->PrintOptions);
    ASSERT_FALSE(engine.isEmpty());
    const QString enginePath = folder.filePath(QStringLiteral("engine.pdf"));
    {
        QFile file(enginePath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(engine);
    }
    EXPECT_EQ(sheets.size(), ReadSheets(enginePath, 0).size());
    EXPECT_EQ(ToolLines(QStringLiteral("pdfimages"), { QStringLiteral("-list"), pdf }).size(), 2);
    EXPECT_LT(QFileInfo(pdf).size(), engine.size() + 16 * 1024);

    // Landscape, and with no room in the margins for a line there is no header or footer.
    window.browser->PrintOptions.Orientation = TPrintOrientationOption::poLandscape;
    window.browser->PrintOptions.Margins = { 0.75, 0.75, 0, 0 };
    const QString landscape = folder.filePath(QStringLiteral("landscape.pdf"));
    ASSERT_EQ(window.PrintToFile(landscape), std::optional<bool>(true));
    // Read without margin bands: every word counts as the page's.
    const QList<TSheetText> wide = ReadSheets(landscape, 0);
    ASSERT_GE(wide.size(), 2);
    EXPECT_GT(wide[0].Width, wide[0].Height);
    EXPECT_TRUE(wide[0].Body.startsWith(QStringLiteral("Paragraph 1 reads plainly."))) << wide[0].Body.toStdString();
    EXPECT_FALSE(wide[0].Body.contains(kTitle));
    EXPECT_FALSE(wide[0].Body.contains(QStringLiteral("Page 1 of")));
}

TEST(Print, NothingIsPrintedOrShownBeforeAPageHasLoadedOrWhereNoOneCanAnswerTheDialog)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    TBrowserWindow window;
    const QString pdf = folder.filePath(QStringLiteral("never.pdf"));
    EXPECT_EQ(window.PrintToFile(pdf), std::optional<bool>(false));
    EXPECT_FALSE(QFile::exists(pdf));

    // Offscreen nobody can answer the print dialog: Print comes back without showing it.
    ASSERT_TRUE(window.Load(QUrl(QStringLiteral("data:text/html,<p>Short page</p>"))));
    window.browser->Print();
    for (QWidget* widget : QApplication::topLevelWidgets())
        EXPECT_EQ(qobject_cast<QPrintDialog*>(widget), nullptr);
    EXPECT_FALSE(QFile::exists(pdf));
}

TEST(Print, ABrowserDestroyedWhilePrintingEndsThePrintWithNothingWrittenAndItsPageGoesOnceRendered)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    auto window = std::make_unique<TBrowserWindow>();
    ASSERT_TRUE(window->Load(QUrl(QStringLiteral("data:text/html,<p>Short page</p>"))));
    const QString pdf = folder.filePath(QStringLiteral("gone.pdf"));
    std::optional<bool> printed;
    window->browser->PrintToFile(pdf, [&printed](bool ok) { printed = ok; });
    // The engine crashes when a page goes while it renders: the page must outlive the browser.
    const QPointer<QWebEnginePage> page = window->browser->Page();
    window.reset();
    EXPECT_EQ(printed, std::optional<bool>(false));
    ASSERT_FALSE(page.isNull());
    EXPECT_TRUE(QTest::qWaitFor([&] { return page.isNull(); }, kWaitMs));
    EXPECT_FALSE(QFile::exists(pdf));
}
