// catalog_probe OUT_DIR BOOK...: opens each book as a library server does and writes what the
// catalog answers for /.opds, /.opds?q=WORD (WORD the first book's title's first word),
// /.opds?lang=LANG (the first book's language) and /.opensearch.xml under the url root /library,
// as feed.xml, feed-q.xml, feed-lang.xml and opensearch.xml, the library page as library.html, and the books' names,
// titles and kinds as books.tsv.
#include "server/http/HTTPRequestInfo.h"
#include "sources/OpenSource.h"
#include "tools/library/CatalogText.h"
#include "tools/library/LibraryCatalog.h"
#include "tools/library/LibraryRouter.h"
#include "tools/library/OpdsCatalog.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

class TProbeBooks : public TLibraryBooks {
public:
    std::shared_ptr<const TLibraryShelf> Shelf() const override { return shelf; }
    std::shared_ptr<TLibraryShelf> shelf = std::make_shared<TLibraryShelf>();
};

std::string NameOf(const fs::path& path)
{
    std::string name;
    for (const char c : path.stem().string())
        name += std::isalnum(static_cast<unsigned char>(c)) != 0 ? static_cast<char>(std::tolower(c)) : '-';
    return name;
}

void Write(const fs::path& path, TLibraryCatalog& catalog, const std::string& document, const std::string& query)
{
    THTTPRequestInfo request;
    request.Command = "GET";
    request.Document = "/library" + document;
    request.RawParams = query;
    const std::optional<TAnswer> answer = catalog.Answer(request, document);
    if (!answer || answer->code != 200)
        throw std::runtime_error("no feed for " + document + "?" + query);
    std::ofstream(path, std::ios::binary) << answer->text;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::cerr << "usage: catalog_probe OUT_DIR BOOK...\n";
        return 2;
    }
    const fs::path out = argv[1];
    TProbeBooks books;
    std::ofstream list(out / "books.tsv");
    for (int at = 2; at < argc; ++at) {
        auto book = std::make_shared<TLibraryBook>();
        book->path = argv[at];
        book->name = NameOf(book->path);
        book->source = OpenBookSource(book->path);
        book->pages = book->source;
        book->title = book->source->Title();
        book->description = book->source->Description();
        book->language = book->source->Language();
        book->pageCount = static_cast<int64_t>(book->source->PageNames().size());
        struct stat status { };
        if (::stat(argv[at], &status) == 0) {
            book->modified = status.st_mtime;
            book->fileSize = S_ISREG(status.st_mode) ? status.st_size : 0;
        }
        list << book->name << '\t' << book->title << '\t' << DownloadType(*book) << '\n';
        books.shelf->push_back(std::move(book));
    }
    const std::shared_ptr<const TLibraryBook> given = books.shelf->front();
    std::sort(books.shelf->begin(), books.shelf->end(), [](const auto& a, const auto& b) { return a->name < b->name; });
    TLibraryCatalog catalog(books, "/library", std::cerr);
    Write(out / "feed.xml", catalog, "/.opds", {});
    const TLibraryBook& first = *given;
    Write(out / "feed-q.xml", catalog, "/.opds", "q=" + EscapeQueryValue(first.title.substr(0, first.title.find(' '))));
    Write(out / "feed-lang.xml", catalog, "/.opds", "lang=" + EscapeQueryValue(first.language));
    Write(out / "opensearch.xml", catalog, "/.opensearch.xml", {});
    Write(out / "library.html", catalog, "/", {});
    return 0;
}
