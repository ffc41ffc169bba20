#include "FolderServe.h"

#include "AnsiText.h"
#include "FolderPreview.h"
#include "HTTPListener.h"
#include "NetExceptions.h"
#include "PagePorts.h"
#include "PageService.h"

#include <csignal>
#include <optional>

int ServeFolder(const std::string& folder, const CommandLine& line, const TPageServerLimits& limits,
    const std::string& address, int32_t port, const std::function<int()>& waitForStop, ToolContext& context)
{
    const bool watch = line.Has("--watch");
    // Declared before the listener, whose sessions read it, and the watch, which changes it.
    TFolderPages pages(folder, line, watch, context.err, context.err);
    std::optional<TFolderWatch> watching;
    if (watch)
        watching.emplace(pages, context.err);
    // Declared last, destroyed first: its sessions end before the pages go.
    TNetHTTPListener listener(nullptr);
    listener.BoundIP = address;
    listener.Port = port > 0 ? port : RandomPagePort();
    ApplyPageServerLimits(limits, listener);
    listener.OnCommandGet = [&pages](TNetServerThread&, THTTPRequestInfo& request, THTTPResponseInfo& response) {
        AnswerPageRequest(pages, request, response);
    };
    try {
        if (port > 0)
            listener.SetActive(true);
        else
            SwitchOnAtFreePagePort(listener);
    } catch (const ENetException& error) {
        context.err << address << ":" << listener.Port << ": " << error.Message() << "\n";
        return kExitError;
    }
    context.out << PageURL(listener.BoundIP, listener.Port, ReplaceAll(pages.HomePageName(), " ", "%20")) << std::endl;
    context.err << "Serving the folder " << folder << (watch ? ", reloading open pages after every change" : "")
                << "; press Ctrl+C to stop." << std::endl;
    const int signal = waitForStop();
    listener.SetActive(false);
    context.err << "Stopped (" << (signal == SIGINT ? "interrupt" : "terminate") << ")." << std::endl;
    return kExitOk;
}
