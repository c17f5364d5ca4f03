#include "command_line/options.h"

#include <getopt.h>

#include <algorithm>
#include <string>
#include <utility>

#include "command_line/name_list.h"
#include "command_line/shown_name.h"
#include "converter/line_blocks.h"
#include "files/channels.h"
#include "files/whole_text.h"
#include "platform/standard_streams.h"

namespace {

using platform::StandardStream;

constexpr std::string_view Version = NORVISTRAND_VERSION;

// The help's -T lines give ThreadLimit and DefaultThreadLimit as these numbers.
static_assert(ThreadLimit == 16 && DefaultThreadLimit == 8);

constexpr std::string_view UsageText =
    "Usage: norvistrand [OPTION]... FILE...\n"
    "Convert each mono PCM Wave file (8, 16 or 24 bits) into its signal file: the\n"
    "same name with its last three characters replaced by \"sig\", holding every\n"
    "sample divided by the peak, one value per line. With no arguments, the screen\n"
    "program starts.\n"
    "\n"
    "  -d, --output-dir=DIR  write each signal file into the folder DIR, under the\n"
    "                        name its file's base name gives; the wave file's\n"
    "                        folder is only read\n"
    "  -o, --output=FILE     write the signal file of the one FILE named into FILE;\n"
    "                        - writes its lines to standard output\n"
    "  -c, --stdout          write the lines of each FILE to standard output, one\n"
    "                        file after another, and no signal file\n"
    "      --extensible      read an extensible Wave file (format tag 0xFFFE)\n"
    "                        whose sub-format is PCM as a PCM file\n"
    "      --data-to-end     read a data chunk whose size is 0 or 0xFFFFFFFF, or\n"
    "                        runs past the end of the file, up to the end of the\n"
    "                        file (files written to a pipe, recordings cut short)\n"
    "      --channel=N       read channel N (from 1) of a file of several channels\n"
    "      --channel=all     write a signal file for each channel: channel K of\n"
    "                        NAME.wav goes to NAME.K.sig (NAME.K.npy with --npy);\n"
    "                        the files are put in place together, or none is\n"
    "      --common-peak     with --channel, divide every channel by the largest\n"
    "                        magnitude of all the file's channels, so the levels\n"
    "                        between channels are kept\n"
    "      --mix             write one signal file of the channels of each frame\n"
    "                        summed (not with --channel)\n"
    "      --any-pcm         also read 32-bit samples, 24-bit samples in 4-byte\n"
    "                        slots, 32- or 64-bit float, A-law and µ-law samples,\n"
    "                        and the RF64, BW64 and Wave64 containers; implies\n"
    "                        --extensible\n"
    "  -q, --quiet           print nothing for the files converted, and no summary\n"
    "      --npy             write NAME.npy instead of NAME.sig: a NumPy array file\n"
    "                        of the values the signal file's lines read back as\n"
    "  -T, --threads=N       make the lines of a long file on N threads (1 to 16);\n"
    "                        by default as many as the processors, at most 8; the\n"
    "                        same bytes for any N\n"
    "\n"
    "Many files:\n"
    "      --files-from=LIST also convert the names in the file LIST (- for\n"
    "                        standard input), one a line, in its place among the\n"
    "                        FILEs; each is taken as a FILE on the command line is\n"
    "  -0, --null            the names of LIST each end with a NUL byte instead\n"
    "                        (find -print0)\n"
    "      --part=I/N        convert only the FILEs at positions I, I+N, I+2N...\n"
    "                        (from 1): parts 1 to N together convert each once\n"
    "  -u, --update          skip a FILE whose signal file is there and not older\n"
    "                        than it, so a run cut short finishes when run again\n"
    "After more than one FILE, a summary line goes to standard error (not with -q);\n"
    "on a terminal a progress line shows the files done, the bytes read and the\n"
    "time left.\n"
    "\n"
    "  -h, --help            show this help and exit\n"
    "      --version         show the version and exit\n"
    "      --                end of the options: every argument after it is a FILE\n"
    "\n"
    "A FILE of - is standard input, read to its end whatever its data size says;\n"
    "its lines go to standard output unless -o names a signal file. (./- is a file\n"
    "called -.)\n"
    "\n"
    "Each converted file gets a line on standard output, unless lines go there;\n"
    "each refused or failed one a line on standard error. Exit status: 0 when every\n"
    "file was converted, 1 when any was refused or failed (the others are still\n"
    "converted), 2 for a usage error. A file refused for what an option reads gets\n"
    "the options that read it named in its line.\n"
    "\n"
    "The manual page tells more: man norvistrand\n";

// What getopt_long returns besides the short options' letters.
enum : int {
    FileArgument = 1,  // a name, in its place among the options ("-" in the short options)
    MissingArgument = ':',
    UnknownOption = '?',
    ExtensibleOption = 256,  // long options without a letter take values past any character
    DataToEndOption,
    AnyPcmOption,
    ChannelOption,
    VersionOption,
    FilesFromOption,
    PartOption,
    NpyOption,
    CommonPeakOption,
    MixOption,
};

// "-": every argument comes back in order, names included, so options may follow names
// whatever the environment says; ":": a missing argument is told from an unknown option.
constexpr char ShortOptions[] = "-:0cd:ho:qT:u";
constexpr option LongOptions[] = {
    {"stdout", no_argument, nullptr, 'c'},
    {"output-dir", required_argument, nullptr, 'd'},
    {"output", required_argument, nullptr, 'o'},
    {"help", no_argument, nullptr, 'h'},
    {"quiet", no_argument, nullptr, 'q'},
    {"threads", required_argument, nullptr, 'T'},
    {"extensible", no_argument, nullptr, ExtensibleOption},
    {"data-to-end", no_argument, nullptr, DataToEndOption},
    {"any-pcm", no_argument, nullptr, AnyPcmOption},
    {"channel", required_argument, nullptr, ChannelOption},
    {"version", no_argument, nullptr, VersionOption},
    {"files-from", required_argument, nullptr, FilesFromOption},
    {"null", no_argument, nullptr, '0'},
    {"part", required_argument, nullptr, PartOption},
    {"update", no_argument, nullptr, 'u'},
    {"npy", no_argument, nullptr, NpyOption},
    {"common-peak", no_argument, nullptr, CommonPeakOption},
    {"mix", no_argument, nullptr, MixOption},
    {nullptr, no_argument, nullptr, 0},
};

ParseOutcome Print(std::string_view text) {
    return platform::WriteToStream(StandardStream::Output, text) ? ParseOutcome::Stop
                                                                 : ParseOutcome::StopFailed;
}

// With no error, the help on standard output; else the error, with the argument it is about
// where there is one and what follows it, and where to find the help, on standard error.
ParseOutcome Usage(std::string_view error = {}, std::string_view argument = {},
                   std::string_view after = {}) {
    if (error.empty()) return Print(UsageText);
    std::string line = std::string(ProgramName) + ": " + std::string(error);
    if (!argument.empty()) line += " '" + Shown(argument, ForTerminal) + "'";
    line += after;
    line += "\nTry 'norvistrand --help' for more information.\n";
    platform::WriteToStream(StandardStream::Error, line);
    return ParseOutcome::UsageError;
}

// The option an error is about: a long option as it was written, a short one by its letter.
// at is the argument getopt_long was at when it met the error; letter is the short option's,
// which getopt_long gives in optopt only for the errors it finds itself.
std::string OptionInError(const char* at, int letter = optopt) {
    const std::string_view argument = at;
    if (argument.starts_with("--")) return std::string(argument);
    return std::string("-") + static_cast<char>(letter);
}

// What getopt_long calls unknown may be a long option written short enough to be several, or
// one that takes no argument given one: those are said as such.
ParseOutcome UnknownOptionUsage(const char* at) {
    const std::string_view argument = at;
    const std::size_t equals = argument.find('=');
    const std::string_view written = argument.substr(2, equals - 2);
    if (!argument.starts_with("--") || written.empty()) {
        return Usage("unknown option", OptionInError(at));
    }
    std::vector<const option*> matches;
    for (const option* known = LongOptions; known->name != nullptr; ++known) {
        const std::string_view name = known->name;
        if (name == written) {
            matches = {known};
            break;
        }
        if (name.starts_with(written)) matches.push_back(known);
    }
    if (matches.size() > 1) {
        std::sort(matches.begin(), matches.end(), [](const option* a, const option* b) {
            return std::string_view(a->name) < std::string_view(b->name);
        });
        std::string possible;
        for (std::size_t i = 0; i < matches.size(); ++i) {
            possible += std::string(i == 0                    ? ""
                                    : i + 1 == matches.size() ? " or "
                                                              : ", ") +
                        "--" + matches[i]->name;
        }
        return Usage("ambiguous option", argument, ": it could be " + possible);
    }
    if (matches.size() == 1 && matches.front()->has_arg == no_argument &&
        equals != std::string_view::npos) {
        return Usage("an argument given to an option that takes none", argument);
    }
    return Usage("unknown option", argument);
}

// A channel number or a thread count: the whole argument a decimal number of 1 to 9 digits,
// not 0.
bool ParsePositiveNumber(std::string_view text, int& number) {
    if (text.empty() || text.size() > 9) return false;
    int value = 0;
    for (char digit : text) {
        if (digit < '0' || digit > '9') return false;
        value = value * 10 + (digit - '0');
    }
    number = value;
    return value >= 1;
}

// A thread count of -T: 1 to ThreadLimit.
bool ReadThreads(std::string_view text, int& threads) {
    int value = 0;
    if (!ParsePositiveNumber(text, value) || value > ThreadLimit) return false;
    threads = value;
    return true;
}

// --part's I/N: two numbers as any count is written, with I no more than N.
bool ReadPart(std::string_view text, int& part, int& parts) {
    const std::size_t slash = text.find('/');
    if (slash == std::string_view::npos) return false;
    int i = 0;
    int n = 0;
    if (!ParsePositiveNumber(text.substr(0, slash), i) ||
        !ParsePositiveNumber(text.substr(slash + 1), n) || i > n) {
        return false;
    }
    part = i;
    parts = n;
    return true;
}

// What the batch options ask that cannot be, found before any list is read.
ParseOutcome CheckBatchOptions(const Options& options) {
    if (options.NulEnded && options.NameLists.empty()) {
        return Usage("-0 tells how the names of --files-from end, so it has no use without it");
    }
    if (options.Update && options.ToStandardOutput) {
        return Usage("-c writes no signal file, so -u has no use with it");
    }
    std::ptrdiff_t standardInputs =
        std::count(options.Files.begin(), options.Files.end(), StandardInputName);
    for (const NameListAt& list : options.NameLists)
        standardInputs += list.Path == StandardInputName;
    if (standardInputs > 1) return Usage("standard input can be read only once");
    return ParseOutcome::Run;
}

// A list that cannot be read or split is said as a file's failure is, and stops the run
// before any file is touched.
ParseOutcome ListFailure(std::string_view list, std::string_view message) {
    platform::WriteToStream(StandardStream::Error, std::string(ProgramName) + ": " +
                                                       Shown(list, ForTerminal) + ": " +
                                                       std::string(message) + "\n");
    return ParseOutcome::UsageError;
}

// Reads each list and puts its names in its place among the FILEs, in order.
ParseOutcome JoinListedNames(Options& options) {
    std::vector<std::string_view> files;
    std::size_t taken = 0;
    for (const NameListAt& list : options.NameLists) {
        WholeText text =
            list.Path == StandardInputName ? ReadWholeStandardInput() : ReadWholeText(list.Path);
        if (text.Error != 0) {
            return ListFailure(list.Path, "The list of files cannot be read (" + text.Cause + ")");
        }
        options.ListTexts.push_back(std::move(text.Bytes));
        files.insert(files.end(), options.Files.begin() + static_cast<std::ptrdiff_t>(taken),
                     options.Files.begin() + static_cast<std::ptrdiff_t>(list.At));
        taken = list.At;
        if (!SplitNames(options.ListTexts.back(), options.NulEnded, files)) {
            return ListFailure(list.Path,
                               "The list of files holds a NUL byte: names that end with NUL "
                               "need -0");
        }
    }
    files.insert(files.end(), options.Files.begin() + static_cast<std::ptrdiff_t>(taken),
                 options.Files.end());
    options.Files = std::move(files);
    return ParseOutcome::Run;
}

// What the channel options ask that cannot be.
ParseOutcome CheckChannelOptions(const Options& options) {
    const bool channel = options.AllChannels || options.Channel > 0;
    if (options.Mix && channel) {
        return Usage("--mix sums every channel, so --channel has no use with it");
    }
    if (options.CommonPeak && !channel) {
        return Usage("--common-peak divides channels read with --channel, so it needs it");
    }
    if (!options.AllChannels) return ParseOutcome::Run;
    if (options.ToStandardOutput) {
        return Usage("--channel=all writes a file for each channel, so -c has no use with it");
    }
    if (!options.OutputFile.empty()) {
        return Usage("--channel=all names its files itself, so -o has no use with it");
    }
    if (std::count(options.Files.begin(), options.Files.end(), StandardInputName) > 0) {
        return Usage("--channel=all writes beside a file, so it cannot read standard input");
    }
    return ParseOutcome::Run;
}

// The options' values that need a look at the system: each folder of -d must be there.
ParseOutcome CheckOptions(const Options& options, const std::vector<std::string_view>& folders) {
    for (std::string_view folder : folders) {
        if (!IsFolder(folder)) return Usage("no such folder", folder);
    }
    // An empty list is no error: a search that found nothing has nothing to convert.
    if (options.Files.empty() && options.NameLists.empty()) return Usage("no Wave file named");
    if (options.ToStandardOutput && !options.OutputFolder.empty()) {
        return Usage("-c writes no signal file, so -d has no use with it");
    }
    if (!options.OutputFile.empty()) {
        if (options.ToStandardOutput) return Usage("-c writes no signal file, so -o has no use");
        if (!options.OutputFolder.empty()) return Usage("-o and -d cannot both name the output");
        if (options.Files.size() > 1) return Usage("-o names the signal file of one FILE only");
    }
    if (std::count(options.Files.begin(), options.Files.end(), StandardInputName) > 1) {
        return Usage("standard input can be read only once");
    }
    return CheckChannelOptions(options);
}

// The checks, the lists read in between, then the part's share of the FILEs.
ParseOutcome CheckAndSelect(Options& options, const std::vector<std::string_view>& folders) {
    if (ParseOutcome step = CheckBatchOptions(options); step != ParseOutcome::Run) return step;
    if (ParseOutcome step = JoinListedNames(options); step != ParseOutcome::Run) return step;
    if (ParseOutcome step = CheckOptions(options, folders); step != ParseOutcome::Run) return step;
    if (options.Part > 0) options.Files = PartOfNames(options.Files, options.Part, options.Parts);
    return ParseOutcome::Run;
}

}  // namespace

