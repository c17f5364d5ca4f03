#pragma once
// The command line's options: one table, one usage function, and the order parse, then check,
// so that a bad argument is found before any file is touched.
#include <string_view>
#include <vector>

inline constexpr std::string_view ProgramName = "norvistrand";

struct Options {
    bool Quiet;                     // -q
    bool Extensible;                // --extensible
    bool DataToEnd;                 // --data-to-end
    bool ToStandardOutput;          // -c
    std::string_view OutputFolder;  // -d DIR; empty: each signal file beside its wave file
    int Threads;                    // -T N, 1 to 16; 0: by the file's length and the processors
    std::vector<std::string_view> Files;
};

enum class ParseOutcome {
    Run,
    Stop,        // the help or the version was written
    StopFailed,  // the help or the version could not be written
    UsageError,  // said on standard error
};

// Parses the program's arguments after its own name and checks them. Options may follow the
// files; "--" ends the options, and a lone "-" is a file name.
ParseOutcome ParseArguments(int count, const char* const* arguments, Options& options);
