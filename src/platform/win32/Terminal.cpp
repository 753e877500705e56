#include "platform/Terminal.h"
#include "platform/Thread.h"

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

namespace platform {

bool IsStandardOutputTerminal() {
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (output == nullptr || output == INVALID_HANDLE_VALUE || !GetConsoleMode(output, &mode))
        return false;
    // Colours are written as escape sequences; the console must be told to obey them.
    SetConsoleMode(output, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    return true;
}

namespace {

// Bytes read from standard input by a thread of their own, since neither pipes nor consoles can be
// waited on with a time-out in one portable way.
struct InputBytes {
    std::mutex lock;
    std::condition_variable arrived;
    std::deque<int> bytes; // -2 marks the end of input
};

} // namespace

struct KeyboardInput::State {
    HANDLE input = nullptr;
    bool console = false;
    DWORD savedMode = 0;
    bool ended = false;
    std::shared_ptr<InputBytes> queue = std::make_shared<InputBytes>();
    Thread reader; // may sit in ReadFile when the object goes; it then ends with the process

    // The next byte if one arrives within `milliseconds`; -1 when none, -2 at the end of input.
    int ReadByte(int milliseconds) {
        std::unique_lock lock(queue->lock);
        if (!queue->arrived.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                     [&] { return !queue->bytes.empty(); }))
            return -1;
        int byte = queue->bytes.front();
        if (byte != -2)
            queue->bytes.pop_front();
        return byte;
    }
};

KeyboardInput::KeyboardInput() : state_(std::make_unique<State>()) {
    state_->input = GetStdHandle(STD_INPUT_HANDLE);
    if (state_->input && state_->input != INVALID_HANDLE_VALUE &&
        GetConsoleMode(state_->input, &state_->savedMode)) {
        // Each key at once, no echo, Ctrl+C as the key 3, arrow keys as escape sequences.
        DWORD raw = (state_->savedMode &
                     ~static_cast<DWORD>(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_PROCESSED_INPUT)) |
                    ENABLE_VIRTUAL_TERMINAL_INPUT;
        state_->console = SetConsoleMode(state_->input, raw) != FALSE;
    }
    HANDLE input = state_->input;
    std::shared_ptr<InputBytes> queue = state_->queue;
    state_->reader.Start([input, queue] {
        for (;;) {
            unsigned char buffer[64];
            DWORD got = 0;
            bool ok = input && input != INVALID_HANDLE_VALUE &&
                      ReadFile(input, buffer, sizeof buffer, &got, nullptr);
            std::lock_guard guard(queue->lock);
            if (!ok || got == 0) {
                queue->bytes.push_back(-2);
                queue->arrived.notify_all();
                return;
            }
            for (DWORD i = 0; i < got; ++i)
                queue->bytes.push_back(buffer[i]);
            queue->arrived.notify_all();
        }
    });
}

KeyboardInput::~KeyboardInput() {
    if (state_->console)
        SetConsoleMode(state_->input, state_->savedMode);
    // The reader owns its share of the queue; a reader still in ReadFile is let go with the thread object.
}

bool KeyboardInput::ended() const {
    return state_->ended;
}

int KeyboardInput::ReadKey(int milliseconds) {
    if (state_->ended)
        return TerminalKey_None;
    const int first = state_->ReadByte(milliseconds);
    if (first == -1)
        return TerminalKey_None;
    if (first == -2) {
        state_->ended = true;
        return TerminalKey_EndOfInput;
    }
    if (first != 0x1B)
        return first;
    // An escape sequence: ESC [ A..D for the arrow keys, which arrive together.
    const int second = state_->ReadByte(20);
    if (second != '[')
        return 0x1B;
    switch (state_->ReadByte(20)) {
    case 'A':
        return TerminalKey_Up;
    case 'B':
        return TerminalKey_Down;
    case 'C':
        return TerminalKey_Right;
    case 'D':
        return TerminalKey_Left;
    default:
        return TerminalKey_None;
    }
}

} // namespace platform
