// A page server serving the web (ServeTheWeb) over real loopback connections, with a book built
// here: validators, 304, ranges, compression, file bodies and persistent connections.

#include "pageservice/PageServer.h"

#include "book/BookWriter.h"
#include "pageservice/HttpDate.h"
#include "server/http/HTTPRequestInfo.h"
#include "server/tests/SocketTestSupport.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class TempFolder {
public:
    TempFolder()
        : path_(std::filesystem::temp_directory_path() / ("webserving-test-" + std::to_string(std::random_device()())))
    {
        std::filesystem::create_directories(path_);
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Text that does not repeat itself too simply, so that a wrong offset shows.
std::string NumberedText(std::size_t size)
{
    std::string text;
    for (int i = 0; text.size() < size; ++i)
        text += "<p>line " + std::to_string(i * 7919 % 100003) + "</p>\n";
    text.resize(size);
    return text;
}

const std::string kStyle = "body { margin: 0 auto; max-width: 40em; }\n" + NumberedText(2000);
const std::string kLarge = NumberedText(3u << 20);
const std::string kPicture = std::string("\x89PNG\r\n\x1a\n", 8) + std::string(600, '\x07');
// A file served for download: sparse, larger than 2 GiB, with a marker at its very end.
constexpr int64_t kFileSize = (int64_t { 3 } << 30) + 5;
const std::string kFileEnd = "END OF FILE";

// Inflates a zlib (windowBits 15) or gzip (31) stream; "<bad>" when it is not one whole stream.
std::string Inflate(const std::string& bytes, int windowBits)
{
    z_stream stream {};
    if (inflateInit2(&stream, windowBits) != Z_OK)
        return "<bad>";
    std::string out;
    char buffer[65536];
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    int result = Z_OK;
    while (result == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(buffer);
        stream.avail_out = sizeof buffer;
        result = inflate(&stream, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - stream.avail_out);
    }
    const bool whole = result == Z_STREAM_END && stream.avail_in == 0;
    inflateEnd(&stream);
    return whole ? out : "<bad>";
}

// A served book and a file for download, with one persistent connection to ask on.
class WebServing : public ::testing::Test {
protected:
    void SetUp() override
    {
        TBookWriter writer;
        writer.AddPage("/index.htm", "<p>home</p>");
        writer.AddPage("/style.css", kStyle);
        writer.AddPage("/large.htm", kLarge);
        writer.AddPage("/logo.png", kPicture);
        const std::string book = folder_ / "book.ebook";
        {
            TFileStream file(book, TFileStream::Mode::Create);
            writer.SaveToStream(file);
        }
        struct stat status { };
        ASSERT_EQ(stat(book.c_str(), &status), 0);
        bookTime_ = status.st_mtime;

        const std::string download = folder_ / "big.bin";
        const int fd = open(download.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(ftruncate(fd, kFileSize), 0);
        ASSERT_EQ(pwrite(fd, kFileEnd.data(), kFileEnd.size(), kFileSize - static_cast<int64_t>(kFileEnd.size())),
            static_cast<ssize_t>(kFileEnd.size()));
        close(fd);

        server_ = std::make_unique<TPageServer>(book, TPageServerLimits {});
        server_->AnswerFirst([download](const THTTPRequestInfo& request) -> std::optional<TAnswer> {
            if (request.Document != "/.download/big.bin")
                return std::nullopt;
            TAnswer answer;
            answer.contentType = "application/octet-stream";
            answer.file = std::make_shared<const TFileBody>(open(download.c_str(), O_RDONLY | O_CLOEXEC), kFileSize);
            answer.lastModified = 1700000000;
            answer.cacheControl = "public, max-age=3600";
            return answer;
        });
        server_->ServeTheWeb(TWebServing {});
        server_->SwitchOn();
        client_ = std::make_unique<LoopbackClient>(server_->Port());
        ASSERT_TRUE(client_->Connected());
    }

    // One request on the test's connection, its headers after the request line.
    HttpAnswer Ask(const std::string& target, const std::string& headers = {}, const std::string& method = "GET")
    {
        client_->Send(method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server_->Port()) + "\r\n"
            + headers + "\r\n");
        return ReadOneAnswer(client_->Handle(), pending_, method == "HEAD");
    }

    TempFolder folder_;
    int64_t bookTime_ = 0;
    std::unique_ptr<TPageServer> server_;
    std::unique_ptr<LoopbackClient> client_;
    std::string pending_;
};

} // namespace

