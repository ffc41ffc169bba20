// The command/reply dialogue of line protocols whose replies begin with a three-digit code, "+OK"
// or "-ERR". The HTTP server does not use it.

#include "server/socket/NetSockets.h"

#include "common/AnsiText.h"
#include "server/socket/NetText.h"

int16_t TNetSocket::SendCmd(
    const std::string& command, int16_t expectedCode, const std::string& statusText, uint8_t indent)
{
    // The single NUL character means: send nothing, only read the reply.
    if (command != std::string(1, '\0')) {
        if (LogStream)
            WriteLnToStream(*LogStream, "O: " + command);
        WriteLn(command);
    }
    GetResponse();
    if (expectedCode >= 0 && expectedCode != LastResponseCode)
        throw ENetResponseError(LastResponse);
    const std::string margin(2 * static_cast<size_t>(indent), ' ');
    if (statusText == "*")
        DoStatus(margin + LastResponse);
    else if (!statusText.empty())
        DoStatus(margin + statusText);
    return LastResponseCode;
}

int16_t TNetSocket::GetResponse()
{
    ResponseLines.Clear();
    auto readLine = [this] {
        std::string line = ReadTrimmedLn();
        if (LogStream)
            WriteLnToStream(*LogStream, "I: " + line + "\r\n");
        return line;
    };
    std::string line = readLine();
    if (line.size() > 3 && line[3] == '-') {
        // A multi-line reply ends with the line that begins with its code and a blank.
        const std::string endMarker = line.substr(0, 3) + " ";
        ResponseLines.Add(line);
        do {
            line = readLine();
            ResponseLines.Add(line);
        } while (line.substr(0, 4) != endMarker);
    }
    LastResponse = line;
    int32_t code = 0;
    if (line.starts_with("+OK"))
        LastResponseCode = 1;
    else if (line.starts_with("-ERR"))
        LastResponseCode = 0;
    else {
        // Decimal only: the integer parser also takes "$" and "0x" hexadecimal.
        const std::string digits = line.substr(0, 3);
        const bool hex = digits.find_first_of("$xX") != std::string::npos;
        LastResponseCode = !hex && TryStrToInt(digits, code) ? static_cast<int16_t>(code) : 0;
    }
    return LastResponseCode;
}

void TNetSocket::DoStatus(const std::string& text)
{
    if (!OnStatus)
        return;
    try {
        OnStatus(*this, text);
    } catch (Exception& e) {
        // The same exception object goes on, so its class is kept.
        e.SetMessage(e.Message() + " occurred in user's OnStatus Event.");
        throw;
    }
}