ParseOutcome ParseArguments(int count, const char* const* arguments, Options& options) {
    // getopt_long wants the program's name first and writable pointers; it changes no bytes.
    std::vector<char*> argv{const_cast<char*>(ProgramName.data())};
    for (int i = 0; i < count; ++i) argv.push_back(const_cast<char*>(arguments[i]));
    argv.push_back(nullptr);
    const int argc = count + 1;
    std::vector<std::string_view> folders;
    opterr = 0;  // the errors are worded here
    optind = 0;  // a fresh start, in case of an earlier parse
    for (;;) {
        const char* at = argv[optind > 0 ? optind : 1];
        const int option = getopt_long(argc, argv.data(), ShortOptions, LongOptions, nullptr);
        if (option == -1) break;
        switch (option) {
            case FileArgument:
                options.Files.push_back(optarg);
                break;
            case 'c':
                options.ToStandardOutput = true;
                break;
            case 'd':
                options.OutputFolder = optarg;
                folders.push_back(optarg);
                break;
            case 'h':
                return Usage();
            case 'o':
                if (*optarg == '\0')
                    return Usage("a file name must follow", OptionInError(at, 'o'));
                options.OutputFile = optarg;
                break;
            case 'q':
                options.Quiet = true;
                break;
            case 'T':
                if (!ReadThreads(optarg, options.Threads)) {
                    return Usage("not a thread count from 1 to " + std::to_string(ThreadLimit),
                                 optarg);
                }
                break;
            case ExtensibleOption:
                options.Extensible = true;
                break;
            case DataToEndOption:
                options.DataToEnd = true;
                break;
            case AnyPcmOption:
                options.AnyPcm = true;
                break;
            case ChannelOption:
                options.AllChannels = std::string_view(optarg) == "all";
                if (options.AllChannels) {
                    options.Channel = 0;
                } else if (!ParsePositiveNumber(optarg, options.Channel)) {
                    return Usage("not a channel number", optarg);
                }
                break;
            case FilesFromOption:
                if (*optarg == '\0') {
                    return Usage("a list file must follow", OptionInError(at));
                }
                options.NameLists.push_back({.Path = optarg, .At = options.Files.size()});
                break;
            case '0':
                options.NulEnded = true;
                break;
            case PartOption:
                if (!ReadPart(optarg, options.Part, options.Parts)) {
                    return Usage("not a part I/N with I from 1 to N", optarg);
                }
                break;
            case 'u':
                options.Update = true;
                break;
            case NpyOption:
                options.Npy = true;
                break;
            case CommonPeakOption:
                options.CommonPeak = true;
                break;
            case MixOption:
                options.Mix = true;
                break;
            case VersionOption:
                return Print(std::string(ProgramName) + " " + std::string(Version) + "\n");
            case MissingArgument:
                return Usage(optopt == ChannelOption     ? "a channel number must follow"
                             : optopt == 'o'             ? "a file name must follow"
                             : optopt == 'T'             ? "a thread count must follow"
                             : optopt == FilesFromOption ? "a list file must follow"
                             : optopt == PartOption      ? "a part I/N must follow"
                                                         : "a folder must follow",
                             OptionInError(at));
            case UnknownOption:
            default:
                return UnknownOptionUsage(at);
        }
    }
    // After "--", every argument is a name.
    for (int i = optind; i < argc; ++i) options.Files.push_back(argv[static_cast<std::size_t>(i)]);
    return CheckAndSelect(options, folders);
}
