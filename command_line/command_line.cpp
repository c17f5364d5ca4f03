#include "command_line/command_line.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "command_line/failure_words.h"
#include "command_line/options.h"
#include "command_line/progress_display.h"
#include "command_line/shown_name.h"
#include "command_line/verdict_words.h"
#include "converter/header_check.h"
#include "converter/line_blocks.h"
#include "converter/npy_file.h"
#include "converter/streamed_conversion.h"
#include "files/channels.h"
#include "files/input_copy.h"
#include "platform/standard_streams.h"

namespace {

using platform::StandardStream;

struct Streams {
    bool OutputIsTerminal;
    bool ErrorIsTerminal;
    bool LinesOnOutput;  // some file's lines go to standard output: no report lines go there
    bool OutputLost;     // a line could not be written to standard output
    bool OutputClosed;   // the lines went to a pipe nobody reads: the run ends
};

// A signal file written in this run, and the wave file it came from.
struct WrittenFile {
    std::string SignalName;
    std::string_view WaveName;
};

// The channel the header check leaves open on an accepted file.
constexpr std::int16_t AcceptedWaveChannel = 1;

// What standard input is called in messages.
constexpr std::string_view StandardInputWords = "standard input";

// A file to convert: where it is read from, and what messages call it.
struct Source {
    std::string_view Path;   // for standard input, the temporary file that holds it
    std::string_view Shown;  // the FILE as given, or StandardInputWords
    bool StandardInput;
};

// Where a file's lines go: standard output under -c, and standard input's without -o.
bool LinesToOutput(bool standardInput, const Options& options) {
    return options.ToStandardOutput || (standardInput && options.OutputFile.empty());
}

void SayError(std::string_view line) {
    platform::WriteToStream(StandardStream::Error, line);
}

// "norvistrand: NAME: ", the start of every line about a file on standard error.
std::string AboutFile(std::string_view name, const Streams& streams) {
    return std::string(ProgramName) + ": " + Shown(name, streams.ErrorIsTerminal) + ": ";
}

void ReportFailure(std::string_view name, std::string_view message, std::string_view cause,
                   const Streams& streams) {
    std::string line = AboutFile(name, streams) + std::string(message);
    if (!cause.empty()) line += " (" + std::string(cause) + ")";
    SayError(line + "\n");
}

void ReportConversion(std::string_view name, std::string_view signalName, const WaveHeader& header,
                      Streams& streams) {
    const bool terminal = streams.OutputIsTerminal;
    std::string line = Shown(name, terminal) + ": " + SampleFormatText(header) + ", " +
                       std::to_string(header.SampleRate) + " Hz, " +
                       std::to_string(header.SampleCount) + " samples, " +
                       std::to_string(header.Duration) + " milliseconds -> " +
                       Shown(signalName, terminal) + "\n";
    if (!platform::WriteToStream(StandardStream::Output, line)) streams.OutputLost = true;
}

// The file a wave file's name gives: its signal file, or under --npy its array file.
std::string OutputFileName(std::string_view name, const Options& options) {
    return options.Npy ? NpyFileName(name) : SignalFileName(name);
}

// The signal file of a wave file: the file of -o, beside it, or in the folder of -d under the
// name its base name gives. Standard input's lines have none but that of -o.
std::string SignalNameFor(std::string_view name, const Options& options) {
    if (!options.OutputFile.empty()) return std::string(options.OutputFile);
    if (name == StandardInputName) return {};
    if (options.OutputFolder.empty()) return OutputFileName(name, options);
    return InFolder(options.OutputFolder, OutputFileName(InFolder({}, name), options));
}

// The file of this run that wrote the signal file already, if one did.
const WrittenFile* EarlierWriter(std::string_view signalName,
                                 const std::vector<WrittenFile>& written) {
    for (const WrittenFile& earlier : written) {
        if (earlier.SignalName == signalName || SamePath(earlier.SignalName, signalName)) {
            return &earlier;
        }
    }
    return nullptr;
}

// The refusal before the header is read: a name the channels would cut short (they use only
// a name's first bytes, so a longer one could reach another file). False after reporting it.
bool NameUsable(std::string_view name, const Streams& streams) {
    if (name.size() <= ChannelNameLimit) return true;
    const FailureWords words = LongNameWords();
    ReportFailure(name, words.Sentence, words.Cause, streams);
    return false;
}

// The refusal after the header check, which a file must pass first, so that one missing or no
// Wave file is refused as such: a signal file an earlier file of this run wrote (k.wav and
// k.WAV both give k.sig). False after reporting it.
bool SignalFileFree(std::string_view name, const std::string& signalName, const Streams& streams,
                    const std::vector<WrittenFile>& written) {
    const WrittenFile* earlier = signalName.empty() ? nullptr : EarlierWriter(signalName, written);
    if (earlier == nullptr) return true;
    ReportFailure(name, "The signal file would overwrite that of an earlier file",
                  Shown(signalName, streams.ErrorIsTerminal) + ", from " +
                      Shown(earlier->WaveName, streams.ErrorIsTerminal),
                  streams);
    return false;
}

// The header check with the options' reading; false after reporting a refusal. Standard
// input is read to its end whatever its data size says: a pipe cannot carry the size.
bool HeaderAccepted(const Source& source, const std::string& signalName, const Options& options,
                    const Streams& streams, WaveHeader& header, HeaderVerdict& verdict) {
    const HeaderReading reading{.Extensible = options.Extensible,
                                .AnyPcm = options.AnyPcm,
                                .Channel = options.Channel,
                                .DataToEnd = options.DataToEnd || source.StandardInput,
                                .WholeChannelCount = true,
                                .CountHeld = true,
                                .SignalName = signalName,
                                .NoSignalFile = LinesToOutput(source.StandardInput, options)};
    verdict = CheckWaveHeader(source.Path, header, reading);
    if (verdict.Code == HeaderCode::Accepted) return true;
    const FailureWords words = RefusalWords(verdict, options.Channel);
    ReportFailure(source.Shown, words.Sentence, words.Cause, streams);
    return false;
}

// Both passes, the second with its progress shown between blocks.
ConversionOutcome Convert(const Source& source, const std::string& signalName,
                          const WaveHeader& header, const Options& options, const Streams& streams,
                          ConversionFailure& failure) {
    // The display's half second of quiet counts from the start of the first pass.
    ProgressDisplay progress;
    BeginProgress(progress, Shown(source.Shown, ForTerminal), streams.ErrorIsTerminal);
    FileStamp before{};
    double peak = 0;
    const ConversionOutcome found = FindSignalPeak(header, options.Threads, before, peak, failure);
    if (found != ConversionOutcome::Finished) return found;
    SignalWriting writing;
    BeginSignalWriting(writing, source.Shown, header, before, peak,
                       SignalTarget{.Path = signalName,
                                    .StandardOutput = LinesToOutput(source.StandardInput, options),
                                    .Form = options.Npy ? SignalForm::Npy : SignalForm::Lines},
                       options.Threads);
    while (WriteNextBlock(writing)) {
        ShowProgress(progress, static_cast<std::uint64_t>(writing.Written),
                     static_cast<std::uint64_t>(header.SampleCount));
    }
    EndProgress(progress);
    return FinishSignalWriting(writing, failure);
}

// Reports a failed conversion; a file too large gets the data size hint, where there is one,
// since a wrong size is the likely reason.
void ReportFailedConversion(std::string_view name, ConversionOutcome outcome,
                            const std::string& cause, const std::string& hint, bool toOutput,
                            const Streams& streams) {
    ReportFailure(
        name, toOutput ? StandardOutputOutcomeText(outcome) : OutcomeText(outcome),
        outcome == ConversionOutcome::TooLarge ? hint : Shown(cause, streams.ErrorIsTerminal),
        streams);
}

void Warn(std::string_view name, const std::string& hint, const Streams& streams) {
    SayError(AboutFile(name, streams) + "warning: " + hint + "\n");
}

// Converts one file, read from source.Path once its name passed; false when it was refused or
// failed.
bool ConvertSource(const Source& source, const std::string& signalName, const Options& options,
                   Streams& streams, std::vector<WrittenFile>& written) {
    WaveHeader header{};
    HeaderVerdict verdict;
    if (!HeaderAccepted(source, signalName, options, streams, header, verdict)) return false;
    if (!SignalFileFree(source.Shown, signalName, streams, written)) {
        CloseChannel(AcceptedWaveChannel);
        return false;
    }
    const std::string hint = DataSizeHint(verdict);
    const bool toOutput = LinesToOutput(source.StandardInput, options);
    ConversionFailure failure;
    const ConversionOutcome outcome =
        Convert(source, signalName, header, options, streams, failure);
    if (outcome == ConversionOutcome::OutputClosed) {
        streams.OutputClosed = true;
        return false;
    }
    if (outcome != ConversionOutcome::Finished) {
        ReportFailedConversion(source.Shown, outcome,
                               ConversionCause(outcome, failure, source.Shown), hint, toOutput,
                               streams);
        return false;
    }
    if (!hint.empty()) Warn(source.Shown, hint, streams);
    if (toOutput) return true;
    written.push_back(WrittenFile{.SignalName = signalName, .WaveName = source.Shown});
    if (!options.Quiet && !streams.LinesOnOutput) {
        ReportConversion(source.Shown, signalName, header, streams);
    }
    return true;
}

// Standard input, held in a temporary file for the two passes and removed after them.
bool ConvertStandardInput(const std::string& signalName, const Options& options, Streams& streams,
                          std::vector<WrittenFile>& written) {
    InputCopy copy = CopyStandardInput();
    if (copy.Error != 0) {
        ReportFailure(StandardInputWords, OutcomeText(ConversionOutcome::ReadFailed),
                      Shown(copy.Cause, streams.ErrorIsTerminal), streams);
        return false;
    }
    bool converted = false;
    if (copy.Path.size() > ChannelNameLimit) {
        ReportFailure(
            StandardInputWords, OutcomeText(ConversionOutcome::ReadFailed),
            "its temporary file's path is longer than 255 bytes: set TMPDIR to a shorter one",
            streams);
    } else {
        const Source source{.Path = copy.Path, .Shown = StandardInputWords, .StandardInput = true};
        converted = ConvertSource(source, signalName, options, streams, written);
    }
    RemoveInputCopy(copy);
    return converted;
}

// Converts one file; false when it was refused or failed.
bool ConvertFile(std::string_view name, const Options& options, Streams& streams,
                 std::vector<WrittenFile>& written) {
    const std::string signalName = SignalNameFor(name, options);
    if (!NameUsable(name, streams)) return false;
    if (name == StandardInputName) {
        return ConvertStandardInput(signalName, options, streams, written);
    }
    const Source source{.Path = name, .Shown = name, .StandardInput = false};
    return ConvertSource(source, signalName, options, streams, written);
}

}  // namespace

int RunCommandLine(int count, const char* const* arguments) {
    Options options{.Quiet = false,
                    .Extensible = false,
                    .DataToEnd = false,
                    .AnyPcm = false,
                    .Channel = 0,
                    .ToStandardOutput = false,
                    .OutputFolder = {},
                    .OutputFile = {},
                    .Threads = AutomaticThreads,
                    .Npy = false,
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
    const bool standardInput = std::find(options.Files.begin(), options.Files.end(),
                                         StandardInputName) != options.Files.end();
    Streams streams{.OutputIsTerminal = platform::StreamIsTerminal(StandardStream::Output),
                    .ErrorIsTerminal = platform::StreamIsTerminal(StandardStream::Error),
                    .LinesOnOutput = LinesToOutput(standardInput, options),
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
