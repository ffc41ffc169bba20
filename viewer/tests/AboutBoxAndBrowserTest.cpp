#include "viewer/tests/ViewerFixture.h"

#include "browserhost/EmbeddedBrowser.h"
#include "server/tests/SocketTestSupport.h"
#include "sources/BookFileSource.h"
#include "ui_BookAboutBox.h"
#include "viewer/AboutText.h"
#include "viewer/BookAboutBox.h"
#include "viewer/BookMainDesign.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDate>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMenu>
#include <QProcess>
#include <QTest>
#include <QUrl>
#include <QWebEngineView>
#include <QWindow>

#include <gtest/gtest.h>

#include <fstream>
#include <optional>

namespace {

TBookAboutBoxForm* OpenAboutBox()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<TBookAboutBoxForm*>(widget); box != nullptr && box->isVisible())
            return box;
    }
    return nullptr;
}

// Takes the links the desktop would open.
class TOpenedLinks : public QObject {
    Q_OBJECT
public:
    TOpenedLinks()
    {
        for (const char* scheme : { "https", "mailto" })
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "Open");
    }
    ~TOpenedLinks() override
    {
        for (const char* scheme : { "https", "mailto" })
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }
    QStringList opened;

public slots:
    void Open(const QUrl& url) { opened << url.toString(); }
};

// Whether asking for the page's context menu brought one up. The engine asks the host first; the
// viewer's own answer is passed through and counted. The keyboard's Shift+F10 stands in for the
// right-click, whose mouse events do not reach the page on the offscreen platform; both take the
// same road. The page may take the first key only to focus itself, so the key is sent again until
// the host is asked.
bool RightClickShowsAMenu(TViewerWindow& window)
{
    TEmbeddedBrowser* browser = window.Form().Designed().Browser;
    int asked = 0;
    const TShowContextMenuEvent viewers = browser->OnShowContextMenu;
    browser->OnShowContextMenu = [&](uint32_t id, const QPoint& point) {
        ++asked;
        return viewers(id, point);
    };
    QWidget* page = browser->View()->focusProxy();
    page->setFocus();
    for (int attempt = 0; attempt < 5 && asked == 0; ++attempt) {
        QTest::keyClick(page, Qt::Key_F10, Qt::ShiftModifier);
        WaitUntil([&] { return asked > 0; }, std::chrono::seconds(2));
    }
    EXPECT_GT(asked, 0);
    // A menu, if any, pops up while the host's answer is acted on.
    QCoreApplication::processEvents();
    QWidget* popup = QApplication::activePopupWidget();
    if (popup != nullptr)
        popup->close();
    browser->OnShowContextMenu = viewers;
    return popup != nullptr;
}

} // namespace

TEST(AboutBox, ShowsTheBookTurnsTheServerOffAndClosesWithEscOrEnter)
{
    TTestBook book;
    book.writer.settings.title = "Guide";
    book.writer.settings.description = "How to read.";
    book.writer.settings.hasAboutText = true;
    book.writer.settings.aboutText = "Written in winter";
    book.writer.settings.hasAboutDate = true;
    book.writer.settings.aboutDate = 46363.5;
    book.writer.settings.display.showToolbar = true;
    book.writer.AddPage("/index.htm", "<title>Home</title><p>home</p>");
    TViewerWindow window(book.Save());
    window.ShowAndWaitForHome();
    const int port = window.Form().PageServer().Port();
    ASSERT_TRUE(WaitUntil([&] { return QGuiApplication::focusWindow() == window.Form().windowHandle(); }));

    for (Qt::Key closing : { Qt::Key_Escape, Qt::Key_Return }) {
        window.Form().Designed().ActionAbout->trigger();
        TBookAboutBoxForm* box = OpenAboutBox();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), QStringLiteral("About this book: Guide"));
        EXPECT_EQ(box->Designed().DescriptionMemo->toPlainText(),
            QStringLiteral("How to read.\n\nWritten in winter (%1)").arg(AboutDateText(46363.5, QLocale())));
        EXPECT_TRUE(box->isModal());
        ASSERT_TRUE(WaitUntil([&] { return QGuiApplication::focusWindow() == box->windowHandle(); }));
        EXPECT_FALSE(LoopbackClient(port).Connected()) << "off while the About box holds the focus";

        QPointer<TBookAboutBoxForm> alive(box);
        QTest::keyClick(box, closing);
        ASSERT_TRUE(WaitUntil([&] { return alive.isNull(); })) << "closed and freed";
        EXPECT_TRUE(LoopbackClient(port).Connected());
        window.Form().activateWindow();
        ASSERT_TRUE(WaitUntil([&] { return QGuiApplication::focusWindow() == window.Form().windowHandle(); }));
    }
}

