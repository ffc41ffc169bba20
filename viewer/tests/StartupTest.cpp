#include "viewer/tests/ViewerFixture.h"

#include "browserhost/ApplicationTitle.h"
#include "browserhost/EmbeddedBrowser.h"
#include "common/Exception.h"
#include "pageservice/tests/TakenPagePort.h"
#include "server/tests/SocketTestSupport.h"
#include "viewer/BookMainDesign.h"
#include "viewer/FormActivation.h"

#include <QDialog>
#include <QGuiApplication>
#include <QWebEnginePage>
#include <QWindow>

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

namespace {

const std::string kHome = "<html><head><title>Welcome</title></head><body><p>Hello reader</p>"
                          "<img src=\"none.png\"></body></html>";

const std::string kNotFound = "HTTP/1.0 404 Not Found\r\nServer: NetServer/1.000\r\nContent-Type: text/html\r\n"
                              "Content-Length: 60\r\n\r\n<h2>HTTP Error 404</h2><p><strong>404 Not Found</strong></p>";

} // namespace

TEST(ViewerStartup, HomePageComesFromTheInProcessServerOnALoopbackPagePort)
{
    TTestBook book;
    book.writer.settings.title = "Guide";
    book.writer.AddPage("/index.htm", kHome);
    TViewerWindow window(book.Save());
    EXPECT_FALSE(window.Form().PageServer().Active()) << "not listening before the window shows";
    window.ShowAndWaitForHome();

    const TPageServer& server = window.Form().PageServer();
    EXPECT_TRUE(server.Active());
    EXPECT_EQ(server.Address(), "127.0.0.1");
    EXPECT_GE(server.Port(), 11111);
    EXPECT_LE(server.Port(), 12110);
    EXPECT_TRUE(window.PageText().contains(QStringLiteral("Hello reader")));
    EXPECT_EQ(window.Caption(), QStringLiteral("Guide - Welcome"));
    EXPECT_EQ(ApplicationTitle(), QStringLiteral("Guide - Welcome"));

    // What the engine is sent for an image the book lacks: the 404 text.
    EXPECT_EQ(window.RunScript(QStringLiteral("var x = new XMLHttpRequest(); x.open('GET', '/none.png', false); "
                                              "x.send(); x.status + ' ' + x.responseText")),
        QStringLiteral("404 <h2>HTTP Error 404</h2><p><strong>404 Not Found</strong></p>"));
    // And what any client is sent, byte for byte.
    EXPECT_EQ(Exchange(server.Port(), "GET /index.htm HTTP/1.0\r\n\r\n"),
        "HTTP/1.0 200 OK\r\nServer: NetServer/1.000\r\nContent-Type: text/html\r\nContent-Length: "
            + std::to_string(kHome.size()) + "\r\n\r\n" + kHome);
    EXPECT_EQ(Exchange(server.Port(), "GET /none.png HTTP/1.0\r\n\r\n"), kNotFound);
    // A name another site points at this machine gets nothing of the book.
    const std::string foreign = Exchange(
        server.Port(), "GET /index.htm HTTP/1.1\r\nHost: evil.example:" + std::to_string(server.Port()) + "\r\n\r\n");
    EXPECT_TRUE(foreign.starts_with("HTTP/1.0 403 Forbidden\r\n")) << foreign;
    EXPECT_EQ(foreign.find("Hello reader"), std::string::npos);
}

TEST(ViewerStartup, AFileThatIsNoBookIsCaptionedInvalidEBookAndRequestsNothing)
{
    TTestBook book;
    const auto fileName = book.Folder() / "notes.txt";
    std::ofstream(fileName) << "just some text, no container";
    TViewerWindow window(fileName.string());
    SetApplicationTitle(QStringLiteral("eBook"));
    window.Form().show();
    EXPECT_EQ(window.Caption(), QStringLiteral("Invalid eBook"));
    EXPECT_EQ(ApplicationTitle(), QStringLiteral("Invalid eBook"));
    // The first navigation would have been asked for while showing.
    EXPECT_TRUE(window.Form().Designed().Browser->Page()->requestedUrl().isEmpty());
    EXPECT_EQ(window.Form().VisitedURLs().Count(), 0);
    EXPECT_TRUE(window.Form().PageServer().Active()) << "the server still answers, as a rule with 404";
}

