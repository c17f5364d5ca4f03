// Input the program cannot keep pace with: a 10,000-byte line typed in chunks, and a long
// name pasted in one burst with its Enter.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/program_fixture.h"
#include "tests/e2e/screen_texts.h"
#include "tests/support/wave_files.h"

namespace {

constexpr int LineCapacity = 10000;
constexpr std::size_t ChunkBytes = 1000;  // a tmux command of its own per chunk
// The program echoes a key a millisecond or two after the last; a 10,000-byte line takes
// it some seconds, which these rounds of bounded waits allow for.
constexpr int WaitRounds = 12;

// WaitForRow again and again while the program works through a long input.
bool WaitForRowThroughLongInput(TmuxSession& session, int row, const std::string& text) {
    for (int round = 1; round < WaitRounds; ++round) {
        if (WaitForRow(session, row, text)) return true;
    }
    return WaitForRow(session, row, text);
}

std::string SmallWave() {
    WaveLayout layout;
    layout.Samples = Samples16({8, -2, 4});
    return BuildWave(layout);
}

const std::string SmallSignal = "1\r\n-.25\r\n.5\r\n";

std::vector<std::string> FolderNames(const TmuxSession& session) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(session.Folder)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

}  // namespace

// 10,000 bytes fill the line; the five after them are dropped, which a Backspace and one
// more letter show: the line ends in that letter, right after 9,999 of the first bytes. The
// name is cut to 255 bytes for the open, names no file, and the prompt comes back.
TEST_F(ProgramTest, TenThousandByteLineIsCappedRefusedAndThePromptReturns) {
    WriteWholeFile(PathInFolder(Session, "take1.wav"), SmallWave());
    const std::vector<std::string> before = FolderNames(Session);
    ASSERT_TRUE(WaitForRow(Session, 12, Prompt)) << Session.Problem;

    const std::string typed = std::string(LineCapacity, 'a') + "ZZZZZ" + "\x7f" + "b";
    for (std::size_t at = 0; at < typed.size(); at += ChunkBytes) {
        ASSERT_TRUE(SendBytes(Session, typed.substr(at, ChunkBytes))) << Session.Problem;
    }
    // The line's 10,000th byte stands in column 65 of the bottom row: the prompt row holds
    // 28 cells before the typing, and 28 + 9,999 = 123 rows of 81 and 64 cells more.
    const std::string lastRow = std::string(64, 'a') + "b";
    ASSERT_TRUE(WaitForRowThroughLongInput(Session, ScreenRows, lastRow)) << Session.Problem;
    ASSERT_TRUE(WaitForCursor(Session, 66, ScreenRows)) << Session.Problem;

    ASSERT_TRUE(TypeLine(Session, "")) << Session.Problem;  // Enter alone
    int top = 0;
    ASSERT_TRUE(WaitForLines(Session, {lastRow, NotFound, "", Prompt}, top)) << Session.Problem;
    EXPECT_EQ(top, ScreenRows - 3);
    EXPECT_EQ(FolderNames(Session), before) << "the refused name made a file";

    // The program goes on as if nothing had happened.
    ASSERT_TRUE(TypeLine(Session, "take1.wav")) << Session.Problem;
    ASSERT_TRUE(WaitForLines(Session, {JobFinished, PressAnyKey}, top)) << Session.Problem;
    EXPECT_EQ(ReadWholeFile(PathInFolder(Session, "take1.sig")), SmallSignal);
    ASSERT_TRUE(SendBytes(Session, "q")) << Session.Problem;
    int status = -1;
    ASSERT_TRUE(WaitForExit(Session, status)) << Session.Problem;
    EXPECT_EQ(status, 0);
}

// A pasted name arrives all at once, typo, Backspace and Enter included, far faster than it
// is echoed; it wraps over three rows and its file is converted.
TEST_F(ProgramTest, PastedNameWithItsEnterIsTakenWhole) {
    const std::string name = "pasted-" + std::string(150, 'x') + ".wav";
    const std::string signal = "pasted-" + std::string(150, 'x') + ".sig";
    WriteWholeFile(PathInFolder(Session, name), SmallWave());
    ASSERT_TRUE(WaitForRow(Session, 12, Prompt)) << Session.Problem;

    const std::string pasted = "pasted-" + std::string(150, 'x') + ".wab\x7f" + "v\r";
    ASSERT_TRUE(SendBytes(Session, pasted)) << Session.Problem;
    int top = 0;
    ASSERT_TRUE(WaitForLines(Session, {JobFinished, PressAnyKey}, top)) << Session.Problem;

    // 28 cells of prompt, then the 161 bytes of the name: 53, 81 and 27 of them per row. The
    // signal name wraps too, and the last new line scrolls the screen up one row.
    const std::string announced = OutputFileRow(signal);
    ASSERT_TRUE(WaitForLines(Session,
                             {PromptWith(name.substr(0, 53)), name.substr(53, 81), name.substr(134),
                              "", "         FILE DATA    Resolution   16 bits"},
                             top))
        << Session.Problem;
    EXPECT_EQ(top, 11);
    ASSERT_TRUE(WaitForLines(Session,
                             {announced.substr(0, 81), announced.substr(81, 81),
                              announced.substr(162), "", "", Processing},
                             top))
        << Session.Problem;
    EXPECT_EQ(ReadWholeFile(PathInFolder(Session, signal)), SmallSignal);
}
