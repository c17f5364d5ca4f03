// The wave file changes behind the program's back between the header check and the
// conversion: cut short, deleted, or replaced. The conversion reads what the open channel
// still holds, missing samples as zeros, and never crashes or recreates the file.
#include <unistd.h>

#include <cstdio>

#include "converter/conversion.h"
#include "converter/header_check.h"
#include "tests/converter/converter_fixture.h"

namespace {

using WaveFileChangeTest = ConverterTest;

constexpr std::size_t CanonicalHeaderBytes = 44;

WaveLayout LayoutOf(std::int16_t bits, std::string samples) {
    WaveLayout layout;
    layout.BitsPerSample = bits;
    layout.BlockAlignment = static_cast<std::int16_t>(bits / 8);
    layout.Samples = std::move(samples);
    return layout;
}

TEST_F(WaveFileChangeTest, FileCutShortAfterTheCheckReadsItsMissingSamplesAsZeros) {
    struct Case {
        const char* Why;
        WaveLayout Layout;
        off_t Length;  // what is left of the file when the conversion starts
        const char* Lines;
    } const cases[] = {
        {"16-bit, cut inside the second sample: its high byte and the rest are 0",
         LayoutOf(16, Samples16({100, -200, 50, 25})), CanonicalHeaderBytes + 3,
         "1\r\n.56\r\n0\r\n0\r\n"},
        {"8-bit, cut after the first sample: a missing byte is -128",
         LayoutOf(8, std::string("\xC0\x20\x90", 3)), CanonicalHeaderBytes + 1,
         ".5\r\n-1\r\n-1\r\n"},
        {"24-bit, every sample gone", LayoutOf(24, std::string(9, '\x7F')), CanonicalHeaderBytes,
         "0\r\n0\r\n0\r\n"},
        {"emptied altogether", LayoutOf(16, Samples16({1, 2})), 0, "0\r\n0\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Why);
        WriteWholeFile("cut.wav", BuildWave(c.Layout));
        WaveHeader header{};
        ASSERT_TRUE(CheckWaveHeader("cut.wav", header).Accepted);
        ASSERT_EQ(truncate("cut.wav", c.Length), 0);
        EXPECT_EQ(ConvertToSignalFile("cut.wav", header), ConversionOutcome::Finished);
        EXPECT_EQ(ReadWholeFile("cut.sig"), c.Lines);
    }
}

TEST_F(WaveFileChangeTest, DeletedOrReplacedFileIsStillReadThroughTheOpenChannel) {
    const std::string original = BuildWave(LayoutOf(16, Samples16({-40, 10, 20})));
    const std::string other = BuildWave(LayoutOf(16, Samples16({1, 1, 1})));

    WriteWholeFile("gone.wav", original);
    WaveHeader header{};
    ASSERT_TRUE(CheckWaveHeader("gone.wav", header).Accepted);
    ASSERT_EQ(unlink("gone.wav"), 0);
    EXPECT_EQ(ConvertToSignalFile("gone.wav", header), ConversionOutcome::Finished);
    EXPECT_EQ(ReadWholeFile("gone.sig"), "-1\r\n.25\r\n.5\r\n");
    EXPECT_NE(access("gone.wav", F_OK), 0) << "the deleted wave file came back";

    WriteWholeFile("swapped.wav", original);
    WriteWholeFile("other.wav", other);
    ASSERT_TRUE(CheckWaveHeader("swapped.wav", header).Accepted);
    ASSERT_EQ(std::rename("other.wav", "swapped.wav"), 0);
    EXPECT_EQ(ConvertToSignalFile("swapped.wav", header), ConversionOutcome::Finished);
    EXPECT_EQ(ReadWholeFile("swapped.sig"), "-1\r\n.25\r\n.5\r\n");
    EXPECT_EQ(ReadWholeFile("swapped.wav"), other) << "the new file changed";
}

}  // namespace
