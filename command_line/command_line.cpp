#include "command_line/command_line.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "command_line/line_blocks.h"
#include "command_line/options.h"
#include "command_line/progress_display.h"
#include "command_line/shown_name.h"
#include "command_line/streamed_conversion.h"
#include "command_line/verdict_words.h"
#include "converter/header_check.h"
#include "files/channels.h"
#include "platform/standard_streams.h"

namespace {

using platform::StandardStream;

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

void SayError(std::string_view line) {
    platform::WriteToStream(StandardStream::Error, line);
}

void ReportFailure(std::string_view name, std::string_view message, std::string_view cause,
                   const Streams& streams) {
    std::string line = std::string(ProgramName) + ": " + Shown(name, streams.ErrorIsTerminal) +
                       ": " + std::string(message);
    if (!cause.empty()) line += " (" + std::string(cause) + ")";
    SayError(line + "\n");
}

void ReportConversion(std::string_view name, std::string_view signalName, const WaveHeader& header,
                      Streams& streams) {
    const bool terminal = streams.OutputIsTerminal;
    std::string line = Shown(name, terminal) + ": " + std::to_string(header.BitsPerSample) +
                       " bits, " + std::to_string(header.SampleRate) + " Hz, " +
                       std::to_string(header.SampleCount) + " samples, " +
                       std::to_string(header.Duration) + " milliseconds -> " +
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

// The refusals before the header is read: a name the channels would cut short (they use only
// a name's first bytes, so a longer one could reach another file), and, with -d, a signal file
// an earlier file of this run wrote. False after reporting one.
bool NameUsable(std::string_view name, const std::string& signalName, const Options& options,
                const Streams& streams, const std::vector<WrittenFile>& written) {
    if (name.size() > ChannelNameLimit) {
        ReportFailure(name, RefusalText(HeaderCode::NotFound), "name longer than 255 bytes",
                      streams);
        return false;
    }
    const WrittenFile* earlier = EarlierWriter(signalName, written);
    if (earlier == nullptr || options.OutputFolder.empty()) return true;
    ReportFailure(name, "The signal file would overwrite that of an earlier file",
                  Shown(signalName, streams.ErrorIsTerminal) + ", from " +
                      Shown(earlier->WaveName, streams.ErrorIsTerminal),
                  streams);
    return false;
}

// The header check with the options' reading; false after reporting a refusal.
bool HeaderAccepted(std::string_view name, const std::string& signalName, const Options& options,
                    const Streams& streams, WaveHeader& header, HeaderVerdict& verdict) {
    const HeaderReading reading{.Extensible = options.Extensible,
                                .DataToEnd = options.DataToEnd,
                                .CountHeld = true,
                                .SignalName = signalName,
                                .NoSignalFile = options.ToStandardOutput};
    verdict = CheckWaveHeader(name, header, reading);
    if (verdict.Code == HeaderCode::Accepted) return true;
    ReportFailure(name, RefusalText(verdict.Code), RefusalCause(verdict), streams);
    return false;
}

ConversionOutcome Convert(std::string_view name, const std::string& signalName,
                          const WaveHeader& header, const Options& options, const Streams& streams,
                          std::string& cause) {
    ProgressDisplay progress;
    BeginProgress(progress, Shown(name, ForTerminal), streams.ErrorIsTerminal);
    return ConvertStreamed(
        name, header, progress, cause,
        SignalTarget{.Path = signalName, .StandardOutput = options.ToStandardOutput},
        options.Threads);
}

// Reports a failed conversion; a file too large gets the data size hint, where there is one,
// since a wrong size is the likely reason.
void ReportFailedConversion(std::string_view name, ConversionOutcome outcome,
                            const std::string& cause, const std::string& hint,
                            const Streams& streams) {
    ReportFailure(
        name, OutcomeText(outcome),
        outcome == ConversionOutcome::TooLarge ? hint : Shown(cause, streams.ErrorIsTerminal),
        streams);
}

void Warn(std::string_view name, const std::string& hint, const Streams& streams) {
    SayError(std::string(ProgramName) + ": " + Shown(name, streams.ErrorIsTerminal) +
             ": warning: " + hint + "\n");
}

// Converts one file; false when it was refused or failed.
bool ConvertFile(std::string_view name, const Options& options, Streams& streams,
                 std::vector<WrittenFile>& written) {
    const std::string signalName = SignalNameFor(name, options);
    if (!NameUsable(name, signalName, options, streams, written)) return false;
    WaveHeader header{};
    HeaderVerdict verdict;
    if (!HeaderAccepted(name, signalName, options, streams, header, verdict)) return false;
    const std::string hint = DataSizeHint(verdict);
    std::string cause;
    const ConversionOutcome outcome = Convert(name, signalName, header, options, streams, cause);
    if (outcome == ConversionOutcome::OutputClosed) {
        streams.OutputClosed = true;
        return false;
    }
    if (outcome != ConversionOutcome::Finished) {
        ReportFailedConversion(name, outcome, cause, hint, streams);
        return false;
    }
    if (!hint.empty()) Warn(name, hint, streams);
    if (options.ToStandardOutput) return true;
    if (!options.OutputFolder.empty()) {
        written.push_back(WrittenFile{.SignalName = signalName, .WaveName = name});
    }
    if (!options.Quiet) ReportConversion(name, signalName, header, streams);
    return true;
}

}  // namespace

int RunCommandLine(int count, const char* const* arguments) {
    Options options{.Quiet = false,
                    .Extensible = false,
                    .DataToEnd = false,
                    .ToStandardOutput = false,
                    .OutputFolder = {},
                    .Threads = AutomaticThreads,
                    .Files = {}};
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
    Streams streams{.OutputIsTerminal = platform::StreamIsTerminal(StandardStream::Output),
                    .ErrorIsTerminal = platform::StreamIsTerminal(StandardStream::Error),
                    .OutputLost = false,
                    .OutputClosed = false};
    std::vector<WrittenFile> written;
    bool allConverted = true;
    for (std::string_view name : options.Files) {
        allConverted = ConvertFile(name, options, streams, written) && allConverted;
        if (streams.OutputClosed) break;
    }
    return allConverted && !streams.OutputLost ? AllConvertedExitCode : SomeFileFailedExitCode;
}
