#include "command_line/command_line.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "command_line/progress_display.h"
#include "command_line/streamed_conversion.h"
#include "converter/header_check.h"
#include "files/channels.h"
#include "files/file_error.h"
#include "numtext/number_text.h"
#include "platform/standard_streams.h"
#include "screen/conversion.h"

namespace {

using platform::StandardStream;

constexpr std::string_view ProgramName = "norvistrand";
constexpr std::string_view Version = NORVISTRAND_VERSION;

constexpr std::string_view UsageText =
    "Usage: norvistrand [OPTION]... FILE...\n"
    "Convert each mono PCM Wave file (8, 16 or 24 bits) into its signal file: the same name\n"
    "with its last three characters replaced by \"sig\", holding every sample divided by the\n"
    "peak, one value per line. With no arguments, the screen program starts.\n"
    "\n"
    "  -d, --output-dir=DIR  write each signal file into the folder DIR, under the name its\n"
    "                        file's base name gives; the wave file's folder is only read\n"
    "  -c, --stdout          write the lines of each FILE to standard output, one file after\n"
    "                        another, and no signal file\n"
    "      --extensible      read an extensible Wave file (format tag 0xFFFE) whose\n"
    "                        sub-format is PCM as a PCM file\n"
    "      --data-to-end     read a data chunk whose size is 0 or 0xFFFFFFFF, or runs past\n"
    "                        the end of the file, up to the end of the file (files written\n"
    "                        to a pipe, recordings cut short)\n"
    "  -q, --quiet           print nothing for the files converted\n"
    "  -h, --help            show this help and exit\n"
    "      --version         show the version and exit\n"
    "      --                end of the options: every argument after it is a FILE\n"
    "\n"
    "Each converted file gets a line on standard output, each refused or failed one a line on\n"
    "standard error. Exit status: 0 when every file was converted, 1 when any was refused or\n"
    "failed (the others are still converted), 2 for a usage error.\n"
    "\n"
    "The manual page tells more: man norvistrand\n";

struct Options {
    bool Quiet;
    bool Extensible;                // --extensible
    bool DataToEnd;                 // --data-to-end
    bool ToStandardOutput;          // -c
    std::string_view OutputFolder;  // -d DIR; empty: each signal file beside its wave file
    std::vector<std::string_view> Files;
};

enum class ParseOutcome {
    Run,
    Stop,        // the help or the version was written
    StopFailed,  // the help or the version could not be written
    UsageError,
};

ParseOutcome Print(std::string_view text) {
    return platform::WriteToStream(StandardStream::Output, text) ? ParseOutcome::Stop
                                                                 : ParseOutcome::StopFailed;
}

struct Streams {
    bool OutputIsTerminal;
    bool ErrorIsTerminal;
    bool OutputLost;    // a line could not be written to standard output
    bool OutputClosed;  // the lines went to a pipe nobody reads: the run ends
};

// A signal file written in this run, and the wave file it came from.
struct WrittenFile {
    std::string SignalName;
    std::string_view WaveName;
};

// On a terminal a name's control bytes are shown as "?", so no name can send the terminal
// sequences of its own.
std::string Shown(std::string_view name, bool terminal) {
    std::string shown(name);
    if (!terminal) return shown;
    for (char& c : shown) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 32 || byte == 127) c = '?';
    }
    return shown;
}

void SayError(std::string_view line) {
    platform::WriteToStream(StandardStream::Error, line);
}

void SayUsageError(std::string_view what, std::string_view argument) {
    std::string line = std::string(ProgramName) + ": " + std::string(what);
    if (!argument.empty()) line += " '" + Shown(argument, true) + "'";
    line += "\nTry 'norvistrand --help' for more information.\n";
    SayError(line);
}

// The folder of -d: it must be there before any file is touched.
bool TakeOutputFolder(std::string_view folder, Options& options) {
    if (!IsFolder(folder)) {
        SayUsageError("no such folder", folder);
        return false;
    }
    options.OutputFolder = folder;
    return true;
}

