#pragma once
// The signals that end the process, and what is put right before they end it: the terminal's
// mode and a temporary file not yet in place. One handler does both, then lets the signal end
// the process as it would have. POSIX only: on Windows a console control handler removes the
// temporary file (files/windows/replacement_system.cpp).

namespace platform {

// From here on a write to a pipe without a reader, or past the file-size limit, fails like any
// other write instead of ending the process: SIGPIPE and SIGXFSZ are ignored, unless whoever
// started the process chose another disposition. Called once, at the process's start.
void KeepWriteFailuresFromEndingProcess();

// Puts the handler on every ending signal whose action is still the default: one that is
// ignored (nohup) or handled by someone else keeps its disposition. Only the first call acts.
void HandleEndingSignals();

// The files the handler removes, each until ForgetFileToRemove of its path: at most
// NotedFilesLimit at a time (standard input's copy and a signal file's temporary file). The
// path is copied; false, with no file noted, for a path too long to hold or no room left.
inline constexpr int NotedFilesLimit = 2;
bool NoteFileToRemove(const char* path);
void ForgetFileToRemove(const char* path);

}  // namespace platform
