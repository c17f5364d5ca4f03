#include "command_line/command_line.h"

#include <algorithm>
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
#include "files/file_error.h"
#include "files/input_copy.h"
#include "files/replacement_file.h"
#include "platform/standard_streams.h"
#include "sentences/sentences.h"

namespace {

using platform::StandardStream;

struct Streams {
    bool OutputIsTerminal;
    bool ErrorIsTerminal;
    bool LinesOnOutput;  // some file's lines go to standard output: no report lines go there
    bool OutputLost;     // a report line could not be written to standard output: said once
    bool OutputClosed;   // the lines went to a pipe nobody reads: the run ends
};

// A signal file written in this run, and the wave file it came from.
struct WrittenFile {
    std::string SignalName;
    std::string_view WaveName;
    std::string_view WavePath;  // empty for standard input, whose copy is gone
};

// The channel the header check leaves open on an accepted file.
constexpr std::int16_t AcceptedWaveChannel = 1;

// What standard input and standard output are called in messages.
constexpr std::string_view StandardInputWords = "standard input";
constexpr std::string_view StandardOutputWords = "standard output";

// Standard input's first bytes, checked before the rest is copied: enough for "RIFF", "WAVE"
// and the format chunk, so that a stream that is no Wave file is refused before it fills the
// temporary folder.
constexpr std::uint64_t InputHeadBytes = 64 * 1024;

// A file to convert: where it is read from, and what messages call it.
struct Source {
    std::string_view Path;   // for standard input, the temporary file that holds it
    std::string_view Shown;  // the FILE as given, or StandardInputWords
    bool StandardInput;
};

// Where a file's lines go: standard output under -c and -o -, and standard input's without -o.
bool LinesToOutput(bool standardInput, const Options& options) {
    return options.ToStandardOutput || options.OutputFile == StandardInputName ||
           (standardInput && options.OutputFile.empty());
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

// The report line; one that cannot be written is said once, with its cause, and no more are
// tried. A reader that went away is no news to the one who closed it.
void ReportConversion(std::string_view name, std::string_view signalName, const WaveHeader& header,
                      Streams& streams) {
    if (streams.OutputLost) return;
    const bool terminal = streams.OutputIsTerminal;
    std::string line = Shown(name, terminal) + ": " + SampleFormatText(header) + ", " +
                       std::to_string(header.SampleRate) + " Hz, " +
                       std::to_string(header.SampleCount) + " samples, " +
                       std::to_string(header.Duration) + " milliseconds -> " +
                       Shown(signalName, terminal) + "\n";
    ReplacementFile output;
    BeginStandardOutput(output);
    AppendToReplacement(output, line);
    if (FinishReplacement(output) == 0) return;
    streams.OutputLost = true;
    if (output.Error != NoReader) {
        ReportFailure(StandardOutputWords, ReportLineFailedText, output.Cause, streams);
    }
}

// The signal file of a wave file: the file of -o, beside it, or in the folder of -d under the
// name its base name gives. Standard input's lines have none but that of -o.
std::string SignalNameFor(std::string_view name, const Options& options) {
    if (!options.OutputFile.empty()) return std::string(options.OutputFile);
    if (name == StandardInputName) return {};
    if (options.OutputFolder.empty()) return SignalFileName(name);
    return InFolder(options.OutputFolder, SignalFileName(InFolder({}, name)));
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
    ReportFailure(name, RefusalText(HeaderCode::NotFound),
                  "name longer than " + std::to_string(ChannelNameLimit) + " bytes", streams);
    return false;
}

// The refusal after the header check, which a file must pass first, so that one missing or no
// Wave file is refused as such: a signal file an earlier file of this run wrote (k.wav and
// k.WAV both give k.sig). False after reporting it. The same file named again (overlapping
// globs) was converted already: it is skipped, with a word unless -q, and namedBefore is set.
bool SignalFileFree(const Source& source, const std::string& signalName, const Options& options,
                    const Streams& streams, const std::vector<WrittenFile>& written,
                    bool& namedBefore) {
    const WrittenFile* earlier = signalName.empty() ? nullptr : EarlierWriter(signalName, written);
    if (earlier == nullptr) return true;
    const std::string earlierName = Shown(earlier->WaveName, streams.ErrorIsTerminal);
    namedBefore = !source.StandardInput && !earlier->WavePath.empty() &&
                  SameFile(earlier->WavePath, source.Path);
    if (namedBefore) {
        if (!options.Quiet) {
            SayError(AboutFile(source.Shown, streams) + "skipped: the same file as " + earlierName +
                     ", converted already\n");
        }
        return false;
    }
    ReportFailure(source.Shown, EarlierSignalFileText,
                  Shown(signalName, streams.ErrorIsTerminal) + ", from " + earlierName, streams);
    return false;
}

// The header check with the options' reading. Standard input is read to its end whatever its
// data size says: a pipe cannot carry the size.
HeaderVerdict CheckHeader(const Source& source, const std::string& signalName,
                          const Options& options, WaveHeader& header) {
    const HeaderReading reading{.Extensible = options.Extensible,
                                .AnyPcm = options.AnyPcm,
                                .Channel = options.Channel,
                                .DataToEnd = options.DataToEnd || source.StandardInput,
                                .WholeChannelCount = true,
                                .CountHeld = true,
                                .SignalName = signalName,
                                .NoSignalFile = LinesToOutput(source.StandardInput, options)};
    return CheckWaveHeader(source.Path, header, reading);
}

void ReportRefusal(std::string_view name, const HeaderVerdict& verdict, const Options& options,
                   const Streams& streams) {
    // With a channel asked for, only a file of fewer channels is refused as not mono.
    if (verdict.Code == HeaderCode::NotMono && options.Channel > 0) {
        ReportFailure(name, AbsentChannelText(options.Channel),
                      "the file has " + ChannelCountText(verdict.Format.ChannelCount), streams);
        return;
    }
    ReportFailure(name, RefusalText(verdict.Code), RefusalCause(verdict), streams);
}

// The header check; false after reporting a refusal.
bool HeaderAccepted(const Source& source, const std::string& signalName, const Options& options,
                    const Streams& streams, WaveHeader& header, HeaderVerdict& verdict) {
    verdict = CheckHeader(source, signalName, options, header);
    if (verdict.Code == HeaderCode::Accepted) return true;
    ReportRefusal(source.Shown, verdict, options, streams);
    return false;
}

// The refusals the first bytes of a stream decide, whatever follows them; all of them once it
// ended. A missing data chunk may lie further on, and so may the data chunk a hint needs to
// name the options that read a format other than plain PCM.
bool HeadDecides(const HeaderVerdict& verdict, bool whole) {
    const SampleEncoding encoding = verdict.Format.Encoding;
    const NeededOptions& needed = verdict.Needed;
    const bool hintKnown = encoding == SampleEncoding::Pcm || encoding == SampleEncoding::Other ||
                           needed.Extensible || needed.AnyPcm || needed.Channel;
    switch (verdict.Code) {
        case HeaderCode::Accepted:
            return false;
        case HeaderCode::NotWave:
            return whole || encoding == SampleEncoding::Unread;
        case HeaderCode::NotPcm:
        case HeaderCode::NotMono:
        case HeaderCode::BadResolution:
        case HeaderCode::NotPacked:
            return whole || hintKnown;
        default:
            return whole;
    }
}

// Standard input's copy so far, checked as a file is: true after reporting a refusal its bytes
// decide, or that the signal file of -o is the file standard input reads, which the lines
// would replace.
bool RefusedEarly(const InputCopy& copy, const std::string& signalName, const Options& options,
                  const Streams& streams) {
    if (copy.Path.size() > ChannelNameLimit) return false;
    const Source source{.Path = copy.Path, .Shown = StandardInputWords, .StandardInput = true};
    WaveHeader header{};
    const HeaderVerdict verdict = CheckHeader(source, signalName, options, header);
    if (verdict.Code == HeaderCode::Accepted) CloseChannel(AcceptedWaveChannel);
    if (HeadDecides(verdict, copy.Whole)) {
        ReportRefusal(source.Shown, verdict, options, streams);
        return true;
    }
    if (LinesToOutput(true, options) || !InputIsFile(signalName)) return false;
    ReportFailure(source.Shown, RefusalText(HeaderCode::WouldOverwrite), {}, streams);
    return true;
}

ConversionOutcome Convert(const Source& source, const std::string& signalName,
                          const WaveHeader& header, const Options& options, const Streams& streams,
                          std::string& cause) {
    ProgressDisplay progress;
    BeginProgress(progress, Shown(source.Shown, ForTerminal), streams.ErrorIsTerminal);
    return ConvertStreamed(
        source.Shown, header, progress, cause,
        SignalTarget{.Path = signalName,
                     .StandardOutput = LinesToOutput(source.StandardInput, options)},
        options.Threads);
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

// The warning for samples the header's count leaves out: the data size hint where
// --data-to-end would convert them, else the counts alone. Standard input is read to its end
// anyway: it is warned of a real size past its end, not of a pipe's placeholder.
std::string LeftOutWarning(const Source& source, const HeaderVerdict& verdict,
                           const Options& options) {
    if (verdict.Needed.DataToEnd) return DataSizeHint(verdict);
    if (!verdict.SamplesLeftOut) return {};
    if (source.StandardInput ? verdict.GivenSamples <= 0 : options.DataToEnd) return {};
    return LeftOutText(verdict);
}

// Converts one file, read from source.Path once its name passed; false when it was refused or
// failed.
bool ConvertSource(const Source& source, const std::string& signalName, const Options& options,
                   Streams& streams, std::vector<WrittenFile>& written) {
    WaveHeader header{};
    HeaderVerdict verdict;
    if (!HeaderAccepted(source, signalName, options, streams, header, verdict)) return false;
    bool namedBefore = false;
    if (!SignalFileFree(source, signalName, options, streams, written, namedBefore)) {
        CloseChannel(AcceptedWaveChannel);
        return namedBefore;
    }
    const std::string hint = LeftOutWarning(source, verdict, options);
    const bool toOutput = LinesToOutput(source.StandardInput, options);
    std::string cause;
    const ConversionOutcome outcome = Convert(source, signalName, header, options, streams, cause);
    if (outcome == ConversionOutcome::OutputClosed) {
        streams.OutputClosed = true;
        return false;
    }
    if (outcome != ConversionOutcome::Finished) {
        ReportFailedConversion(source.Shown, outcome, cause, hint, toOutput, streams);
        return false;
    }
    if (!hint.empty()) Warn(source.Shown, hint, streams);
    if (toOutput) return true;
    written.push_back(WrittenFile{.SignalName = signalName,
                                  .WaveName = source.Shown,
                                  .WavePath = source.StandardInput ? "" : source.Path});
    if (!options.Quiet && !streams.LinesOnOutput) {
        ReportConversion(source.Shown, signalName, header, streams);
    }
    return true;
}

// Standard input, held in a temporary file for the two passes and removed after them. Its
// first bytes are checked before the rest is copied.
bool ConvertStandardInput(const std::string& signalName, const Options& options, Streams& streams,
                          std::vector<WrittenFile>& written) {
    InputCopy copy = BeginInputCopy(InputHeadBytes);
    if (copy.Error == 0 && RefusedEarly(copy, signalName, options, streams)) {
        RemoveInputCopy(copy);
        return false;
    }
    FinishInputCopy(copy);
    if (copy.Error != 0) {
        ReportFailure(StandardInputWords, OutcomeText(ConversionOutcome::ReadFailed),
                      Shown(copy.Cause, streams.ErrorIsTerminal), streams);
        return false;
    }
    bool converted = false;
    if (copy.Path.size() > ChannelNameLimit) {
        ReportFailure(StandardInputWords, OutcomeText(ConversionOutcome::ReadFailed),
                      "its temporary file's path is longer than " +
                          std::to_string(ChannelNameLimit) + " bytes: set TMPDIR to a shorter one",
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
