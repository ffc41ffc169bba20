// Writes the archive_file seeds: the tests' sample CHM (compiled by chmcmd) and ZIM, each after
// the byte that picks its reader.

#include "sources/tests/SampleSources.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

void WriteSeed(const fs::path& seed, char kind, const fs::path& archive)
{
    std::ifstream in(archive, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    std::ofstream(seed, std::ios::binary) << kind << bytes.str();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: make_archive_seeds FOLDER\n";
        return 2;
    }
    const fs::path folder = argv[1];
    const fs::path work = fs::temp_directory_path() / "ebook-archive-seeds";
    fs::create_directories(work);
    WriteSampleZim(work / "sample.zim");
    WriteSeed(folder / "sample-zim", '\x01', work / "sample.zim");
    if (const auto chm = CompileSampleChm(work))
        WriteSeed(folder / "sample-chm", '\x00', *chm);
    else
        std::cerr << "chmcmd is not installed: no CHM seed\n";
    fs::remove_all(work);
    return 0;
}
