#include "converter/conversion.h"

#include <cstdint>
#include <cstring>

#include "converter/sample_decoding.h"
#include "converter/signal_line.h"
#include "files/channels.h"
#include "files/typed_array.h"

namespace {

constexpr std::int16_t Channel = 1;

// Writes one line per sample; stops at the first failing write, since the file is then
// not what it should be anyway.
ConversionOutcome WriteSignalFile(const ByteString& signalName, const TypedArray& samples,
                                  double peak) {
    OpenChannel(Channel, signalName, OpenMode::Output);
    if (TakeFileError() != 0) return ConversionOutcome::WriteFailed;
    bool failed = false;
    const ExtendedDivisor divisor = SignalDivisor(peak);
    for (std::uint32_t i = 0; i < samples.Count && !failed; ++i) {
        double sample;
        std::memcpy(&sample, samples.Storage + static_cast<std::size_t>(i) * sizeof sample,
                    sizeof sample);
        NumberText line = SignalLine(sample, divisor);
        WriteItem(Channel, line.View());
        EndLine(Channel);
        failed = TakeFileError() != 0;
    }
    CloseChannel(Channel);
    failed = TakeFileError() != 0 || failed;
    return failed ? ConversionOutcome::WriteFailed : ConversionOutcome::Finished;
}

// Gives up before the signal file is touched: the arrays go, the wave file is closed.
ConversionOutcome Abandon(TypedArray& raw, TypedArray& samples, ConversionOutcome outcome) {
    ReleaseArray(raw);
    ReleaseArray(samples);
    CloseChannel(Channel);
    TakeFileError();
    return outcome;
}

}  // namespace

std::string_view OutcomeMessage(ConversionOutcome outcome) {
    switch (outcome) {
        case ConversionOutcome::TooLarge:
            return TooLargeMessage;
        case ConversionOutcome::ReadFailed:
            return ReadFailedMessage;
        case ConversionOutcome::WriteFailed:
        case ConversionOutcome::OutputClosed:
            return WriteFailedMessage;
        case ConversionOutcome::Finished:
            break;
    }
    return JobFinishedMessage;
}

ConversionOutcome ConvertToSignalFile(std::string_view waveName, const WaveHeader& header) {
    ByteString signalName = SignalFileName(waveName);
    // Only this conversion's own failures count from here on.
    TakeFileError();

    const std::int32_t n = header.SampleCount;
    if (n <= 0) {
        // No samples: the signal file is there, and empty.
        CloseChannel(Channel);
        TakeFileError();
        TypedArray none{ElementType::Double, 8, 0, nullptr};
        return WriteSignalFile(signalName, none, 0);
    }

    // The sample buffer is the larger array: when it cannot be had, the raw one is not tried.
    TypedArray samples = CreateArray(ElementType::Double, n);
    TypedArray raw{RawElementType(header.BitsPerSample), 0, 0, nullptr};
    if (samples.Storage != nullptr) raw = CreateArray(raw.Type, n);
    if (TakeFileError() != 0 || samples.Storage == nullptr || raw.Storage == nullptr) {
        return Abandon(raw, samples, ConversionOutcome::TooLarge);
    }

    ReadArray(Channel, header.SampleStart + 1, raw, n);
    if (TakeFileError() != 0) return Abandon(raw, samples, ConversionOutcome::ReadFailed);

    double peak = 0;
    for (std::uint32_t i = 0; i < raw.Count; ++i) {
        double value = DecodeSample(raw, i);
        std::memcpy(samples.Storage + static_cast<std::size_t>(i) * sizeof value, &value,
                    sizeof value);
        TakePeak(value, peak);
    }
    ReleaseArray(raw);
    CloseChannel(Channel);
    TakeFileError();  // closing a file that was only read changes nothing on disk

    ConversionOutcome outcome = WriteSignalFile(signalName, samples, peak);
    ReleaseArray(samples);
    return outcome;
}
