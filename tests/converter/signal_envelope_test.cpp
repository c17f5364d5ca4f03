// A signal's envelope, gathered as its blocks are written, against one worked out here from
// the samples: each column's least and greatest and the peak's first place, however the
// columns and the blocks fall.
#include "converter/signal_envelope.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "converter/header_check.h"
#include "converter/streamed_conversion.h"
#include "tests/support/converter_fixture.h"

namespace {

using SignalEnvelopeTest = ConverterTest;

// The envelope a conversion of the file gathers, on one thread or two.
SignalEnvelope Gathered(const WaveHeader& header, std::int32_t columns, int threads) {
    FileStamp before{};
    double peak = 0;
    ConversionFailure failure;
    if (FindSignalPeak(header, threads, before, peak, failure) != ConversionOutcome::Finished) {
        return {};
    }
    SignalWriting writing;
    BeginSignalWriting(
        writing, "take.wav", header, before, peak,
        SignalTarget{.Path = {}, .StandardOutput = false, .EnvelopeColumns = columns}, threads);
    while (WriteNextBlock(writing)) {
    }
    const bool finished = FinishSignalWriting(writing, failure) == ConversionOutcome::Finished;
    return finished ? writing.Envelope : SignalEnvelope{};
}

TEST_F(SignalEnvelopeTest, EachColumnsLeastAndGreatestAndThePeaksFirstPlace) {
    struct Case {
        int Bits;
        std::int32_t Samples;
        std::int32_t Columns;
    } const cases[] = {
        {16, 3 * MaxBlockFrames + 7, 566},  // tabled samples, columns across blocks
        {24, MaxBlockFrames + 1, 1000},     // computed lines
        {8, 300, 566},                      // fewer samples than columns: one each
    };
    for (const Case& c : cases) {
        // Repeatable samples, signed, with many of the largest magnitude: the first counts.
        std::vector<double> signal;
        WaveLayout layout;
        layout.BitsPerSample = static_cast<std::int16_t>(c.Bits);
        layout.BlockAlignment = static_cast<std::int16_t>(c.Bits / 8);
        std::uint32_t state = 77;
        const std::int32_t half = 1 << (c.Bits - 1);
        for (std::int32_t i = 0; i < c.Samples; ++i) {
            state = state * 1103515245u + 12345u;
            const std::int32_t value =
                std::clamp(static_cast<std::int32_t>(state >> (32 - c.Bits)) - half + half / 4,
                           -half + 1, half - 1);
            signal.push_back(value);
            PutLittleEndian(layout.Samples,
                            static_cast<std::uint32_t>(c.Bits == 8 ? value + 128 : value),
                            c.Bits / 8);
        }
        WriteWholeFile("take.wav", BuildWave(layout));
        for (const int threads : {1, 2}) {
            SCOPED_TRACE(std::to_string(c.Bits) + " bits, " + std::to_string(threads) + " threads");
            WaveHeader header{};
            ASSERT_EQ(CheckWaveHeader("take.wav", header).Code, HeaderCode::Accepted);
            const SignalEnvelope envelope = Gathered(header, c.Columns, threads);
            const auto peak =
                std::max_element(signal.begin(), signal.end(),
                                 [](double a, double b) { return std::abs(a) < std::abs(b); });
            EXPECT_EQ(envelope.PeakAt, peak - signal.begin());
            EXPECT_EQ(envelope.Divisor, half - 1);
            const std::int64_t n = c.Samples;
            const auto count = static_cast<std::int32_t>(std::min<std::int64_t>(c.Columns, n));
            ASSERT_EQ(envelope.Columns, count);
            for (std::int32_t column = 0; column < count; ++column) {
                const auto first = signal.begin() + n * column / count;
                const auto end = signal.begin() + n * (column + 1) / count;
                EXPECT_EQ(envelope.Least[column], *std::min_element(first, end)) << column;
                EXPECT_EQ(envelope.Greatest[column], *std::max_element(first, end)) << column;
            }
        }
    }
}

}  // namespace
