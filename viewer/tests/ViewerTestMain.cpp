#include "EngineEnvironment.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

// One application per test process, made as the viewer's own entry makes it, on the offscreen
// platform unless a test run asks for another; the engine makes no outside connections.
int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv(
        "QTWEBENGINE_CHROMIUM_FLAGS", "--disable-background-networking --disable-component-update --no-first-run", 0);
    std::ostringstream note;
    PrepareBrowserEngine(note);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
