#pragma once
// Shared by the Windows backends: the kernel objects behind Event and Socket, and the conversions
// between the program's UTF-16 texts and the wide strings of the Win32 API (the same 16-bit units).

#include "platform/Event.h"
#include "platform/Socket.h"

#include <windows.h>
#include <winsock2.h>

#include <atomic>
#include <string>
#include <string_view>

namespace platform {

struct Event::State {
    HANDLE handle = nullptr;         // an auto-reset event; WSAEventSelect signals it for a bound socket
    std::atomic<bool> set{false};    // Set() was called since the wait last reported this event
    Socket::State* socket = nullptr; // the socket bound by EventSelect, if any
};

// A socket's network events are collected by the wait that its event wakes, so that a wake-up with
// nothing new (the system may signal twice for one event) waits again instead of reporting nothing.
struct Socket::State {
    SOCKET socket = INVALID_SOCKET;
    Event::State* event = nullptr;
    unsigned mask = 0;
    NetworkEvents collected;
    // kWrite was reported with kConnect before the system recorded it; its own FD_WRITE is then dropped.
    bool writeAnticipated = false;

    // Takes the system's recorded events into `collected`; answers whether anything new came.
    bool Collect();
    void Unbind() {
        if (event)
            event->socket = nullptr;
        event = nullptr;
    }
};

inline const wchar_t* Wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

inline std::wstring WideString(std::u16string_view text) {
    return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

inline std::u16string FromWide(std::wstring_view text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.data()), text.size());
}

// One argument of a command line, quoted the way programs' C runtimes split a command line back into
// arguments (ChildProcess.cpp).
std::u16string QuotedArgument(std::u16string_view argument);

} // namespace platform
