// The screen from start-up through the prompt loop, driven by keys as a person types them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/program_fixture.h"
#include "tests/e2e/screen_texts.h"

namespace {

constexpr char Enter = '\r';
constexpr char Backspace = 0x7F;
constexpr int PromptRow = 12;

// The k-th name that is refused, "f1", "f2", ... (appended: GCC 12 at -O3 warns falsely,
// -Wrestrict, on "f" + string).
std::string RefusedName(int k) {
    std::string name = "f";
    name += std::to_string(k);
    return name;
}

}  // namespace

TEST_F(ProgramTest, BannerAndPromptStandInTheirRowsAndColours) {
    ASSERT_TRUE(WaitForRow(Session, PromptRow, Prompt)) << Session.Problem;
    ASSERT_TRUE(WaitForCursor(Session, TypingColumn, PromptRow)) << Session.Problem;

    std::vector<std::string> rows;
    ASSERT_TRUE(CaptureRows(Session, rows)) << Session.Problem;
    std::string screen = DescribeRows(rows);
    EXPECT_EQ(rows[1], BannerTitle) << screen;
    EXPECT_EQ(rows[3], BannerPurpose) << screen;
    EXPECT_EQ(rows[4], BannerFormats) << screen;
    EXPECT_EQ(rows[8], BannerRule) << screen;
    // The credit line's words are the program's own; its length is fixed.
    EXPECT_EQ(rows[6].size(), 62u) << screen;
    for (int blank : {1, 3, 6, 8, 10, 11}) {
        EXPECT_EQ(rows[static_cast<std::size_t>(blank - 1)], "") << "row " << blank << "\n"
                                                                 << screen;
    }
    for (int row = PromptRow + 1; row <= ScreenRows; ++row) {
        EXPECT_EQ(rows[static_cast<std::size_t>(row - 1)], "") << "row " << row << "\n" << screen;
    }

    ScreenCells cells;
    ASSERT_TRUE(CaptureCells(Session, cells)) << Session.Problem;
    for (int row : {2, 4, 5}) EXPECT_EQ(CheckRowColours(cells, row, Black), "") << screen;
    for (int row : {7, 9, PromptRow}) EXPECT_EQ(CheckRowColours(cells, row, DarkGrey), "");

    // Before the viewer looks: looking clears the bell flag.
    bool rang = true;
    ASSERT_TRUE(BellRang(Session, rang)) << Session.Problem;
    EXPECT_FALSE(rang) << "nothing should ring before the first refusal";

    ScreenCells viewed;
    ASSERT_TRUE(CaptureViewedCells(Session, viewed)) << Session.Problem;
    EXPECT_EQ(CheckWholeScreenBrightWhite(viewed), "");

    std::string title;
    ASSERT_TRUE(PaneFormat(Session, "#{pane_title}", title)) << Session.Problem;
    EXPECT_EQ(title, "Norvistrand");
}

TEST_F(ProgramTest, TypedNameIsEchoedInBlackFromColumn29AndBackspaceErases) {
    ASSERT_TRUE(WaitForRow(Session, PromptRow, Prompt)) << Session.Problem;

    ASSERT_TRUE(SendBytes(Session, "abx")) << Session.Problem;
    ASSERT_TRUE(WaitForRow(Session, PromptRow, PromptWith("abx"))) << Session.Problem;
    std::string cursorShown;
    ASSERT_TRUE(PaneFormat(Session, "#{cursor_flag}", cursorShown)) << Session.Problem;
    EXPECT_EQ(cursorShown, "1") << "the cursor shows while a name is typed";
    ASSERT_TRUE(SendBytes(Session, std::string(1, Backspace))) << Session.Problem;
    ASSERT_TRUE(WaitForRow(Session, PromptRow, PromptWith("ab"))) << Session.Problem;
    EXPECT_TRUE(WaitForCursor(Session, TypingColumn + 2, PromptRow)) << Session.Problem;
    ASSERT_TRUE(SendBytes(Session, "c")) << Session.Problem;
    ASSERT_TRUE(WaitForRow(Session, PromptRow, PromptWith("abc"))) << Session.Problem;
    EXPECT_TRUE(WaitForCursor(Session, TypingColumn + 3, PromptRow)) << Session.Problem;

    ScreenCells cells;
    ASSERT_TRUE(CaptureCells(Session, cells)) << Session.Problem;
    EXPECT_EQ(CellAt(cells, PromptRow, TypingColumn).Glyph, "a");
    for (int column = TypingColumn; column < TypingColumn + 3; ++column) {
        const ScreenCell& cell = CellAt(cells, PromptRow, column);
        EXPECT_EQ(cell.Foreground, Black) << "column " << column;
        EXPECT_EQ(cell.Background, BrightWhiteBackground) << "column " << column;
    }
    for (int column = 1; column < TypingColumn; ++column) {
        const ScreenCell& cell = CellAt(cells, PromptRow, column);
        if (cell.Glyph != " ") {
            EXPECT_EQ(cell.Foreground, DarkGrey) << "column " << column;
        }
    }
}

