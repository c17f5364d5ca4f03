#pragma once
// The terminal's raw mode and application keypad, and their restoration. The mode the
// terminal had is put back, and the keypad returned to its normal mode, however the process
// ends: by LeaveRawMode, at exit, or on a signal that ends it (platform/ending_signals.h).

namespace platform {

// Saves the mode of the terminal behind descriptor and switches it to raw mode: bytes
// arrive one by one as typed, unechoed, with no line editing and no signal keys. Turns on
// the application keypad (DECKPAM, ESC =), so the keypad's Enter arrives as ESC O M instead
// of a line feed. Installs the signal handlers on first use. Returns false (and changes
// nothing) when the descriptor is no terminal.
bool EnterRawMode(int descriptor);

// Whether the saved mode turned a typed carriage return into a line feed (ICRNL): then an
// Enter typed before raw mode was on waits in the terminal as a line feed.
bool SavedModeTurnsReturnsIntoLineFeeds();

// Turns the normal keypad back on (DECKPNM, ESC >) and puts the saved mode back. Does nothing
// when raw mode is not on. Async-signal-safe.
void LeaveRawMode();

}  // namespace platform
