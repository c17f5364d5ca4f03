#include "command_line/streamed_conversion.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "command_line/line_blocks.h"
#include "converter/header_check.h"
#include "converter/sample_decoding.h"
#include "files/channels.h"
#include "files/file_error.h"
#include "files/replacement_file.h"
#include "files/typed_array.h"

namespace {

constexpr std::string_view ChangedCause = "changed while it was read";
constexpr std::string_view SentCause = "; the lines before it were already sent";

// Reads the frames first to first + count - 1 (from 0) into frames, as bytes; bytes past the
// end of the file read as zeros, as in the screen program's one read of them all. The file
// error number of a failure, else 0.
std::uint8_t ReadFrames(const WaveHeader& header, std::int64_t first, std::int32_t count,
                        TypedArray& frames) {
    ReadArray(WaveChannel, header.SampleStart + 1 + first * header.FrameBytes, frames,
              count * header.FrameBytes);
    return TakeFileError();
}

enum class PassOutcome { Written, ReadFailed, Changed, NoMemory };

// Fills every free block with the frames that come next and hands it over, then gives the
// oldest block once its work is done; nullptr when every block is taken back. After a failed
// read (readError tells) no block is filled any more: the blocks before it are still given,
// as a pass that read in turn would have met them.
const LineBlock* NextDoneBlock(const WaveHeader& header, LineMaking& making, std::int64_t& filled,
                               std::uint8_t& readError) {
    const std::int32_t n = header.SampleCount;
    for (LineBlock* block = nullptr;
         readError == 0 && filled < n && (block = BlockToFill(making)) != nullptr;) {
        const auto count =
            static_cast<std::int32_t>(std::min<std::int64_t>(making.BlockSamples, n - filled));
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
                notANumber = block->Sequence * making.BlockSamples + block->NotANumber + 1;
                break;
            }
            peak = std::max(peak, block->Largest);
            BlockWritten(making);
        }
        // A sample that is no number came before the failed read.
        outcome =
            readError != 0 && notANumber == 0 ? PassOutcome::ReadFailed : PassOutcome::Written;
    }
    EndLineMaking(making);
    return outcome;
}

// The second pass: the samples' lines made on the threads and written in order. A sample
// above the peak of the first pass means the file changed in between.
PassOutcome WriteLines(const WaveHeader& header, double peak, int threads, ReplacementFile& out,
                       ProgressDisplay& progress, std::uint8_t& readError) {
    const std::int32_t n = header.SampleCount;
    LineMaking making;
    PassOutcome outcome = PassOutcome::NoMemory;
    if (BeginLineMaking(making, header, BlockWork::Lines, peak, threads)) {
        outcome = PassOutcome::Written;
        std::int64_t filled = 0;
        std::int64_t written = 0;
        while (out.Error == 0 && outcome == PassOutcome::Written) {
            const LineBlock* block = NextDoneBlock(header, making, filled, readError);
            if (block == nullptr) break;
            AppendToReplacement(out, std::string_view(block->Text, block->Length));
            if (block->Largest > peak) outcome = PassOutcome::Changed;
            written += block->Count;
            BlockWritten(making);
            ShowProgress(progress, static_cast<std::uint64_t>(written),
                         static_cast<std::uint64_t>(n));
        }
        if (readError != 0 && outcome == PassOutcome::Written) outcome = PassOutcome::ReadFailed;
    }
    EndLineMaking(making);
    return outcome;
}

ConversionOutcome Finish(ConversionOutcome outcome) {
    CloseChannel(WaveChannel);
    TakeFileError();  // closing a file that was only read changes nothing on disk
    return outcome;
}

// The cause of a failed read of the wave file, with its name.
std::string ReadCause(std::uint8_t error, std::string_view waveName) {
    return std::string(FailureCause(error)) + ": " + std::string(waveName);
}

std::string WriteCause(const ReplacementFile& out) {
    std::string cause(out.Cause);
    if (!out.FailedPath.empty()) cause += ": " + out.FailedPath;
    return cause;
}

