#include "server/socket/NetSockets.h"

#include "common/AnsiText.h"
#include "server/socket/BulkSending.h"
#include "server/socket/HeaderBlock.h"
#include "server/socket/NetText.h"
#include "server/socket/SendableFile.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {
// Streams go out in pieces of this size.
constexpr int64_t kStreamPiece = 8192;

// From this capacity on the input buffer grows by an eighth of itself at a time instead of by one
// chunk, so that a line or body of a gigabyte takes a few dozen resizes, not a hundred thousand;
// and once the long line or body has been taken out, a buffer this large that holds little gives
// its memory back.
constexpr int32_t kLargeBuffer = 1 << 20;

// The buffer's index is 32-bit: a line, block or body that would need more is refused.
constexpr int64_t kMaxBufferCapacity = INT32_MAX;

int32_t RoundUp(int64_t size, int32_t step)
{
    return static_cast<int32_t>((size + step - 1) / step * step);
}

} // namespace

TNetSocket::TNetSocket(TComponent* owner)
    : TNetComponent(owner)
{
}

template <class Call> auto TNetSocket::AwaitPeer(Call call)
{
    struct WaitEnds {
        std::atomic<std::chrono::steady_clock::rep>& since;
        ~WaitEnds() { since.store(0, std::memory_order_relaxed); }
    };
    waitingSince_.store(std::chrono::steady_clock::now().time_since_epoch().count(), std::memory_order_relaxed);
    const WaitEnds ends { waitingSince_ };
    return call();
}

std::optional<std::chrono::steady_clock::time_point> TNetSocket::WaitingForPeerSince() const
{
    using clock = std::chrono::steady_clock;
    const clock::rep since = waitingSince_.load(std::memory_order_relaxed);
    if (since == 0)
        return std::nullopt;
    return clock::time_point(clock::duration(since));
}

void TNetSocket::Disconnect()
{
    SetPeerIP(std::string());
    TNetComponent::Disconnect();
}

bool TNetSocket::AwaitInput(std::chrono::milliseconds patience)
{
    if (bufferEnd_ > 1)
        return true;
    SendHeld(0);
    const int32_t ready = AwaitPeer([&] {
        return UseSocket([&](TSocket s) {
            return SocketBinding->WaitReadable(s, static_cast<int32_t>(std::min<int64_t>(patience.count(), INT32_MAX)));
        });
    });
    return ready == 1;
}

void TNetSocket::DisconnectAfterAnswer(std::chrono::milliseconds patience)
{
    if (!Connected())
        return;
    try {
        SendHeld(0);
    } catch (const std::exception&) {
        // The peer is gone: there is nothing left to protect.
        Disconnect();
        return;
    }
    // Nothing of the request left unread, here or in the system, and the peer either still open or
    // already gone after reading all of it: the close sends end of file after the answer, and
    // there is nothing whose reset could cut it. Most clients are here, and the session then need
    // not wait for them to close first. One read that does not wait tells which case this is.
    char discarded[4096];
    int64_t total = 0;
    if (bufferEnd_ == 1) {
        const int32_t n
            = UseSocket([&](TSocket s) { return SocketBinding->recv(s, discarded, sizeof discarded, MSG_DONTWAIT); });
        if (n == 0 || (n == SOCKET_ERROR && SocketBinding->LastError() == WsaError::WouldBlock)) {
            Disconnect();
            return;
        }
        total = std::max<int32_t>(n, 0);
    }
    UseSocket([](TSocket s) { return SocketBinding->shutdown(s, SD_SEND); });
    // Another thread's Disconnect wakes the wait below: a stopped session does not linger.
    const auto deadline = std::chrono::steady_clock::now() + patience;
    AwaitPeer([&] {
        while (total <= kLingerBytes) {
            const auto left
                = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                      .count();
            if (left <= 0)
                break;
            const int32_t ready = UseSocket([&](TSocket s) {
                return SocketBinding->WaitReadable(s, static_cast<int32_t>(std::min<int64_t>(left, INT32_MAX)));
            });
            if (ready != 1)
                break;
            const int32_t n
                = UseSocket([&](TSocket s) { return SocketBinding->recv(s, discarded, sizeof discarded, 0); });
            if (n <= 0)
                break;
            total += n;
        }
    });
    Disconnect();
}