ParseOutcome ParseArguments(int count, const char* const* arguments, Options& options) {
    constexpr std::string_view OutputDirEqual = "--output-dir=";
    bool optionsEnded = false;
    for (int i = 0; i < count; ++i) {
        const std::string_view argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            options.Files.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "-q" || argument == "--quiet") {
            options.Quiet = true;
        } else if (argument == "--extensible") {
            options.Extensible = true;
        } else if (argument == "--data-to-end") {
            options.DataToEnd = true;
        } else if (argument == "-c" || argument == "--stdout") {
            options.ToStandardOutput = true;
        } else if (argument == "-d" || argument == "--output-dir") {
            if (i + 1 == count) {
                SayUsageError("a folder must follow", argument);
                return ParseOutcome::UsageError;
            }
            if (!TakeOutputFolder(arguments[++i], options)) return ParseOutcome::UsageError;
        } else if (argument.substr(0, OutputDirEqual.size()) == OutputDirEqual) {
            if (!TakeOutputFolder(argument.substr(OutputDirEqual.size()), options)) {
                return ParseOutcome::UsageError;
            }
        } else if (argument == "-h" || argument == "--help") {
            return Print(UsageText);
        } else if (argument == "--version") {
            return Print(std::string(ProgramName) + " " + std::string(Version) + "\n");
        } else {
            SayUsageError("unknown option", argument);
            return ParseOutcome::UsageError;
        }
    }
    if (options.Files.empty()) {
        SayUsageError("no Wave file named", "");
        return ParseOutcome::UsageError;
    }
    if (options.ToStandardOutput && !options.OutputFolder.empty()) {
        SayUsageError("-c writes no signal file, so -d has no use with it", "");
        return ParseOutcome::UsageError;
    }
    return ParseOutcome::Run;
}

// A screen message less its leading blanks and its "ERROR - ".
std::string_view MessageText(std::string_view message) {
    constexpr std::string_view ErrorMark = "ERROR - ";
    message.remove_prefix(std::min(message.find_first_not_of(' '), message.size()));
    if (message.substr(0, ErrorMark.size()) == ErrorMark) message.remove_prefix(ErrorMark.size());
    return message;
}

// Why a name could not be opened, as far as the file error number tells.
std::string_view NotFoundCause(std::uint8_t fileError) {
    switch (fileError) {
        case AccessRefused:
            return "not a regular file, no permission, or held by another program";
        case FileNotFound:
        case PathNotFound:
        case BadFileName:
        case BadSystemName:
        case TooManyFiles:
        case DeviceIoError:
            return ErrorMeaning(fileError);
        default:
            return {};
    }
}

void ReportFailure(std::string_view name, std::string_view message, std::string_view cause,
                   const Streams& streams) {
    std::string line = std::string(ProgramName) + ": " + Shown(name, streams.ErrorIsTerminal) +
                       ": " + std::string(MessageText(message));
    if (!cause.empty()) line += " (" + std::string(cause) + ")";
    SayError(line + "\n");
}

std::string Number(NumberText text) {
    std::string_view view = text.View();
    const std::size_t first = view.find_first_not_of(' ');
    const std::size_t last = view.find_last_not_of(' ');
    return std::string(view.substr(first, last - first + 1));
}

void ReportConversion(std::string_view name, std::string_view signalName, const WaveHeader& header,
                      Streams& streams) {
    const bool terminal = streams.OutputIsTerminal;
    std::string line = Shown(name, terminal) + ": " +
                       Number(ConsoleIntegerForm(header.BitsPerSample)) + " bits, " +
                       Number(ConsoleIntegerForm(header.SampleRate)) + " Hz, " +
                       Number(ConsoleIntegerForm(header.SampleCount)) + " samples, " +
                       Number(ConsoleIntegerForm(header.Duration)) + " milliseconds -> " +
                       Shown(signalName, terminal) + "\n";
    if (!platform::WriteToStream(StandardStream::Output, line)) streams.OutputLost = true;
}

// The signal file of a wave file: beside it, or in the folder of -d under the name its base
// name gives.
std::string SignalNameFor(std::string_view name, const Options& options) {
    if (options.OutputFolder.empty()) return SignalFileName(name);
    return InFolder(options.OutputFolder, SignalFileName(InFolder({}, name)));
}

// The file of this run that wrote the signal file already, if one did.
const WrittenFile* EarlierWriter(std::string_view signalName,
                                 const std::vector<WrittenFile>& written) {
    for (const WrittenFile& earlier : written) {
        if (earlier.SignalName == signalName || SameFile(earlier.SignalName, signalName)) {
            return &earlier;
        }
    }
    return nullptr;
}

