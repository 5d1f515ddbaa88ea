#include "com_port.h"

#include <cstdio>
#include <cstring>

#include "hardware/core/reply_deadline.h"

namespace mrwd {
namespace {

constexpr DWORD kPauseAfterByteMs = 50;
constexpr std::size_t kReplyLine = 64;

HANDLE OpenDevice(int port) {
    char name[64];
    std::snprintf(name, sizeof name, "\\\\.\\COM%d", port);
    return ::CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

// Reads with the given time-outs, keeping the write fields (or the other way round).
bool SetTimeouts(HANDLE handle, bool forReading, DWORD value) {
    COMMTIMEOUTS timeouts;
    if (!::GetCommTimeouts(handle, &timeouts)) return false;
    if (forReading) {
        // A read returns at once with whatever has arrived.
        timeouts.ReadIntervalTimeout = MAXDWORD;
        timeouts.ReadTotalTimeoutMultiplier = 0;
        timeouts.ReadTotalTimeoutConstant = 0;
    } else {
        timeouts.WriteTotalTimeoutMultiplier = 0;
        timeouts.WriteTotalTimeoutConstant = value;
    }
    return ::SetCommTimeouts(handle, &timeouts) != FALSE;
}

bool WriteByte(HANDLE handle, char byte) {
    DWORD written = 0;
    const bool ok = ::WriteFile(handle, &byte, 1, &written, nullptr) && written == 1;
    ::Sleep(kPauseAfterByteMs);
    return ok;
}

}  // namespace

CComPort::~CComPort() { Close(); }

bool CComPort::Open(int port) {
    if (IsOpen()) return true;
    handle_.reset(OpenDevice(port));
    if (!IsOpen()) return false;
    DCB dcb;
    std::memset(&dcb, 0, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    bool ok = ::GetCommState(handle_.get(), &dcb) != FALSE;
    if (ok) {
        dcb.BaudRate = CBR_2400;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        dcb.fParity = 0;
        dcb.fOutxCtsFlow = 0;
        dcb.fOutxDsrFlow = 0;
        dcb.fDsrSensitivity = 0;
        dcb.fOutX = 0;
        dcb.fInX = 0;
        dcb.fDtrControl = DTR_CONTROL_ENABLE;
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
        dcb.fTXContinueOnXoff = 1;
        ok = ::SetCommState(handle_.get(), &dcb) != FALSE;
    }
    if (!ok) Close();
    return ok;
}

void CComPort::Close() { handle_.reset(); }

bool CComPort::WriteString(const char* text, unsigned timeLimitSeconds) {
    if (!SetTimeouts(handle_.get(), false, timeLimitSeconds * 1000)) return false;
    for (const char* p = text; *p != '\0'; ++p) {
        if (!WriteByte(handle_.get(), *p)) return false;
    }
    return WriteByte(handle_.get(), '\r');
}

bool CComPort::ReadLine(char* buffer, std::size_t size, unsigned timeLimitSeconds) {
    return ReadLineWithin(buffer, size, timeLimitSeconds * 1000);
}

bool CComPort::ReadLineWithin(char* buffer, std::size_t size, DWORD limitMs,
                              const std::function<void()>& whileWaiting) {
    if (size == 0 || !SetTimeouts(handle_.get(), true, 0)) return false;
    std::size_t count = 0;
    bool lineEnded = false;
    const DWORD start = ::GetTickCount();
    // Measured as elapsed time, so the limit holds across the tick count's wrap.
    while (::GetTickCount() - start < limitMs) {
        char byte = 0;
        DWORD got = 0;
        if (!::ReadFile(handle_.get(), &byte, 1, &got, nullptr)) break;
        if (got == 1) {
            if (byte == '\r' || byte == '\n') {
                lineEnded = true;
                continue;
            }
            buffer[count++] = byte;
            if (count >= size - 1) break;
            continue;
        }
        if (lineEnded) break;  // the line is complete and nothing more is waiting
        MSG message;
        if (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                // The thread's own loop must still see it.
                ::PostThreadMessageA(::GetCurrentThreadId(), WM_QUIT, 0, 0);
                break;
            }
            if (message.message != WM_TIMER) {
                ::TranslateMessage(&message);
                ::DispatchMessageA(&message);
            }
        }
        if (whileWaiting) whileWaiting();
        ::Sleep(kPauseAfterByteMs);
    }
    buffer[count] = '\0';
    return lineEnded;
}

bool CComPort::Contains(const char* text, const char* word) {
    const int textLength = static_cast<int>(std::strlen(text));
    const int wordLength = static_cast<int>(std::strlen(word));
    for (int i = 0; i + wordLength <= textLength; ++i) {
        if (::CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, text + i, wordLength, word, wordLength) ==
            CSTR_EQUAL) {
            return true;
        }
    }
    return false;
}

bool CComPort::Command(const char* command, const char* expected, unsigned timeLimitSeconds,
                       const std::function<void()>& whileWaiting) {
    if (!IsOpen()) return false;
    // A device that prints other lines at least once per time limit would
    // otherwise keep the command reading for ever.
    const ReplyDeadline deadline(::GetTickCount(), timeLimitSeconds);
    ::PurgeComm(handle_.get(), PURGE_TXCLEAR | PURGE_RXCLEAR);
    if (!WriteString(command, timeLimitSeconds)) return false;
    for (;;) {
        const std::uint32_t lineMs = deadline.NextLineMs(::GetTickCount());
        if (lineMs == 0) return false;
        char line[kReplyLine];
        if (!ReadLineWithin(line, sizeof line, lineMs, whileWaiting)) return false;
        if (Contains(line, expected)) return true;
    }
}

DWORD CComPort::GetPortOpenError(int port) {
    const UniqueFile handle(OpenDevice(port));
    return handle ? 0 : ::GetLastError();
}

int CComPort::FindFreePort(int after) {
    for (int port = after + 1; port <= 256; ++port) {
        const DWORD error = GetPortOpenError(port);
        ::Sleep(1);
        if (error == 0) return port;
    }
    return 0;
}

}  // namespace mrwd
