#pragma once
// The command line's options: one table, one usage function, and the order parse, then check,
// so that a bad argument is found before any file is touched.
#include <string_view>
#include <vector>

inline constexpr std::string_view ProgramName = "norvistrand";
// The FILE that names standard input.
inline constexpr std::string_view StandardInputName = "-";

struct Options {
    bool Quiet;                     // -q
    bool Extensible;                // --extensible
    bool DataToEnd;                 // --data-to-end
    bool AnyPcm;                    // --any-pcm
    int Channel;                    // --channel N, from 1; 0 when not given
    bool ToStandardOutput;          // -c
    std::string_view OutputFolder;  // -d DIR; empty: each signal file beside its wave file
    std::string_view OutputFile;    // -o FILE, the one input's signal file; or empty
    int Threads;                    // -T N, 1 to 16; 0: by the file's length and the processors
    bool Npy;                       // --npy: NumPy array files instead of signal files
    // The FILEs; StandardInputName is standard input.
    std::vector<std::string_view> Files;
};

enum class ParseOutcome {
    Run,
    Stop,        // the help or the version was written
    StopFailed,  // the help or the version could not be written
    UsageError,  // said on standard error
};

// Parses the program's arguments after its own name and checks them. Options may follow the
// files; "--" ends the options, and a lone "-" is a file name: standard input.
ParseOutcome ParseArguments(int count, const char* const* arguments, Options& options);
