#include "viewer/app/EngineEnvironment.h"

#include "resources/StringTable.h"

#include <QCoreApplication>

#include <cstdlib>
#include <unistd.h>

void PrepareBrowserEngine(std::ostream& note)
{
    if (::geteuid() == 0 && std::getenv("QTWEBENGINE_DISABLE_SANDBOX") == nullptr) {
        ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
        note << kRunningAsRootNote << std::endl;
    }
    // Mesa keeps a shader cache under ~/.cache unless told not to; the user's own setting wins.
    ::setenv("MESA_SHADER_CACHE_DISABLE", "true", 0);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QCoreApplication::setAttribute(Qt::AA_DisableShaderDiskCache);
}
