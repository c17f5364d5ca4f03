#include "command_line/command_line.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "command_line/failure_words.h"
#include "command_line/options.h"
#include "command_line/progress_display.h"
#include "command_line/shown_name.h"
#include "command_line/verdict_words.h"
#include "converter/channel_conversion.h"
#include "converter/header_check.h"
#include "converter/line_blocks.h"
#include "converter/npy_file.h"
#include "converter/streamed_conversion.h"
#include "files/byte_string.h"
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
    bool LinesOnOutput;    // some file's lines go to standard output: no report lines go there
    bool OutputLost;       // a report line could not be written to standard output: said once
    bool OutputClosed;     // the lines went to a pipe nobody reads: the run ends
    BatchProgress* Batch;  // the batch's progress line, hidden before any other line
};

// What became of one file, for the summary of a batch.
enum class FileResult {
    Converted,
    Refused,
    Failed,
    UpToDate,     // -u: its signal file is there and not older
    NamedBefore,  // the same file as one named before, converted already
};

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

void SayError(std::string_view line, const Streams& streams) {
    HideBatch(*streams.Batch);
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
    SayError(line + "\n", streams);
}

// The report line; one that cannot be written is said once, with its cause, and no more are
// tried. A reader that went away is no news to the one who closed it.
void ReportConversion(std::string_view name, const std::vector<std::string>& signalNames,
                      const WaveHeader& header, const Options& options, Streams& streams) {
    if (streams.OutputLost) return;
    const bool terminal = streams.OutputIsTerminal;
    std::string line = Shown(name, terminal) + ": " + SampleFormatText(header) + ", " +
                       std::to_string(header.SampleRate) + " Hz, " +
                       std::to_string(header.SampleCount) + " samples, " +
                       std::to_string(header.Duration) + " milliseconds";
    if (options.Mix) line += ", mix of " + ChannelCountText(header.ChannelCount);
    for (std::size_t i = 0; i < signalNames.size(); ++i) {
        line += (i == 0 ? " -> " : ", ") + Shown(signalNames[i], terminal);
    }
    line += "\n";
    // Only a terminal that shows both streams needs the batch's line out of the way.
    if (terminal) HideBatch(*streams.Batch);
    ReplacementFile output;
    BeginStandardOutput(output);
    AppendToReplacement(output, line);
    if (FinishReplacement(output) == 0) return;
    streams.OutputLost = true;
    if (output.Error != NoReader) {
        ReportFailure(StandardOutputWords, ReportLineFailedText, output.Cause, streams);
    }
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
                         ", converted already\n",
                     streams);
        }
        return false;
    }
    ReportFailure(source.Shown, EarlierSignalFileText,
                  Shown(signalName, streams.ErrorIsTerminal) + ", from " + earlierName, streams);
    return false;
}

// The channel the header check asks for: the first where every channel is read.
int ChannelRead(const Options& options) {
    return options.AllChannels || options.Mix ? 1 : options.Channel;
}

// Whether the channels are read together: each one, one by the peak of all, or their sum.
bool ChannelsTogether(const Options& options) {
    return options.AllChannels || options.CommonPeak || options.Mix;
}

// Channel k's file under --channel=all: the signal file's name with K before its ending, in
// the folder of -d where there is one.
std::string ChannelFileName(std::string_view name, int k, const Options& options) {
    const std::string base = options.OutputFolder.empty() ? std::string(name) : InFolder({}, name);
    const std::string file = Concatenate(LeftPart(base, ByteLength(base) - 3),
                                         std::to_string(k) + (options.Npy ? ".npy" : ".sig"));
    return options.OutputFolder.empty() ? file : InFolder(options.OutputFolder, file);
}

std::vector<std::string> ChannelFileNames(std::string_view name, int channels,
                                          const Options& options) {
    std::vector<std::string> names;
    for (int k = 1; k <= channels; ++k) names.push_back(ChannelFileName(name, k, options));
    return names;
}

// The header check with the options' reading. Standard input is read to its end whatever its
// data size says: a pipe cannot carry the size.
HeaderVerdict CheckHeader(const Source& source, const std::string& signalName,
                          const Options& options, WaveHeader& header) {
    const HeaderReading reading{.Extensible = options.Extensible,
                                .AnyPcm = options.AnyPcm,
                                .Channel = ChannelRead(options),
                                .DataToEnd = options.DataToEnd || source.StandardInput,
                                .WholeChannelCount = true,
                                .CountHeld = true,
                                .AnyLength = true,
                                .SignalName = signalName,
                                .NoSignalFile = LinesToOutput(source.StandardInput, options)};
    return CheckWaveHeader(source.Path, header, reading);
}

