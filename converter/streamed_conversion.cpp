#include "converter/streamed_conversion.h"

#include <algorithm>
#include <cstdint>

#include "converter/sample_decoding.h"
#include "converter/signal_line.h"
#include "files/channels.h"
#include "files/replacement_file.h"
#include "files/typed_array.h"

namespace {

constexpr std::int16_t Channel = 1;
// Samples read at a time: large enough that reads cost nothing, small enough for any cache.
constexpr std::int32_t ChunkSamples = 65536;
static_assert(sizeof(NumberText::Text) == ShortTextSize, "a line is appended as one short text");

// Reads the samples first to first + count - 1 (from 0) into chunk; bytes past the end of the
// file read as zeros, as in the screen program's one read of them all.
bool ReadChunk(const WaveHeader& header, std::int64_t first, std::int32_t count,
               TypedArray& chunk) {
    ReadArray(Channel, header.SampleStart + 1 + first * chunk.ElementSize, chunk, count);
    return TakeFileError() == 0;
}

bool FindPeak(const WaveHeader& header, TypedArray& chunk, double& peak) {
    const std::int32_t n = header.SampleCount;
    for (std::int64_t first = 0; first < n; first += ChunkSamples) {
        const auto count =
            static_cast<std::int32_t>(std::min<std::int64_t>(ChunkSamples, n - first));
        if (!ReadChunk(header, first, count, chunk)) return false;
        for (std::int32_t i = 0; i < count; ++i) TakePeak(DecodeSample(chunk, i), peak);
    }
    return true;
}

// An 8- or 16-bit chunk's lines, each a copy of the table's line for its sample.
void AppendTableLines(const TypedArray& chunk, std::int32_t count, SignalLineTable& table,
                      ReplacementFile& out) {
    const bool eightBit = chunk.Type == ElementType::UnsignedByte;
    for (std::int32_t i = 0; i < count; ++i) {
        const unsigned char* element =
            chunk.Storage + static_cast<std::size_t>(i) * chunk.ElementSize;
        const auto code =
            static_cast<std::uint16_t>(eightBit ? element[0] : element[0] | (element[1] << 8));
        const NumberText& line = TableLine(table, code, eightBit);
        AppendShortToReplacement(out, line.Text, static_cast<std::size_t>(line.Length));
    }
}

void AppendComputedLines(const TypedArray& chunk, std::int32_t count, double peak,
                         ReplacementFile& out) {
    const ExtendedDivisor divisor = SignalDivisor(peak);
    for (std::int32_t i = 0; i < count; ++i) {
        const NumberText line = WithLineEnd(SignalLine(DecodeSample(chunk, i), divisor));
        AppendShortToReplacement(out, line.Text, static_cast<std::size_t>(line.Length));
    }
}

enum class PassOutcome { Written, ReadFailed, NoMemory };

PassOutcome WriteLines(const WaveHeader& header, TypedArray& chunk, double peak,
                       ReplacementFile& out, ProgressDisplay& progress) {
    SignalLineTable table{peak, nullptr, nullptr};
    const bool tabled =
        chunk.Type == ElementType::UnsignedByte || chunk.Type == ElementType::SignedInt16;
    if (tabled && !CreateSignalLineTable(table, peak)) return PassOutcome::NoMemory;
    const std::int32_t n = header.SampleCount;
    PassOutcome outcome = PassOutcome::Written;
    for (std::int64_t first = 0; first < n && out.Error == 0; first += ChunkSamples) {
        const auto count =
            static_cast<std::int32_t>(std::min<std::int64_t>(ChunkSamples, n - first));
        if (!ReadChunk(header, first, count, chunk)) {
            outcome = PassOutcome::ReadFailed;
            break;
        }
        if (tabled) {
            AppendTableLines(chunk, count, table, out);
        } else {
            AppendComputedLines(chunk, count, peak, out);
        }
        ShowProgress(progress, static_cast<std::uint64_t>(first + count),
                     static_cast<std::uint64_t>(n));
    }
    ReleaseSignalLineTable(table);
    return outcome;
}

ConversionOutcome Finish(TypedArray& chunk, ConversionOutcome outcome) {
    ReleaseArray(chunk);
    CloseChannel(Channel);
    TakeFileError();  // closing a file that was only read changes nothing on disk
    return outcome;
}

}  // namespace

ConversionOutcome ConvertStreamed(std::string_view waveName, const WaveHeader& header,
                                  ProgressDisplay& progress) {
    TakeFileError();
    const std::int32_t n = header.SampleCount;
    TypedArray chunk{ElementType::Double, 8, 0, nullptr};
    if (n > 0) {
        if (!ArrayFits(ElementType::Double, n)) return Finish(chunk, ConversionOutcome::TooLarge);
        chunk = CreateArray(RawElementType(header.BitsPerSample), std::min(n, ChunkSamples));
        if (TakeFileError() != 0) return Finish(chunk, ConversionOutcome::TooLarge);
    }

    double peak = 0;
    if (!FindPeak(header, chunk, peak)) return Finish(chunk, ConversionOutcome::ReadFailed);

    ReplacementFile out;
    BeginReplacement(out, SignalFileName(waveName));
    PassOutcome written =
        out.Error == 0 ? WriteLines(header, chunk, peak, out, progress) : PassOutcome::Written;
    EndProgress(progress);
    Finish(chunk, ConversionOutcome::Finished);
    if (written != PassOutcome::Written) {
        AbandonReplacement(out);
        return written == PassOutcome::ReadFailed ? ConversionOutcome::ReadFailed
                                                  : ConversionOutcome::TooLarge;
    }
    return FinishReplacement(out) == 0 ? ConversionOutcome::Finished
                                       : ConversionOutcome::WriteFailed;
}