void BeginTarget(ReplacementFile& out, std::string_view waveName, const SignalTarget& target) {
    if (target.StandardOutput) {
        BeginStandardOutput(out);
    } else {
        BeginReplacement(out,
                         target.Path.empty() ? SignalFileName(waveName) : std::string(target.Path));
    }
}

// After the second pass: the wave file must look as it did before the first.
PassOutcome CheckUnchanged(const FileStamp& before, std::uint8_t& readError) {
    const FileStamp after = StampChannel(WaveChannel);
    readError = TakeFileError();
    if (readError != 0) return PassOutcome::ReadFailed;
    return after == before ? PassOutcome::Written : PassOutcome::Changed;
}

// A pass that failed: the old signal file stays, and cause says why. Lines that already went
// to standard output cannot be called back: cause says so.
ConversionOutcome GiveUp(ReplacementFile& out, PassOutcome written, std::uint8_t readError,
                         std::string_view waveName, std::string& cause) {
    const bool sent = out.Borrowed && out.Drained > 0;
    AbandonReplacement(out);
    if (written == PassOutcome::NoMemory) return ConversionOutcome::TooLarge;
    cause = written == PassOutcome::Changed ? std::string(ChangedCause)
                                            : ReadCause(readError, waveName);
    if (sent) cause += SentCause;
    return ConversionOutcome::ReadFailed;
}

// A write to standard output that fails after some lines went out says so, as a failed read
// does.
ConversionOutcome PutInPlace(ReplacementFile& out, std::string& cause) {
    switch (FinishReplacement(out)) {
        case 0:
            return ConversionOutcome::Finished;
        case NoReader:
            return ConversionOutcome::OutputClosed;
        default:
            cause = WriteCause(out);
            if (out.Borrowed && out.Drained > 0) cause += SentCause;
            return ConversionOutcome::WriteFailed;
    }
}

}  // namespace

ConversionOutcome ConvertStreamed(std::string_view waveName, const WaveHeader& header,
                                  ProgressDisplay& progress, std::string& cause,
                                  const SignalTarget& target, int threads) {
    cause.clear();
    TakeFileError();
    if (!SampleBufferFits(header)) return Finish(ConversionOutcome::TooLarge);
    // What the file looks like before the first pass, to be compared after the second.
    const FileStamp before = StampChannel(WaveChannel);
    std::uint8_t readError = TakeFileError();
    double peak = 0;
    std::int64_t notANumber = 0;
    const PassOutcome found = readError == 0
                                  ? FindPeak(header, threads, peak, notANumber, readError)
                                  : PassOutcome::ReadFailed;
    if (found == PassOutcome::NoMemory) return Finish(ConversionOutcome::TooLarge);
    if (found != PassOutcome::Written) {
        cause = ReadCause(readError, waveName);
        return Finish(ConversionOutcome::ReadFailed);
    }
    if (notANumber != 0) {
        cause = "sample " + std::to_string(notANumber);
        return Finish(ConversionOutcome::NotANumber);
    }
    return ConvertWithPeak(waveName, header, before, peak, progress, cause, target, threads);
}

ConversionOutcome ConvertWithPeak(std::string_view waveName, const WaveHeader& header,
                                  const FileStamp& before, double peak, ProgressDisplay& progress,
                                  std::string& cause, const SignalTarget& target, int threads) {
    cause.clear();
    if (!SampleBufferFits(header)) return Finish(ConversionOutcome::TooLarge);
    ReplacementFile out;
    BeginTarget(out, waveName, target);
    std::uint8_t readError = 0;
    PassOutcome written = out.Error == 0
                              ? WriteLines(header, peak, threads, out, progress, readError)
                              : PassOutcome::Written;
    EndProgress(progress);
    if (written == PassOutcome::Written && out.Error == 0) {
        written = CheckUnchanged(before, readError);
    }
    Finish(ConversionOutcome::Finished);
    if (written != PassOutcome::Written) return GiveUp(out, written, readError, waveName, cause);
    return PutInPlace(out, cause);
}