void ReportRefusal(std::string_view name, const HeaderVerdict& verdict, const Options& options,
                   const Streams& streams) {
    const FailureWords words = RefusalWords(verdict, ChannelRead(options));
    ReportFailure(name, words.Sentence, words.Cause, streams);
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
// ended. No RIFF and WAVE ids, or no channel of the number asked for, is plain from the head.
// A missing data chunk may lie further on, and so may the data chunk a hint needs to
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
        case HeaderCode::NoSuchChannel:
            return true;
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
    if (verdict.Code == HeaderCode::Accepted) CloseChannel(WaveChannel);
    if (HeadDecides(verdict, copy.Whole)) {
        ReportRefusal(source.Shown, verdict, options, streams);
        return true;
    }
    if (LinesToOutput(true, options) || !InputIsFile(signalName)) return false;
    ReportFailure(source.Shown, RefusalText(HeaderCode::WouldOverwrite), {}, streams);
    return true;
}

// The channels read together, in both passes at once.
ConversionOutcome ConvertTogether(const Source& source, const std::vector<std::string>& names,
                                  const WaveHeader& header, const Options& options,
                                  const Streams& streams, ConversionFailure& failure,
                                  std::vector<SignalEnvelope>& envelopes) {
    ProgressDisplay progress;
    BeginProgress(progress, Shown(source.Shown, ForTerminal), streams.ErrorIsTerminal,
                  streams.Batch);
    const ChannelRequest request{.Work = ChannelWorkFor(options.AllChannels, options.Mix),
                                 .Channel = options.Channel,
                                 .EnvelopeColumns = options.EnvelopeColumns,
                                 .CommonPeak = options.CommonPeak,
                                 .Form = options.Npy ? SignalForm::Npy : SignalForm::Lines,
                                 .StandardOutput = LinesToOutput(source.StandardInput, options),
                                 .Paths = names};
    ChannelWriting writing;
    BeginChannelWriting(writing, header, request, options.Threads);
    while (WriteNextChannelBlock(writing)) {
        ShowProgress(progress, static_cast<std::uint64_t>(writing.Filled),
                     static_cast<std::uint64_t>(header.SampleCount));
    }
    EndProgress(progress);
    const ConversionOutcome outcome = FinishChannelWriting(writing, failure);
    for (const ChannelStream& stream : writing.Streams) envelopes.push_back(stream.Envelope);
    return outcome;
}

