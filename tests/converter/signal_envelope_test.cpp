// A signal's envelope, gathered as its blocks are written, against one worked out here from
// the samples: each column's least and greatest and the peak's first place, however the
// columns and the blocks fall, on one thread or two.
#include "converter/signal_envelope.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "converter/header_check.h"
#include "converter/streamed_conversion.h"
#include "tests/support/converter_fixture.h"

namespace {

using SignalEnvelopeTest = ConverterTest;

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
        // Signed samples, many of them the largest magnitude: the first of those is the peak.
        const std::int32_t half = 1 << (c.Bits - 1);
        std::vector<double> signal;
        WaveLayout layout;
        layout.BlockAlignment = static_cast<std::int16_t>(c.Bits / 8);
        layout.BitsPerSample = static_cast<std::int16_t>(c.Bits);
        for (std::uint32_t i = 0, state = 77; i < static_cast<std::uint32_t>(c.Samples); ++i) {
            state = state * 1103515245u + 12345u;
            const auto drawn = static_cast<std::int32_t>(state >> (32 - c.Bits));
            const std::int32_t sample = std::min(drawn - half + half / 4, half - 1);
            signal.push_back(sample);
            // From the integer: a negative double has no unsigned value on every machine.
            PutLittleEndian(layout.Samples,
                            static_cast<std::uint32_t>(sample) + (c.Bits == 8 ? 128 : 0),
                            c.Bits / 8);
        }
        WriteWholeFile("take.wav", BuildWave(layout));
        for (const int threads : {1, 2}) {
            SCOPED_TRACE(std::to_string(c.Bits) + " bits, " + std::to_string(threads) + " threads");
            WaveHeader header{};
            ASSERT_EQ(CheckWaveHeader("take.wav", header).Code, HeaderCode::Accepted);
            FileStamp before{};
            double peak = 0;
            ConversionFailure failure;
            ASSERT_EQ(FindSignalPeak(header, threads, before, peak, failure),
                      ConversionOutcome::Finished);
            SignalWriting writing;
            BeginSignalWriting(writing, "take.wav", header, before, peak,
                               {.Path = {}, .StandardOutput = false, .EnvelopeColumns = c.Columns},
                               threads);
            while (WriteNextBlock(writing)) {
            }
            ASSERT_EQ(FinishSignalWriting(writing, failure), ConversionOutcome::Finished);
            const SignalEnvelope& envelope = writing.Envelope;
            EXPECT_EQ(envelope.Divisor, half - 1);
            EXPECT_EQ(envelope.PeakAt,
                      std::find(signal.begin(), signal.end(), half - 1) - signal.begin());
            const std::int64_t n = c.Samples;
            const std::int32_t count = std::min(c.Columns, c.Samples);
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
