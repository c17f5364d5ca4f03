#include "command_line/streamed_conversion.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "command_line/line_blocks.h"
#include "converter/sample_decoding.h"
#include "files/channels.h"
#include "files/file_error.h"
#include "files/replacement_file.h"
#include "files/typed_array.h"

namespace {

constexpr std::int16_t Channel = 1;

constexpr std::string_view ChangedCause = "changed while it was read";

// Reads the samples first to first + count - 1 (from 0) into chunk; bytes past the end of the
// file read as zeros, as in the screen program's one read of them all. The file error number
// of a failure, else 0.
std::uint8_t ReadChunk(const WaveHeader& header, std::int64_t first, std::int32_t count,
                       TypedArray& chunk) {
    ReadArray(Channel, header.SampleStart + 1 + first * chunk.ElementSize, chunk, count);
    return TakeFileError();
}

enum class PassOutcome { Written, ReadFailed, Changed, NoMemory };

// Fills every free block with the samples that come next and hands it over, then gives the
// oldest block once its work is done; nullptr when every block is taken back, or a read
// failed (readError tells).
const LineBlock* NextDoneBlock(const WaveHeader& header, LineMaking& making, std::int64_t& filled,
                               std::uint8_t& readError) {
    const std::int32_t n = header.SampleCount;
    for (LineBlock* block = nullptr; filled < n && (block = BlockToFill(making)) != nullptr;) {
        const auto count =
            static_cast<std::int32_t>(std::min<std::int64_t>(BlockSamples, n - filled));
        readError = ReadChunk(header, filled, count, block->Samples);
        if (readError != 0) return nullptr;
        HandOver(making, *block, count);
        filled += count;
    }
    if (making.NextWrite == making.NextFill) return nullptr;
    return &OldestMade(making);
}

// The first pass: the largest magnitude among the samples.
PassOutcome FindPeak(const WaveHeader& header, int threads, double& peak, std::uint8_t& readError) {
    LineMaking making;
    PassOutcome outcome = PassOutcome::NoMemory;
    if (BeginLineMaking(making, RawElementType(header.BitsPerSample), BlockWork::Peak, peak,
                        LineThreads(threads, header.SampleCount))) {
        std::int64_t filled = 0;
        while (const LineBlock* block = NextDoneBlock(header, making, filled, readError)) {
            peak = std::max(peak, block->Largest);
            BlockWritten(making);
        }
        outcome = readError != 0 ? PassOutcome::ReadFailed : PassOutcome::Written;
    }
    EndLineMaking(making);
    return outcome;
}

// The second pass: the samples' lines written in order. A sample above the peak of the first
// pass means the file changed in between.
PassOutcome WriteLines(const WaveHeader& header, double peak, int threads, ReplacementFile& out,
                       ProgressDisplay& progress, std::uint8_t& readError) {
    const std::int32_t n = header.SampleCount;
    LineMaking making;
    PassOutcome outcome = PassOutcome::NoMemory;
    if (BeginLineMaking(making, RawElementType(header.BitsPerSample), BlockWork::Lines, peak,
                        LineThreads(threads, n))) {
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
        if (readError != 0) outcome = PassOutcome::ReadFailed;
    }
    EndLineMaking(making);
    return outcome;
}

ConversionOutcome Finish(TypedArray& chunk, ConversionOutcome outcome) {
    ReleaseArray(chunk);
    CloseChannel(Channel);
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

// The passes read into blocks of their own (line_blocks.h); the chunk stays empty. False when
// the screen program could not have had the sample buffer of this file.
bool CreateChunk(const WaveHeader& header, TypedArray& chunk) {
    const std::int32_t n = header.SampleCount;
    chunk = EmptyArray(ElementType::Double);
    return n <= 0 || ArrayFits(ElementType::Double, n);
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
    const FileStamp after = StampChannel(Channel);
    readError = TakeFileError();
    if (readError != 0) return PassOutcome::ReadFailed;
    return after == before ? PassOutcome::Written : PassOutcome::Changed;
}

// A pass that failed: the old signal file stays, and cause says why.
ConversionOutcome GiveUp(ReplacementFile& out, PassOutcome written, std::uint8_t readError,
                         std::string_view waveName, std::string& cause) {
    AbandonReplacement(out);
    if (written == PassOutcome::NoMemory) return ConversionOutcome::TooLarge;
    cause = written == PassOutcome::Changed ? std::string(ChangedCause)
                                            : ReadCause(readError, waveName);
    return ConversionOutcome::ReadFailed;
}

ConversionOutcome PutInPlace(ReplacementFile& out, std::string& cause) {
    switch (FinishReplacement(out)) {
        case 0:
            return ConversionOutcome::Finished;
        case NoReader:
            return ConversionOutcome::OutputClosed;
        default:
            cause = WriteCause(out);
            return ConversionOutcome::WriteFailed;
    }
}

}  // namespace

ConversionOutcome ConvertStreamed(std::string_view waveName, const WaveHeader& header,
                                  ProgressDisplay& progress, std::string& cause,
                                  const SignalTarget& target, int threads) {
    cause.clear();
    TakeFileError();
    TypedArray chunk;
    if (!CreateChunk(header, chunk)) return Finish(chunk, ConversionOutcome::TooLarge);
    // What the file looks like before the first pass, to be compared after the second.
    const FileStamp before = StampChannel(Channel);
    std::uint8_t readError = TakeFileError();
    double peak = 0;
    ReleaseArray(chunk);
    const PassOutcome found =
        readError == 0 ? FindPeak(header, threads, peak, readError) : PassOutcome::ReadFailed;
    if (found == PassOutcome::NoMemory) return Finish(chunk, ConversionOutcome::TooLarge);
    if (found != PassOutcome::Written) {
        cause = ReadCause(readError, waveName);
        return Finish(chunk, ConversionOutcome::ReadFailed);
    }
    return ConvertWithPeak(waveName, header, before, peak, progress, cause, target, threads);
}

ConversionOutcome ConvertWithPeak(std::string_view waveName, const WaveHeader& header,
                                  const FileStamp& before, double peak, ProgressDisplay& progress,
                                  std::string& cause, const SignalTarget& target, int threads) {
    cause.clear();
    TypedArray chunk;
    if (!CreateChunk(header, chunk)) return Finish(chunk, ConversionOutcome::TooLarge);
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
    Finish(chunk, ConversionOutcome::Finished);
    if (written != PassOutcome::Written) return GiveUp(out, written, readError, waveName, cause);
    return PutInPlace(out, cause);
}