// Both passes, the second with its progress shown between blocks.
ConversionOutcome Convert(const Source& source, const std::string& signalName,
                          const WaveHeader& header, const Options& options, const Streams& streams,
                          ConversionFailure& failure, std::vector<SignalEnvelope>& envelopes) {
    // The display's half second of quiet counts from the start of the first pass.
    ProgressDisplay progress;
    BeginProgress(progress, Shown(source.Shown, ForTerminal), streams.ErrorIsTerminal,
                  streams.Batch);
    FileStamp before{};
    double peak = 0;
    const ConversionOutcome found = FindSignalPeak(header, options.Threads, before, peak, failure);
    if (found != ConversionOutcome::Finished) return found;
    SignalWriting writing;
    BeginSignalWriting(writing, source.Shown, header, before, peak,
                       SignalTarget{.Path = signalName,
                                    .StandardOutput = LinesToOutput(source.StandardInput, options),
                                    .Form = options.Npy ? SignalForm::Npy : SignalForm::Lines,
                                    .EnvelopeColumns = options.EnvelopeColumns},
                       options.Threads);
    while (WriteNextBlock(writing)) {
        ShowProgress(progress, static_cast<std::uint64_t>(writing.Written),
                     static_cast<std::uint64_t>(header.SampleCount));
    }
    EndProgress(progress);
    const ConversionOutcome outcome = FinishSignalWriting(writing, failure);
    envelopes.push_back(writing.Envelope);
    return outcome;
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
    SayError(AboutFile(name, streams) + "warning: " + hint + "\n", streams);
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

// Converts one file, read from source.Path once its name passed.
FileResult ConvertSource(const Source& source, const std::string& signalName,
                         const Options& options, Streams& streams,
                         std::vector<WrittenFile>& written) {
    WaveHeader header{};
    HeaderVerdict verdict;
    if (!HeaderAccepted(source, signalName, options, streams, header, verdict)) {
        return FileResult::Refused;
    }
    const std::vector<std::string> signalNames =
        options.AllChannels ? ChannelFileNames(source.Path, header.ChannelCount, options)
                            : std::vector<std::string>{signalName};
    for (const std::string& name : signalNames) {
        bool namedBefore = false;
        if (!SignalFileFree(source, name, options, streams, written, namedBefore)) {
            CloseChannel(WaveChannel);
            return namedBefore ? FileResult::NamedBefore : FileResult::Refused;
        }
    }
    const std::string hint = LeftOutWarning(source, verdict, options);
    const bool toOutput = LinesToOutput(source.StandardInput, options);
    ConversionFailure failure;
    std::vector<SignalEnvelope> envelopes;
    const ConversionOutcome outcome =
        ChannelsTogether(options)
            ? ConvertTogether(source, signalNames, header, options, streams, failure, envelopes)
            : Convert(source, signalName, header, options, streams, failure, envelopes);
    if (outcome == ConversionOutcome::OutputClosed) {
        streams.OutputClosed = true;
        return FileResult::Failed;
    }
    if (outcome != ConversionOutcome::Finished) {
        ReportFailedConversion(source.Shown, outcome,
                               ConversionCause(outcome, failure, source.Shown), hint, toOutput,
                               streams);
        return outcome == ConversionOutcome::TooLarge ? FileResult::Refused : FileResult::Failed;
    }
    if (!hint.empty()) Warn(source.Shown, hint, streams);
    if (toOutput) return FileResult::Converted;
    for (std::size_t i = 0; i < signalNames.size(); ++i) {
        written.push_back(WrittenFile{
            .SignalName = signalNames[i],
            .WaveName = std::string(source.Shown),
            .WavePath = std::string(source.StandardInput ? "" : source.Path),
            .Envelope = options.EnvelopeColumns > 0 && i < envelopes.size() ? envelopes[i]
                                                                            : SignalEnvelope{}});
    }
    if (!options.Quiet && !streams.LinesOnOutput) {
        ReportConversion(source.Shown, signalNames, header, options, streams);
    }
    return FileResult::Converted;
}

// Standard input, held in a temporary file for the two passes and removed after them. Its
// first bytes are checked before the rest is copied.
FileResult ConvertStandardInput(const std::string& signalName, const Options& options,
                                Streams& streams, std::vector<WrittenFile>& written) {
    InputCopy copy = BeginInputCopy(InputHeadBytes);
    if (copy.Error == 0 && RefusedEarly(copy, signalName, options, streams)) {
        RemoveInputCopy(copy);
        return FileResult::Refused;
    }
    FinishInputCopy(copy);
    if (copy.Error != 0) {
        ReportFailure(StandardInputWords, OutcomeText(ConversionOutcome::ReadFailed),
                      Shown(copy.Cause, streams.ErrorIsTerminal), streams);
        return FileResult::Failed;
    }
    FileResult converted = FileResult::Failed;
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

// -u: the signal file is there, no folder, and its content not older than the wave file's, and
// no earlier file of this run wrote it (that one is refused as usual). Times are compared to the
// nanosecond where the system keeps them.
bool UpToDate(std::string_view name, const std::string& signalName,
              const std::vector<WrittenFile>& written) {
    FileStamp wave{};
    FileStamp signal{};
    if (signalName.empty() || EarlierWriter(signalName, written) != nullptr ||
        IsFolder(signalName) || !StampPath(name, wave) || !StampPath(signalName, signal)) {
        return false;
    }
    return std::pair(signal.Times[0], signal.Times[1]) >= std::pair(wave.Times[0], wave.Times[1]);
}

// -u under --channel=all: every channel's file up to date. The header tells how many there are.
bool ChannelsUpToDate(std::string_view name, const Options& options,
                      const std::vector<WrittenFile>& written) {
    WaveHeader header{};
    const Source source{.Path = name, .Shown = name, .StandardInput = false};
    if (CheckHeader(source, ChannelFileName(name, 1, options), options, header).Code !=
        HeaderCode::Accepted) {
        return false;
    }
    CloseChannel(WaveChannel);
    for (const std::string& file : ChannelFileNames(name, header.ChannelCount, options)) {
        if (!UpToDate(name, file, written)) return false;
    }
    return true;
}

// Converts one file.
FileResult ConvertFile(std::string_view name, const Options& options, Streams& streams,
                       std::vector<WrittenFile>& written) {
    const std::string signalName =
        options.AllChannels ? ChannelFileName(name, 1, options) : SignalNameFor(name, options);
    if (!NameUsable(name, streams)) return FileResult::Refused;
    if (options.Update && name != StandardInputName &&
        (options.AllChannels ? ChannelsUpToDate(name, options, written)
                             : UpToDate(name, signalName, written))) {
        return FileResult::UpToDate;
    }
    if (name == StandardInputName) {
        return ConvertStandardInput(signalName, options, streams, written);
    }
    const Source source{.Path = name, .Shown = name, .StandardInput = false};
    return ConvertSource(source, signalName, options, streams, written);
}

// The files by what became of them, indexed by FileResult.
struct Tally {
    std::size_t Results[5];
};

// "norvistrand: 120 files: 117 converted, 2 refused, 1 up to date"; what no file met is left
// out, but for the converted.
std::string Summary(const Tally& tally, std::size_t files) {
    std::string line = std::string(ProgramName) + ": " + std::to_string(files) +
                       " files: " + std::to_string(tally.Results[0]) + " converted";
    constexpr std::string_view Words[] = {"", "refused", "failed", "up to date", "named twice"};
    for (std::size_t i = 1; i < std::size(Words); ++i) {
        if (tally.Results[i] > 0) {
            line += ", " + std::to_string(tally.Results[i]) + " " + std::string(Words[i]);
        }
    }
    return line + "\n";
}

// The batch's bytes, as the files' sizes are now, for the time left; asked of the system
// only when the line shows.
std::uint64_t BatchBytes(const std::vector<std::string_view>& names) {
    std::uint64_t total = 0;
    for (std::string_view name : names) {
        FileStamp stamp{};
        if (name != StandardInputName && StampPath(name, stamp)) {
            total += static_cast<std::uint64_t>(stamp.Size);
        }
    }
    return total;
}

std::uint64_t FileBytes(std::string_view name, const BatchProgress& batch) {
    FileStamp stamp{};
    return batch.Enabled && name != StandardInputName && StampPath(name, stamp)
               ? static_cast<std::uint64_t>(stamp.Size)
               : 0;
}

}  // namespace

int RunCommandLine(int count, const char* const* arguments) {
    std::vector<WrittenFile> written;
    return RunCommandLineAfter(count, arguments, written);
}

int RunCommandLineAfter(int count, const char* const* arguments, std::vector<WrittenFile>& written,
                        std::int32_t envelopeColumns) {
    Options options{.Quiet = false,
                    .Extensible = false,
                    .DataToEnd = false,
                    .AnyPcm = false,
                    .Channel = 0,
                    .AllChannels = false,
                    .CommonPeak = false,
                    .Mix = false,
                    .ToStandardOutput = false,
                    .OutputFolder = {},
                    .OutputFile = {},
                    .Threads = AutomaticThreads,
                    .Npy = false,
                    .Files = {},
                    .NameLists = {},
                    .NulEnded = false,
                    .Part = 0,
                    .Parts = 0,
                    .Update = false,
                    .ListTexts = {},
                    .EnvelopeColumns = envelopeColumns};
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
    const bool lines = LinesToOutput(standardInput, options);
    BatchProgress batch{};
    Streams streams{.OutputIsTerminal = platform::StreamIsTerminal(StandardStream::Output),
                    .ErrorIsTerminal = platform::StreamIsTerminal(StandardStream::Error),
                    .LinesOnOutput = lines,
                    .OutputLost = false,
                    .OutputClosed = false,
                    .Batch = &batch};
    // The batch's line stays off a terminal that shows the lines themselves.
    const bool batchShown =
        streams.ErrorIsTerminal && options.Files.size() > 1 && !(lines && streams.OutputIsTerminal);
    BeginBatch(batch, batchShown, options.Files.size(), batchShown ? BatchBytes(options.Files) : 0);
    Tally tally{.Results = {}};
    for (std::string_view name : options.Files) {
        BeginBatchFile(batch, FileBytes(name, batch));
        const FileResult result = ConvertFile(name, options, streams, written);
        tally.Results[static_cast<std::size_t>(result)] += 1;
        EndBatchFile(batch);
        if (streams.OutputClosed) break;
    }
    HideBatch(batch);
    // A reader of the lines that went away ends the run as quietly as it ends a pipeline.
    if (options.Files.size() > 1 && !options.Quiet && !streams.OutputClosed) {
        SayError(Summary(tally, options.Files.size()), streams);
    }
    const bool allConverted = tally.Results[static_cast<std::size_t>(FileResult::Refused)] == 0 &&
                              tally.Results[static_cast<std::size_t>(FileResult::Failed)] == 0;
    return allConverted && !streams.OutputLost ? AllConvertedExitCode : SomeFileFailedExitCode;
}
