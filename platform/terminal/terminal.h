#pragma once
// The real terminal behind the in-memory console: the renderer that mirrors the console's
// cells onto it, and the keyboard that turns its bytes into input records.
#include <cstdint>

#include "platform/console_api.h"

namespace platform {

// Opens the controlling terminal (/dev/tty) for the keyboard and puts it in raw mode with the
// application keypad, and picks where the screen is drawn: standard output if it is a
// terminal, else standard error if it is one, else the keyboard's terminal itself. Clears the
// terminal. Raw mode and
// the normal keypad are put back at exit and on SIGTERM, SIGHUP, SIGQUIT and SIGINT. Keys
// typed before raw mode was on keep their Enter. Returns false, with nothing attached, when
// there is no terminal to read the keyboard from.
bool AttachTerminal();

// The same over descriptors the caller opened, as a test hands over a pseudo-terminal: the
// keyboard is a non-blocking descriptor of the terminal, read and written (its modes), which
// the link takes over and closes at detach; the screen is where frames go (it may be the
// keyboard's descriptor), -1 for nowhere.
bool AttachTerminalTo(int keyboard, int screen);

// FlushScreen (platform/console_api.h) draws every cell that changed since the last flush, the
// cursor and pending bells, with one write; everything after the terminal was resized. It does
// nothing without a screen, and nothing at all when the console has not changed and nothing
// is queued.

// Reads whatever keyboard bytes the terminal has ready (without waiting) and appends the
// records they make to the console's input; after a WaitForKeyboard that found nothing, it
// reads nothing until the next wait, which bytes typed meanwhile end at once. A lone ESC
// becomes the Esc key once a short while has passed with no byte after it. Notes a hang-up.
// Does nothing when not attached.
void PumpKeyboard();

// Waits until the keyboard has bytes to read, or at most the given time. Returns false, at
// once, when there is no keyboard to wait on.
bool WaitForKeyboard(int milliseconds);

// True once AttachTerminal has failed or the attached terminal has hung up. False before
// any attach, so tests can feed the console's input without a terminal.
bool KeyboardGone();

// A bell to send with the next flush. These requests, like the ones below, are dropped
// when there is no screen.
void QueueBell();

// Asks the terminal to take the given size (CSI 8 ; rows ; columns t); the answer is not awaited.
void RequestTerminalSize(std::int16_t columns, std::int16_t rows);

// The window title (OSC 0) and, where the terminal allows, the window position (CSI 3 t).
void SetTerminalTitle(const char* title);
void MoveTerminalWindow(std::int32_t left, std::int32_t top);

// Draws what is pending, leaves the terminal's pen at its default colours with the cursor
// shown, and puts raw mode and the normal keypad back. Also runs at exit; does nothing when
// not attached.
void DetachTerminal();

}  // namespace platform
