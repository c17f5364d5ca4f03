#pragma once
// The command-line mode: norvistrand [OPTION]... FILE... converts each file in turn with no
// screen and no keyboard, for scripts and for many files at once.
#include <cstdint>
#include <string>
#include <vector>

#include "converter/signal_envelope.h"

inline constexpr int AllConvertedExitCode = 0;
inline constexpr int SomeFileFailedExitCode = 1;
inline constexpr int UsageExitCode = 2;

// arguments are the program's arguments after its own name.
int RunCommandLine(int count, const char* const* arguments);

// A signal file a run wrote, and the wave file it came from.
struct WrittenFile {
    std::string SignalName;
    std::string WaveName;
    std::string WavePath;     // empty for standard input, whose copy is gone
    SignalEnvelope Envelope;  // its samples' envelope, where one was asked for
};

// RunCommandLine after the files written: the web page converts each file of a choice in a run
// of its own, and refuses a signal file written earlier in the choice as one run would. The
// files this run writes join written, each with its envelope over envelopeColumns columns
// where that is not 0.
int RunCommandLineAfter(int count, const char* const* arguments, std::vector<WrittenFile>& written,
                        std::int32_t envelopeColumns = 0);
