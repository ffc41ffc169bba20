// Preloaded into the one-file viewer when the machine has no keyboard data: the engine adds the
// keymap folder built into it, /usr/share/X11/xkb, to its xkbcommon context; this turns that folder
// into the bundled one named by EBOOK_XKB_ROOT. Every other call goes through unchanged.
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>

struct xkb_context;

extern "C" int xkb_context_include_path_append(xkb_context* context, const char* path)
{
    using TAppend = int (*)(xkb_context*, const char*);
    static const auto next = reinterpret_cast<TAppend>(::dlsym(RTLD_NEXT, "xkb_context_include_path_append"));
    if (next == nullptr)
        return 0;
    const char* bundled = std::getenv("EBOOK_XKB_ROOT");
    if (bundled != nullptr && path != nullptr && std::strcmp(path, "/usr/share/X11/xkb") == 0)
        return next(context, bundled);
    return next(context, path);
}