TEST(ViewerStartup, AMissingBookFileRaisesCannotOpenFileBeforeAnyWindowExists)
{
    TTestBook book;
    const std::string missing = (book.Folder() / "gone.ebook").string();
    try {
        TBookMainForm form(missing);
        FAIL() << "a window was made";
    } catch (const Exception& error) {
        EXPECT_TRUE(error.Message().starts_with("Cannot open file " + missing + "\n")) << error.Message();
    }
}

TEST(ViewerStartup, AHomeIndexOutsideTheDirectoryIsReportedAndTheWindowStays)
{
    TTestBook book;
    book.writer.AddPage("/index.htm", kHome);
    book.writer.settings.homePageIndex = 5;
    const std::string fileName = book.Save();
    TViewerWindow window(fileName);
    testing::internal::CaptureStderr();
    window.Form().show();
    const std::string reported = testing::internal::GetCapturedStderr();
    EXPECT_NE(reported.find(fileName + " is not an eBook: no home page (its index lies outside the page directory)\n"),
        std::string::npos)
        << reported;
    EXPECT_EQ(window.Caption(), QStringLiteral("Invalid eBook"));
    EXPECT_TRUE(window.Form().isVisible());
    EXPECT_TRUE(window.Form().Designed().Browser->Page()->requestedUrl().isEmpty());
}

TEST(ViewerStartup, APortTakenByAnotherProgramIsPassedOver)
{
    TTestBook book;
    book.writer.AddPage("/index.htm", kHome);
    TViewerWindow window(book.Save());
    // A page port this test holds itself, made the one the server drew.
    const TTakenPagePort taken;
    ASSERT_NE(taken.Port(), 0);
    window.Form().PageServer().SetPort(taken.Port());

    window.ShowAndWaitForHome();
    const int port = window.Form().PageServer().Port();
    EXPECT_NE(port, taken.Port());
    EXPECT_GE(port, 11111);
    EXPECT_LE(port, 12110);
    EXPECT_TRUE(window.PageText().contains(QStringLiteral("Hello reader")));
}

TEST(ViewerStartup, TheServerIsOffExactlyWhileAnotherViewerFormHoldsTheFocus)
{
    TTestBook book;
    book.writer.AddPage("/index.htm", kHome);
    TViewerWindow window(book.Save());
    window.ShowAndWaitForHome();
    const int port = window.Form().PageServer().Port();
    ASSERT_TRUE(WaitUntil([&] { return QGuiApplication::focusWindow() == window.Form().windowHandle(); }));

    // A dialog that is not one of the viewer's forms (a message box, the print dialog) changes
    // nothing.
    {
        QDialog dialog(&window.Form());
        dialog.show();
        ASSERT_TRUE(WaitUntil([&] { return QGuiApplication::focusWindow() == dialog.windowHandle(); }));
        EXPECT_TRUE(LoopbackClient(port).Connected());
    }
    // The offscreen platform hands the focus back to nobody; a window manager would give it back.
    window.Form().activateWindow();
    ASSERT_TRUE(WaitUntil([&] { return QGuiApplication::focusWindow() == window.Form().windowHandle(); }));

    auto form = std::make_unique<QDialog>(&window.Form());
    TFormActivation::MarkAsViewerForm(*form);
    form->show();
    ASSERT_TRUE(WaitUntil([&] { return QGuiApplication::focusWindow() == form->windowHandle(); }));
    EXPECT_FALSE(LoopbackClient(port).Connected());
    form->close();
    EXPECT_TRUE(LoopbackClient(port).Connected()) << "on again as soon as the form closes";
    form.reset();
    window.Form().Designed().Browser->Page()->triggerAction(QWebEnginePage::Reload);
    EXPECT_TRUE(window.WaitForLoad());
}
