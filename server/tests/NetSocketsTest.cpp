#include "server/listener/NetListener.h"
#include "server/tests/SocketTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

// A connection over a socket pair; the test plays the peer.
struct PairedConnection {
    SocketPair pair;
    TNetServer connection { nullptr };

    PairedConnection() { connection.SetSocket(pair.ReleaseServer()); }
    void PeerSends(const std::string& bytes) { SendAll(pair.Peer(), bytes); }
    std::string PeerReceivesAll()
    {
        connection.Disconnect();
        return ReadUntilClosed(pair.Peer());
    }
};

} // namespace

TEST(NetSocketReading, LinesEndOnlyAtCrLfAndTheRestStaysBuffered)
{
    PairedConnection c;
    c.PeerSends("abc\rdef\r\nsecond\nline\r\n\r\nrest");
    EXPECT_EQ(c.connection.ReadLn(), "abc\rdef");
    // Everything arrived with the first receive: the rest comes from the buffer.
    c.pair.ClosePeer();
    EXPECT_EQ(c.connection.ReadLn(), "second\nline");
    EXPECT_EQ(c.connection.ReadLn(), "");
    EXPECT_EQ(c.connection.ReadString(4), "rest");
}

TEST(NetSocketReading, LongLineGrowsTheBufferInWholeChunks)
{
    PairedConnection c;
    const std::string line(20000, 'x');
    c.PeerSends(line + "\r\n");
    EXPECT_EQ(c.connection.ReadLn(), line);
    EXPECT_GE(c.connection.BufferCapacity(), 20002);
    EXPECT_EQ(c.connection.BufferCapacity() % 8192, 0);
    EXPECT_EQ(c.connection.BufferEnd(), 1);
}

TEST(NetSocketReading, ReadStringWaitsForExactlyTheCount)
{
    PairedConnection c;
    EXPECT_EQ(c.connection.ReadString(0), ""); // nothing sent, nothing waited for
    c.PeerSends("ab\r\ncde");
    EXPECT_EQ(c.connection.ReadLn(), "ab");
    std::thread late([&] { c.PeerSends("fghij"); });
    EXPECT_EQ(c.connection.ReadString(5), "cdefg");
    late.join();
    EXPECT_EQ(c.connection.ReadString(3), "hij");
    EXPECT_THROW(c.connection.ReadString(-1), Exception);
}

TEST(NetSocketReading, PeerClosingWithNothingBufferedEndsGracefully)
{
    PairedConnection c;
    c.pair.ClosePeer();
    try {
        c.connection.ReadLn();
        FAIL() << "no exception";
    } catch (const ENetConnClosedGraceful& e) {
        EXPECT_EQ(e.Message(), "Connection Closed Gracefully.");
    }
    EXPECT_FALSE(c.connection.Connected());
    EXPECT_TRUE(c.connection.ClosedGracefully);
}

TEST(NetSocketReading, PeerClosingMidLineKeepsTheBytesAndFailsTheNextReceive)
{
    PairedConnection c;
    c.PeerSends("GET / HTTP/1.0");
    c.pair.ClosePeer();
    EXPECT_THROW(c.connection.ReadLn(), ENetSocketError);
    EXPECT_FALSE(c.connection.Connected());
    EXPECT_EQ(c.connection.ExtractFromBuffer(3), "GET");
    try {
        c.connection.ExtractFromBuffer(20);
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Not enough data in buffer.");
    }
}

TEST(NetSocketReading, AsciiFilterClearsTheTopBit)
{
    PairedConnection c;
    c.connection.ASCIIFilter = true;
    c.PeerSends("\xE9\r\n");
    EXPECT_EQ(c.connection.ReadLn(), "\x69");
}

TEST(NetSocketReading, ReceivingReportsEachNewKilobyteAndEndOfWork)
{
    PairedConnection c;
    std::vector<std::pair<int32_t, int32_t>> reports;
    c.connection.OnWork = [&](TComponent&, int32_t work, int32_t size) { reports.emplace_back(work, size); };
    c.connection.BeginWork(3000);
    c.PeerSends(std::string(2500, 'a'));
    EXPECT_EQ(c.connection.ReadString(2500).size(), 2500u);
    c.connection.EndWork();
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back(), std::make_pair(-1, -1));
    for (size_t i = 0; i + 1 < reports.size(); ++i) {
        EXPECT_EQ(reports[i].second, 3000);
        EXPECT_GE(reports[i].first, 1024 * static_cast<int32_t>(i + 1));
    }
}

TEST(NetSocketHeaders, HeaderBlockBecomesNameValueEntriesWithContinuations)
{
    PairedConnection c;
    c.PeerSends("Host: a\r\nX-A: b: c\r\n\td\r\nPlain\r\n   more  \r\n\r\nbody");
    TStringList headers;
    c.connection.ReadHeaders(headers);
    ASSERT_EQ(headers.Count(), 3);
    EXPECT_EQ(headers[0], "Host=a");
    EXPECT_EQ(headers[1], "X-A=b: c d");
    EXPECT_EQ(headers[2], "Plain more");
    EXPECT_EQ(c.connection.ReadString(4), "body");
}