TEST_F(ProgramTest, MissingFileIsRefusedInBlackAndThePromptReturnsTwoRowsBelow) {
    ASSERT_TRUE(WaitForRow(Session, PromptRow, Prompt)) << Session.Problem;
    ASSERT_TRUE(TypeLine(Session, "missing.wav")) << Session.Problem;

    ASSERT_TRUE(WaitForRow(Session, PromptRow + 3, Prompt)) << Session.Problem;
    ASSERT_TRUE(WaitForCursor(Session, TypingColumn, PromptRow + 3)) << Session.Problem;
    std::vector<std::string> rows;
    ASSERT_TRUE(CaptureRows(Session, rows)) << Session.Problem;
    std::string screen = DescribeRows(rows);
    EXPECT_EQ(rows[11], PromptWith("missing.wav")) << screen;
    EXPECT_EQ(rows[12], NotFound) << screen;
    EXPECT_EQ(rows[13], "") << screen;
    for (int row = PromptRow + 4; row <= ScreenRows; ++row) {
        EXPECT_EQ(rows[static_cast<std::size_t>(row - 1)], "") << "row " << row << "\n" << screen;
    }

    ScreenCells cells;
    ASSERT_TRUE(CaptureCells(Session, cells)) << Session.Problem;
    EXPECT_EQ(CheckRowColours(cells, PromptRow + 1, Black), "");
    EXPECT_EQ(CheckRowColours(cells, PromptRow + 3, DarkGrey), "");

    bool rang = false;
    ASSERT_TRUE(BellRang(Session, rang)) << Session.Problem;
    EXPECT_TRUE(rang) << "a refusal rings the bell";

    ScreenCells viewed;
    ASSERT_TRUE(CaptureViewedCells(Session, viewed)) << Session.Problem;
    EXPECT_EQ(CheckWholeScreenBrightWhite(viewed), "");
}

TEST_F(ProgramTest, EmptyLineIsRefusedAsNotFound) {
    ASSERT_TRUE(WaitForRow(Session, PromptRow, Prompt)) << Session.Problem;
    ASSERT_TRUE(SendBytes(Session, std::string(1, Enter))) << Session.Problem;
    int top = 0;
    ASSERT_TRUE(WaitForLines(Session, {Prompt, NotFound, "", Prompt}, top)) << Session.Problem;
    EXPECT_EQ(top, PromptRow);
    EXPECT_TRUE(WaitForCursor(Session, TypingColumn, PromptRow + 3)) << Session.Problem;
}

// In raw mode Ctrl+C, Ctrl+Z and Ctrl+\ are characters, not signals; the line input ignores
// them and Tab, and echoes nothing for them.
TEST_F(ProgramTest, ControlKeysNeitherEndTheProgramNorEcho) {
    ASSERT_TRUE(WaitForRow(Session, PromptRow, Prompt)) << Session.Problem;
    ASSERT_TRUE(SendBytes(Session, "\x03")) << Session.Problem;
    ASSERT_TRUE(SendBytes(Session, "\x1A\x1C\t")) << Session.Problem;
    ASSERT_TRUE(SendBytes(Session, "x")) << Session.Problem;
    ASSERT_TRUE(WaitForRow(Session, PromptRow, PromptWith("x"))) << Session.Problem;

    bool running = false;
    ASSERT_TRUE(ProgramRunning(Session, running)) << Session.Problem;
    EXPECT_TRUE(running);

    ASSERT_TRUE(SendBytes(Session, std::string(1, Enter))) << Session.Problem;
    int top = 0;
    ASSERT_TRUE(WaitForLines(Session, {PromptWith("x"), NotFound, "", Prompt}, top))
        << Session.Problem;
    EXPECT_EQ(top, PromptRow);
}

// Each refusal takes three rows. Six fit below the banner; from the seventh on the screen
// scrolls three rows per refusal, so after nine the banner has gone off the top and the
// first prompt stands on row 3.
TEST_F(ProgramTest, ScreenScrollsAfterEnoughRefusalsAndStaysBrightWhite) {
    ASSERT_TRUE(WaitForRow(Session, PromptRow, Prompt)) << Session.Problem;
    constexpr int Refusals = 9;
    for (int k = 1; k <= Refusals; ++k) {
        const std::string name = RefusedName(k);
        ASSERT_TRUE(TypeLine(Session, name)) << Session.Problem;
        int top = 0;
        ASSERT_TRUE(WaitForLines(Session, {PromptWith(name), NotFound, "", Prompt}, top))
            << "refusal " << k << ": " << Session.Problem;
        int wantedTop = k <= 6 ? PromptRow + 3 * (k - 1) : ScreenRows - 3;
        EXPECT_EQ(top, wantedTop) << "refusal " << k;
        ASSERT_TRUE(WaitForCursor(Session, TypingColumn, top + 3)) << Session.Problem;
    }

    std::vector<std::string> wanted(ScreenRows, "");
    for (int k = 1; k <= Refusals; ++k) {
        wanted[static_cast<std::size_t>(3 * k - 1)] = PromptWith(RefusedName(k));
        wanted[static_cast<std::size_t>(3 * k)] = NotFound;
    }
    wanted[ScreenRows - 1] = Prompt;
    std::vector<std::string> rows;
    ASSERT_TRUE(CaptureRows(Session, rows)) << Session.Problem;
    EXPECT_EQ(DescribeRows(rows), DescribeRows(wanted));

    ScreenCells cells;
    ASSERT_TRUE(CaptureCells(Session, cells)) << Session.Problem;
    for (int k = 1; k <= Refusals; ++k) {
        EXPECT_EQ(CheckRowColours(cells, 3 * k + 1, Black), "") << "message " << k;
    }
    EXPECT_EQ(CheckRowColours(cells, ScreenRows, DarkGrey), "");

    // The rows that the scrolls freed take the colour current at the time: bright white.
    ScreenCells viewed;
    ASSERT_TRUE(CaptureViewedCells(Session, viewed)) << Session.Problem;
    EXPECT_EQ(CheckWholeScreenBrightWhite(viewed), "");
}