std::string TNetSocket::PeerIP() const
{
    std::lock_guard<std::mutex> lock(peerMutex_);
    return peerIP_;
}

void TNetSocket::SetPeerIP(std::string ip)
{
    std::lock_guard<std::mutex> lock(peerMutex_);
    peerIP_ = std::move(ip);
}

void TNetSocket::SetBufferChunk(int32_t chunk)
{
    if (Connected() || LoadingOrDesigning())
        return;
    if (chunk < 1 || chunk < bufferEnd_ - 1)
        throw Exception("Invalid buffer chunk.");
    bufferChunk_ = chunk;
    InputBuffer.resize(static_cast<size_t>(chunk));
}

void TNetSocket::FillBuffer()
{
    // A reply never waits for bytes still held back here.
    SendHeld(0);
    const auto capacity = static_cast<int32_t>(InputBuffer.size());
    const int32_t end = bufferEnd_;
    // Grow when the room after the data falls below half of the used part; shrink only when more
    // than two chunks lie unused, so that a stream of short lines causes no reallocation.
    int64_t newCapacity = capacity;
    if (capacity - end < end / 2)
        newCapacity
            = capacity < kLargeBuffer ? capacity + bufferChunk_ : RoundUp(capacity + capacity / 8, bufferChunk_);
    else if (capacity - end > 2 * bufferChunk_ && capacity - bufferChunk_ > bufferChunk_)
        newCapacity = capacity - bufferChunk_;
    // A receive of no bytes would read as the peer closing.
    while (newCapacity - end < 1)
        newCapacity += bufferChunk_;
    if (newCapacity > kMaxBufferCapacity)
        throw ENetLimitExceeded("Input buffer full.");
    InputBuffer.resize(static_cast<size_t>(newCapacity));

    char* room = InputBuffer.data() + (end - 1);
    int32_t n = AwaitPeer([&] {
        return UseSocket(
            [&](TSocket s) { return SocketBinding->recv(s, room, static_cast<int32_t>(newCapacity - end), 0); });
    });
    ClosedGracefully = n == 0;
    if (n != 0) {
        if (n == SOCKET_ERROR) {
            CheckSocketResult(n, { WsaError::Shutdown });
            n = 0;
            if (Connected())
                Disconnect();
            if (bufferEnd_ == 1)
                RaiseSocketError(WsaError::Shutdown);
        }
        DoWork(WorkCount + n);
        if (ASCIIFilter) {
            for (int32_t i = 0; i < n; ++i)
                room[i] = static_cast<char>(static_cast<unsigned char>(room[i]) & 0x7F);
        }
        bufferEnd_ += n;
    }
    CheckGraceful();
}

void TNetSocket::CheckGraceful()
{
    if (!ClosedGracefully)
        return;
    if (Connected())
        Disconnect();
    if (bufferEnd_ == 1)
        throw ENetConnClosedGraceful("Connection Closed Gracefully.");
}

std::string TNetSocket::ExtractFromBuffer(int32_t count)
{
    if (count < 0 || count >= bufferEnd_)
        throw Exception("Not enough data in buffer.");
    std::string result(InputBuffer.data(), static_cast<size_t>(count));
    const auto remaining = static_cast<size_t>(bufferEnd_ - 1 - count);
    std::memmove(InputBuffer.data(), InputBuffer.data() + count, remaining);
    bufferEnd_ -= count;
    ShrinkLargeBuffer();
    return result;
}

void TNetSocket::ShrinkLargeBuffer()
{
    const int32_t capacity = BufferCapacity();
    const int32_t needed = RoundUp(int64_t { bufferEnd_ } + bufferChunk_, bufferChunk_);
    if (capacity > kLargeBuffer && capacity > 4 * int64_t { needed })
        InputBuffer.resize(static_cast<size_t>(needed));
}

