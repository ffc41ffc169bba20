#include "tools/tests/PackFixture.h"

#include "book/BookReader.h"
#include "book/BookWriter.h"
#include "common/Streams.h"
#include "tools/packtool/PackTool.h"

#include <atomic>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

TempFolder::TempFolder()
{
    static std::atomic<int> counter { 0 };
    path_
        = fs::temp_directory_path() / ("packtool-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    fs::remove_all(path_);
    fs::create_directories(path_);
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

ToolRun Pack(const std::vector<std::string>& args)
{
    std::ostringstream out;
    std::ostringstream err;
    ToolRun run;
    run.exitCode = RunPackTool(args, out, err);
    run.out = out.str();
    run.err = err.str();
    return run;
}

void WriteFile(const fs::path& path, const std::string& content)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write(content.data(), static_cast<std::streamsize>(content.size()));
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

ToolRun RunPackBinary(const std::string& arguments, const TempFolder& temp)
{
    const std::string out = (temp / "stdout").string();
    const std::string err = (temp / "stderr").string();
    const std::string command
        = "timeout 60 " + std::string(EBOOK_PACK_PATH) + " " + arguments + " >" + out + " 2>" + err;
    const int status = std::system(command.c_str());
    ToolRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = ReadFile(out);
    run.err = ReadFile(err);
    return run;
}

std::string BookBytes(TBookWriter& writer, std::optional<int> damagedPage)
{
    TMemoryStream stream;
    writer.SaveToStream(stream);
    std::string bytes = stream.ToString();
    if (damagedPage) {
        // A page's record ends with its Adler-32, right before the next record.
        TBookReader reader;
        stream.SetPosition(0);
        reader.LoadFromStream(stream);
        const auto lastByte = static_cast<std::size_t>(reader.PageOffset(*damagedPage + 1) - 1);
        bytes[lastByte] = static_cast<char>(bytes[lastByte] ^ 0xFF);
    }
    return bytes;
}
