#include "converter/streamed_conversion.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "converter/header_check.h"
#include "converter/line_blocks.h"
#include "converter/npy_file.h"
#include "converter/sample_decoding.h"
#include "files/channels.h"
#include "files/file_error.h"
#include "files/replacement_file.h"
#include "files/typed_array.h"

namespace {

// Reads the frames first to first + count - 1 (from 0) into frames, as bytes; bytes past the
// end of the file read as zeros, as in the screen program's one read of them all. The file
// error number of a failure, else 0.
std::uint8_t ReadFrames(const WaveHeader& header, std::int64_t first, std::int32_t count,
                        TypedArray& frames) {
    ReadArray(WaveChannel, header.SampleStart + 1 + first * header.FrameBytes, frames,
              count * header.FrameBytes);
    return TakeFileError();
}

// Fills every free block with the frames that come next and hands it over, then gives the
// oldest block once its work is done; nullptr when every block is taken back. After a failed
// read (readError tells) no block is filled any more: the blocks before it are still given,
// as a pass that read in turn would have met them.
const LineBlock* NextDoneBlock(const WaveHeader& header, LineMaking& making, std::int64_t& filled,
                               std::uint8_t& readError) {
    const std::int64_t n = header.SampleCount;
    for (LineBlock* block = nullptr;
         readError == 0 && filled < n && (block = BlockToFill(making)) != nullptr;) {
        const auto count =
            static_cast<std::int32_t>(std::min<std::int64_t>(making.BlockFrames, n - filled));
        readError = ReadFrames(header, filled, count, block->Frames);
        if (readError != 0) break;
        HandOver(making, *block, count);
        filled += count;
    }
    if (making.NextWrite == making.NextFill) return nullptr;
    return &OldestMade(making);
}

// The first pass, in blocks on the threads. A float sample that is no finite number stops
// it: notANumber becomes its number from 1 (it stays 0 while every sample is a number).
PassOutcome FindPeak(const WaveHeader& header, int threads, double& peak, std::int64_t& notANumber,
                     std::uint8_t& readError) {
    LineMaking making;
    PassOutcome outcome = PassOutcome::NoMemory;
    if (BeginLineMaking(making, header, BlockWork::Peak, peak, threads)) {
        std::int64_t filled = 0;
        while (const LineBlock* block = NextDoneBlock(header, making, filled, readError)) {
            if (block->NotANumber >= 0) {
                notANumber = block->Sequence * making.BlockFrames + block->NotANumber + 1;
                break;
            }
            peak = std::max(peak, block->Largest);
            BlockWritten(making);
        }
        // A sample that is no number came before the failed read.
        outcome =
            readError != 0 && notANumber == 0 ? PassOutcome::ReadFailed : PassOutcome::Completed;
    }
    EndLineMaking(making);
    return outcome;
}

ConversionOutcome Finish(ConversionOutcome outcome) {
    CloseChannel(WaveChannel);
    TakeFileError();  // closing a file that was only read changes nothing on disk
    return outcome;
}

void BeginTarget(ReplacementFile& out, std::string_view waveName, const SignalTarget& target) {
    if (target.StandardOutput) {
        BeginStandardOutput(out);
    } else if (!target.Path.empty()) {
        BeginReplacement(out, target.Path);
    } else {
        BeginReplacement(
            out, target.Form == SignalForm::Npy ? NpyFileName(waveName) : SignalFileName(waveName));
    }
}

BlockWork WorkFor(SignalForm form) {
    return form == SignalForm::Lines ? BlockWork::Lines : BlockWork::Values;
}

// The array file's doubles are little-endian, as every machine we build for holds them.
static_assert(std::endian::native == std::endian::little);

// The block's work as the target takes it.
void WriteBlock(SignalWriting& writing, const LineBlock& block) {
    const auto bytes = static_cast<std::size_t>(block.Count) * sizeof(double);
    switch (writing.Form) {
        case SignalForm::Lines:
            AppendToReplacement(writing.Out, std::string_view(block.Text, block.Length));
            break;
        case SignalForm::Npy:
            AppendToReplacement(
                writing.Out, std::string_view(reinterpret_cast<const char*>(block.Values), bytes));
            break;
        case SignalForm::Memory:
            std::memcpy(writing.Values, block.Values, bytes);
            writing.Values += block.Count;
            break;
    }
}

// After the second pass: the wave file must look as it did before the first.
PassOutcome CheckUnchanged(const FileStamp& before, std::uint8_t& readError) {
    const FileStamp after = StampChannel(WaveChannel);
    readError = TakeFileError();
    if (readError != 0) return PassOutcome::ReadFailed;
    return after == before ? PassOutcome::Completed : PassOutcome::Changed;
}

// Lines that already went to standard output cannot be called back.
bool LinesSent(const ReplacementFile& out) {
    return out.Borrowed && out.Drained > 0;
}

// A pass that failed: the old signal file stays.
ConversionOutcome GiveUp(ReplacementFile& out, PassOutcome outcome, std::uint8_t readError,
                         ConversionFailure& failure) {
    failure.LinesSent = LinesSent(out);
    AbandonReplacement(out);
    if (outcome == PassOutcome::NoMemory) return ConversionOutcome::TooLarge;
    failure.Changed = outcome == PassOutcome::Changed;
    failure.Error = failure.Changed ? 0 : readError;
    return ConversionOutcome::ReadFailed;
}

ConversionOutcome PutInPlace(ReplacementFile& out, ConversionFailure& failure) {
    switch (FinishReplacement(out)) {
        case 0:
            return ConversionOutcome::Finished;
        case NoReader:
            return ConversionOutcome::OutputClosed;
        default:
            failure.Error = out.Error;
            failure.Path = out.FailedPath;
            failure.LinesSent = LinesSent(out);
            return ConversionOutcome::WriteFailed;
    }
}

ConversionFailure NoFailure() {
    return ConversionFailure{
        .Error = 0, .Path = {}, .Changed = false, .LinesSent = false, .Sample = 0};
}

}  // namespace

