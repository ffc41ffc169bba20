#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

// The one entry of every test suite that needs a Qt application (ebook_add_test with QT_MAIN):
// one application per test process, on the offscreen platform unless a test run asks for
// another. The engine makes no outside connections and, as root, runs without its sandbox; Qt
// shares its graphics contexts, as the engine needs, and keeps no shader cache on disk.
int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv(
        "QTWEBENGINE_CHROMIUM_FLAGS", "--disable-background-networking --disable-component-update --no-first-run", 0);
    if (::geteuid() == 0)
        ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    ::setenv("MESA_SHADER_CACHE_DISABLE", "true", 0);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QCoreApplication::setAttribute(Qt::AA_DisableShaderDiskCache);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
