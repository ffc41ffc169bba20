#pragma once

#include "common/Exception.h"

#include <cstdint>

// Every failure of the socket layers.
class ENetException : public Exception {
public:
    using Exception::Exception;
};

// A failed socket call; ErrorCode is the Windows Sockets error number.
class ENetSocketError : public ENetException {
public:
    ENetSocketError(std::string message, int32_t errorCode)
        : ENetException(std::move(message))
        , ErrorCode(errorCode)
    {
    }
    int32_t ErrorCode;
};

// Binding failed because another socket holds the address and port: a caller that may take
// another port tells this failure from the others by its type.
class ENetAddressInUse : public ENetException {
public:
    using ENetException::ENetException;
};

// A command reply with another code than expected.
class ENetResponseError : public ENetException {
public:
    using ENetException::ENetException;
};

// Writing on a connection that has no socket.
class ENetClosedSocket : public ENetException {
public:
    using ENetException::ENetException;
};

class ENetInvalidSocket : public ENetException {
public:
    using ENetException::ENetException;
};

// A client sent more than a limit of the connection allows (a line, a header block); nothing more
// of its input is read.
class ENetLimitExceeded : public ENetException {
public:
    using ENetException::ENetException;
};

// Exceptions that report a normal end rather than a fault.
class ENetSilentException : public ENetException {
public:
    using ENetException::ENetException;
};

// The peer closed the connection and nothing it sent is left to read.
class ENetConnClosedGraceful : public ENetSilentException {
public:
    using ENetSilentException::ENetSilentException;
};