TEST(AboutBox, LinksOpenTheirCaptionAndMailAddressesGetMailto)
{
    TTestBook book;
    book.writer.AddPage("/index.htm", "<p>home</p>");
    book.Save();
    TBookReader reader;
    TFileStream file((book.Folder() / "book.ebook").string(), TFileStream::Mode::OpenRead);
    ASSERT_TRUE(reader.LoadFromStream(file));
    const TBookFileSource source(reader);
    TBookAboutBoxForm box(nullptr, source);
    TOpenedLinks links;
    box.Designed().Label5->setText(QStringLiteral("reader@example.org"));
    for (QLabel* label : { box.Designed().Label3, box.Designed().Label5, box.Designed().Label10 })
        TBookAboutBoxForm::LabelsClick(*label);
    EXPECT_EQ(links.opened,
        (QStringList { box.Designed().Label3->text(), QStringLiteral("mailto:") + box.Designed().Label5->text(),
            QStringLiteral("mailto:") + box.Designed().Label10->text() }));
    EXPECT_EQ(box.windowTitle(), QStringLiteral("About this book: "));
    // The publisher block: this program and the engine with their versions, nothing invented.
    EXPECT_TRUE(box.Designed().Label6->text().contains(QStringLiteral(EBOOK_VERSION)));
    EXPECT_TRUE(box.Designed().Label7->text().startsWith(QStringLiteral("Qt WebEngine 6.")));
    for (const QLabel* label : box.findChildren<QLabel*>())
        EXPECT_FALSE(label->text().contains(QStringLiteral("555"))) << label->objectName().toStdString();
    // Nothing to say: no empty text box, and what stood below it moves up, the Ok button still in
    // the box.
    EXPECT_TRUE(box.Designed().DescriptionMemo->isHidden());
    EXPECT_EQ(box.Designed().LogoImage->y(), 8);
    EXPECT_LE(box.Designed().OkButton->geometry().bottom(), box.height());
    EXPECT_LT(box.height(), 200);
}

TEST(Browser, TheContextMenuIsTheBooksChoice)
{
    for (bool allowed : { false, true }) {
        SCOPED_TRACE(allowed ? "allowed" : "forbidden");
        TTestBook book;
        book.writer.settings.display.allowContextMenu = allowed;
        book.writer.AddPage("/index.htm", "<body style='height:400px'><p>right-click me</p></body>");
        TViewerWindow window(book.Save());
        window.ShowAndWaitForHome();
        EXPECT_EQ(RightClickShowsAMenu(window), allowed);
    }
}

