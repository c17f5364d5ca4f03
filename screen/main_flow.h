#pragma once
// The program: window set-up, banner, prompt loop, report, conversion and finish.

inline constexpr int KeyboardLostExitCode = 1;

// Returns 0 after the final key, or KeyboardLostExitCode when the keyboard went away.
int WINMAIN(void* instance, void* previousInstance, const char* commandLine, int showState);
