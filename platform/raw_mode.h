#pragma once
// The terminal's raw mode and its restoration. The mode the terminal had is put back however
// the process ends: by LeaveRawMode, at exit, or on SIGTERM, SIGHUP, SIGQUIT and SIGINT,
// whose handlers put it back and then end the process as the signal would have.

namespace platform {

// Saves the mode of the terminal behind descriptor and switches it to raw mode: bytes
// arrive one by one as typed, unechoed, with no line editing and no signal keys. Installs
// the signal handlers on first use. Returns false (and changes nothing) when the descriptor
// is no terminal.
bool EnterRawMode(int descriptor);

// Puts the saved mode back. Does nothing when raw mode is not on. Async-signal-safe.
void LeaveRawMode();

}  // namespace platform
