#include "packaging/portable/ViewerEnvironment.h"

#include <cstdlib>
#include <string_view>
#include <sys/stat.h>

namespace {

// Where Debian, Fedora and Arch keep libraries; the GL vendor libraries of libglvnd live there.
constexpr std::string_view kLibraryFolders[] = {
#if defined(__x86_64__)
    "/usr/lib/x86_64-linux-gnu",
    "/lib/x86_64-linux-gnu",
#elif defined(__aarch64__)
    "/usr/lib/aarch64-linux-gnu",
    "/lib/aarch64-linux-gnu",
#endif
    "/usr/lib64",
    "/usr/lib",
};
constexpr std::string_view kGlVendorLibraries[] = { "libGLX_mesa.so.0", "libGLX_nvidia.so.0", "libGLX_amd.so.0" };

// The engine's keyboard code reads its keymaps from this folder only, a path built into it.
constexpr const char* kMachineKeyboardData = "/usr/share/X11/xkb";

// Variables through which the machine's own Qt would be mixed into the bundled one.
constexpr const char* kOutsideQtVariables[]
    = { "QT_PLUGIN_PATH", "QT_QPA_PLATFORM_PLUGIN_PATH", "QTWEBENGINEPROCESS_PATH", "QTWEBENGINE_RESOURCES_PATH",
          "QTWEBENGINE_LOCALES_PATH", "QML2_IMPORT_PATH", "QML_IMPORT_PATH", "LD_LIBRARY_PATH" };

bool Exists(const std::string& path)
{
    struct stat info { };
    return ::stat(path.c_str(), &info) == 0;
}

bool MachineHasGlDriver()
{
    for (const auto folder : kLibraryFolders)
        for (const auto library : kGlVendorLibraries)
            if (Exists(std::string(folder) + "/" + std::string(library)))
                return true;
    return false;
}

std::string ShellQuoted(const std::string& text)
{
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Changes the environment, writing down how to undo it.
class TEnvironmentChanges {
public:
    void Set(const char* name, const std::string& value)
    {
        Save(name);
        ::setenv(name, value.c_str(), 1);
    }
    void SetUnlessSet(const char* name, const std::string& value)
    {
        if (std::getenv(name) == nullptr)
            Set(name, value);
    }
    void Unset(const char* name)
    {
        if (std::getenv(name) == nullptr)
            return;
        Save(name);
        ::unsetenv(name);
    }
    const std::string& Undo() const { return undo_; }

private:
    void Save(const char* name)
    {
        const char* old = std::getenv(name);
        undo_ += old ? "export " + std::string(name) + "=" + ShellQuoted(old) + "; "
                     : "unset " + std::string(name) + "; ";
    }
    std::string undo_;
};

} // namespace

void PrepareViewerEnvironment(const std::string& runtime, const std::string& programFile, int holdFd)
{
    TEnvironmentChanges changes;
    changes.Set("EBOOK_CARRIER_FILE", programFile);
    for (const char* name : kOutsideQtVariables)
        changes.Unset(name);
    if (!MachineHasGlDriver()) {
        // Without a GL driver Qt's GLX set-up aborts, and Qt Quick (the engine's pop-ups) has no
        // drawing back end: both draw in software instead.
        changes.SetUnlessSet("QT_XCB_GL_INTEGRATION", "none");
        changes.SetUnlessSet("QT_QUICK_BACKEND", "software");
    }
    // The bundled fonts.conf takes in the machine's configuration when there is one.
    changes.SetUnlessSet("FONTCONFIG_FILE", runtime + "/fonts/fonts.conf");
    if (!Exists(kMachineKeyboardData)) {
        // Qt's own keyboard code reads XKB_CONFIG_ROOT; the engine's only the built-in path,
        // which the preloaded shim turns to the bundled data.
        changes.Set("XKB_CONFIG_ROOT", runtime + "/xkb");
        changes.Set("EBOOK_XKB_ROOT", runtime + "/xkb");
        const char* preload = std::getenv("LD_PRELOAD");
        const std::string shim = runtime + "/shim/ebook-xkb-path.so";
        changes.Set("LD_PRELOAD", preload && *preload ? shim + ":" + preload : shim);
    }
    const char* path = std::getenv("PATH");
    changes.Set("PATH", runtime + "/desktop-bin:" + (path ? path : "/usr/local/bin:/usr/bin:/bin"));
    if (holdFd >= 0)
        ::setenv("EBOOK_RUNTIME_HOLD_FD", std::to_string(holdFd).c_str(), 1);
    ::setenv("EBOOK_SAVED_ENVIRONMENT", changes.Undo().c_str(), 1);
}
