#pragma once

#include <cerrno>
#include <cstdint>
#include <string>

// The Windows Sockets error numbers: the number, the platform errors (errno) it stands for, and its
// standard text. One table serves LastError (errno to number), the socket exceptions' messages
// (number to text) and the names the socket layers act on (WsaError below).
struct TSocketError {
    int32_t code;
    int errno1; // -1: no platform error maps to this number
    int errno2;
    const char* text;
};

// The texts are those peers and users know, as written: "Operation would block. " ends in a blank
// and "Directory not empty" has no final period, on purpose.
inline constexpr TSocketError kSocketErrors[] = {
    { 10004, EINTR, -1, "Interrupted system call." },
    { 10009, EBADF, -1, "Bad file number." },
    { 10013, EACCES, EPERM, "Access denied." },
    { 10014, EFAULT, -1, "Bad address." },
    { 10022, EINVAL, -1, "Invalid argument." },
    { 10024, EMFILE, ENFILE, "Too many open files." },
    { 10035, EAGAIN, EWOULDBLOCK, "Operation would block. " },
    { 10036, EINPROGRESS, -1, "Operation now in progress." },
    { 10037, EALREADY, -1, "Operation already in progress." },
    { 10038, ENOTSOCK, -1, "Socket operation on non-socket." },
    { 10039, EDESTADDRREQ, -1, "Destination address required." },
    { 10040, EMSGSIZE, -1, "Message too long." },
    { 10041, EPROTOTYPE, -1, "Protocol wrong type for socket." },
    { 10042, ENOPROTOOPT, -1, "Bad protocol option." },
    { 10043, EPROTONOSUPPORT, -1, "Protocol not supported." },
    { 10044, ESOCKTNOSUPPORT, -1, "Socket type not supported." },
    { 10045, EOPNOTSUPP, -1, "Operation not supported on socket." },
    { 10046, EPFNOSUPPORT, -1, "Protocol family not supported." },
    { 10047, EAFNOSUPPORT, -1, "Address family not supported by protocol family." },
    { 10048, EADDRINUSE, -1, "Address already in use." },
    { 10049, EADDRNOTAVAIL, -1, "Can't assign requested address." },
    { 10050, ENETDOWN, -1, "Network is down." },
    { 10051, ENETUNREACH, -1, "Network is unreachable." },
    { 10052, ENETRESET, -1, "Net dropped connection or reset." },
    { 10053, ECONNABORTED, -1, "Software caused connection abort." },
    { 10054, ECONNRESET, -1, "Connection reset by peer." },
    { 10055, ENOBUFS, ENOMEM, "No buffer space available." },
    { 10056, EISCONN, -1, "Socket is already connected." },
    { 10057, ENOTCONN, -1, "Socket is not connected." },
    { 10058, EPIPE, ESHUTDOWN, "Cannot send or receive after socket is closed." },
    { 10059, ETOOMANYREFS, -1, "Too many references, can't splice." },
    { 10060, ETIMEDOUT, -1, "Connection timed out." },
    { 10061, ECONNREFUSED, -1, "Connection refused." },
    { 10062, ELOOP, -1, "Too many levels of symbolic links." },
    { 10063, ENAMETOOLONG, -1, "File name too long." },
    { 10064, EHOSTDOWN, -1, "Host is down." },
    { 10065, EHOSTUNREACH, -1, "No route to host." },
    { 10066, ENOTEMPTY, -1, "Directory not empty" },
    { 10067, -1, -1, "Too many processes." },
    { 10068, EUSERS, -1, "Too many users." },
    { 10069, EDQUOT, -1, "Disk Quota Exceeded." },
    { 10070, ESTALE, -1, "Stale NFS file handle." },
    { 10071, EREMOTE, -1, "Too many levels of remote in path." },
    { 10091, -1, -1, "Network subsystem is unavailable." },
    { 10092, -1, -1, "WINSOCK DLL Version out of range." },
    { 10093, -1, -1, "Winsock not loaded yet." },
    { 11001, -1, -1, "Host not found." },
    { 11002, -1, -1, "Non-authoritative response (try again or check DNS setup)." },
    { 11003, -1, -1, "Non-recoverable errors: FORMERR, REFUSED, NOTIMP." },
    { 11004, -1, -1, "Valid name, no data record (check DNS setup)." },
};

// The Windows Sockets number of a platform error; one without a number of its own gives
// 10000 + the error, which has no text.
constexpr int32_t WinsockNumberOf(int error)
{
    for (const TSocketError& entry : kSocketErrors) {
        if (error >= 0 && (entry.errno1 == error || entry.errno2 == error))
            return entry.code;
    }
    return 10000 + error;
}

// "Socket Error #<code>", CR LF, and the standard text of the number (nothing for a number
// without one).
std::string SocketErrorTextFor(int32_t code);

// The numbers the socket layers act on by name.
namespace WsaError {
inline constexpr int32_t Interrupted = WinsockNumberOf(EINTR);
inline constexpr int32_t BadFile = WinsockNumberOf(EBADF);
inline constexpr int32_t TooManyFiles = WinsockNumberOf(EMFILE);
inline constexpr int32_t WouldBlock = WinsockNumberOf(EAGAIN);
inline constexpr int32_t AddressInUse = WinsockNumberOf(EADDRINUSE);
inline constexpr int32_t ConnectionAborted = WinsockNumberOf(ECONNABORTED);
inline constexpr int32_t ConnectionReset = WinsockNumberOf(ECONNRESET);
inline constexpr int32_t NoBufferSpace = WinsockNumberOf(ENOBUFS);
inline constexpr int32_t NotSocket = WinsockNumberOf(ENOTSOCK);
inline constexpr int32_t InvalidArgument = WinsockNumberOf(EINVAL);
inline constexpr int32_t Shutdown = WinsockNumberOf(ESHUTDOWN);
inline constexpr int32_t ConnectionRefused = WinsockNumberOf(ECONNREFUSED);
} // namespace WsaError
