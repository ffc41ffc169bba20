#include "EmbeddedBrowser.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QWebEnginePage>
#include <QWebEngineSettings>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>

namespace {

bool WaitUntil(const std::function<bool()>& condition, int milliseconds = 20000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > milliseconds)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// A shown window holding one browser, counting the loads it finishes.
struct TBrowserWindow {
    QMainWindow window;
    TEmbeddedBrowser* browser = new TEmbeddedBrowser(&window);
    int loads = 0;

    TBrowserWindow()
    {
        window.setCentralWidget(browser);
        QObject::connect(browser->Page(), &QWebEnginePage::loadFinished, [this](bool ok) { loads += ok ? 1 : 0; });
        window.resize(400, 300);
        window.show();
    }

    bool Load(const QString& html)
    {
        const int before = loads;
        browser->Page()->setHtml(html, QUrl(QStringLiteral("http://127.0.0.1:1/page.htm")));
        return WaitUntil([&] { return loads > before; });
    }

    QString Script(const QString& script)
    {
        QString result;
        bool done = false;
        browser->Page()->runJavaScript(script, [&](const QVariant& value) {
            result = value.toString();
            done = true;
        });
        WaitUntil([&] { return done; });
        return result;
    }
};

} // namespace

TEST(EmbeddedBrowser, OptionsReachTheEngineThroughTheHostAnswers)
{
    TBrowserWindow shown;
    TEmbeddedBrowser& browser = *shown.browser;
    QWebEngineSettings* settings = browser.Page()->settings();
    EXPECT_TRUE(settings->testAttribute(QWebEngineSettings::AutoLoadImages));
    EXPECT_TRUE(settings->testAttribute(QWebEngineSettings::JavascriptEnabled));
    EXPECT_TRUE(settings->testAttribute(QWebEngineSettings::ShowScrollBars));
    EXPECT_EQ(browser.frameShape(), QFrame::StyledPanel) << "the 3-D border";
    EXPECT_EQ(browser.DownloadControlValue(), 0x70);

    browser.SetDownloadOptions({ TDownloadControlOption::DLCTL_NO_SCRIPTS });
    browser.SetUserInterfaceOptions({ TUserInterfaceOption::NO3DBORDER });
    EXPECT_FALSE(settings->testAttribute(QWebEngineSettings::AutoLoadImages));
    EXPECT_FALSE(settings->testAttribute(QWebEngineSettings::JavascriptEnabled));
    EXPECT_EQ(browser.frameShape(), QFrame::NoFrame);
    EXPECT_EQ(browser.HostUIFlagsValue(), 0x4);
    ASSERT_TRUE(shown.Load(QStringLiteral("<p id=p>static</p><script>document.title = 'ran'</script>")));
    EXPECT_NE(browser.Page()->title(), QStringLiteral("ran")) << "scripts are off";

    // An application that answers the host-info question itself decides what the engine draws.
    browser.OnGetHostInfo = [](TDocHostUIInfo& info) {
        info.dwFlags |= HostUIFlag(TUserInterfaceOption::SCROLL_NO);
        return S_OK;
    };
    browser.SetDownloadOptions(kDefaultDownloadOptions);
    EXPECT_FALSE(settings->testAttribute(QWebEngineSettings::ShowScrollBars));
    EXPECT_TRUE(settings->testAttribute(QWebEngineSettings::JavascriptEnabled));
}

TEST(EmbeddedBrowser, APageScriptClosingTheWindowAsksOnCloseQueryFirst)
{
    TBrowserWindow shown;
    ASSERT_TRUE(shown.Load(QStringLiteral("<p>closing</p>")));
    int asked = 0;
    bool allow = false;
    shown.browser->OnCloseQuery = [&](QObject* sender, bool& canClose) {
        EXPECT_EQ(sender, shown.browser);
        ++asked;
        canClose = allow;
    };
    shown.Script(QStringLiteral("window.close()"));
    ASSERT_TRUE(WaitUntil([&] { return asked == 1; }));
    EXPECT_TRUE(shown.window.isVisible());

    allow = true;
    shown.Script(QStringLiteral("window.close()"));
    ASSERT_TRUE(WaitUntil([&] { return asked == 2; }));
    EXPECT_TRUE(WaitUntil([&] { return !shown.window.isVisible(); }));
}

TEST(EmbeddedBrowser, ADeadRenderProcessIsReloadedOnce)
{
    TBrowserWindow shown;
    ASSERT_TRUE(shown.Load(QStringLiteral("<p id=p>alive</p>")));
    const qint64 first = shown.browser->Page()->renderProcessPid();
    ASSERT_GT(first, 0);
    const int loads = shown.loads;
    ::kill(static_cast<pid_t>(first), SIGKILL);
    ASSERT_TRUE(WaitUntil([&] { return shown.loads > loads; })) << "not reloaded";
    EXPECT_NE(shown.browser->Page()->renderProcessPid(), first);
    EXPECT_EQ(shown.Script(QStringLiteral("document.getElementById('p').textContent")), QStringLiteral("alive"));
}
