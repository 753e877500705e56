#pragma once
// The text terminal of a console program: whether standard output is a terminal (so that colours may be
// used), and single key presses from standard input without waiting for a line.

#include <memory>

namespace platform {

// Keys other than printable characters (which read as their character code).
enum TerminalKey : int {
    TerminalKey_None = 0,
    TerminalKey_Up = 0x101,
    TerminalKey_Down = 0x102,
    TerminalKey_Right = 0x103,
    TerminalKey_Left = 0x104,
    TerminalKey_EndOfInput = 0x1FF, // standard input has closed
};

bool IsStandardOutputTerminal();

// While it exists, standard input (when it is a terminal) delivers each key press at once and without
// echo, Ctrl+C included (as the key 3); the terminal's previous mode comes back when it goes. Without a
// terminal, keys are read from whatever standard input is (a pipe, a file).
class KeyboardInput {
public:
    KeyboardInput();
    ~KeyboardInput();
    KeyboardInput(const KeyboardInput&) = delete;
    KeyboardInput& operator=(const KeyboardInput&) = delete;

    // The next key, waiting at most `milliseconds` (0: do not wait); TerminalKey_None when none came.
    // After TerminalKey_EndOfInput has been answered once, answers None without reading again.
    int ReadKey(int milliseconds);
    // Standard input has closed (TerminalKey_EndOfInput was answered).
    bool ended() const;

    struct State;

private:
    std::unique_ptr<State> state_;
};

} // namespace platform