TEST(NetSocketHeaders, ContinuationWithoutAnEntryBeforeItIsAnIndexError)
{
    PairedConnection c;
    c.PeerSends(" lead\r\nHost: a\r\n\r\n");
    TStringList headers;
    try {
        c.connection.ReadHeaders(headers);
        FAIL() << "no exception";
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message(), "List index out of bounds (-1)");
    }
    ASSERT_EQ(headers.Count(), 2); // left as captured
    EXPECT_EQ(headers[1], "Host: a");
}

TEST(NetSocketWriting, HeadersLinesAndStreamsGoOutUnchanged)
{
    PairedConnection c;
    TStringList headers;
    headers.Add("Content-Type=text/html");
    headers.Add("X=a=b");
    c.connection.WriteHeaders(headers);
    c.connection.WriteLn("line");
    c.connection.Write("");
    TMemoryStream stream;
    std::string content(20000, '\0');
    for (size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>('a' + i % 26);
    stream.WriteString(content);
    int workReports = 0;
    c.connection.OnWork = [&](TComponent&, int32_t work, int32_t size) {
        ++workReports;
        EXPECT_EQ(work, -1);
        EXPECT_EQ(size, -1);
    };
    std::string received;
    std::thread reader([&] { received = ReadUntilClosed(c.pair.Peer()); });
    c.connection.WriteStream(stream, true);
    TMemoryStream empty;
    c.connection.WriteStream(empty, true);
    EXPECT_EQ(workReports, 2);
    c.connection.Disconnect();
    reader.join();
    EXPECT_EQ(received, "Content-Type: text/html\r\nX: a=b\r\n\r\nline\r\n" + content);
}

TEST(NetSocketWriting, ClosedConnectionRefusesBytesButNotTheEmptyText)
{
    TNetServer connection(nullptr);
    EXPECT_NO_THROW(connection.Write(""));
    try {
        connection.Write("x");
        FAIL() << "no exception";
    } catch (const ENetClosedSocket& e) {
        EXPECT_EQ(e.Message(), "Socket is closed, cannot write");
    }
}

TEST(NetSocketWriting, PeerGoneFailsWithShutdownAndClosesTheConnection)
{
    PairedConnection c;
    c.pair.ClosePeer();
    try {
        c.connection.Write("data");
        FAIL() << "no exception";
    } catch (const ENetSocketError& e) {
        EXPECT_EQ(e.ErrorCode, WsaError::Shutdown);
    }
    EXPECT_FALSE(c.connection.Connected());
}

TEST(NetSocketClosing, AfterAnAnswerThePeerReadsEndOfFileAndTheCloseWaitsForItsEnd)
{
    PairedConnection c;
    c.PeerSends("GET / HTTP/1.0\r\n\r\n");
    EXPECT_EQ(c.connection.ReadLn(), "GET / HTTP/1.0");
    c.connection.Write("answer");
    c.PeerSends("input that is never read");
    std::atomic<bool> closed { false };
    std::thread closer([&] {
        c.connection.DisconnectAfterAnswer(std::chrono::seconds(60));
        closed = true;
    });
    // End of file arrives while the connection still waits for the peer's end.
    EXPECT_EQ(ReadUntilClosed(c.pair.Peer()), "answer");
    c.pair.ClosePeer();
    EXPECT_TRUE(Eventually([&] { return closed.load(); }));
    closer.join();
    EXPECT_FALSE(c.connection.Connected());
}

TEST(NetSocketClosing, LingeringEndsWhenThePatienceRunsOutOrAnotherThreadDisconnects)
{
    PairedConnection silent;
    silent.connection.DisconnectAfterAnswer(std::chrono::milliseconds(20));
    EXPECT_FALSE(silent.connection.Connected());

    PairedConnection stopped;
    std::atomic<bool> closed { false };
    std::thread closer([&] {
        stopped.connection.DisconnectAfterAnswer(std::chrono::seconds(60));
        closed = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    stopped.connection.Disconnect();
    EXPECT_TRUE(Eventually([&] { return closed.load(); }));
    closer.join();
}

TEST(NetSocketSettings, BufferChunkIsKeptWhileConnectedAndGuardsBufferedBytes)
{
    PairedConnection c;
    c.connection.SetBufferChunk(4096);
    EXPECT_EQ(c.connection.BufferChunk(), 8192);
    c.PeerSends("0123456789");
    c.pair.ClosePeer();
    EXPECT_EQ(c.connection.ReadString(2), "01");
    c.connection.Disconnect();
    EXPECT_THROW(c.connection.SetBufferChunk(4), Exception); // 8 bytes still buffered
    c.connection.SetBufferChunk(8);
    EXPECT_EQ(c.connection.BufferChunk(), 8);
    EXPECT_EQ(c.connection.ReadString(8), "23456789");

    c.connection.SetVersion("1.0");
    EXPECT_EQ(c.connection.Version(), "7.037B");
}

TEST(NetSocketCapture, LinesGoToTheDestinationUntilATerminator)
{
    PairedConnection c;
    c.PeerSends("one\r\n..two\r\n.\r\nalpha\r\nEND\r\nbeta\r\nSTOP\r\n");
    TStringList lines;
    EXPECT_EQ(c.connection.Capture(&lines, { ".", "END" }), 1);
    ASSERT_EQ(lines.Count(), 2);
    EXPECT_EQ(lines[1], ".two"); // dot unstuffing
    TMemoryStream stream;
    EXPECT_EQ(c.connection.Capture(&stream, { "x", "END" }), 2);
    EXPECT_EQ(stream.ToString(), "alpha\r\n");
    std::vector<std::string> delivered;
    c.connection.OnCaptureLine = [&](TNetSocket&, const std::string& line) { delivered.push_back(line); };
    EXPECT_EQ(c.connection.Capture(nullptr, { "STOP" }), 1);
    EXPECT_EQ(delivered, std::vector<std::string> { "beta" });
}

TEST(NetSocketDialogue, RepliesAreReadWithTheirCodesAndMultiLineBlocks)
{
    PairedConnection c;
    TMemoryStream log;
    c.connection.LogStream = &log;
    c.PeerSends("250-first\r\n250-second\r\n250 last\r\n+OK fine\r\n550 no\r\n");
    EXPECT_EQ(c.connection.SendCmd("EHLO x", 250), 250);
    EXPECT_EQ(c.connection.ResponseLines.Count(), 3);
    EXPECT_EQ(c.connection.LastResponse, "250 last");
    EXPECT_EQ(c.connection.SendCmd(std::string(1, '\0')), 1);
    try {
        c.connection.SendCmd("QUIT", 221);
        FAIL() << "no exception";
    } catch (const ENetResponseError& e) {
        EXPECT_EQ(e.Message(), "550 no");
    }
    EXPECT_EQ(log.ToString().substr(0, 30), "O: EHLO x\r\nI: 250-first\r\n\r\nI: ");
    EXPECT_EQ(c.PeerReceivesAll(), "EHLO x\r\nQUIT\r\n");
}

TEST(NetSocketDialogue, StatusHandlerFailuresNameTheEvent)
{
    PairedConnection c;
    std::string status;
    c.connection.OnStatus = [&](TComponent&, const std::string& text) { status = text; };
    c.PeerSends("200 ready\r\n200 again\r\n");
    c.connection.SendCmd(std::string(1, '\0'), 200, "*", 2);
    EXPECT_EQ(status, "    200 ready");
    c.connection.OnStatus = [](TComponent&, const std::string&) { throw EConvertError("bad"); };
    try {
        c.connection.SendCmd(std::string(1, '\0'), 200, "text");
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "bad occurred in user's OnStatus Event.");
    }
}

TEST(NetSocketLogging, SwitchedOnLogsRecordTheBytesOfEachDirection)
{
    const auto folder = std::filesystem::temp_directory_path() / ("netlog-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    int reads = 0;
    int writes = 0;
    {
        PairedConnection c;
        c.connection.ReadLogName = (folder / "read.log").string();
        c.connection.WriteLogName = (folder / "write.log").string();
        c.connection.OpenReadLog();
        c.connection.OpenWriteLog();
        EXPECT_GE(c.connection.ReadLogHandle(), 0);
        c.connection.OnDebugRead = [&](TNetSocket&) { ++reads; };
        c.connection.OnDebugWrite = [&](TNetSocket&) { ++writes; };
        c.connection.Write("unlogged");
        c.connection.DebugFlags = 3;
        c.PeerSends("in\r\n");
        EXPECT_EQ(c.connection.ReadLn(), "in");
        c.connection.WriteLn("out");
        c.connection.Disconnect();
        EXPECT_EQ(c.connection.ReadLogHandle(), -1); // closing the socket closes its logs
    }
    auto contentOf = [](const std::filesystem::path& file) {
        TFileStream in(file.string(), TFileStream::Mode::OpenRead);
        std::string bytes(static_cast<size_t>(in.Size()), '\0');
        in.ReadBuffer(bytes.data(), in.Size());
        return bytes;
    };
    EXPECT_EQ(contentOf(folder / "read.log"), "in\r\n");
    EXPECT_EQ(contentOf(folder / "write.log"), "out\r\n");
    EXPECT_EQ(reads, 1);
    EXPECT_EQ(writes, 1);
    std::filesystem::remove_all(folder);
}

TEST(NetServerConnection, ReadingCountsAsActivityAndTheOwnerMustBeAListener)
{
    PairedConnection c;
    c.PeerSends("abc");
    EXPECT_EQ(c.connection.LastActivity.load(), 0.0);
    EXPECT_EQ(c.connection.ReadString(3), "abc");
    EXPECT_GT(c.connection.LastActivity.load(), 40000.0); // a date of this century
    EXPECT_THROW(c.connection.Listener(), EInvalidCast);
    TNetServer owned(&c.connection);
    EXPECT_THROW(owned.Listener(), EInvalidCast);
}