std::string TNetSocket::ReadLn(int32_t maxLength)
{
    // Bytes already searched need no second look, except for a terminator that began among them.
    size_t searchFrom = 0;
    while (true) {
        const std::string_view buffered(InputBuffer.data(), static_cast<size_t>(bufferEnd_ - 1));
        const size_t found = LineEnd.empty() ? std::string_view::npos : buffered.find(LineEnd, searchFrom);
        if (found != std::string_view::npos) {
            std::string line = ExtractFromBuffer(static_cast<int32_t>(found + LineEnd.size()));
            line.resize(found);
            return line;
        }
        searchFrom = buffered.size() >= LineEnd.size() ? buffered.size() - LineEnd.size() + 1 : 0;
        if (maxLength > 0 && searchFrom > static_cast<size_t>(maxLength))
            throw ENetLimitExceeded("Line too long.");
        ReadLogMark = bufferEnd_;
        FillBuffer();
        DebugRead();
    }
}

std::string TNetSocket::ReadTrimmedLn()
{
    while (true) {
        std::string line = Trim(ReadLn());
        if (!line.empty())
            return line;
    }
}

std::string TNetSocket::ReadString(int32_t count)
{
    if (count < 0)
        throw Exception("Invalid read count.");
    if (count == 0)
        return std::string();
    while (count >= bufferEnd_)
        FillBuffer();
    ReadLogMark = bufferEnd_;
    DebugRead();
    return ExtractFromBuffer(count);
}

int32_t TNetSocket::Capture(TCaptureDestination destination, const std::vector<std::string>& terminators)
{
    int32_t result = 0;
    BeginWork(-1);
    try {
        while (true) {
            std::string line = ReadLn();
            const auto hit = std::find(terminators.begin(), terminators.end(), line);
            if (hit != terminators.end()) {
                result = static_cast<int32_t>(hit - terminators.begin()) + 1;
                break;
            }
            // Dot unstuffing of mail-style protocols.
            if (!terminators.empty() && terminators.front() == "." && line.starts_with(".."))
                line.erase(0, 1);
            if (auto* const* list = std::get_if<TStringList*>(&destination); list && *list)
                (*list)->Add(std::move(line));
            else if (auto* const* stream = std::get_if<TStream*>(&destination); stream && *stream)
                WriteLnToStream(**stream, line);
            else if (OnCaptureLine)
                OnCaptureLine(*this, line);
        }
    } catch (...) {
        EndWork();
        throw;
    }
    EndWork();
    return result;
}

std::string TNetSocket::ReadHeaderBlock(int32_t maxBytes)
{
    // Bytes already searched need no second look; every line found so far was not empty.
    size_t lineStart = 0;
    size_t searchFrom = 0;
    while (true) {
        const std::string_view buffered(InputBuffer.data(), static_cast<size_t>(bufferEnd_ - 1));
        while (!LineEnd.empty()) {
            const size_t found = buffered.find(LineEnd, std::max(lineStart, searchFrom));
            if (found == std::string_view::npos)
                break;
            if (found == lineStart)
                return ExtractFromBuffer(static_cast<int32_t>(found + LineEnd.size()));
            lineStart = found + LineEnd.size();
        }
        searchFrom = buffered.size() >= LineEnd.size() ? buffered.size() - LineEnd.size() + 1 : 0;
        if (maxBytes > 0 && buffered.size() > static_cast<size_t>(maxBytes))
            throw ENetLimitExceeded("Header block too long.");
        ReadLogMark = bufferEnd_;
        FillBuffer();
        DebugRead();
        // Line by line, the complete lines would have been taken out already: a peer that ends
        // right after one ends the block as it would end a read of the next line.
        if (!Connected() && static_cast<size_t>(bufferEnd_ - 1) == lineStart) {
            if (ClosedGracefully)
                throw ENetConnClosedGraceful("Connection Closed Gracefully.");
            RaiseSocketError(WsaError::Shutdown);
        }
    }
}

