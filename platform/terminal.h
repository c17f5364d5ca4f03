#pragma once
// The real terminal behind the in-memory console: the renderer that mirrors the console's
// cells onto it, and the keyboard that turns its bytes into input records.
#include <cstdint>

namespace platform {

// Opens the controlling terminal (/dev/tty) for the keyboard and puts it in raw mode, and
// picks where the screen is drawn: standard output if it is a terminal, else standard error
// if it is one, else nowhere. Raw mode is put back at exit, on SIGTERM and on SIGHUP.
// Returns false when there is no terminal to read the keyboard from.
bool AttachTerminal();

// Draws every cell that changed since the last flush, the cursor and pending bells, with one
// write. Does nothing without a terminal.
void FlushScreen();

// Reads whatever keyboard bytes the terminal has ready (without waiting) and appends the
// records they make to the console's input. Notes a hang-up.
void PumpKeyboard();

// True once the terminal has hung up or was never there.
bool KeyboardGone();

// A bell to send with the next flush.
void QueueBell();

// Asks the terminal to take the given size (CSI 8 ; rows ; columns t); the answer is not awaited.
void RequestTerminalSize(std::int16_t columns, std::int16_t rows);

// The window title (OSC 0) and, where the terminal allows, the window position (CSI 3 t).
void SetTerminalTitle(const char* title);
void MoveTerminalWindow(std::int32_t left, std::int32_t top);

// Draws what is pending, leaves the terminal's pen at its default colours and puts raw mode back.
void DetachTerminal();

}  // namespace platform
