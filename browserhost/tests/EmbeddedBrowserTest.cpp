#include "browserhost/EmbeddedBrowser.h"

#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMainWindow>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <QWindow>

#include "browserhost/ApplicationTitle.h"

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

TEST(EmbeddedBrowser, KeysGoToTheHostFirstButThoseThePageMustHave)
{
    TBrowserWindow shown;
    ASSERT_TRUE(
        shown.Load(QStringLiteral("<input id=i autofocus><script>"
                                  "window.keys = []; document.addEventListener('keydown', e => keys.push(e.key))"
                                  "</script>")));
    QStringList offered;
    shown.browser->OnTranslateAccelerator = [&](const QKeyEvent& key) {
        offered << QKeySequence(key.key() | key.modifiers()).toString();
        return key.key() == Qt::Key_F5 ? S_OK : S_FALSE; // the host takes F5 for itself
    };
    QWidget* page = shown.browser->View()->focusProxy();
    ASSERT_NE(page, nullptr);
    shown.window.activateWindow();
    ASSERT_TRUE(WaitUntil([&] { return QGuiApplication::focusWindow() == shown.window.windowHandle(); }));
    page->setFocus();
    // The page may take the first keys only to focus itself: send one until it arrives.
    for (int attempt = 0; attempt < 10 && shown.Script(QStringLiteral("keys.length")) == QStringLiteral("0");
         ++attempt) {
        QTest::keyClick(page, Qt::Key_X);
        WaitUntil([&] { return shown.Script(QStringLiteral("keys.length")) != QStringLiteral("0"); }, 1000);
    }
    shown.Script(QStringLiteral("keys = []"));
    offered.clear();
    for (Qt::Key key : { Qt::Key_Backspace, Qt::Key_Return, Qt::Key_Left, Qt::Key_Right, Qt::Key_A, Qt::Key_F5 })
        QTest::keyClick(page, key);
    QTest::keyClick(page, Qt::Key_Left, Qt::KeypadModifier);
    EXPECT_EQ(offered, (QStringList { QStringLiteral("A"), QStringLiteral("F5"), QStringLiteral("Num+Left") }));
    // The page has every key but the one the host took.
    const bool arrived = WaitUntil([&] {
        return shown.Script(QStringLiteral("keys.join(',')"))
            == QStringLiteral("Backspace,Enter,ArrowLeft,ArrowRight,a,ArrowLeft");
    });
    EXPECT_TRUE(arrived) << shown.Script(QStringLiteral("typeof keys + ':' + keys.join(',')")).toStdString();
}

TEST(EmbeddedBrowser, DialogsTakingTheFocusFromTheOwnerAreReportedAndRetitledOnRequest)
{
    TBrowserWindow shown;
    SetApplicationTitle(QStringLiteral("My Book"));
    shown.window.activateWindow();
    ASSERT_TRUE(WaitUntil([&] { return QGuiApplication::focusWindow() == shown.window.windowHandle(); }));
    QStringList reported;
    shown.browser->OnShowDialog = [&](QObject* sender, QWidget* gaining) {
        EXPECT_EQ(sender, shown.browser);
        reported << gaining->windowTitle();
    };
    for (bool replace : { false, true }) {
        shown.browser->ReplaceCaption = replace;
        QDialog dialog(&shown.window);
        dialog.setWindowTitle(QStringLiteral("Microsoft Internet Explorer: Microsoft says"));
        dialog.show();
        ASSERT_TRUE(WaitUntil([&] { return QGuiApplication::focusWindow() == dialog.windowHandle(); }));
        EXPECT_EQ(dialog.windowTitle(),
            replace ? QStringLiteral("My Book: Microsoft says")
                    : QStringLiteral("Microsoft Internet Explorer: Microsoft says"));
        dialog.close();
        shown.window.activateWindow();
        ASSERT_TRUE(WaitUntil([&] { return QGuiApplication::focusWindow() == shown.window.windowHandle(); }));
    }
    EXPECT_EQ(reported.size(), 2);
}

TEST(EmbeddedBrowser, AUserAgentTokenJoinsTheEnginesPlatformPart)
{
    TBrowserWindow shown;
    const QString engine = shown.browser->Page()->profile()->httpUserAgent();
    shown.browser->SetUserAgent(QStringLiteral("eBook/1"));
    const QString agent = shown.browser->Page()->profile()->httpUserAgent();
    EXPECT_TRUE(agent.contains(QStringLiteral("; eBook/1)"))) << agent.toStdString();
    EXPECT_EQ(QString(agent).remove(QStringLiteral("; eBook/1")), engine);
    ASSERT_TRUE(shown.Load(QStringLiteral("<p>agent</p>")));
    EXPECT_TRUE(shown.Script(QStringLiteral("navigator.userAgent")).contains(QStringLiteral("eBook/1")));
    shown.browser->SetUserAgent(QString());
    EXPECT_EQ(shown.browser->Page()->profile()->httpUserAgent(), engine);
}
