#include "ViewerFixture.h"

#include "ApplicationTitle.h"
#include "BookMainDesign.h"
#include "EmbeddedBrowser.h"
#include "Exception.h"
#include "FormActivation.h"
#include "HTTPListener.h"

#include <QDialog>
#include <QGuiApplication>
#include <QWebEnginePage>
#include <QWindow>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fstream>
#include <netinet/in.h>
#include <sys/socket.h>
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
    EXPECT_FALSE(window.Form().PageListener().Active()) << "not listening before the window shows";
    window.ShowAndWaitForHome();

    const TNetHTTPListener& listener = window.Form().PageListener();
    EXPECT_TRUE(listener.Active());
    EXPECT_EQ(listener.BoundIP, "127.0.0.1");
    EXPECT_GE(listener.Port, 11111);
    EXPECT_LE(listener.Port, 12110);
    EXPECT_TRUE(window.PageText().contains(QStringLiteral("Hello reader")));
    EXPECT_EQ(window.Caption(), QStringLiteral("Guide - Welcome"));
    EXPECT_EQ(ApplicationTitle(), QStringLiteral("Guide - Welcome"));

    // What the engine is sent for an image the book lacks: the 404 text.
    EXPECT_EQ(window.RunScript(QStringLiteral("var x = new XMLHttpRequest(); x.open('GET', '/none.png', false); "
                                              "x.send(); x.status + ' ' + x.responseText")),
        QStringLiteral("404 <h2>HTTP Error 404</h2><p><strong>404 Not Found</strong></p>"));
    // And what any client is sent, byte for byte.
    EXPECT_EQ(RawRequest(listener.Port, "GET /index.htm HTTP/1.0\r\n\r\n"),
        "HTTP/1.0 200 OK\r\nServer: NetServer/1.000\r\nContent-Length: " + std::to_string(kHome.size()) + "\r\n\r\n"
            + kHome);
    EXPECT_EQ(RawRequest(listener.Port, "GET /none.png HTTP/1.0\r\n\r\n"), kNotFound);
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
    EXPECT_TRUE(window.Form().PageListener().Active()) << "the server still answers, as a rule with 404";
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
    TViewerWindow window(book.Save());
    testing::internal::CaptureStderr();
    window.Form().show();
    const std::string reported = testing::internal::GetCapturedStderr();
    EXPECT_NE(reported.find("List index out of bounds (5)\n"), std::string::npos) << reported;
    EXPECT_TRUE(window.Form().isVisible());
    EXPECT_TRUE(window.Form().Designed().Browser->Page()->requestedUrl().isEmpty());
}

TEST(ViewerStartup, APortTakenByAnotherProgramIsPassedOver)
{
    TTestBook book;
    book.writer.AddPage("/index.htm", kHome);
    TViewerWindow window(book.Save());
    const int drawn = window.Form().PageListener().Port;

    const int other = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(drawn));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(other, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(other, 1), 0);

    window.ShowAndWaitForHome();
    EXPECT_EQ(window.Form().PageListener().Port, drawn == 12110 ? 11111 : drawn + 1);
    EXPECT_TRUE(window.PageText().contains(QStringLiteral("Hello reader")));
    ::close(other);
}

TEST(ViewerStartup, TheServerIsOffExactlyWhileAnotherViewerFormHoldsTheFocus)
{
    TTestBook book;
    book.writer.AddPage("/index.htm", kHome);
    TViewerWindow window(book.Save());
    window.ShowAndWaitForHome();
    const int port = window.Form().PageListener().Port;
    ASSERT_TRUE(WaitUntil([&] { return QGuiApplication::focusWindow() == window.Form().windowHandle(); }));

    // A dialog that is not one of the viewer's forms (a message box, the print dialog) changes
    // nothing.
    {
        QDialog dialog(&window.Form());
        dialog.show();
        ASSERT_TRUE(WaitUntil([&] { return QGuiApplication::focusWindow() == dialog.windowHandle(); }));
        EXPECT_TRUE(Accepts(port));
    }
    // The offscreen platform hands the focus back to nobody; a window manager would give it back.
    window.Form().activateWindow();
    ASSERT_TRUE(WaitUntil([&] { return QGuiApplication::focusWindow() == window.Form().windowHandle(); }));

    auto form = std::make_unique<QDialog>(&window.Form());
    TFormActivation::MarkAsViewerForm(*form);
    form->show();
    ASSERT_TRUE(WaitUntil([&] { return QGuiApplication::focusWindow() == form->windowHandle(); }));
    EXPECT_FALSE(Accepts(port));
    form->close();
    EXPECT_TRUE(Accepts(port)) << "on again as soon as the form closes";
    form.reset();
    window.Form().Designed().Browser->Page()->triggerAction(QWebEnginePage::Reload);
    EXPECT_TRUE(window.WaitForLoad());
}
