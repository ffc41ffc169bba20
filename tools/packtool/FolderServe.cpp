#include "tools/packtool/FolderServe.h"

#include "common/AnsiText.h"
#include "common/DisplayText.h"
#include "pageservice/PageServer.h"
#include "server/socket/NetExceptions.h"
#include "sources/FolderPreview.h"
#include "sources/OpenSource.h"
#include "tools/packtool/ServeLimits.h"
#include "tools/packtool/ServeSearch.h"

#include <csignal>
#include <optional>

int ServeFolder(const std::string& folder, const CommandLine& line, const TPageServerLimits& limits,
    const std::string& address, int32_t port, const std::function<int()>& waitForStop, ToolContext& context)
{
    const bool watch = line.Has("--watch");
    // Declared before the listener, whose sessions read it, and the watch, which changes it.
    TFolderPages pages(folder, line, watch, context.err, context.err);
    // Reachable from other machines: only what lies inside the folder.
    pages.ServeOutsideFiles(address.starts_with("127."));
    std::optional<TFolderWatch> watching;
    if (watch)
        watching.emplace(pages, context.err);
    // Declared last, destroyed first: its sessions end before the pages go. The same server as a
    // book's: names, content types, refusals of other sites and limits.
    TPageServer server(pages, limits);
    // Its search paths, as for a book, over the files as serving starts: a change the watch
    // sees is served at once but searched only after a restart.
    const auto search = std::make_shared<TServedSearch>(pages, context.err);
    server.AnswerFirst([search](const THTTPRequestInfo& request) { return search->Answer(request); });
    if (!SwitchOnServing(server, line, address, port, context.err))
        return kExitError;
    context.out << EscapeForTerminal(server.PageURL(ReplaceAll(pages.HomePageName(), " ", "%20"))) << std::endl;
    context.err << "Serving the folder " << EscapeForTerminal(folder)
                << (watch ? ", reloading open pages after every change" : "") << "; press Ctrl+C to stop." << std::endl;
    const int signal = waitForStop();
    server.SwitchOff();
    server.Stop();
    search->Stop();
    context.err << "Stopped (" << (signal == SIGINT ? "interrupt" : "terminate") << ")." << std::endl;
    return kExitOk;
}

int ServeOtherSource(const std::string& fileName, ESourceKind kind, const CommandLine& line,
    const TPageServerLimits& limits, const std::string& address, int32_t port, const std::function<int()>& waitForStop,
    ToolContext& context)
{
    // Declared before the server, whose sessions read it.
    const std::unique_ptr<TBookSource> source = OpenBookSource(fileName, kind);
    TPageServer server(*source, limits);
    // Its search paths, as for a book; the handler keeps the search until the server goes.
    const auto search = std::make_shared<TServedSearch>(*source, context.err);
    server.AnswerFirst([search](const THTTPRequestInfo& request) { return search->Answer(request); });
    if (!SwitchOnServing(server, line, address, port, context.err))
        return kExitError;
    const std::string home = source->HomePageName();
    if (home.empty())
        context.err << "Warning: " << fileName << " has no home page\n";
    context.out << server.PageURL(home.empty() ? "/" : ReplaceAll(home, " ", "%20")) << std::endl;
    context.err << "Serving the " << source->KindName() << " " << fileName << "; press Ctrl+C to stop." << std::endl;
    const int signal = waitForStop();
    server.SwitchOff();
    server.Stop();
    search->Stop();
    context.err << "Stopped (" << (signal == SIGINT ? "interrupt" : "terminate") << ")." << std::endl;
    return kExitOk;
}