void TNetSocket::ReadHeaders(TPackedStringList& list, int32_t maxBytes)
{
    list.Clear();
    BeginWork(-1);
    std::string block;
    try {
        block = ReadHeaderBlock(maxBytes);
    } catch (...) {
        EndWork();
        throw;
    }
    EndWork();
    ParseHeaderBlock(block, LineEnd, list);
}

void TNetSocket::ReadHeaders(TStringList& list)
{
    list.Clear();
    TPackedStringList entries;
    try {
        ReadHeaders(entries);
    } catch (const EListError&) {
        // A block that begins with a continuation line is left as it was read, line by line.
        list = entries.ToStringList();
        throw;
    }
    list = entries.ToStringList();
}

void TNetSocket::Write(std::string_view text, bool more)
{
    if (text.empty())
        return;
    if (!Connected())
        throw ENetClosedSocket("Socket is closed, cannot write");
    // A short text that more follows (an answer's header) waits here for the next write, which
    // takes it along in its own system call when it can; the write log wants each write's bytes.
    if (more && (DebugFlags & 2) == 0 && held_.size() + text.size() <= kHeldBytes) {
        held_.append(text);
        return;
    }
    SendHeld(MSG_MORE);
    SendText(text, more ? MSG_MORE : 0);
}

void TNetSocket::SendHeld(int32_t flags)
{
    if (held_.empty())
        return;
    const std::string held = std::move(held_);
    held_.clear();
    SendText(held, flags);
}

void TNetSocket::SendText(std::string_view text, int32_t flags)
{
    const auto length = static_cast<int32_t>(text.size());
    int32_t i = 1;
    while (i <= length) {
        WriteLogMark = i;
        const char* from = text.data() + (i - 1);
        const int32_t n = AwaitPeer(
            [&] { return UseSocket([&](TSocket s) { return SocketBinding->send(s, from, length - i + 1, flags); }); });
        DebugWrite(text, n);
        CheckSent(n);
        i += n;
    }
}

void TNetSocket::WriteStream(TStream& stream, bool fromStart)
{
    if (fromStart)
        stream.SetPosition(0);
    const int64_t size = stream.Size();
    BeginWork(static_cast<int32_t>(std::min<int64_t>(size, INT32_MAX)));
    const TBulkSendingScope bulk(size - stream.Position());
    try {
        // A stream that a file also holds goes from the file without a copy; one held in memory
        // goes from there, many pieces to a call; any other is read piece by piece. The write log
        // wants each piece's bytes, so it takes the last way.
        const auto* file = dynamic_cast<const TSendableFile*>(&stream);
        const char* const inMemory = stream.BytesInMemory();
        const bool logging = (DebugFlags & 2) != 0;
        if (file && file->SendableHandle() >= 0 && !logging) {
            const int64_t offset = file->SendableOffset();
            WriteFile(file->SendableHandle(), offset + stream.Position(), offset + size);
            stream.Seek(0, TStream::Origin::End);
        } else if (inMemory && !logging) {
            WriteGathered(inMemory + stream.Position(), size - stream.Position());
            stream.Seek(0, TStream::Origin::End);
        } else {
            std::string piece;
            while (true) {
                const int64_t from = stream.Position();
                const int64_t count = std::min(size - from, kStreamPiece);
                if (count <= 0)
                    break;
                piece.resize(static_cast<size_t>(count));
                stream.ReadBuffer(piece.data(), count);
                Write(piece, from + count != size);
            }
        }
    } catch (...) {
        EndWork();
        throw;
    }
    EndWork();
}

void TNetSocket::CheckSent(int32_t n)
{
    ClosedGracefully = n == 0;
    CheckGraceful();
    if (n == SOCKET_ERROR && CheckSocketResult(n, { WsaError::Shutdown })) {
        Disconnect();
        RaiseSocketError(WsaError::Shutdown);
    }
    BytesSent.fetch_add(n, std::memory_order_relaxed);
}

