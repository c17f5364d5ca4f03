// A file's signal file is the same bytes whether its lines are made on one thread or several,
// for files that end at a block's edge, just before it or just after it.
#include "converter/line_blocks.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "converter/header_check.h"
#include "converter/streamed_conversion.h"
#include "tests/support/converter_fixture.h"

namespace {

using LineBlocksTest = ConverterTest;

// count samples of the resolution, spread over its whole range.
std::string SpreadSamples(int bits, std::int32_t count) {
    std::string samples;
    std::uint32_t state = 2024;
    for (std::int32_t i = 0; i < count; ++i) {
        state = state * 1103515245u + 12345u;
        PutLittleEndian(samples, state >> (32 - bits), bits / 8);
    }
    return samples;
}

// The signal file the command line writes for the wave file on that many threads.
std::string ConvertedOn(int threads, const std::string& wave) {
    WaveHeader header{};
    if (CheckWaveHeader(wave, header).Code != HeaderCode::Accepted) return "refused";
    ConversionFailure failure;
    const ConversionOutcome outcome = ConvertStreamed(wave, header, failure, {}, threads);
    if (outcome != ConversionOutcome::Finished) return "failed: " + std::to_string(failure.Error);
    return ReadWholeFile(SignalFileName(wave));
}

TEST_F(LineBlocksTest, SameBytesOnOneTwoAndThreeThreads) {
    struct Case {
        int Bits;
        std::int32_t Samples;
    } const cases[] = {
        {24, 1},
        {24, MaxBlockFrames - 1},
        {24, MaxBlockFrames},
        {24, MaxBlockFrames + 1},
        {24, 3 * MaxBlockFrames + 1},  // three threads at work, two blocks each at most
        {16, MaxBlockFrames + 1},      // lines copied from each thread's own table
        {8, 2 * MaxBlockFrames - 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.Bits) + " bits, " + std::to_string(c.Samples) + " samples");
        WaveLayout layout;
        layout.BitsPerSample = static_cast<std::int16_t>(c.Bits);
        layout.BlockAlignment = static_cast<std::int16_t>(c.Bits / 8);
        layout.Samples = SpreadSamples(c.Bits, c.Samples);
        WriteWholeFile("take.wav", BuildWave(layout));
        const std::string one = ConvertedOn(1, "take.wav");
        EXPECT_EQ(std::count(one.begin(), one.end(), '\n'), c.Samples);
        EXPECT_EQ(ConvertedOn(2, "take.wav"), one);
        EXPECT_EQ(ConvertedOn(3, "take.wav"), one);
    }
}

}  // namespace
