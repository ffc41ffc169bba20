#include "tools/library/LibraryRouter.h"

#include "common/AnsiText.h"
#include "pageservice/PageService.h"
#include "server/http/HTTPRequestInfo.h"
#include "tools/library/Library.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::string_view kDownloadPath = "/.download/";
// A book file or an archive changes only when its file does, and then its version does: caches
// keep its pages an hour and revalidate them after.
constexpr std::string_view kLongCaching = "public, max-age=3600";
constexpr std::string_view kNoCaching = "no-cache";

// filename="..." for every client (bytes that are not plain ASCII, quotes and backslashes become
// '_'), and filename*= with the name as it is for those that read it.
std::string Disposition(const std::string& path)
{
    const std::string file = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    std::string plain;
    std::string encoded;
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (const char c : file) {
        const auto byte = static_cast<unsigned char>(c);
        plain += byte < 0x20 || byte >= 0x7F || c == '"' || c == '\\' ? '_' : c;
        if (std::isalnum(byte) != 0 || c == '.' || c == '-' || c == '_')
            encoded += c;
        else
            encoded += std::string("%") + kDigits[byte >> 4] + kDigits[byte & 0xF];
    }
    return "attachment; filename=\"" + plain + "\"; filename*=UTF-8''" + encoded;
}

std::string HashText(std::string_view text)
{
    uint64_t hash = 1469598103934665603ULL;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (int shift = 60; shift >= 0; shift -= 4)
        hex += kDigits[(hash >> shift) & 0xF];
    return hex;
}

} // namespace

TAnswer MoveAnswer(const std::string& location)
{
    TAnswer moved = TextAnswer(301, "<a href=\"" + location + "\">" + location + "</a>");
    moved.headers.emplace_back("Location", location);
    return moved;
}

std::string_view DownloadType(const TLibraryBook& book)
{
    const std::string kind = book.source ? book.source->KindName() : std::string("book");
    if (kind == "folder")
        return {};
    if (kind == "EPUB")
        return "application/epub+zip";
    if (kind == "ZIM")
        return "application/x-zim";
    if (kind == "CHM")
        return "application/vnd.ms-htmlhelp";
    return "application/octet-stream";
}

void SetPageCaching(TAnswer& answer, const TLibraryBook& book, std::string_view document)
{
    answer.lastModified = book.modified;
    answer.cacheControl = book.watched ? kNoCaching : kLongCaching;
    if (answer.code == 200 && !book.watched && !book.version.empty())
        answer.etag = book.version + "-" + HashText(document);
}

TAnswer DownloadAnswer(const TLibraryBook& book)
{
    const int fd = book.watched ? -1 : ::open(book.path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status { };
    if (fd < 0 || ::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        if (fd >= 0)
            ::close(fd);
        return TextAnswer(404, std::string(kPageNotFoundText));
    }
    TAnswer answer;
    answer.contentType = DownloadType(book);
    answer.file = std::make_shared<const TFileBody>(fd, static_cast<int64_t>(status.st_size));
    answer.headers.emplace_back("Content-Disposition", Disposition(book.path));
    // The file's own validators: it may have been replaced since the book was opened.
    answer.lastModified = status.st_mtim.tv_sec;
    answer.etag = FileVersion(status);
    answer.cacheControl = kLongCaching;
    return answer;
}

TLibraryRouter::TLibraryRouter(const TLibraryBooks& books, TUrlRoot root)
    : books_(books)
    , root_(std::move(root))
{
}

std::shared_ptr<const TLibraryBook> TLibraryRouter::Find(std::string_view name) const
{
    const std::shared_ptr<const TLibraryShelf> shelf = books_.Shelf();
    const auto found = std::lower_bound(shelf->begin(), shelf->end(), name,
        [](const std::shared_ptr<const TLibraryBook>& book, std::string_view wanted) { return book->name < wanted; });
    return found != shelf->end() && (*found)->name == name ? *found : nullptr;
}

TAnswer TLibraryRouter::Answer(const THTTPRequestInfo& request, std::string* bookName) const
{
    if (bookName != nullptr)
        bookName->clear();
    const TUrlRoot::TPlace place = root_.Place(request.Document);
    if (place.kind == TUrlRoot::TPlace::kOutside)
        return TextAnswer(404, std::string(kPageNotFoundText));
    if (place.kind == TUrlRoot::TPlace::kRootWithoutSlash)
        return MoveAnswer(root_.Text() + "/");
    const std::string_view document = place.rest;
    if (catalog_) {
        if (std::optional<TAnswer> answer = catalog_(request, document))
            return std::move(*answer);
    }
    if (document.starts_with(kDownloadPath)) {
        const std::shared_ptr<const TLibraryBook> book = Find(document.substr(kDownloadPath.size()));
        if (!book)
            return TextAnswer(404, std::string(kPageNotFoundText));
        if (bookName != nullptr)
            *bookName = book->name;
        return DownloadAnswer(*book);
    }
    const std::string_view path = document.substr(1);
    const std::size_t slash = path.find('/');
    const std::string_view name = path.substr(0, slash);
    const std::shared_ptr<const TLibraryBook> book = name.empty() ? nullptr : Find(name);
    if (!book)
        return TextAnswer(404, std::string(kPageNotFoundText));
    if (bookName != nullptr)
        *bookName = book->name;
    const std::string bookRoot = root_.Text() + "/" + book->name;
    if (slash == std::string_view::npos)
        return MoveAnswer(bookRoot + "/");
    const std::string_view rest = path.substr(slash);
    if (rest == "/") {
        std::string home;
        try {
            home = book->source->HomePageName();
        } catch (const std::exception&) {
            // A book without a readable home page: its root is not found, as a page would not be.
        }
        if (home.empty() || home == "/")
            return AnswerPage(*book, request, rest);
        return MoveAnswer(bookRoot + ReplaceAll(home.starts_with('/') ? home : "/" + home, " ", "%20"));
    }
    return AnswerPage(*book, request, rest);
}

TAnswer TLibraryRouter::AnswerPage(
    const TLibraryBook& book, const THTTPRequestInfo& request, std::string_view rest) const
{
    THTTPRequestInfo inner = request;
    inner.Document = std::string(rest);
    TAnswer answer = AnswerPageRequest(*book.pages, inner);
    if (answer.code == 301) {
        // A folder's page asked for without its slash: the move stays in the book, under the root.
        for (auto& [header, value] : answer.headers) {
            if (AnsiSameText(header, "Location") && value.starts_with('/')) {
                TAnswer moved = MoveAnswer(root_.Text() + "/" + book.name + value);
                SetPageCaching(moved, book, rest);
                return moved;
            }
        }
    }
    SetPageCaching(answer, book, rest);
    return answer;
}
