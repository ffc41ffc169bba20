#include "viewer/tests/ViewerFixture.h"

#include "browserhost/EmbeddedBrowser.h"
#include "common/Streams.h"
#include "viewer/BookMainDesign.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QWebEnginePage>

#include <gtest/gtest.h>

#include <random>

TTestBook::TTestBook()
{
    std::random_device seed;
    folder_ = std::filesystem::temp_directory_path() / ("ebook-viewer-test-" + std::to_string(seed()));
    std::filesystem::create_directories(folder_);
}

TTestBook::~TTestBook()
{
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

std::string TTestBook::Save()
{
    const std::string fileName = (folder_ / "book.ebook").string();
    TFileStream file(fileName, TFileStream::Mode::Create);
    writer.SaveToStream(file);
    return fileName;
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit)
{
    // Not QTest::qWaitFor: it sleeps 10 ms between rounds of events, and the engine, whose work
    // passes through this thread's event loop many times per page, then loads and prints a page
    // several times slower (a first page went from under 1.5 s to over 3 s).
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > limit.count())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

TViewerWindow::TViewerWindow(const std::string& bookFile)
    : form_(std::make_unique<TBookMainForm>(bookFile))
{
    QObject::connect(form_->Designed().Browser->Page(), &QWebEnginePage::loadFinished, form_.get(), [this](bool ok) {
        ++loadsFinished_;
        lastLoadOk_ = ok;
    });
}

TViewerWindow::~TViewerWindow() = default;

void TViewerWindow::ShowAndWaitForHome()
{
    form_->show();
    ASSERT_TRUE(WaitForLoad()) << "the home page did not load";
}

bool TViewerWindow::WaitForLoad()
{
    const int target = loadsWaitedFor_ + 1;
    if (!WaitUntil([&] { return loadsFinished_ >= target; }))
        return false;
    loadsWaitedFor_ = loadsFinished_;
    return lastLoadOk_;
}

bool TViewerWindow::WaitForLoadWithin(std::chrono::milliseconds limit)
{
    const int target = loadsWaitedFor_ + 1;
    const bool loaded = WaitUntil([&] { return loadsFinished_ >= target; }, limit);
    loadsWaitedFor_ = loadsFinished_;
    return loaded;
}

QString TViewerWindow::RunScript(const QString& script)
{
    bool done = false;
    QString result;
    form_->Designed().Browser->Page()->runJavaScript(script, [&](const QVariant& value) {
        result = value.toString();
        done = true;
    });
    WaitUntil([&] { return done; });
    return result;
}

bool TViewerWindow::FollowLink(const QString& id)
{
    RunScript(QStringLiteral("document.getElementById('%1').click()").arg(id));
    return WaitForLoad();
}

QString TViewerWindow::Caption() const
{
    return form_->windowTitle();
}

QString TViewerWindow::PageText()
{
    return RunScript(QStringLiteral("document.body ? document.body.innerText : ''"));
}
