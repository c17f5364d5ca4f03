// Keys as they really arrive: typed ahead of the program, on the keypad, as sequences of keys
// the program cannot name, and names that are not ASCII.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/e2e/program_fixture.h"
#include "tests/e2e/screen_texts.h"
#include "tests/e2e/wrapped_program.h"
#include "tests/support/wave_files.h"

namespace {

constexpr int PromptRow = 12;

std::string SmallWave() {
    WaveLayout layout;
    layout.SampleRate = 8000;
    layout.BitsPerSample = 16;
    layout.BlockAlignment = 2;
    layout.Samples = Samples16({16384, -8192, 0});
    return BuildWave(layout);
}

const std::string SmallSignal = "1\r\n-.5\r\n0\r\n";

}  // namespace

// Nothing typed is thrown away: the second name waits for the prompt after the refusal and
// the last key, typed before the conversion even started, ends the final wait.
TEST_F(ProgramTest, KeysTypedAheadReachTheNextPromptAndTheFinalWait) {
    WriteWholeFile(PathInFolder(Session, "small.wav"), SmallWave());
    ASSERT_TRUE(WaitForRow(Session, PromptRow, Prompt)) << Session.Problem;
    ASSERT_TRUE(SendBytes(Session, "nope.wav\rsmall.wav\rq")) << Session.Problem;

    int status = -1;
    ASSERT_TRUE(WaitForExit(Session, status)) << Session.Problem;
    EXPECT_EQ(status, 0);

    // One refusal moves the finished job three rows down; it still fits on the screen.
    std::vector<std::string> rows;
    ASSERT_TRUE(CaptureRows(Session, rows)) << Session.Problem;
    std::string screen = DescribeRows(rows);
    EXPECT_EQ(rows[11], PromptWith("nope.wav")) << screen;
    EXPECT_EQ(rows[12], NotFound) << screen;
    EXPECT_EQ(rows[14], PromptWith("small.wav")) << screen;
    EXPECT_EQ(rows[16], "         FILE DATA    Resolution   16 bits") << screen;
    EXPECT_EQ(rows[21], OutputFileRow("small.sig")) << screen;
    EXPECT_EQ(rows[24], Processing) << screen;
    EXPECT_EQ(rows[27], JobFinished) << screen;
    EXPECT_EQ(rows[28], PressAnyKey) << screen;
    EXPECT_EQ(ReadWholeFile(PathInFolder(Session, "small.sig")), SmallSignal);
}

// A name typed in a UTF-8 terminal is the file's name on disk, byte for byte; each byte
// takes one cell, and the character is drawn legibly in the first of its two.
TEST_F(ProgramTest, NonAsciiNameReachesItsFileAndEchoesLegibly) {
    const std::string name = "caf\xC3\xA9.wav";
    WriteWholeFile(PathInFolder(Session, name), SmallWave());
    ASSERT_TRUE(WaitForRow(Session, PromptRow, Prompt)) << Session.Problem;
    ASSERT_TRUE(SendBytes(Session, name)) << Session.Problem;
    ASSERT_TRUE(WaitForCursor(Session, TypingColumn + 9, PromptRow)) << Session.Problem;

    ScreenCells cells;
    ASSERT_TRUE(CaptureCells(Session, cells)) << Session.Problem;
    EXPECT_EQ(CellAt(cells, PromptRow, TypingColumn + 2).Glyph, "f");
    EXPECT_EQ(CellAt(cells, PromptRow, TypingColumn + 3).Glyph, "\xC3\xA9");
    EXPECT_EQ(CellAt(cells, PromptRow, TypingColumn + 5).Glyph, ".");
    EXPECT_EQ(CellAt(cells, PromptRow, TypingColumn + 7).Glyph, "a");

    ASSERT_TRUE(SendBytes(Session, "\r")) << Session.Problem;
    ASSERT_TRUE(WaitForRow(Session, 26, PressAnyKey)) << Session.Problem;
    EXPECT_EQ(ReadWholeFile(PathInFolder(Session, "caf\xC3\xA9.sig")), SmallSignal);
}

// Keys typed while the program is still starting pass through the terminal's old mode, which
// turns Enter into a line feed; that line feed is still Enter.
using TypeAheadTest = WrappedProgramTest;
TEST_F(TypeAheadTest, EnterTypedBeforeTheProgramStartedEndsTheLine) {
    // The script holds the program back until the test has seen the terminal echo the keys.
    Start("i=0; while [ ! -e go ] && [ $i -lt 200 ]; do sleep 0.05; i=$((i+1)); done");
    WriteWholeFile(PathInFolder(Session, "small.wav"), SmallWave());
    ASSERT_TRUE(SendBytes(Session, "small.wav\r")) << Session.Problem;
    int echoRow = 0;
    ASSERT_TRUE(WaitForLines(Session, {"small.wav"}, echoRow)) << Session.Problem;
    WriteWholeFile(PathInFolder(Session, "go"), "");

    ASSERT_TRUE(WaitForRow(Session, 26, PressAnyKey)) << Session.Problem;
    EXPECT_EQ(ReadWholeFile(PathInFolder(Session, "small.sig")), SmallSignal);
    ASSERT_TRUE(SendBytes(Session, "q")) << Session.Problem;
    int status = -1;
    ASSERT_TRUE(WaitForExit(Session, status)) << Session.Problem;
}

// The keypad types its digits and its Enter ends the line; F13 (which rxvt sends for
// Shift+F3) adds nothing to the name but ends the final wait.
TEST_F(ProgramTest, KeypadTypesTheNameAndAnUnknownKeyEndsTheFinalWait) {
    WriteWholeFile(PathInFolder(Session, "12.wav"), SmallWave());
    ASSERT_TRUE(WaitForRow(Session, PromptRow, Prompt)) << Session.Problem;
    ASSERT_TRUE(SendKeyNames(Session, {"KP1"})) << Session.Problem;
    ASSERT_TRUE(SendBytes(Session, "\x1b[25~")) << Session.Problem;
    ASSERT_TRUE(SendKeyNames(Session, {"KP2"})) << Session.Problem;
    ASSERT_TRUE(SendBytes(Session, ".wav")) << Session.Problem;
    ASSERT_TRUE(SendKeyNames(Session, {"KPEnter"})) << Session.Problem;

    ASSERT_TRUE(WaitForRow(Session, 26, PressAnyKey)) << Session.Problem;
    std::vector<std::string> rows;
    ASSERT_TRUE(CaptureRows(Session, rows)) << Session.Problem;
    EXPECT_EQ(rows[PromptRow - 1], PromptWith("12.wav")) << DescribeRows(rows);
    EXPECT_EQ(ReadWholeFile(PathInFolder(Session, "12.sig")), SmallSignal);

    ASSERT_TRUE(SendBytes(Session, "\x1b[25~")) << Session.Problem;
    int status = -1;
    ASSERT_TRUE(WaitForExit(Session, status)) << Session.Problem;
    EXPECT_EQ(status, 0);
}
