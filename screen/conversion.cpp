#include "screen/conversion.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "converter/header_check.h"
#include "converter/sample_decoding.h"
#include "converter/signal_line.h"
#include "files/channels.h"
#include "files/typed_array.h"

namespace {

// The signal file is written on the wave file's channel, free again once the samples are read.
constexpr std::int16_t SignalChannel = WaveChannel;

// Lines are made a batch at a time, then written one by one.
constexpr std::uint32_t LinesPerBatch = 256;

// The raw array holds the samples as elements of the file's own type, one sample each: bytes,
// 16-bit integers, 3-byte strings.
ElementType RawElementType(SampleForm form) {
    switch (form) {
        case SampleForm::Unsigned8:
            return ElementType::UnsignedByte;
        case SampleForm::Signed16:
            return ElementType::SignedInt16;
        default:
            return ElementType::FixedString3;
    }
}

// The lines of samples first .. first + count - 1.
void MakeLines(const TypedArray& samples, std::uint32_t first, std::uint32_t count,
               const ExtendedDivisor& divisor, NumberText* lines) {
    for (std::uint32_t k = 0; k < count; ++k) {
        double sample;
        std::memcpy(&sample, samples.Storage + static_cast<std::size_t>(first + k) * sizeof sample,
                    sizeof sample);
        lines[k] = SignalLine(sample, divisor);
    }
}

// Writes one line per sample; stops at the first failing write, since the file is then
// not what it should be anyway. Only the write path runs between two writes: the lines are
// made ahead, a batch at a time, and the path is marked hot to keep it together (bench/README.md).
[[gnu::hot]] ConversionOutcome WriteSignalFile(const ByteString& signalName,
                                               const TypedArray& samples, double peak) {
    OpenChannel(SignalChannel, signalName, OpenMode::Output);
    if (TakeFileError() != 0) return ConversionOutcome::WriteFailed;
    bool failed = false;
    const ExtendedDivisor divisor = SignalDivisor(peak);
    NumberText lines[LinesPerBatch];
    for (std::uint32_t first = 0; first < samples.Count && !failed; first += LinesPerBatch) {
        const std::uint32_t count = std::min(LinesPerBatch, samples.Count - first);
        MakeLines(samples, first, count, divisor, lines);
        for (std::uint32_t k = 0; k < count && !failed; ++k) {
            WriteItem(SignalChannel, lines[k].View());
            EndLine(SignalChannel);
            failed = TakeFileError() != 0;
        }
    }
    CloseChannel(SignalChannel);
    failed = TakeFileError() != 0 || failed;
    return failed ? ConversionOutcome::WriteFailed : ConversionOutcome::Finished;
}

// Gives up before the signal file is touched: the arrays go, the wave file is closed.
ConversionOutcome Abandon(TypedArray& raw, TypedArray& samples, ConversionOutcome outcome) {
    ReleaseArray(raw);
    ReleaseArray(samples);
    CloseChannel(WaveChannel);
    TakeFileError();
    return outcome;
}

}  // namespace

ConversionOutcome ConvertToSignalFile(std::string_view waveName, const WaveHeader& header) {
    ByteString signalName = SignalFileName(waveName);
    // Only this conversion's own failures count from here on.
    TakeFileError();

    // The screen program's reading takes the 32-bit data size signed: its count fits 32 bits.
    const auto n = static_cast<std::int32_t>(header.SampleCount);
    if (n <= 0) {
        // No samples: the signal file is there, and empty.
        CloseChannel(WaveChannel);
        TakeFileError();
        const TypedArray none = EmptyArray(ElementType::Double);
        return WriteSignalFile(signalName, none, 0);
    }

    // The sample buffer is the larger array: when it cannot be had, the raw one is not tried.
    TypedArray samples = CreateArray(ElementType::Double, n);
    TypedArray raw = EmptyArray(RawElementType(header.Form));
    if (samples.Storage != nullptr) raw = CreateArray(raw.Type, n);
    if (TakeFileError() != 0 || samples.Storage == nullptr || raw.Storage == nullptr) {
        return Abandon(raw, samples, ConversionOutcome::TooLarge);
    }

    ReadArray(WaveChannel, header.SampleStart + 1, raw, n);
    if (TakeFileError() != 0) return Abandon(raw, samples, ConversionOutcome::ReadFailed);

    double peak = 0;
    for (std::uint32_t i = 0; i < raw.Count; ++i) {
        double value = SampleValue(raw.Storage + std::size_t{i} * raw.ElementSize, header.Form);
        std::memcpy(samples.Storage + static_cast<std::size_t>(i) * sizeof value, &value,
                    sizeof value);
        TakePeak(value, peak);
    }
    ReleaseArray(raw);
    CloseChannel(WaveChannel);
    TakeFileError();  // closing a file that was only read changes nothing on disk

    ConversionOutcome outcome = WriteSignalFile(signalName, samples, peak);
    ReleaseArray(samples);
    return outcome;
}
