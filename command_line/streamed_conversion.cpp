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
// Samples read at a time: large enough that reads cost nothing, small enough for any cache.
constexpr std::int32_t ChunkSamples = 65536;

constexpr std::string_view ChangedCause = "changed while it was read";

// Reads the samples first to first + count - 1 (from 0) into chunk; bytes past the end of the
// file read as zeros, as in the screen program's one read of them all. The file error number
// of a failure, else 0.
std::uint8_t ReadChunk(const WaveHeader& header, std::int64_t first, std::int32_t count,
                       TypedArray& chunk) {
    ReadArray(Channel, header.SampleStart + 1 + first * chunk.ElementSize, chunk, count);
    return TakeFileError();
}

std::uint8_t FindPeak(const WaveHeader& header, TypedArray& chunk, double& peak) {
    const std::int32_t n = header.SampleCount;
    for (std::int64_t first = 0; first < n; first += ChunkSamples) {
        const auto count =
            static_cast<std::int32_t>(std::min<std::int64_t>(ChunkSamples, n - first));
        if (std::uint8_t error = ReadChunk(header, first, count, chunk); error != 0) return error;
        for (std::int32_t i = 0; i < count; ++i) TakePeak(DecodeSample(chunk, i), peak);
    }
    return 0;
}

enum class PassOutcome { Written, ReadFailed, Changed, NoMemory };

// The second pass: the samples read a block at a time, their lines made on the threads and
// written in order. A sample above the peak of the first pass means the file changed in
// between.
PassOutcome WriteLines(const WaveHeader& header, double peak, int threads, ReplacementFile& out,
                       ProgressDisplay& progress, std::uint8_t& readError) {
    const std::int32_t n = header.SampleCount;
    LineMaking making;
    if (!BeginLineMaking(making, RawElementType(header.BitsPerSample), peak,
                         LineThreads(threads, n))) {
        EndLineMaking(making);
        return PassOutcome::NoMemory;
    }
    PassOutcome outcome = PassOutcome::Written;
    std::int64_t filled = 0;
    std::int64_t written = 0;
    while (written < n && out.Error == 0 && outcome == PassOutcome::Written) {
        for (LineBlock* block = nullptr; filled < n && (block = BlockToFill(making)) != nullptr;) {
            const auto count =
                static_cast<std::int32_t>(std::min<std::int64_t>(BlockSamples, n - filled));
            readError = ReadChunk(header, filled, count, block->Samples);
            if (readError != 0) {
                outcome = PassOutcome::ReadFailed;
                break;
            }
            HandOver(making, *block, count);
            filled += count;
        }
        if (written == filled) break;  // nothing handed over: the read failed
        const LineBlock& made = OldestMade(making);
        AppendToReplacement(out, std::string_view(made.Text, made.Length));
        if (made.Largest > peak) outcome = PassOutcome::Changed;
        written += made.Count;
        BlockWritten(making);
        ShowProgress(progress, static_cast<std::uint64_t>(written), static_cast<std::uint64_t>(n));
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

// The chunk the passes read into; false when the screen program could not have had the
// sample buffer of this file either.
bool CreateChunk(const WaveHeader& header, TypedArray& chunk) {
    const std::int32_t n = header.SampleCount;
    chunk = EmptyArray(ElementType::Double);
    if (n <= 0) return true;
    if (!ArrayFits(ElementType::Double, n)) return false;
    chunk = CreateArray(RawElementType(header.BitsPerSample), std::min(n, ChunkSamples));
    return TakeFileError() == 0;
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
    if (readError == 0) readError = FindPeak(header, chunk, peak);
    ReleaseArray(chunk);
    if (readError != 0) {
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
