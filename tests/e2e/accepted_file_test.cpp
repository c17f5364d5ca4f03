// A file that passes the header check, from typing its name to the program's end.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/e2e/program_fixture.h"
#include "tests/e2e/screen_texts.h"
#include "tests/support/wave_files.h"

namespace {

constexpr int PromptRow = 12;

const std::vector<std::string> ReportRows = {
    "         FILE DATA    Resolution   16 bits",
    "                      Sample rate  250 Hz",
    "                      Length       250 samples",
    "                      Duration     1000 milliseconds",
};

// 250 samples of 16 bits at 250 Hz (500 data bytes): -16384, -8192, 0, 8192, 16384 over
// and over, so the peak is 16384 and every quotient is exact.
std::string TakeOneWave() {
    std::vector<std::int16_t> samples;
    for (int i = 0; i < 250; ++i) samples.push_back(static_cast<std::int16_t>((i % 5 - 2) * 8192));
    WaveLayout layout;
    layout.SampleRate = 250;
    layout.BitsPerSample = 16;
    layout.BlockAlignment = 2;
    layout.Samples = Samples16(samples);
    return BuildWave(layout);
}

std::string TakeOneSignal() {
    const char* lines[] = {"-1", "-.5", "0", ".5", "1"};
    std::string text;
    for (int i = 0; i < 250; ++i) text += std::string(lines[i % 5]) + "\r\n";
    return text;
}

}  // namespace

TEST_F(ProgramTest, AcceptedFileIsReportedOnRows14To17) {
    WriteWholeFile(PathInFolder(Session, "take1.wav"), TakeOneWave());
    ASSERT_TRUE(WaitForRow(Session, PromptRow, Prompt)) << Session.Problem;
    ASSERT_TRUE(TypeLine(Session, "take1.wav")) << Session.Problem;

    ASSERT_TRUE(WaitForRow(Session, 17, ReportRows[3])) << Session.Problem;
    std::vector<std::string> rows;
    ASSERT_TRUE(CaptureRows(Session, rows)) << Session.Problem;
    std::string screen = DescribeRows(rows);
    EXPECT_EQ(rows[11], PromptWith("take1.wav")) << screen;
    EXPECT_EQ(rows[12], "") << screen;
    for (int i = 0; i < 4; ++i) EXPECT_EQ(rows[static_cast<std::size_t>(13 + i)], ReportRows[i]);

    ScreenCells cells;
    ASSERT_TRUE(CaptureCells(Session, cells)) << Session.Problem;
    for (int row = 14; row <= 17; ++row) EXPECT_EQ(CheckRowColours(cells, row, DarkGrey), "");
}

TEST_F(ProgramTest, AcceptedFileLeavesTheFinalScreenAndSignalFileAndEndsOnAKey) {
    std::string wave = TakeOneWave();
    WriteWholeFile(PathInFolder(Session, "take1.wav"), wave);
    ASSERT_TRUE(WaitForRow(Session, PromptRow, Prompt)) << Session.Problem;
    ASSERT_TRUE(TypeLine(Session, "take1.wav")) << Session.Problem;

    ASSERT_TRUE(WaitForRow(Session, 26, PressAnyKey)) << Session.Problem;
    ASSERT_TRUE(WaitForCursor(Session, 1, 27)) << Session.Problem;

    std::vector<std::string> rows;
    ASSERT_TRUE(CaptureRows(Session, rows)) << Session.Problem;
    std::vector<std::string> wanted(ScreenRows, "");
    wanted[1] = BannerTitle;
    wanted[3] = BannerPurpose;
    wanted[4] = BannerFormats;
    wanted[6] = rows[6];  // the credit line, the program's own text
    wanted[8] = BannerRule;
    wanted[11] = PromptWith("take1.wav");
    for (int i = 0; i < 4; ++i) wanted[static_cast<std::size_t>(13 + i)] = ReportRows[i];
    wanted[18] = OutputFileRow("take1.sig");
    wanted[21] = Processing;
    wanted[24] = JobFinished;
    wanted[25] = PressAnyKey;
    EXPECT_EQ(DescribeRows(rows), DescribeRows(wanted));

    ScreenCells cells;
    ASSERT_TRUE(CaptureCells(Session, cells)) << Session.Problem;
    for (int row : {14, 15, 16, 17, 19, 22, 26}) {
        EXPECT_EQ(CheckRowColours(cells, row, DarkGrey), "") << "row " << row;
    }
    EXPECT_EQ(CheckRowColours(cells, 25, Black), "");
    bool rang = false;
    ASSERT_TRUE(BellRang(Session, rang)) << Session.Problem;
    EXPECT_TRUE(rang) << "the finish rings the bell";

    ScreenCells viewed;
    ASSERT_TRUE(CaptureViewedCells(Session, viewed)) << Session.Problem;
    EXPECT_EQ(CheckWholeScreenBrightWhite(viewed), "");

    EXPECT_EQ(ReadWholeFile(PathInFolder(Session, "take1.sig")), TakeOneSignal());
    EXPECT_EQ(ReadWholeFile(PathInFolder(Session, "take1.wav")), wave) << "the input changed";

    // The key ends the program; the screen stays as it was.
    bool running = false;
    ASSERT_TRUE(ProgramRunning(Session, running)) << Session.Problem;
    ASSERT_TRUE(running) << "the program ended before the key";
    ASSERT_TRUE(SendBytes(Session, "q")) << Session.Problem;
    int status = -1;
    ASSERT_TRUE(WaitForExit(Session, status)) << Session.Problem;
    EXPECT_EQ(status, 0);
    std::vector<std::string> after;
    ASSERT_TRUE(CaptureRows(Session, after)) << Session.Problem;
    EXPECT_EQ(DescribeRows(after), DescribeRows(rows));
}