TEST(Browser, NewWindowsOpenInTheViewersOwnWindowAndDownloadsOnlyWhereTheUserSays)
{
    TTestBook book;
    book.writer.settings.title = "Links";
    book.writer.AddPage("/index.htm",
        "<title>Home</title><a id=\"blank\" target=\"_blank\" href=\"other.htm\">other</a>"
        "<a id=\"zip\" href=\"files.zip\">zip</a>");
    book.writer.AddPage("/other.htm", "<title>Other</title><p>other</p>");
    book.writer.AddPage("/third.htm", "<title>Third</title><p>third</p>");
    const std::string zip = std::string("PK\x03\x04\x14", 5) + std::string(45, '\0');
    book.writer.AddPage("/files.zip", zip);
    TViewerWindow window(book.Save());
    window.ShowAndWaitForHome();

    ASSERT_TRUE(window.FollowLink(QStringLiteral("blank")));
    EXPECT_TRUE(WaitUntil([&] { return window.Caption() == QStringLiteral("Links - Other"); }));
    window.RunScript(QStringLiteral("window.open('third.htm')"));
    ASSERT_TRUE(window.WaitForLoad());
    EXPECT_TRUE(WaitUntil([&] { return window.Caption() == QStringLiteral("Links - Third"); }));
    EXPECT_EQ(window.Form().VisitedURLs().Count(), 3);
    EXPECT_EQ(QApplication::topLevelWidgets().count(&window.Form()), 1);

    // No one to ask here: the download is dropped, and nothing is written.
    TEmbeddedBrowser* browser = window.Form().Designed().Browser;
    window.Form().NavigateToPage("/index.htm");
    ASSERT_TRUE(window.WaitForLoad());
    int asked = 0;
    const auto target = book.Folder() / "saved" / "chosen.zip";
    std::filesystem::create_directories(target.parent_path());
    browser->OnChooseDownloadFile = [&](const QString& suggested) {
        ++asked;
        EXPECT_EQ(suggested, QStringLiteral("files.zip"));
        return asked == 1 ? QString() : QString::fromStdString(target.string());
    };
    window.RunScript(QStringLiteral("document.getElementById('zip').click()"));
    ASSERT_TRUE(WaitUntil([&] { return asked == 1; }));
    window.RunScript(QStringLiteral("document.getElementById('zip').click()"));
    ASSERT_TRUE(WaitUntil([&] { return asked == 2; }));
    ASSERT_TRUE(
        WaitUntil([&] { return std::filesystem::exists(target) && std::filesystem::file_size(target) == zip.size(); }));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(target.parent_path()), {}), 1)
        << "only the file the user named";
    std::ifstream saved(target, std::ios::binary);
    std::string content(zip.size(), '\0');
    saved.read(content.data(), static_cast<std::streamsize>(content.size()));
    EXPECT_EQ(content, zip);
}

TEST(Browser, PrintingCarriesTheCaptionThePageCountTheAddressAndTheDate)
{
    TTestBook book;
    book.writer.settings.title = "Printed";
    book.writer.settings.display.allowPrint = true;
    std::string page = "<html><head><title>Long Page</title></head><body>";
    for (int i = 1; i <= 80; ++i)
        page += "<p>Paragraph " + std::to_string(i) + "</p>";
    book.writer.AddPage("/index.htm", page + "</body></html>");
    TViewerWindow window(book.Save());
    window.ShowAndWaitForHome();
    ASSERT_TRUE(WaitUntil([&] { return window.Caption() == QStringLiteral("Printed - Long Page"); }));

    const QString pdf = QString::fromStdString((book.Folder() / "printed.pdf").string());
    std::optional<bool> printed;
    window.Form().Designed().Browser->PrintToFile(pdf, [&](bool ok) { printed = ok; });
    ASSERT_TRUE(WaitUntil([&] { return printed.has_value(); }, std::chrono::seconds(60)));
    ASSERT_TRUE(*printed);
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), { QStringLiteral("-layout"), pdf, QStringLiteral("-") });
    ASSERT_TRUE(pdftotext.waitForFinished(30000));
    const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput());
    const int sheets = static_cast<int>(text.count(QStringLiteral("Printed - Long Page")));
    ASSERT_GE(sheets, 2) << text.toStdString();
    const QString address = QStringLiteral("http://127.0.0.1:%1/index.htm").arg(window.Form().PageServer().Port());
    EXPECT_EQ(text.count(QStringLiteral("Page 1 of %1").arg(sheets)), 1);
    EXPECT_EQ(text.count(QStringLiteral("Page %1 of %1").arg(sheets)), 1);
    EXPECT_EQ(text.count(address), sheets);
    EXPECT_EQ(text.count(QLocale().toString(QDate::currentDate(), QLocale::ShortFormat)), sheets);
}

#include "AboutBoxAndBrowserTest.moc"
