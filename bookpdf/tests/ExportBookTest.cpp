// The book an export reads: the window's source shared with the export's own page server, its
// pages found by name as the source finds them, and an archive too large refused before listing.

#include "bookpdf/ExportBook.h"

#include "book/BookWriter.h"
#include "common/Exception.h"
#include "common/Streams.h"
#include "pageservice/PageServer.h"
#include "server/tests/SocketTestSupport.h"
#include "sources/OpenSource.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace fs = std::filesystem;

namespace {

const std::string kHome = "<html><head><title>Home</title></head><body>home</body></html>";
const std::string kNotes = "<!DOCTYPE html><html><body>notes without an extension</body></html>";
// A stored index's chunk may hold page text that begins like markup; it is no page all the same.
const std::string kChunk = "<html> is the element a page starts with";

struct TTempFolder {
    fs::path path = fs::temp_directory_path() / ("ebook-export-book-" + std::to_string(std::random_device()()));
    TTempFolder() { fs::create_directories(path); }
    ~TTempFolder()
    {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
};

void Write(const fs::path& file, const std::string& bytes)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

// A source that keeps no index of its names and counts its articles, as a ZIM archive does.
class TCountedSource : public TBookSource {
public:
    explicit TCountedSource(uint64_t articles)
        : articles_(articles)
    {
    }
    TPageLookup Lookup(std::string_view name) override
    {
        if (name != "/Apple" && name != "/APPLE")
            return {};
        return { true, std::make_shared<const std::string>(kHome) };
    }
    std::vector<std::string> PageNames() const override
    {
        ++listed;
        return { "/Apple", "/APPLE" };
    }
    std::string Title() const override { return "Counted"; }
    std::string HomePageName() const override { return "/Apple"; }
    std::optional<uint64_t> CountedArticles() const override { return articles_; }

    mutable int listed = 0;

private:
    uint64_t articles_;
};

// The body of the page the server answers for the name.
std::string Served(const TPageServer& server, const std::string& name)
{
    const std::string answer = Exchange(server.Port(), "GET " + name + " HTTP/1.0\r\n\r\n");
    const std::size_t body = answer.find("\r\n\r\n");
    return body == std::string::npos ? std::string() : answer.substr(body + 4);
}

} // namespace

TEST(ExportBook, ABookFileAndAFolderSharedWithAnotherServerFindPagesAsTheirSourceDoes)
{
    TTempFolder temp;
    TBookWriter writer;
    writer.AddPage("/Index.htm", kHome);
    writer.AddPage("/NOTES", kNotes);
    writer.AddPage("/.search-index/v2/000000", kChunk);
    writer.AddPage("/style.css", "h1 {}");
    {
        TFileStream file((temp.path / "book.ebook").string(), TFileStream::Mode::Create);
        writer.SaveToStream(file);
    }
    Write(temp.path / "site" / "Index.htm", kHome);
    Write(temp.path / "site" / "NOTES", kNotes);
    Write(temp.path / "site" / "style.css", "h1 {}");

    for (const fs::path& path : { temp.path / "book.ebook", temp.path / "site" }) {
        SCOPED_TRACE(path.string());
        const std::unique_ptr<TBookSource> source = OpenBookSource(path.string());
        // The window's server reads the same source all the while.
        TPageServer window(*source, TPageServerLimits {});
        window.SwitchOn();
        TExportBook book(*source, path.string());
        book.Server().SwitchOn();
        ASSERT_NE(book.Server().Port(), window.Port());

        const std::vector<std::string>& names = book.Names();
        const int home = book.IndexOf("/index.HTM");
        ASSERT_GE(home, 0);
        EXPECT_EQ(names[std::size_t(home)], "/Index.htm") << "letter case folded as the source folds it";
        EXPECT_EQ(book.IndexOf("/missing.htm"), -1);
        EXPECT_TRUE(book.IsMarkup(home));
        EXPECT_TRUE(book.IsMarkup(book.IndexOf("/notes"))) << "a name without an extension is told by its bytes";
        EXPECT_FALSE(book.IsMarkup(book.IndexOf("/style.css")));
        if (const int chunk = book.IndexOf("/.search-index/v2/000000"); chunk >= 0) {
            EXPECT_FALSE(book.IsMarkup(chunk)) << "a book's own entry is no page";
        }
        EXPECT_TRUE(book.CanRead(home));

        EXPECT_EQ(Served(book.Server(), "/index.htm"), kHome);
        EXPECT_EQ(Served(window, "/index.htm"), kHome);
    }
}

TEST(ExportBook, ASourceWithoutAnIndexMatchesNamesExactlyAndAnArchiveTooLargeIsRefusedBeforeItIsListed)
{
    TCountedSource small(2);
    {
        TExportBook book(small, "small.zim");
        EXPECT_EQ(book.IndexOf("/APPLE"), 1);
        EXPECT_EQ(book.IndexOf("/Apple"), 0);
        EXPECT_EQ(book.IndexOf("/apple"), -1) << "a page the server would not find";
    }

    TCountedSource large(TExportBook::kMaxZimPages + 1);
    try {
        TExportBook book(large, "large.zim");
        FAIL() << "an archive of " << TExportBook::kMaxZimPages + 1 << " articles was taken";
    } catch (const Exception& error) {
        EXPECT_NE(
            error.Message().find("large.zim holds " + std::to_string(TExportBook::kMaxZimPages + 1) + " articles"),
            std::string::npos)
            << error.Message();
    }
    EXPECT_EQ(large.listed, 0);
}
