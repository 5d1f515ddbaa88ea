// CComPort: the program's only access to serial devices. One fixed line
// setting (2400 baud, 8N1, DTR and RTS on, no flow control), commands sent a
// byte at a time, reply lines read with a time limit while the calling
// thread's messages keep flowing.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>

#include "base/win/handles.h"

namespace mrwd {

class CComPort {
public:
    CComPort() = default;
    virtual ~CComPort();
    CComPort(const CComPort&) = delete;
    CComPort& operator=(const CComPort&) = delete;

    // True if the port is (or already was) open; an open object keeps its port.
    bool Open(int port);
    void Close();
    bool IsOpen() const { return handle_.valid(); }

    // Every byte, 50 ms apart, then a carriage return.
    bool WriteString(const char* text, unsigned timeLimitSeconds);
    // True once a CR or LF arrived; the line (without them) goes to `buffer`.
    bool ReadLine(char* buffer, std::size_t size, unsigned timeLimitSeconds);
    // The word occurs in the text, without regard to case.
    static bool Contains(const char* text, const char* word);
    // Sends the command and reads reply lines until one holds the word. Each
    // line may take the time limit; the whole command ends after five.
    // `whileWaiting`, when given, is called between reads of the reply (the
    // controller feeds the card from there while a modem keeps it waiting).
    bool Command(const char* command, const char* expected, unsigned timeLimitSeconds,
                 const std::function<void()>& whileWaiting = nullptr);

    // The next port above `after` that opens, or 0.
    static int FindFreePort(int after);
    // What opening the port gives: 0 free, ERROR_FILE_NOT_FOUND none, else held.
    static DWORD GetPortOpenError(int port);

private:
    bool ReadLineWithin(char* buffer, std::size_t size, DWORD limitMs,
                        const std::function<void()>& whileWaiting = nullptr);

    UniqueFile handle_;
};

}  // namespace mrwd
