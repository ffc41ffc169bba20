#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// A fresh folder under the system's temporary folder, removed with everything in it at scope exit.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::string& relative) const { return path_ / relative; }

private:
    std::filesystem::path path_;
};

// What one ebook-pack run produced.
struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs the tool in-process, as main() would with these arguments.
ToolRun Pack(const std::vector<std::string>& args);

// Runs the built ebook-pack binary through the shell with these arguments, its output captured in
// files of the folder. A run longer than a minute is killed, so a hang fails instead of sticking.
ToolRun RunPackBinary(const std::string& arguments, const TempFolder& temp);

void WriteFile(const std::filesystem::path& path, const std::string& content);
std::string ReadFile(const std::filesystem::path& path);

class TBookWriter;
// The bytes of the book the writer makes; with damagedPage, that page's record is damaged (the
// Adler-32 that ends it flipped), so that reading the page fails its check.
std::string BookBytes(TBookWriter& writer, std::optional<int> damagedPage = std::nullopt);
