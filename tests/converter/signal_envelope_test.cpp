// A signal's envelope, gathered as its blocks are written, against one worked out here from
// the samples: each column's least and greatest, however the columns and the blocks fall, for
// a file of one channel, a channel of several, and a mix.
#include "converter/signal_envelope.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "converter/channel_conversion.h"
#include "converter/header_check.h"
#include "converter/streamed_conversion.h"
#include "tests/support/converter_fixture.h"

namespace {

using SignalEnvelopeTest = ConverterTest;

struct Case {
    int Bits;
    std::uint16_t Channels;
    std::int32_t Frames;
    std::int32_t Columns;
    ChannelWork Work;  // One: channel 2 of several, or the mono file's one
};

// Repeatable frames of the resolution; one sample in the middle of the last channel is made
// the loudest, so that the peak falls on no column's or block's edge.
std::vector<std::int32_t> Samples(const Case& c) {
    std::vector<std::int32_t> samples;
    std::uint32_t state = 77;
    const std::int32_t range = 1 << (c.Bits - 2);
    for (std::int32_t i = 0; i < c.Frames * c.Channels; ++i) {
        state = state * 1103515245u + 12345u;
        samples.push_back(static_cast<std::int32_t>((state >> 8) % (2 * range)) - range);
    }
    samples[static_cast<std::size_t>(c.Frames / 2 * c.Channels + c.Channels - 1)] = -range - 5;
    return samples;
}

std::string WaveOf(const Case& c, const std::vector<std::int32_t>& samples) {
    WaveLayout layout;
    layout.Channels = c.Channels;
    layout.BitsPerSample = static_cast<std::int16_t>(c.Bits);
    layout.BlockAlignment = static_cast<std::int16_t>(c.Channels * c.Bits / 8);
    for (std::int32_t value : samples) {
        PutLittleEndian(layout.Samples,
                        static_cast<std::uint32_t>(c.Bits == 8 ? value + 128 : value), c.Bits / 8);
    }
    return BuildWave(layout);
}

// The signal the envelope is of: the mix's sums, or the channel's samples.
std::vector<double> SignalOf(const Case& c, const std::vector<std::int32_t>& samples) {
    std::vector<double> signal;
    for (std::int32_t f = 0; f < c.Frames; ++f) {
        double sum = 0;
        for (std::int32_t k = 0; k < c.Channels; ++k) sum += samples[f * c.Channels + k];
        const std::int32_t one = c.Channels == 1 ? 0 : 1;
        signal.push_back(c.Work == ChannelWork::Mix ? sum : samples[f * c.Channels + one]);
    }
    return signal;
}

void ExpectEnvelopeOf(const std::vector<double>& signal, std::int32_t columns,
                      const SignalEnvelope& envelope) {
    const auto n = static_cast<std::int64_t>(signal.size());
    const auto count = static_cast<std::int32_t>(std::min<std::int64_t>(columns, n));
    ASSERT_EQ(envelope.Columns, count);
    ASSERT_EQ(envelope.Taken, n);
    std::int64_t peakAt = 0;
    for (std::int64_t s = 0; s < n; ++s) {
        if (std::abs(signal[s]) > std::abs(signal[peakAt])) peakAt = s;
    }
    EXPECT_EQ(envelope.PeakAt, peakAt);
    EXPECT_EQ(envelope.PeakSample, signal[peakAt]);
    EXPECT_EQ(envelope.Divisor, std::abs(signal[peakAt]));
    for (std::int32_t c = 0; c < count; ++c) {
        const auto first = signal.begin() + n * c / count;
        const auto end = signal.begin() + n * (c + 1) / count;
        ASSERT_LT(first, end) << "column " << c;
        EXPECT_EQ(envelope.Least[c], *std::min_element(first, end)) << "column " << c;
        EXPECT_EQ(envelope.Greatest[c], *std::max_element(first, end)) << "column " << c;
    }
}

SignalEnvelope GatheredMono(const WaveHeader& header, std::int32_t columns, int threads) {
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
    const ConversionOutcome outcome = FinishSignalWriting(writing, failure);
    return outcome == ConversionOutcome::Finished ? writing.Envelope : SignalEnvelope{};
}

SignalEnvelope GatheredFromChannels(const WaveHeader& header, const Case& c, int threads) {
    ChannelWriting writing;
    BeginChannelWriting(writing, header,
                        ChannelRequest{.Work = c.Work,
                                       .Channel = 2,
                                       .CommonPeak = false,
                                       .Form = SignalForm::Lines,
                                       .StandardOutput = false,
                                       .Paths = {"take.sig"},
                                       .EnvelopeColumns = c.Columns},
                        threads);
    while (WriteNextChannelBlock(writing)) {
    }
    ConversionFailure failure;
    const ConversionOutcome outcome = FinishChannelWriting(writing, failure);
    return outcome == ConversionOutcome::Finished ? writing.Streams.front().Envelope
                                                  : SignalEnvelope{};
}

TEST_F(SignalEnvelopeTest, EachColumnsLeastAndGreatestAndThePeaksPlace) {
    const Case cases[] = {
        {16, 1, 3 * MaxBlockFrames + 7, 566, ChannelWork::One},  // tabled, columns across blocks
        {24, 1, MaxBlockFrames + 1, 1000, ChannelWork::One},     // computed lines
        {8, 1, 300, 566, ChannelWork::One},                      // fewer samples than columns
        {24, 3, 2 * MaxBlockFrames + 3, 333, ChannelWork::One},  // channel 2 of 3
        {8, 2, MaxBlockFrames + 11, 566, ChannelWork::Mix},      // sums past 8 bits
    };
    for (const Case& c : cases) {
        for (const int threads : {1, 2}) {
            SCOPED_TRACE(std::to_string(c.Bits) + " bits, " + std::to_string(c.Channels) +
                         " channels, " + std::to_string(c.Frames) + " frames, " +
                         std::to_string(threads) + " threads");
            const std::vector<std::int32_t> samples = Samples(c);
            WriteWholeFile("take.wav", WaveOf(c, samples));
            WaveHeader header{};
            ASSERT_EQ(
                CheckWaveHeader("take.wav", header,
                                {.Channel = c.Channels == 1 ? 0 : 2, .SignalName = "take.sig"})
                    .Code,
                HeaderCode::Accepted);
            const SignalEnvelope envelope = c.Channels == 1
                                                ? GatheredMono(header, c.Columns, threads)
                                                : GatheredFromChannels(header, c, threads);
            ExpectEnvelopeOf(SignalOf(c, samples), c.Columns, envelope);
        }
    }
}

}  // namespace
