#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// A folder of its own under the system's temporary folder, removed with everything in it.
class TScratchFolder {
public:
    TScratchFolder();
    ~TScratchFolder();
    TScratchFolder(const TScratchFolder&) = delete;
    TScratchFolder& operator=(const TScratchFolder&) = delete;
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Small books of every kind, written by the tests themselves. Each holds the same three pages: a
// home page titled "Home" linking to a chapter, the chapter (titled "Chapter", holding the word
// "vacuum") and a style sheet; the book's title is kSampleTitle.
inline constexpr const char* kSampleTitle = "Formats Sample";
inline constexpr const char* kSampleWord = "vacuum";

std::string SampleHomePage(const std::string& chapterHref);
std::string SampleChapterPage();

// Writes a zip archive of the entries, in order, deflated.
void WriteZip(const std::filesystem::path& path, const std::vector<std::pair<std::string, std::string>>& entries);

// An EPUB 3 (OEBPS/index.xhtml, OEBPS/text/chapter.xhtml) with a navigation document.
void WriteSampleEpub(const std::filesystem::path& path);

// A ZIM archive written through libzim's creator: index.html (the main page), chapter.html,
// style.css, a redirect "start" to index.html, with Title, Description, Creator and Language
// metadata and, unless told otherwise, a full-text index and compressed clusters of several entries.
struct SampleZimShape {
    bool fullTextIndex = true;
    bool compressed = true;
    bool clusterPerEntry = false; // each entry's data in a cluster of its own
};
// `illustration`, when not empty, is stored as its 48x48 illustration.
void WriteSampleZim(const std::filesystem::path& path, SampleZimShape shape = {}, const std::string& illustration = {});
// Where the ZIM's full-text index (a Xapian database, stored uncompressed) lies in the file: its
// offset and size.
std::pair<uint64_t, uint64_t> ZimFullTextIndexPlace(const std::filesystem::path& path);

// A ZIM archive of HTML pages (path without "/", title, markup) as zimwriterfs writes a folder:
// the first page its main page, no metadata, a full-text index only when asked for.
struct TZimPage {
    std::string path;
    std::string title;
    std::string html;
};
void WriteZim(const std::filesystem::path& path, const std::vector<TZimPage>& pages, bool fullTextIndex);

// A CHM compiled by chmcmd from the files given (path below `work`, content), in that order, with
// the project's [OPTIONS] lines `options` and no others but the title; nothing where chmcmd is not
// installed.
std::optional<std::filesystem::path> CompileChm(const std::filesystem::path& work,
    const std::vector<std::pair<std::string, std::string>>& files, const std::string& options = {});

// A CHM compiled by chmcmd from an HTML Help project in `work` (index.html, sub/chapter.html,
// contents and keyword sitemaps); nothing where chmcmd is not installed.
std::optional<std::filesystem::path> CompileSampleChm(const std::filesystem::path& work);

// A book file of the same pages, preceded by `prefix` (as a program carrying the book would be).
void WriteSampleBook(const std::filesystem::path& path, const std::string& prefix = {});

// A folder of the same pages (index.html, sub/chapter.html, style.css).
void WriteSampleFolder(const std::filesystem::path& folder);

// The bytes of a file, to damage a copy of a sample.
std::string ReadBytes(const std::filesystem::path& path);
// The little-endian number of `count` bytes at `at`, as the archive formats store theirs.
uint64_t Number(const std::string& bytes, std::size_t at, int count);
void SetNumber(std::string& bytes, std::size_t at, int count, uint64_t value);
