#pragma once

#include "common/PackedStringList.h"
#include "common/Streams.h"
#include "common/StringList.h"
#include "server/socket/InputBuffer.h"
#include "server/socket/NetComponent.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

class TNetSocket;

using TStringEvent = std::function<void(TComponent& Sender, const std::string& sOut)>;
using TProgressEvent = std::function<void(TComponent& Sender, int32_t plWork, int32_t plWorkSize)>;
using TDebugWriteEvent = std::function<void(TNetSocket& Sender)>;
using TCaptureLineEvent = std::function<void(TNetSocket& Sender, const std::string& line)>;

// Where Capture delivers its lines: a string list, a stream, or (nullptr) OnCaptureLine.
using TCaptureDestination = std::variant<std::nullptr_t, TStringList*, TStream*>;

// A connection on a blocking socket with a growing input buffer: reads lines up to CR LF (a lone
// CR or LF is data), exact byte counts and header blocks; writes strings, lines, headers and
// streams; reports reading progress; and holds a command/reply dialogue for line protocols.
//
// Not locked: one thread reads and writes it. Another thread may only Disconnect it, which makes
// a blocked receive or send fail (see TNetComponent).
class TNetSocket : public TNetComponent {
public:
    explicit TNetSocket(TComponent* owner);

    void Disconnect() override;
    // Ends a connection whose answer has been written. When input is left unread: sends end of
    // file after the answer, then reads and discards what the peer still sends, until it closes
    // too, for at most `patience` and kLingerBytes, and then closes. Closing with unread input
    // would make the kernel reset the connection, and the reset destroys whatever part of the
    // answer the peer has not read yet. With nothing unread it closes at once.
    void DisconnectAfterAnswer(std::chrono::milliseconds patience);
    // True once input is at hand: bytes buffered already (a pipelined request), or bytes or the
    // peer's end of file arriving within patience. Sends whatever is held first. The wait counts
    // as waiting for the peer (see WaitingForPeerSince).
    bool AwaitInput(std::chrono::milliseconds patience);
    // Upper bound of what DisconnectAfterAnswer discards: a peer that keeps sending gets the reset.
    static constexpr int64_t kLingerBytes = 1 << 20;

    // The next line, without its LineEnd. With maxLength > 0, a line longer than that raises
    // ENetLimitExceeded "Line too long." once that much has arrived, and nothing more is read.
    std::string ReadLn(int32_t maxLength = 0);
    // ReadLn until a line is left that is not empty once trimmed; that line, trimmed.
    std::string ReadTrimmedLn();
    // Exactly count bytes; a negative count raises Exception "Invalid read count.".
    virtual std::string ReadString(int32_t count);
    // Reads lines up to one equal to a terminator; returns the terminator's 1-based index. The
    // terminator line itself is not delivered.
    int32_t Capture(TCaptureDestination destination, const std::vector<std::string>& terminators);
    // Reads a header block up to its empty line as Name=Value entries; lines that begin with a
    // blank or TAB continue the entry before them.
    void ReadHeaders(TStringList& list);
    // The same into a packed list, which holds the block in about its own size. With maxBytes > 0,
    // a block longer than that raises ENetLimitExceeded "Header block too long." once that much has
    // arrived, and nothing more is read.
    void ReadHeaders(TPackedStringList& list, int32_t maxBytes = 0);

    // With more, the bytes may be held back to leave in one segment, and often in one system call,
    // with what the next write brings; the last write of an answer leaves it off, which sends
    // everything held. Reading, and ending the connection with DisconnectAfterAnswer, send what is
    // held too; a plain Disconnect drops it.
    void Write(std::string_view text, bool more = false);
    void WriteLn(const std::string& text) { Write(text + LineEnd); }
    // Sends the stream from its start (fromStart) or its position, in pieces of at most 8192 bytes;
    // every piece but the last is written with more. Pieces of a stream held in memory leave
    // several to a system call, and a stream that is also a TSendableFile leaves from its file.
    void WriteStream(TStream& stream, bool fromStart);
    void WriteHeaders(const TStringList& list) { Write(FormatHeaders(list)); }
    // Each entry with its first "=" turned into ": " and a LineEnd, then one empty line.
    std::string FormatHeaders(const TStringList& list) const;

