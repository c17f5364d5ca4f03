#pragma once
// The command-line mode: norvistrand [OPTION]... FILE... converts each file in turn with no
// screen and no keyboard, for scripts and for many files at once.

inline constexpr int AllConvertedExitCode = 0;
inline constexpr int SomeFileFailedExitCode = 1;
inline constexpr int UsageExitCode = 2;

// arguments are the program's arguments after its own name.
int RunCommandLine(int count, const char* const* arguments);
