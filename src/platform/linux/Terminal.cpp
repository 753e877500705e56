#include "platform/Terminal.h"

#include <cerrno>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace platform {

bool IsStandardOutputTerminal() {
    return isatty(STDOUT_FILENO) == 1;
}

struct KeyboardInput::State {
    bool rawMode = false;
    bool ended = false;
    termios saved{};
};

KeyboardInput::KeyboardInput() : state_(std::make_unique<State>()) {
    if (isatty(STDIN_FILENO) == 1 && tcgetattr(STDIN_FILENO, &state_->saved) == 0) {
        termios raw = state_->saved;
        // Without ISIG, Ctrl+C arrives as the key 3 instead of ending the program with the terminal
        // still in this mode.
        raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG);
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        state_->rawMode = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
    }
}

KeyboardInput::~KeyboardInput() {
    if (state_->rawMode)
        tcsetattr(STDIN_FILENO, TCSANOW, &state_->saved);
}

namespace {

// Reads one byte if one arrives within `milliseconds`; -1 when none, -2 at the end of input.
int ReadByte(int milliseconds) {
    pollfd fd{STDIN_FILENO, POLLIN, 0};
    int ready;
    do {
        ready = poll(&fd, 1, milliseconds);
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0)
        return -1;
    unsigned char byte = 0;
    const ssize_t count = read(STDIN_FILENO, &byte, 1);
    if (count == 1)
        return byte;
    return count == 0 || (count < 0 && errno != EINTR && errno != EAGAIN) ? -2 : -1;
}

} // namespace

bool KeyboardInput::ended() const {
    return state_->ended;
}

int KeyboardInput::ReadKey(int milliseconds) {
    if (state_->ended)
        return TerminalKey_None;
    const int first = ReadByte(milliseconds);
    if (first == -1)
        return TerminalKey_None;
    if (first == -2) {
        state_->ended = true;
        return TerminalKey_EndOfInput;
    }
    if (first != 0x1B)
        return first;
    // An escape sequence: ESC [ A..D for the arrow keys, which arrive together.
    const int second = ReadByte(20);
    if (second != '[')
        return 0x1B;
    switch (ReadByte(20)) {
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