    void BeginWork(int32_t size);
    virtual void DoWork(int32_t count);
    void EndWork();

    // Sends command (the single NUL character: nothing) and reads the reply; a reply code other
    // than expectedCode (when it is 0 or more) raises ENetResponseError.
    virtual int16_t SendCmd(
        const std::string& command, int16_t expectedCode = -1, const std::string& statusText = "", uint8_t indent = 0);
    int16_t GetResponse();

    virtual void DebugWrite(std::string_view text, int32_t count);
    virtual void DebugRead();

    int32_t BufferChunk() const { return bufferChunk_; }
    // Ignored while connected or while loading or designing. A chunk smaller than the bytes still
    // buffered raises Exception "Invalid buffer chunk.": those bytes must not be cut off.
    void SetBufferChunk(int32_t chunk);
    int32_t BufferEnd() const { return bufferEnd_; }
    // Capacity of the input buffer; bytes 1 .. BufferEnd-1 are received and not yet consumed.
    int32_t BufferCapacity() const { return static_cast<int32_t>(InputBuffer.size()); }
    std::string PeerIP() const;
    void SetPeerIP(std::string ip);

    // Removes and returns the first count buffered bytes.
    std::string ExtractFromBuffer(int32_t count);

    // Bytes this connection has sent so far; read by other threads (a server's idle check) to tell
    // a client that reads its answer slowly from one that stopped reading.
    std::atomic<int64_t> BytesSent { 0 };
    // Since when this connection has been waiting for its peer (blocked in a receive or a send, or
    // lingering after its answer), on the steady clock; nothing while it is not. Read by other
    // threads: a server at its connection limit closes the session that has waited longest.
    std::optional<std::chrono::steady_clock::time_point> WaitingForPeerSince() const;
    bool ClosedGracefully = false;
    bool UseNagle = true; // kept as a setting only
    std::string LogFile; // kept as a setting only
    std::string LineEnd = "\r\n";
    bool ASCIIFilter = false;
    int16_t LastResponseCode = 0;
    int32_t WorkKilobytes = 0;
    int32_t WorkCount = 0;
    int32_t WorkSize = 0; // -1 unknown; -2 no work in progress
    TStream* LogStream = nullptr; // not owned
    TStringEvent OnStatus;
    TCaptureLineEvent OnCaptureLine;
    TProgressEvent OnWork;
    TDebugWriteEvent OnDebugWrite;
    TDebugWriteEvent OnDebugRead;
    std::string LastResponse;
    TInputBuffer InputBuffer;
    TStringList ResponseLines;

protected:
    void FillBuffer();
    // The lines up to and including the first empty one, each with its LineEnd, taken out of the
    // buffer (see ReadHeaders for maxBytes).
    std::string ReadHeaderBlock(int32_t maxBytes);
    // Gives back the memory of a large buffer that holds little, once a long line or body is out.
    void ShrinkLargeBuffer();
    void CheckGraceful();
    virtual void DoStatus(const std::string& text);
    // Accounts for one send's result: raises when the peer is gone or the send failed.
    void CheckSent(int32_t n);
    void WriteGathered(const char* bytes, int64_t count);
    // Bytes from .. to of an open file.
    void WriteFile(int file, int64_t from, int64_t to);

private:
    // Up to this many bytes written with more wait in held_ for the next write.
    static constexpr std::size_t kHeldBytes = 16 * 1024;
    void SendHeld(int32_t flags);
    void SendText(std::string_view text, int32_t flags);
    // Runs call() marked as waiting for the peer (see WaitingForPeerSince).
    template <class Call> auto AwaitPeer(Call call);

    // Steady-clock ticks; 0 while not waiting.
    std::atomic<std::chrono::steady_clock::rep> waitingSince_ { 0 };
    std::string held_;
    int32_t bufferChunk_ = 8192;
    int32_t bufferEnd_ = 1;
    // PeerIP is cleared by Disconnect, which another thread may call.
    mutable std::mutex peerMutex_;
    std::string peerIP_;
};