TEST_F(WebServing, APageCarriesValidatorsAndAHeadAnswersItsHeadersOnly)
{
    const HttpAnswer page = Ask("/style.css");
    EXPECT_EQ(page.statusLine, "HTTP/1.1 200 OK");
    EXPECT_EQ(page.body, kStyle);
    EXPECT_EQ(page.Header("Content-Type"), "text/css");
    EXPECT_EQ(page.Header("Content-Length"), std::to_string(kStyle.size()));
    EXPECT_EQ(page.Header("Cache-Control"), "no-cache");
    EXPECT_EQ(page.Header("Accept-Ranges"), "bytes");
    EXPECT_EQ(page.Header("Vary"), "Accept-Encoding");
    EXPECT_FALSE(page.Header("Content-Encoding"));
    EXPECT_EQ(page.Header("Last-Modified"), FormatHttpDate(bookTime_));
    ASSERT_TRUE(page.Header("Date"));
    EXPECT_TRUE(ParseHttpDate(*page.Header("Date")));
    const std::string etag = page.Header("ETag").value_or("");
    ASSERT_GE(etag.size(), 3u);
    EXPECT_TRUE(etag.starts_with('"') && etag.ends_with('"'));

    const HttpAnswer head = Ask("/style.css", {}, "HEAD");
    EXPECT_EQ(head.code, 200);
    EXPECT_EQ(head.Header("Content-Length"), std::to_string(kStyle.size()));
    EXPECT_EQ(head.Header("ETag"), etag);
    // A picture is not compressed, and says nothing of codings; an error keeps its status and text.
    const HttpAnswer picture = Ask("/logo.png");
    EXPECT_EQ(picture.body, kPicture);
    EXPECT_FALSE(picture.Header("Vary"));
    const HttpAnswer missing = Ask("/missing.htm");
    EXPECT_EQ(missing.code, 404);
    EXPECT_NE(missing.body.find("404 Not Found"), std::string::npos);
    EXPECT_FALSE(missing.Header("ETag"));
    // All of it on the one connection, and it is still open.
    EXPECT_EQ(Ask("/index.htm").body, "<p>home</p>");
}

TEST_F(WebServing, ValidatorsTheClientHoldsGetNotModified)
{
    const HttpAnswer page = Ask("/large.htm");
    const std::string etag = *page.Header("ETag");
    const std::string modified = FormatHttpDate(bookTime_);
    for (const std::string& condition :
        { "If-None-Match: " + etag, "If-None-Match: \"other\", W/" + etag, std::string("If-None-Match: *"),
            "If-Modified-Since: " + modified, "If-Modified-Since: " + FormatHttpDate(bookTime_ + 60) }) {
        const HttpAnswer answer = Ask("/large.htm", condition + "\r\n");
        EXPECT_EQ(answer.code, 304) << condition;
        EXPECT_TRUE(answer.body.empty()) << condition;
        EXPECT_FALSE(answer.Header("Content-Length")) << condition;
        EXPECT_EQ(answer.Header("ETag"), etag) << condition;
    }
    for (const std::string& condition :
        { std::string("If-None-Match: \"other\""), "If-Modified-Since: " + FormatHttpDate(bookTime_ - 1),
            // If-None-Match decides alone when it is there.
            "If-None-Match: \"other\"\r\nIf-Modified-Since: " + modified }) {
        const HttpAnswer answer = Ask("/large.htm", condition + "\r\n");
        EXPECT_EQ(answer.code, 200) << condition;
        EXPECT_EQ(answer.body.size(), kLarge.size()) << condition;
    }
}