void TNetSocket::WriteGathered(const char* bytes, int64_t count)
{
    if (count <= 0)
        return;
    if (!Connected())
        throw ENetClosedSocket("Socket is closed, cannot write");
    // The 8 KiB pieces stay the unit; up to kMaxSendPieces of them leave in one call, the first
    // with what an earlier write held back, and only the call that ends the answer sends what the
    // system holds back.
    std::array<TSendPiece, kMaxSendPieces> pieces {};
    int64_t sent = 0;
    while (sent < count) {
        int32_t used = 0;
        int64_t at = sent;
        const auto heldBytes = static_cast<int32_t>(held_.size());
        if (heldBytes > 0)
            pieces[static_cast<std::size_t>(used++)] = { held_.data(), heldBytes };
        for (; used < kMaxSendPieces && at < count; ++used) {
            const int64_t size = std::min(count - at, kStreamPiece);
            pieces[static_cast<std::size_t>(used)] = { bytes + at, static_cast<int32_t>(size) };
            at += size;
        }
        const int32_t flags = at < count ? MSG_MORE : 0;
        const int32_t n = AwaitPeer([&] {
            return UseSocket([&](TSocket s) { return SocketBinding->SendPieces(s, pieces.data(), used, flags); });
        });
        CheckSent(n);
        if (n < heldBytes) {
            held_.erase(0, static_cast<std::size_t>(n));
        } else {
            held_.clear();
            sent += n - heldBytes;
        }
    }
}

void TNetSocket::WriteFile(int file, int64_t from, int64_t to)
{
    if (from >= to)
        return;
    if (!Connected())
        throw ENetClosedSocket("Socket is closed, cannot write");
    SendHeld(MSG_MORE);
    int64_t offset = from;
    while (offset < to) {
        const auto count = static_cast<int32_t>(std::min<int64_t>(to - offset, INT32_MAX));
        const int32_t n = AwaitPeer(
            [&] { return UseSocket([&](TSocket s) { return SocketBinding->SendFile(s, file, offset, count); }); });
        CheckSent(n);
    }
}

std::string TNetSocket::FormatHeaders(const TStringList& list) const
{
    // Sent as one block: the bytes are those of one WriteLn per entry, without a small segment on
    // the wire for each header.
    std::string block;
    for (const auto& item : list) {
        block += ReplaceFirst(item.text, "=", ": ");
        block += LineEnd;
    }
    block += LineEnd;
    return block;
}

void TNetSocket::BeginWork(int32_t size)
{
    WorkCount = 0;
    WorkSize = size;
}

void TNetSocket::DoWork(int32_t count)
{
    WorkCount = count;
    if (WorkSize == -2)
        return;
    if (count != -1 && count / 1024 <= WorkKilobytes)
        return;
    WorkKilobytes = count / 1024;
    if (OnWork)
        OnWork(*this, WorkCount, WorkSize);
}

void TNetSocket::EndWork()
{
    WorkSize = -1;
    DoWork(-1);
    WorkSize = -2;
}

void TNetSocket::DebugRead()
{
    if ((DebugFlags & 1) == 0)
        return;
    if (OnDebugRead)
        OnDebugRead(*this);
    if (ReadLogMark >= 1 && ReadLogMark < bufferEnd_)
        AppendToReadLog(InputBuffer.data() + (ReadLogMark - 1), bufferEnd_ - ReadLogMark);
}

void TNetSocket::DebugWrite(std::string_view text, int32_t count)
{
    if ((DebugFlags & 2) == 0)
        return;
    if (OnDebugWrite)
        OnDebugWrite(*this);
    const auto length = static_cast<int32_t>(text.size());
    if (count > 0 && WriteLogMark >= 1 && WriteLogMark - 1 + count <= length)
        AppendToWriteLog(text.data() + (WriteLogMark - 1), count);
}
