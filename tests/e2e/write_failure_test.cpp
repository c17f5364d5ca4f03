// The disk fills while the signal file is written: the program, under a file-size limit,
// says so where "Job finished" would stand, leaves the wave file alone and still ends on a
// key with status 0.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/e2e/screen_checks.h"
#include "tests/e2e/screen_texts.h"
#include "tests/e2e/wrapped_program.h"
#include "tests/support/wave_files.h"

namespace {

const std::string SignalNotWritten = "   ERROR - The signal file could not be written";

// The shell counts the limit in blocks of 512 bytes.
constexpr int LimitBytes = 512;

// 2000 samples of 16 bits, far more lines than the limit lets through.
std::string LongWave() {
    std::vector<std::int16_t> samples;
    for (int i = 0; i < 2000; ++i) samples.push_back(static_cast<std::int16_t>(i * 7 - 7000));
    WaveLayout layout;
    layout.Samples = Samples16(samples);
    return BuildWave(layout);
}

}  // namespace

TEST_F(WrappedProgramTest, FileSizeLimitReachedWhileWritingIsShownAndNothingHangs) {
    Start("ulimit -f 1\ntrap '' XFSZ");
    const std::string wave = LongWave();
    WriteWholeFile(PathInFolder(Session, "long.wav"), wave);

    ASSERT_TRUE(WaitForRow(Session, 12, Prompt)) << Session.Problem;
    ASSERT_TRUE(SendBytes(Session, "long.wav\r")) << Session.Problem;
    ASSERT_TRUE(WaitForRow(Session, 26, PressAnyKey)) << Session.Problem;
    std::vector<std::string> rows;
    ASSERT_TRUE(CaptureRows(Session, rows)) << Session.Problem;
    EXPECT_EQ(rows[18], OutputFileRow("long.sig")) << DescribeRows(rows);
    EXPECT_EQ(rows[21], Processing) << DescribeRows(rows);
    EXPECT_EQ(rows[24], SignalNotWritten) << DescribeRows(rows);
    ScreenCells cells;
    ASSERT_TRUE(CaptureCells(Session, cells)) << Session.Problem;
    EXPECT_EQ(CheckRowColours(cells, 25, Black), "") << "shown like a refusal";

    EXPECT_EQ(ReadWholeFile(PathInFolder(Session, "long.wav")), wave) << "the input changed";
    struct stat signal {};
    ASSERT_EQ(stat(PathInFolder(Session, "long.sig").c_str(), &signal), 0);
    EXPECT_LE(signal.st_size, LimitBytes);

    ASSERT_TRUE(SendBytes(Session, " ")) << Session.Problem;
    int status = -1;
    ASSERT_TRUE(WaitForExit(Session, status)) << Session.Problem;
    EXPECT_EQ(status, 0);
}