// "the header gives N samples, the file holds M; --data-to-end converts them", when the data
// size is no count of the samples there; else empty.
std::string DataSizeHint(const WaveHeader& header, const HeaderVerdict& verdict) {
    const std::int64_t held = verdict.HeldSamples;
    if (held < 0 || !(header.SampleCount > held || (header.SampleCount == 0 && held > 0))) {
        return {};
    }
    return "the header gives " + Number(ConsoleIntegerForm(header.SampleCount)) +
           " samples, the file holds " + std::to_string(held) + "; --data-to-end converts them";
}

// Converts one file; false when it was refused or failed.
bool ConvertFile(std::string_view name, const Options& options, Streams& streams,
                 std::vector<WrittenFile>& written) {
    // The channels use only a name's first bytes: a longer name could reach another file.
    if (name.size() > ChannelNameLimit) {
        ReportFailure(name, NotFoundMessage, "name longer than 255 bytes", streams);
        return false;
    }
    const std::string signalName = SignalNameFor(name, options);
    if (const WrittenFile* earlier = EarlierWriter(signalName, written);
        earlier != nullptr && !options.OutputFolder.empty()) {
        ReportFailure(name, "The signal file would overwrite that of an earlier file",
                      Shown(signalName, streams.ErrorIsTerminal) + ", from " +
                          Shown(earlier->WaveName, streams.ErrorIsTerminal),
                      streams);
        return false;
    }
    const HeaderReading reading{options.Extensible, options.DataToEnd, true, signalName,
                                options.ToStandardOutput};
    WaveHeader header{};
    HeaderVerdict verdict = CheckWaveHeader(name, header, reading);
    if (!verdict.Accepted) {
        ReportFailure(name, verdict.Message,
                      verdict.ExtensiblePcm ? "extensible format; --extensible reads it"
                                            : NotFoundCause(verdict.FileError),
                      streams);
        return false;
    }
    const std::string hint = options.DataToEnd ? std::string() : DataSizeHint(header, verdict);
    ProgressDisplay progress;
    BeginProgress(progress, Shown(name, true), streams.ErrorIsTerminal);
    std::string cause;
    ConversionOutcome outcome = ConvertStreamed(name, header, progress, cause,
                                                SignalTarget{signalName, options.ToStandardOutput});
    if (outcome == ConversionOutcome::OutputClosed) {
        streams.OutputClosed = true;
        return false;
    }
    if (outcome != ConversionOutcome::Finished) {
        ReportFailure(
            name, OutcomeMessage(outcome),
            outcome == ConversionOutcome::TooLarge ? hint : Shown(cause, streams.ErrorIsTerminal),
            streams);
        return false;
    }
    if (!hint.empty()) {
        SayError(std::string(ProgramName) + ": " + Shown(name, streams.ErrorIsTerminal) +
                 ": warning: " + hint + "\n");
    }
    if (options.ToStandardOutput) return true;
    if (!options.OutputFolder.empty()) written.push_back(WrittenFile{signalName, name});
    if (!options.Quiet) ReportConversion(name, signalName, header, streams);
    return true;
}

}  // namespace

int RunCommandLine(int count, const char* const* arguments) {
    // Before the first line: a refusal written to a closed pipe must not end the run.
    platform::KeepWriteFailuresFromEndingProcess();
    Options options{false, false, false, false, {}, {}};
    switch (ParseArguments(count, arguments, options)) {
        case ParseOutcome::Stop:
            return AllConvertedExitCode;
        case ParseOutcome::StopFailed:
            return SomeFileFailedExitCode;
        case ParseOutcome::UsageError:
            return UsageExitCode;
        case ParseOutcome::Run:
            break;
    }
    Streams streams{platform::StreamIsTerminal(StandardStream::Output),
                    platform::StreamIsTerminal(StandardStream::Error), false, false};
    std::vector<WrittenFile> written;
    bool allConverted = true;
    for (std::string_view name : options.Files) {
        allConverted = ConvertFile(name, options, streams, written) && allConverted;
        if (streams.OutputClosed) break;
    }
    return allConverted && !streams.OutputLost ? AllConvertedExitCode : SomeFileFailedExitCode;
}
