#pragma once
// The command line's options: one table, one usage function, and the order parse, then check,
// so that a bad argument is found before any file is touched.
#include <deque>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view ProgramName = "norvistrand";
// The FILE that names standard input.
inline constexpr std::string_view StandardInputName = "-";

// A --files-from list, and where its names go among the FILEs: before the FILE at that index.
struct NameListAt {
    std::string_view Path;
    std::size_t At;
};

struct Options {
    bool Quiet;                     // -q
    bool Extensible;                // --extensible
    bool DataToEnd;                 // --data-to-end
    bool AnyPcm;                    // --any-pcm
    int Channel;                    // --channel N, from 1; 0 when not given
    bool AllChannels;               // --channel=all: a signal file for each channel
    bool CommonPeak;                // --common-peak: divided by the peak of every channel
    bool Mix;                       // --mix: the channels of each frame summed
    bool ToStandardOutput;          // -c
    std::string_view OutputFolder;  // -d DIR; empty: each signal file beside its wave file
    std::string_view OutputFile;    // -o FILE, the one input's signal file; or empty
    int Threads;                    // -T N, 1 to ThreadLimit; 0: by the file's length and the
                                    // processors
    bool Npy;                       // --npy: NumPy array files instead of signal files
    // The FILEs; StandardInputName is standard input. The names of the lists are among them,
    // each in its list's place, and only those of the part remain.
    std::vector<std::string_view> Files;
    // Batches: lists of names, a part of them, and files already converted skipped.
    std::vector<NameListAt> NameLists;  // --files-from FILE, StandardInputName for standard input
    bool NulEnded;                      // -0: the lists' names end with NUL
    int Part;                           // --part I/N: I, from 1; 0 when not given
    int Parts;                          // N
    bool Update;                        // -u
    std::deque<std::string> ListTexts;  // the lists' bytes, which the names point into
    // The columns of each signal's envelope, gathered for the web page's pictures; no
    // argument sets them, and 0 gathers none.
    std::int32_t EnvelopeColumns;
};

enum class ParseOutcome {
    Run,
    Stop,        // the help or the version was written
    StopFailed,  // the help or the version could not be written
    UsageError,  // said on standard error; also a list of names that cannot be read
};

// Parses the program's arguments after its own name and checks them. Options may follow the
// files; "--" ends the options, and a lone "-" is a file name: standard input.
ParseOutcome ParseArguments(int count, const char* const* arguments, Options& options);
