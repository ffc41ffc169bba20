#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

// One application per test process on the offscreen platform; the engine makes no outside
// connections and, as root, runs without its sandbox.
int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv(
        "QTWEBENGINE_CHROMIUM_FLAGS", "--disable-background-networking --disable-component-update --no-first-run", 0);
    if (::geteuid() == 0)
        ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