TEST_F(WebServing, OneByteRangeOfALargePageIsSentByteForByte)
{
    const std::string total = std::to_string(kLarge.size());
    const std::string etag = *Ask("/large.htm", {}, "HEAD").Header("ETag");
    struct Case {
        std::string range;
        std::size_t first;
        std::size_t count;
    };
    for (const Case& c : { Case { "bytes=0-0", 0, 1 }, Case { "bytes=1000-1999", 1000, 1000 },
             Case { "bytes=3000000-", 3000000, kLarge.size() - 3000000 },
             Case { "bytes=-500", kLarge.size() - 500, 500 }, Case { "bytes=100-99999999", 100, kLarge.size() - 100 },
             Case { "bytes=-99999999", 0, kLarge.size() } }) {
        const HttpAnswer answer = Ask("/large.htm", "Range: " + c.range + "\r\nAccept-Encoding: gzip\r\n");
        EXPECT_EQ(answer.code, 206) << c.range;
        EXPECT_EQ(answer.Header("Content-Range"),
            "bytes " + std::to_string(c.first) + "-" + std::to_string(c.first + c.count - 1) + "/" + total)
            << c.range;
        EXPECT_FALSE(answer.Header("Content-Encoding")) << c.range;
        EXPECT_TRUE(answer.body == kLarge.substr(c.first, c.count)) << c.range;
    }
    for (const char* range : { "bytes=3145728-", "bytes=-0", "bytes=99999999-100000000" }) {
        const HttpAnswer answer = Ask("/large.htm", std::string("Range: ") + range + "\r\n");
        EXPECT_EQ(answer.code, 416) << range;
        EXPECT_EQ(answer.Header("Content-Range"), "bytes */" + total) << range;
        EXPECT_TRUE(answer.body.empty()) << range;
    }
    // Several ranges, a unit that is not bytes, a range that cannot be read, an If-Range that does
    // not hold: the whole page.
    for (const std::string& headers :
        { std::string("Range: bytes=0-1,5-6"), std::string("Range: pages=1-2"), std::string("Range: bytes=5-1"),
            std::string("Range: bytes=0-9\r\nIf-Range: \"stale\""), "Range: bytes=0-9\r\nIf-Range: W/" + etag,
            "Range: bytes=0-9\r\nIf-Range: " + FormatHttpDate(bookTime_ - 5) }) {
        const HttpAnswer answer = Ask("/large.htm", headers + "\r\n");
        EXPECT_EQ(answer.code, 200) << headers;
        EXPECT_TRUE(answer.body == kLarge) << headers;
    }
    for (const std::string& ifRange : { etag, FormatHttpDate(bookTime_) }) {
        const HttpAnswer answer = Ask("/large.htm", "Range: bytes=10-19\r\nIf-Range: " + ifRange + "\r\n");
        EXPECT_EQ(answer.code, 206) << ifRange;
        EXPECT_EQ(answer.body, kLarge.substr(10, 10)) << ifRange;
    }
}

TEST_F(WebServing, TextIsSentCompressedInACodingTheClientAccepts)
{
    const HttpAnswer plain = Ask("/large.htm");
    const std::string etag = *plain.Header("ETag");

    // deflate: the book's own zlib bytes; gzip otherwise.
    const HttpAnswer deflated = Ask("/large.htm", "Accept-Encoding: gzip, deflate, br\r\n");
    EXPECT_EQ(deflated.Header("Content-Encoding"), "deflate");
    EXPECT_EQ(deflated.Header("Vary"), "Accept-Encoding");
    EXPECT_LT(deflated.body.size(), kLarge.size() / 2);
    EXPECT_TRUE(Inflate(deflated.body, 15) == kLarge);
    const std::string deflatedTag = *deflated.Header("ETag");
    EXPECT_NE(deflatedTag, etag);

    for (const char* accepted : { "gzip", "deflate;q=0, gzip;q=0.5", "x-gzip", "*;q=0.1, deflate;q=0" }) {
        const HttpAnswer gzipped = Ask("/large.htm", std::string("Accept-Encoding: ") + accepted + "\r\n");
        EXPECT_EQ(gzipped.Header("Content-Encoding"), "gzip") << accepted;
        EXPECT_TRUE(Inflate(gzipped.body, 31) == kLarge) << accepted;
        EXPECT_NE(gzipped.Header("ETag"), etag) << accepted;
        EXPECT_NE(gzipped.Header("ETag"), deflatedTag) << accepted;
    }
    // Compressed once, the same bytes after that (kept), and a CSS page too.
    const HttpAnswer again = Ask("/style.css", "Accept-Encoding: gzip\r\n");
    EXPECT_EQ(Inflate(again.body, 31), kStyle);
    EXPECT_EQ(Ask("/style.css", "Accept-Encoding: gzip\r\n").body, again.body);

    for (const char* refused : { "identity", "gzip;q=0, deflate;q=0", "br", "*;q=0" }) {
        const HttpAnswer answer = Ask("/large.htm", std::string("Accept-Encoding: ") + refused + "\r\n");
        EXPECT_FALSE(answer.Header("Content-Encoding")) << refused;
        EXPECT_EQ(answer.Header("Vary"), "Accept-Encoding") << refused;
        EXPECT_EQ(answer.Header("ETag"), etag) << refused;
    }
    // A HEAD tells the compressed length; the compressed tag revalidates the compressed page.
    const HttpAnswer head = Ask("/large.htm", "Accept-Encoding: gzip\r\n", "HEAD");
    const HttpAnswer gzipped = Ask("/large.htm", "Accept-Encoding: gzip\r\n");
    EXPECT_EQ(head.Header("Content-Length"), std::to_string(gzipped.body.size()));
    EXPECT_EQ(
        Ask("/large.htm", "Accept-Encoding: gzip\r\nIf-None-Match: " + *gzipped.Header("ETag") + "\r\n").code, 304);
    EXPECT_EQ(Ask("/large.htm", "Accept-Encoding: gzip\r\nIf-None-Match: " + etag + "\r\n").code, 200);
}

