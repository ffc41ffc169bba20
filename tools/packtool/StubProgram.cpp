#include "tools/packtool/StubProgram.h"

#include "book/BookReader.h"
#include "book/ViewerMark.h"
#include "common/Exception.h"

#include <cstring>
#include <filesystem>

namespace {

bool CarriesViewerMark(TStream& file)
{
    const std::string mark = ViewerMarkToFind();
    std::string window;
    char buffer[1 << 16];
    int64_t got;
    while ((got = file.Read(buffer, sizeof buffer)) > 0) {
        // The bytes kept from the last read let a mark that straddles two reads be found.
        window.append(buffer, static_cast<std::size_t>(got));
        if (window.find(mark) != std::string::npos)
            return true;
        window.erase(0, window.size() - std::min(window.size(), mark.size() - 1));
    }
    return false;
}

// Where ebook-pack finds the one-file viewer: installed beside it, or at the top of the build
// folder that holds tools/ebook-pack.
std::optional<std::string> PortableViewerBesideTool()
{
    std::error_code error;
    const auto tool = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return std::nullopt;
    for (const auto& folder : { tool.parent_path(), tool.parent_path().parent_path() })
        if (std::filesystem::is_regular_file(folder / "ebook-portable", error))
            return (folder / "ebook-portable").string();
    return std::nullopt;
}

} // namespace

void CheckStubProgram(const std::string& fileName)
{
    TFileStream file(fileName, TFileStream::Mode::OpenRead);
    if (!CarriesViewerMark(file))
        throw Exception("Cannot use " + fileName
            + " as the stub: it is not an executable program built as the viewer (it lacks the viewer's mark); "
              "--stub takes the viewer program, ebook");
}

int64_t StubProgramSize(TStream& stub)
{
    const int64_t size = stub.Size();
    TBookReader reader;
    const bool carriesBook = reader.LoadFromStream(stub);
    if (carriesBook && size >= 4) {
        // The trailer holds the header's position, where the carried book starts.
        unsigned char trailer[4] = {};
        stub.SetPosition(size - 4);
        if (stub.Read(trailer, 4) == 4) {
            const int64_t header = static_cast<int64_t>(trailer[0]) | (static_cast<int64_t>(trailer[1]) << 8)
                | (static_cast<int64_t>(trailer[2]) << 16) | (static_cast<int64_t>(trailer[3]) << 24);
            if (header >= 0 && header < size) {
                stub.SetPosition(0);
                return header;
            }
        }
    }
    stub.SetPosition(0);
    return size;
}

std::optional<std::string> ChosenStubProgram(const CommandLine& line)
{
    const auto stub = line.Value("--stub");
    if (!line.Has("--portable"))
        return stub;
    if (stub)
        throw EUsageError("--stub and --portable both name the program the book goes after: give one");
    const auto portable = PortableViewerBesideTool();
    if (!portable)
        throw Exception("--portable takes the one-file viewer, ebook-portable, installed beside ebook-pack, "
                        "and there is none (build it with `make portable`, or name a viewer with --stub)");
    return portable;
}
