#include "screen/conversion.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

#include "converter/header_check.h"
#include "converter/signal_line.h"
#include "screen/screen_script.h"
#include "tests/support/converter_fixture.h"

namespace {

using ConversionTest = ConverterTest;

// Checks the file, converts it and returns the outcome; the test reads the signal file.
ConversionOutcome Convert(const std::string& name, const WaveLayout& layout) {
    WriteWholeFile(name, BuildWave(layout));
    WaveHeader header{};
    HeaderVerdict verdict = CheckWaveHeader(name, header);
    EXPECT_EQ(verdict.Code, HeaderCode::Accepted);
    if (verdict.Code != HeaderCode::Accepted) return ConversionOutcome::ReadFailed;
    return ConvertToSignalFile(name, header);
}

// Converts the wave file in a child process whose files may not grow past limit bytes; true
// when the conversion there reported its failing write.
bool WriteFailsUnderFileSizeLimit(const std::string& name, rlim_t limit) {
    pid_t child = fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit fileSize{limit, limit};
        setrlimit(RLIMIT_FSIZE, &fileSize);
        WaveHeader header{};
        if (CheckWaveHeader(name, header).Code != HeaderCode::Accepted) _exit(2);
        _exit(ConvertToSignalFile(name, header) == ConversionOutcome::WriteFailed ? 0 : 1);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

TEST_F(ConversionTest, WritesEachSampleOverThePeakOneLineEach) {
    struct Case {
        const char* Why;
        WaveLayout Layout;
        const char* Lines;
    } const cases[] = {
        {"8-bit offset by 128", MonoLayout(8, std::string("\x00\x80\xFF", 3)),
         "-1\r\n0\r\n.9921875\r\n"},
        {"16-bit most negative is the peak", MonoLayout(16, Samples16({-32768, 16384, 0})),
         "-1\r\n.5\r\n0\r\n"},
        {"24-bit 00 00 80 is the most negative",
         MonoLayout(24, std::string("\x00\x00\x80\x00\x00\x40", 6)), "-1\r\n.5\r\n"},
        {"24-bit FF FF 7F and FF FF FF", MonoLayout(24, std::string("\xFF\xFF\x7F\xFF\xFF\xFF", 6)),
         "1\r\n-1.19209303761638E-7\r\n"},
        {"all zero: every quotient is 0 / 0", MonoLayout(16, Samples16({0, 0, 0})),
         "0\r\n0\r\n0\r\n"},
        {"first line is the first sample", MonoLayout(16, Samples16({1, 3, -2})),
         ".333333333333333\r\n1\r\n-.666666666666667\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Why);
        EXPECT_EQ(Convert("take1.wav", c.Layout), ConversionOutcome::Finished);
        EXPECT_EQ(ReadWholeFile("take1.sig"), c.Lines);
    }
}

// Samples -32768, then steps of 257 up the 16-bit range, so no two lines are alike; and the
// signal file those samples must give, line by line.
std::vector<std::int16_t> Staircase(int count) {
    std::vector<std::int16_t> samples;
    for (int i = 0; i < count; ++i) samples.push_back(static_cast<std::int16_t>(-32768 + 257 * i));
    return samples;
}

std::string ExpectedLines(const std::vector<std::int16_t>& samples) {
    const ExtendedDivisor peak = SignalDivisor(32768);
    std::string lines;
    for (std::int16_t sample : samples) {
        lines += SignalLine(sample, peak).View();
        lines += "\r\n";
    }
    return lines;
}

// The lines are made some hundreds at a time before they are written: every count around
// those edges writes each line once, in order, and a write that fails partway through a later
// batch leaves exactly the bytes that fitted.
TEST_F(ConversionTest, LinesAcrossBatchEdgesAreWrittenOnceInOrder) {
    for (int count : {1, 255, 256, 257, 511, 512, 513, 700}) {
        SCOPED_TRACE(count);
        const std::vector<std::int16_t> samples = Staircase(count);
        EXPECT_EQ(Convert("steps.wav", MonoLayout(16, Samples16(samples))),
                  ConversionOutcome::Finished);
        EXPECT_EQ(ReadWholeFile("steps.sig"), ExpectedLines(samples));
    }

    const std::vector<std::int16_t> samples = Staircase(700);
    const std::string expected = ExpectedLines(samples);
    const std::size_t limit = expected.size() * 3 / 4 + 1;  // inside the last batch, mid-line
    WriteWholeFile("cut.wav", BuildWave(MonoLayout(16, Samples16(samples))));
    EXPECT_TRUE(WriteFailsUnderFileSizeLimit("cut.wav", limit));
    EXPECT_EQ(ReadWholeFile("cut.sig"), expected.substr(0, limit));
}

TEST_F(ConversionTest, NoSamplesGiveAnEmptySignalFile) {
    WaveLayout empty = MonoLayout(16, "");
    WaveLayout negative = MonoLayout(16, Samples16({1, 2}));
    negative.OwnDataSize = true;
    negative.DataSize = -4;
    for (const WaveLayout& layout : {empty, negative}) {
        WriteWholeFile("none.sig", "old contents");
        EXPECT_EQ(Convert("none.wav", layout), ConversionOutcome::Finished);
        EXPECT_EQ(ReadWholeFile("none.sig"), "");
    }
}

TEST_F(ConversionTest, MissingSampleBytesReadAsZero) {
    WaveLayout sixteen = MonoLayout(16, Samples16({100, -50}));
    sixteen.OwnDataSize = true;
    sixteen.DataSize = 8;  // four samples promised, two present
    EXPECT_EQ(Convert("short.wav", sixteen), ConversionOutcome::Finished);
    EXPECT_EQ(ReadWholeFile("short.sig"), "1\r\n-.5\r\n0\r\n0\r\n");

    WaveLayout eight = MonoLayout(8, std::string("\xC0", 1));
    eight.OwnDataSize = true;
    eight.DataSize = 2;  // the missing byte is 0, that is -128
    EXPECT_EQ(Convert("short8.wav", eight), ConversionOutcome::Finished);
    EXPECT_EQ(ReadWholeFile("short8.sig"), ".5\r\n-1\r\n");
}

TEST_F(ConversionTest, ConvertsTheRealDataBehindAListChunk) {
    WaveLayout layout = MonoLayout(16, Samples16({2, -4}));
    layout.ChunksBeforeData = Chunk("LIST", "INFOISFTsome tool 1.0");
    EXPECT_EQ(Convert("tagged.wav", layout), ConversionOutcome::Finished);
    EXPECT_EQ(ReadWholeFile("tagged.sig"), ".5\r\n-1\r\n");
}

TEST_F(ConversionTest, SignalNameReplacesTheLastThreeBytes) {
    struct Case {
        const char* Wave;
        const char* Signal;
    } const cases[] = {{"take1.wav", "take1.sig"},
                       {"take1", "tasig"},
                       {"abc", "sig"},
                       {"ab", "absig"},
                       {"a", "asig"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Wave);
        EXPECT_EQ(SignalFileName(c.Wave), c.Signal);
        EXPECT_EQ(Convert(c.Wave, MonoLayout(16, Samples16({7}))), ConversionOutcome::Finished);
        EXPECT_EQ(ReadWholeFile(c.Signal), "1\r\n");
    }
}

TEST_F(ConversionTest, AnnouncesTheSignalFileAndProcessing) {
    WriteWholeFile("take1.wav", BuildWave(MonoLayout(16, Samples16({1}))));
    WaveHeader header{};
    ASSERT_EQ(CheckWaveHeader("take1.wav", header).Code, HeaderCode::Accepted);
    PlaceCursor(1, 18);
    AnnounceSignalFile(SignalFileName("take1.wav"));
    ConvertToSignalFile("take1.wav", header);
    EXPECT_EQ(Row(17), "");
    EXPECT_EQ(Row(18), "         Output file will be saved as take1.sig");
    EXPECT_EQ(Row(21), "   Processing...");
    EXPECT_EQ(CursorPosition().Y, 24);
}

// Arrays beyond 32 bits of bytes: nothing is read and the old signal file stays.
TEST_F(ConversionTest, TooLargeAFileLeavesTheSignalFileAlone) {
    WaveLayout layout = MonoLayout(16, Samples16({1, 2}));
    layout.OwnDataSize = true;
    layout.DataSize = 0x7FFFFFF0;
    WriteWholeFile("big.sig", "keep me");
    EXPECT_EQ(Convert("big.wav", layout), ConversionOutcome::TooLarge);
    EXPECT_EQ(ReadWholeFile("big.sig"), "keep me");
}

TEST_F(ConversionTest, SignalFileThatCannotBeWrittenIsReported) {
    const WaveLayout layout = MonoLayout(16, Samples16({1, 2, 3}));
    ASSERT_EQ(mkdir("folder.sig", 0755), 0);
    EXPECT_EQ(Convert("folder.wav", layout), ConversionOutcome::WriteFailed);

    ASSERT_EQ(symlink("/dev/full", "full.sig"), 0);
    EXPECT_EQ(Convert("full.wav", layout), ConversionOutcome::WriteFailed);
}

TEST_F(ConversionTest, FileSizeLimitDuringTheWriteIsReported) {
    WriteWholeFile("limited.wav",
                   BuildWave(MonoLayout(16, Samples16(std::vector<std::int16_t>(500, 9)))));
    EXPECT_TRUE(WriteFailsUnderFileSizeLimit("limited.wav", 100));
}

// Permission bits do not stop root, so a run as root meets the read-only file as the
// unprivileged user.
TEST_F(ConversionTest, ReadOnlySignalFileIsReportedAndKept) {
    WriteWholeFile("guarded.wav", BuildWave(MonoLayout(16, Samples16({1, 2}))));
    WriteWholeFile("guarded.sig", "keep me");
    ASSERT_EQ(chmod("guarded.sig", 0444), 0);
    ASSERT_EQ(chmod(".", 0777), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (!DropToUnprivilegedUser()) _exit(3);
        WaveHeader header{};
        if (CheckWaveHeader("guarded.wav", header).Code != HeaderCode::Accepted) _exit(2);
        _exit(ConvertToSignalFile("guarded.wav", header) == ConversionOutcome::WriteFailed ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadWholeFile("guarded.sig"), "keep me");
}

}  // namespace