bool StreamedCountFits(const WaveHeader& header) {
    if (SampleBufferFits(header)) return true;
    const std::int64_t length = ChannelLength(WaveChannel);
    if (length < 0) {
        TakeFileError();
        return false;
    }
    const std::int64_t held = std::max<std::int64_t>(length - header.SampleStart, 0);
    return header.SampleCount <= held / header.FrameBytes;
}

ConversionOutcome FindSignalPeak(const WaveHeader& header, int threads, FileStamp& before,
                                 double& peak, ConversionFailure& failure) {
    failure = NoFailure();
    TakeFileError();
    if (!StreamedCountFits(header)) return Finish(ConversionOutcome::TooLarge);
    // What the file looks like before the first pass, to be compared after the second.
    before = StampChannel(WaveChannel);
    std::uint8_t readError = TakeFileError();
    peak = 0;
    std::int64_t notANumber = 0;
    const PassOutcome found = readError == 0
                                  ? FindPeak(header, threads, peak, notANumber, readError)
                                  : PassOutcome::ReadFailed;
    if (found == PassOutcome::NoMemory) return Finish(ConversionOutcome::TooLarge);
    if (found != PassOutcome::Completed) {
        failure.Error = readError;
        return Finish(ConversionOutcome::ReadFailed);
    }
    if (notANumber != 0) {
        failure.Sample = notANumber;
        return Finish(ConversionOutcome::NotANumber);
    }
    return ConversionOutcome::Finished;
}

void BeginSignalWriting(SignalWriting& writing, std::string_view waveName, const WaveHeader& header,
                        const FileStamp& before, double peak, const SignalTarget& target,
                        int threads) {
    writing.Header = header;
    writing.Before = before;
    writing.Peak = peak;
    writing.Form = target.Form;
    writing.Values = target.Values;
    writing.Fits = StreamedCountFits(header);
    writing.Filled = 0;
    writing.Written = 0;
    writing.ReadError = 0;
    writing.Outcome = PassOutcome::Completed;
    writing.Blocks = false;
    writing.Envelope = BeginEnvelope(target.EnvelopeColumns, header.SampleCount, peak);
    if (!writing.Fits) return;
    if (target.Form == SignalForm::Memory) {
        writing.Out = UnopenedReplacement();
    } else {
        BeginTarget(writing.Out, waveName, target);
    }
    if (writing.Out.Error != 0) return;
    if (target.Form == SignalForm::Npy)
        AppendToReplacement(writing.Out, NpyHeader(header.SampleCount));
    writing.Blocks = true;
    if (!BeginLineMaking(writing.Making, header, WorkFor(target.Form), peak, threads)) {
        writing.Outcome = PassOutcome::NoMemory;
    }
}

bool WriteNextBlock(SignalWriting& writing) {
    if (!writing.Fits || writing.Out.Error != 0 || writing.Outcome != PassOutcome::Completed) {
        return false;
    }
    const LineBlock* block =
        NextDoneBlock(writing.Header, writing.Making, writing.Filled, writing.ReadError);
    if (block == nullptr) {
        if (writing.ReadError != 0) writing.Outcome = PassOutcome::ReadFailed;
        return false;
    }
    WriteBlock(writing, *block);
    if (writing.Envelope.Columns > 0) TakeIntoEnvelope(writing.Envelope, *block, writing.Header);
    // A sample above the peak of the first pass means the file changed in between.
    if (block->Largest > writing.Peak) writing.Outcome = PassOutcome::Changed;
    writing.Written += block->Count;
    BlockWritten(writing.Making);
    return true;
}

ConversionOutcome FinishSignalWriting(SignalWriting& writing, ConversionFailure& failure) {
    failure = NoFailure();
    if (!writing.Fits) return Finish(ConversionOutcome::TooLarge);
    // The blocks end with the pass, whether it went through them all or not.
    if (writing.Blocks) EndLineMaking(writing.Making);
    if (writing.Outcome == PassOutcome::Completed && writing.ReadError != 0) {
        writing.Outcome = PassOutcome::ReadFailed;
    }
    if (writing.Outcome == PassOutcome::Completed && writing.Out.Error == 0) {
        writing.Outcome = CheckUnchanged(writing.Before, writing.ReadError);
    }
    Finish(ConversionOutcome::Finished);
    if (writing.Outcome != PassOutcome::Completed) {
        return GiveUp(writing.Out, writing.Outcome, writing.ReadError, failure);
    }
    if (writing.Form == SignalForm::Memory) return ConversionOutcome::Finished;
    return PutInPlace(writing.Out, failure);
}

ConversionOutcome ConvertStreamed(std::string_view waveName, const WaveHeader& header,
                                  ConversionFailure& failure, const SignalTarget& target,
                                  int threads) {
    FileStamp before{};
    double peak = 0;
    const ConversionOutcome found = FindSignalPeak(header, threads, before, peak, failure);
    if (found != ConversionOutcome::Finished) return found;
    return ConvertWithPeak(waveName, header, before, peak, failure, target, threads);
}

ConversionOutcome ConvertWithPeak(std::string_view waveName, const WaveHeader& header,
                                  const FileStamp& before, double peak, ConversionFailure& failure,
                                  const SignalTarget& target, int threads) {
    SignalWriting writing;
    BeginSignalWriting(writing, waveName, header, before, peak, target, threads);
    while (WriteNextBlock(writing)) {
    }
    return FinishSignalWriting(writing, failure);
}
