#include "converter/conversion.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "console/screen.h"
#include "files/channels.h"
#include "files/typed_array.h"
#include "numtext/number_text.h"

namespace {

constexpr std::int16_t Channel = 1;

ElementType RawElementType(std::int16_t bitsPerSample) {
    switch (bitsPerSample) {
        case 8:
            return ElementType::UnsignedByte;
        case 16:
            return ElementType::SignedInt16;
        default:
            return ElementType::FixedString3;
    }
}

// Element i of the raw array as a sample value: 8-bit bytes are offset by 128, 16-bit
// values are little-endian two's complement, 24-bit values take their sign from bit 23.
double DecodeSample(const TypedArray& raw, std::uint32_t i) {
    const unsigned char* element = raw.Storage + static_cast<std::size_t>(i) * raw.ElementSize;
    switch (raw.Type) {
        case ElementType::UnsignedByte:
            return static_cast<double>(element[0]) - 128;
        case ElementType::SignedInt16:
            return static_cast<std::int16_t>(element[0] | (element[1] << 8));
        default: {
            std::int32_t v = element[0] | (element[1] << 8) | (element[2] << 16);
            if (v > 8388607) v -= 16777216;
            return v;
        }
    }
}

void Announce(const ByteString& signalName) {
    NewLine();
    WriteText("         Output file will be saved as ");
    WriteText(signalName);
    NewLine();
    NewLine();
    NewLine();
    WriteText("   Processing...");
    NewLine();
    NewLine();
    NewLine();
    // The work ahead can take a while: the announcement is shown before it starts.
    ShowScreenNow();
}

// Writes one line per sample; stops at the first failing write, since the file is then
// not what it should be anyway.
ConversionOutcome WriteSignalFile(const ByteString& signalName, const TypedArray& samples,
                                  double peak) {
    OpenChannel(Channel, signalName, OpenMode::Output);
    if (TakeFileError() != 0) return ConversionOutcome::WriteFailed;
    const long double divisor = peak;
    bool failed = false;
    for (std::uint32_t i = 0; i < samples.Count && !failed; ++i) {
        double sample;
        std::memcpy(&sample, samples.Storage + static_cast<std::size_t>(i) * sizeof sample,
                    sizeof sample);
        // 0 / 0 is a quiet NaN here, which the file form writes as "0".
        NumberText line = FileRealForm(static_cast<long double>(sample) / divisor);
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

ByteString SignalFileName(std::string_view waveName) {
    return Concatenate(LeftPart(waveName, ByteLength(waveName) - 3), "sig");
}

ConversionOutcome ConvertToSignalFile(std::string_view waveName, const WaveHeader& header) {
    ByteString signalName = SignalFileName(waveName);
    Announce(signalName);
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
        if (std::fabs(value) > peak) peak = std::fabs(value);
    }
    ReleaseArray(raw);
    CloseChannel(Channel);
    TakeFileError();  // closing a file that was only read changes nothing on disk

    ConversionOutcome outcome = WriteSignalFile(signalName, samples, peak);
    ReleaseArray(samples);
    return outcome;
}
