// The wave file changes behind the program's back between the header check and the
// conversion: cut short, deleted, or replaced. The conversion reads what the open channel
// still holds, missing samples as zeros, and never crashes or recreates the file.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "converter/header_check.h"
#include "converter/streamed_conversion.h"
#include "screen/conversion.h"
#include "tests/support/converter_fixture.h"

namespace {

using WaveFileChangeTest = ConverterTest;

constexpr std::size_t CanonicalHeaderBytes = 44;

TEST_F(WaveFileChangeTest, FileCutShortAfterTheCheckReadsItsMissingSamplesAsZeros) {
    struct Case {
        const char* Why;
        WaveLayout Layout;
        off_t Length;  // what is left of the file when the conversion starts
        const char* Lines;
    } const cases[] = {
        {"16-bit, cut inside the second sample: its high byte and the rest are 0",
         MonoLayout(16, Samples16({100, -200, 50, 25})), CanonicalHeaderBytes + 3,
         "1\r\n.56\r\n0\r\n0\r\n"},
        {"8-bit, cut after the first sample: a missing byte is -128",
         MonoLayout(8, std::string("\xC0\x20\x90", 3)), CanonicalHeaderBytes + 1,
         ".5\r\n-1\r\n-1\r\n"},
        {"24-bit, every sample gone", MonoLayout(24, std::string(9, '\x7F')), CanonicalHeaderBytes,
         "0\r\n0\r\n0\r\n"},
        {"emptied altogether", MonoLayout(16, Samples16({1, 2})), 0, "0\r\n0\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Why);
        WriteWholeFile("cut.wav", BuildWave(c.Layout));
        WaveHeader header{};
        ASSERT_EQ(CheckWaveHeader("cut.wav", header).Code, HeaderCode::Accepted);
        ASSERT_EQ(truncate("cut.wav", c.Length), 0);
        EXPECT_EQ(ConvertToSignalFile("cut.wav", header), ConversionOutcome::Finished);
        EXPECT_EQ(ReadWholeFile("cut.sig"), c.Lines);
    }
}

TEST_F(WaveFileChangeTest, DeletedOrReplacedFileIsStillReadThroughTheOpenChannel) {
    const std::string original = BuildWave(MonoLayout(16, Samples16({-40, 10, 20})));
    const std::string other = BuildWave(MonoLayout(16, Samples16({1, 1, 1})));

    WriteWholeFile("gone.wav", original);
    WaveHeader header{};
    ASSERT_EQ(CheckWaveHeader("gone.wav", header).Code, HeaderCode::Accepted);
    ASSERT_EQ(unlink("gone.wav"), 0);
    EXPECT_EQ(ConvertToSignalFile("gone.wav", header), ConversionOutcome::Finished);
    EXPECT_EQ(ReadWholeFile("gone.sig"), "-1\r\n.25\r\n.5\r\n");
    EXPECT_NE(access("gone.wav", F_OK), 0) << "the deleted wave file came back";

    WriteWholeFile("swapped.wav", original);
    WriteWholeFile("other.wav", other);
    ASSERT_EQ(CheckWaveHeader("swapped.wav", header).Code, HeaderCode::Accepted);
    ASSERT_EQ(std::rename("other.wav", "swapped.wav"), 0);
    EXPECT_EQ(ConvertToSignalFile("swapped.wav", header), ConversionOutcome::Finished);
    EXPECT_EQ(ReadWholeFile("swapped.sig"), "-1\r\n.25\r\n.5\r\n");
    EXPECT_EQ(ReadWholeFile("swapped.wav"), other) << "the new file changed";
}

// The streamed conversion reads the samples twice. A second pass that meets a sample above the
// first pass's peak, or a file whose size or times changed, fails the file: the old signal file
// stays and no temporary file is left.
TEST_F(WaveFileChangeTest, StreamedConversionRefusesAFileChangedBetweenThePasses) {
    struct Case {
        const char* Why;
        WaveLayout Layout;
        double FirstPeak;  // what the first pass found
        bool Append;       // bytes added to the file before the second pass
    } const cases[] = {
        {"16-bit sample above the peak", MonoLayout(16, Samples16({50, -100})), 50, false},
        {"8-bit sample above the peak", MonoLayout(8, std::string("\xB2\x00", 2)), 50, false},
        {"24-bit sample above the peak", MonoLayout(24, std::string("\x32\0\0\x64\0\0", 6)), 50,
         false},
        {"size and times changed", MonoLayout(16, Samples16({50, -100})), 100, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Why);
        WriteWholeFile("take.wav", BuildWave(c.Layout));
        WriteWholeFile("take.sig", "old\r\n");
        WaveHeader header{};
        ASSERT_EQ(CheckWaveHeader("take.wav", header).Code, HeaderCode::Accepted);
        const FileStamp before = StampChannel(1);
        ASSERT_EQ(TakeFileError(), 0);
        if (c.Append) std::ofstream("take.wav", std::ios::binary | std::ios::app) << "more";
        ConversionFailure failure;
        EXPECT_EQ(ConvertWithPeak("take.wav", header, before, c.FirstPeak, failure),
                  ConversionOutcome::ReadFailed);
        EXPECT_TRUE(failure.Changed);
        EXPECT_EQ(ReadWholeFile("take.sig"), "old\r\n");
        int files = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(".")) ++files;
        EXPECT_EQ(files, 2) << "a temporary file was left";
    }
}

// Under -c the lines before the failure went out already, which the failure tells; a failure
// before any went out tells nothing of the kind.
TEST_F(WaveFileChangeTest, StreamedConversionToStandardOutputSaysLinesWereSent) {
    std::vector<std::int16_t> samples(300000, 49);
    samples.back() = -100;
    WriteWholeFile("take.wav", BuildWave(MonoLayout(16, Samples16(samples))));
    const int output = dup(STDOUT_FILENO);
    const int nowhere = open("/dev/null", O_WRONLY);
    ASSERT_GE(nowhere, 0);
    for (const double firstPeak : {49.0, 24.5}) {
        WaveHeader header{};
        ASSERT_EQ(CheckWaveHeader("take.wav", header).Code, HeaderCode::Accepted);
        const FileStamp before = StampChannel(1);
        ConversionFailure failure;
        dup2(nowhere, STDOUT_FILENO);
        const ConversionOutcome outcome = ConvertWithPeak(
            "take.wav", header, before, firstPeak, failure, {.Path = {}, .StandardOutput = true});
        dup2(output, STDOUT_FILENO);
        EXPECT_EQ(outcome, ConversionOutcome::ReadFailed);
        EXPECT_TRUE(failure.Changed);
        EXPECT_EQ(failure.LinesSent, firstPeak == 49);
    }
    close(nowhere);
    close(output);
}

}  // namespace