TEST_F(WebServing, AFileLargerThanTwoGigabytesIsSentFromItsFileInRanges)
{
    const std::string size = std::to_string(kFileSize);
    const HttpAnswer head = Ask("/.download/big.bin", "Accept-Encoding: gzip\r\n", "HEAD");
    EXPECT_EQ(head.code, 200);
    EXPECT_EQ(head.Header("Content-Length"), size);
    EXPECT_EQ(head.Header("Accept-Ranges"), "bytes");
    EXPECT_EQ(head.Header("Cache-Control"), "public, max-age=3600");
    EXPECT_EQ(head.Header("Last-Modified"), "Tue, 14 Nov 2023 22:13:20 GMT");
    EXPECT_FALSE(head.Header("Content-Encoding"));
    EXPECT_FALSE(head.Header("Vary"));

    const std::string end = std::to_string(kFileSize - 1);
    const HttpAnswer tail = Ask("/.download/big.bin", "Range: bytes=-" + std::to_string(kFileEnd.size() + 3) + "\r\n");
    EXPECT_EQ(tail.code, 206);
    EXPECT_EQ(tail.Header("Content-Range"),
        "bytes " + std::to_string(kFileSize - static_cast<int64_t>(kFileEnd.size()) - 3) + "-" + end + "/" + size);
    EXPECT_EQ(tail.body, std::string(3, '\0') + kFileEnd);
    // Resuming a download past 2 GiB: an If-Range with the file's time holds.
    const HttpAnswer resumed = Ask("/.download/big.bin",
        "Range: bytes=" + std::to_string(kFileSize - 4) + "-\r\nIf-Range: Tue, 14 Nov 2023 22:13:20 GMT\r\n");
    EXPECT_EQ(resumed.code, 206);
    EXPECT_EQ(resumed.body, "FILE");
    EXPECT_EQ(Ask("/.download/big.bin", "Range: bytes=" + size + "-\r\n").code, 416);
    EXPECT_EQ(Ask("/.download/big.bin", "If-Modified-Since: Tue, 14 Nov 2023 22:13:20 GMT\r\n").code, 304);
}

TEST_F(WebServing, PipelinedRequestsAndAnHttpOneZeroClient)
{
    client_->Send("GET /index.htm HTTP/1.1\r\n\r\nGET /logo.png HTTP/1.1\r\n\r\nGET /style.css HTTP/1.1\r\n"
                  "Connection: close\r\n\r\n");
    EXPECT_EQ(ReadOneAnswer(client_->Handle(), pending_).body, "<p>home</p>");
    EXPECT_EQ(ReadOneAnswer(client_->Handle(), pending_).body, kPicture);
    const HttpAnswer last = ReadOneAnswer(client_->Handle(), pending_);
    EXPECT_EQ(last.body, kStyle);
    EXPECT_EQ(last.Header("Connection"), "close");
    EXPECT_TRUE(ClosedByPeer(client_->Handle()));

    // The same status, type and body as before for an HTTP/1.0 client.
    const HttpAnswer old = ParseHttpAnswer(Exchange(server_->Port(), "GET /index.htm HTTP/1.0\r\n\r\n"));
    EXPECT_EQ(old.statusLine, "HTTP/1.0 200 OK");
    EXPECT_EQ(old.Header("Content-Type"), "text/html");
    EXPECT_EQ(old.body, "<p>home</p>");
}
