// The screen operations on the in-memory console: which cell gets which byte and colour,
// where the cursor ends, and when the screen scrolls.
#include "console/screen.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/console/console_checks.h"

namespace {

using namespace console_checks;

TEST(StartUp, TakesTheConsolesCursorAndTheStartColourAndDrawsNothing) {
    platform::ResetConsole(10, 4);
    PrepareConsole();
    const TextConsole& state = ConsoleModuleState();
    EXPECT_EQ(state.SavedCursor.Size, 25u);
    EXPECT_NE(state.SavedCursor.Visible, 0u);
    EXPECT_EQ(state.CurrentColour.Foreground, 7u);
    EXPECT_EQ(state.CurrentColour.Background, 0u);
    EXPECT_EQ(state.PendingWrap, 0);
    EXPECT_EQ(state.CursorOverridden, 0u);
    EXPECT_NE(state.KeyboardHandle, nullptr);
    EXPECT_EQ(AttributeAt(0, 0), 0x07);
}

TEST(StartUp, ACursorOfSizeZeroBecomesAVisibleTenPercentCursor) {
    platform::ResetConsole(10, 4);
    platform::TheConsole().CursorLook = platform::CursorInfo{0, false};
    PrepareConsole();
    EXPECT_EQ(ConsoleModuleState().SavedCursor.Size, 10u);
    EXPECT_NE(ConsoleModuleState().SavedCursor.Visible, 0u);
    EXPECT_EQ(platform::TheConsole().CursorLook.Size, 10u);
    EXPECT_TRUE(platform::TheConsole().CursorLook.Visible);
}

TEST(WriteText, WrapsAtTheRightEdgeInTheSameColour) {
    StartConsole(10, 4);
    PlaceCursor(8, 1);
    WriteText("abcde");
    EXPECT_EQ(RowText(0), "       abc");
    EXPECT_EQ(RowText(1), Padded("de"));
    EXPECT_EQ(CursorPlace(), (Place{2, 1}));
    for (Place cell : {Place{7, 0}, Place{9, 0}, Place{0, 1}, Place{1, 1}}) {
        EXPECT_EQ(AttributeAt(cell.Column, cell.Row), BlackOnWhite) << cell;
    }
}

TEST(WriteText, AFullRowAboveTheBottomLeavesTheCursorOnTheNextRowAndNewLineSkipsOne) {
    StartConsole(10, 4);
    PlaceCursor(1, 2);
    WriteText("0123456789");
    EXPECT_EQ(CursorPlace(), (Place{0, 2}));
    EXPECT_FALSE(WrapOwed());
    NewLine();
    EXPECT_EQ(CursorPlace(), (Place{0, 3}));
    EXPECT_EQ(RowText(1), "0123456789");
    EXPECT_EQ(RowText(2), Padded(""));
}

// The bottom row of a 10 by 4 screen filled to its last cell, with "top" on the top row.
void FillBottomRow() {
    StartConsole(10, 4);
    WriteText("top");
    PlaceCursor(1, 4);
    WriteText("0123456789");
}

TEST(BottomRightCell, AWriteEndingThereScrollsNothingYet) {
    FillBottomRow();
    EXPECT_EQ(RowText(0), Padded("top"));
    EXPECT_EQ(RowText(3), "0123456789");
    EXPECT_EQ(CursorPlace(), (Place{0, 3}));
    EXPECT_TRUE(WrapOwed());
}

TEST(BottomRightCell, TheNextWriteScrollsOnceAndWritesOnTheFreshRow) {
    FillBottomRow();
    WriteText("x");
    EXPECT_EQ(RowText(0), Padded(""));
    EXPECT_EQ(RowText(2), "0123456789");
    EXPECT_EQ(RowText(3), Padded("x"));
    EXPECT_EQ(CursorPlace(), (Place{1, 3}));
    EXPECT_FALSE(WrapOwed());
}

TEST(BottomRightCell, ANewLineScrollsTwiceLeavingAnEmptyRowBelowTheText) {
    FillBottomRow();
    NewLine();
    EXPECT_EQ(RowText(1), "0123456789");
    EXPECT_EQ(RowText(2), Padded(""));
    EXPECT_EQ(RowText(3), Padded(""));
    EXPECT_EQ(CursorPlace(), (Place{0, 3}));
    EXPECT_FALSE(WrapOwed());
}

TEST(BottomRightCell, AnEmptyWriteChangesNothingAndTheScrollStaysOwed) {
    FillBottomRow();
    WriteText("");
    EXPECT_EQ(RowText(0), Padded("top"));
    EXPECT_EQ(CursorPlace(), (Place{0, 3}));
    EXPECT_TRUE(WrapOwed());
}

TEST(WriteText, ALongTextOnTheBottomRowScrollsBeforeEachFurtherRowSegment) {
    StartConsole(10, 4);
    PlaceCursor(1, 4);
    WriteText("abcdefghijklmnopqrstuvwxy");
    EXPECT_EQ(RowText(0), Padded(""));
    EXPECT_EQ(RowText(1), "abcdefghij");
    EXPECT_EQ(RowText(2), "klmnopqrst");
    EXPECT_EQ(RowText(3), Padded("uvwxy"));
    EXPECT_EQ(CursorPlace(), (Place{5, 3}));
}

TEST(Scroll, TheFreedBottomRowTakesTheColourCurrentAtTheScroll) {
    StartConsole(10, 4);
    PlaceCursor(1, 4);
    WriteText("abc");
    SetColour(8, 15, 0);
    NewLine();
    EXPECT_EQ(RowText(2), Padded("abc"));
    EXPECT_EQ(AttributeAt(0, 2), BlackOnWhite);
    EXPECT_EQ(AttributeAt(9, 2), BlackOnWhite);
    EXPECT_EQ(RowText(3), Padded(""));
    for (int column = 0; column < 10; ++column) {
        EXPECT_EQ(AttributeAt(column, 3), GreyOnWhite) << "column " << column;
    }
}

TEST(WriteText, ControlBytesAreDrawnAsGlyphsOneCellEach) {
    StartConsole(20, 4);
    const std::string bytes("a\r\n\t\b\a\0\x1b\x7f\xff", 10);
    WriteText(bytes);
    EXPECT_EQ(RowText(0), Padded(bytes));
    EXPECT_EQ(CursorPlace(), (Place{10, 0}));
    EXPECT_EQ(platform::TheConsole().BellsRung, 0u);
    WriteCharacter('\n');
    EXPECT_EQ(CellAt(10, 0).Char, '\n');
    EXPECT_EQ(CursorPlace(), (Place{11, 0}));
}

struct ZoneCase {
    const char* Name;
    int StartColumn;
    Place End;
};

TEST(NextPrintZone, WritesBlanksInTheCurrentColourUpToTheNextZone) {
    const ZoneCase cases[] = {
        {"at a zone's start a whole zone", 0, {14, 0}},
        {"after the 21-character prompt", 21, {28, 0}},
        {"at the second zone's start", 14, {28, 0}},
        {"near the right edge the blanks wrap", 77, {3, 1}},
    };
    for (const ZoneCase& c : cases) {
        SCOPED_TRACE(c.Name);
        StartConsole(81, 30);
        WriteText(std::string(static_cast<std::size_t>(c.StartColumn), 'X'));
        SetColour(1, 15, 0);
        NextPrintZone();
        EXPECT_EQ(CursorPlace(), c.End);
        int column = c.StartColumn;
        int row = 0;
        while (Place{column, row} != c.End) {
            EXPECT_EQ(CellAt(column, row).Char, ' ') << Place{column, row};
            EXPECT_EQ(AttributeAt(column, row), 0xF1) << Place{column, row};
            if (++column == 81) {
                column = 0;
                ++row;
            }
        }
        EXPECT_EQ(AttributeAt(c.End.Column, c.End.Row), BlackOnWhite);
    }
}

struct PlaceCase {
    const char* Name;
    int Column;  // from 1, as given
    int Row;
    Place Expected;
};

TEST(PlaceCursor, KeepsThePresentColumnOrRowForAnArgumentOutsideTheScreen) {
    const PlaceCase cases[] = {
        {"inside", 10, 4, {9, 3}},         {"top-left", 1, 1, {0, 0}},
        {"column 0", 0, 2, {4, 1}},        {"column past the width", 11, 2, {4, 1}},
        {"row 0", 3, 0, {2, 2}},           {"row past the height", 3, 5, {2, 2}},
        {"both negative", -1, -1, {4, 2}},
    };
    for (const PlaceCase& c : cases) {
        SCOPED_TRACE(c.Name);
        StartConsole(10, 4);
        PlaceCursor(5, 3);
        PlaceCursor(c.Column, c.Row);
        EXPECT_EQ(CursorPlace(), c.Expected);
    }
}

TEST(PlaceCursor, OutOfRangeStillClearsTheOwedScroll) {
    FillBottomRow();
    PlaceCursor(0, 0);
    EXPECT_EQ(CursorPlace(), (Place{0, 3}));
    EXPECT_FALSE(WrapOwed());
    WriteText("x");
    EXPECT_EQ(RowText(3), "x123456789");
}

TEST(ClearScreen, BlanksTheWholeBufferInTheCurrentColourAndHomesTheCursor) {
    StartConsole(10, 6);
    // A window smaller than the buffer: the rows below it must be blanked too.
    ASSERT_TRUE(platform::SetConsoleWindowInfo(nullptr, true, platform::SmallRect{0, 0, 9, 2}));
    for (int i = 0; i < 5; ++i) WriteText("0123456789");
    WriteText("abcdefghij");  // fills the bottom row: a scroll is owed
    ASSERT_TRUE(WrapOwed());
    SetColour(8, 15, 0);
    ClearScreen();
    for (int row = 0; row < 6; ++row) {
        EXPECT_EQ(RowText(row), Padded("")) << "row " << row;
        for (int column = 0; column < 10; ++column) {
            EXPECT_EQ(AttributeAt(column, row), GreyOnWhite) << Place{column, row};
        }
    }
    EXPECT_EQ(CursorPlace(), (Place{0, 0}));
    EXPECT_FALSE(WrapOwed());
    EXPECT_EQ(ConsoleModuleState().CursorOverridden, 0u);
    EXPECT_EQ(platform::TheConsole().CursorLook.Size, 25u);
    EXPECT_TRUE(platform::TheConsole().CursorLook.Visible);
}

TEST(ClearScreen, LeavesAHiddenCursorHidden) {
    platform::ResetConsole(10, 4);
    platform::TheConsole().CursorLook = platform::CursorInfo{40, false};
    PrepareConsole();
    ClearScreen();
    EXPECT_EQ(platform::TheConsole().CursorLook.Size, 40u);
    EXPECT_FALSE(platform::TheConsole().CursorLook.Visible);
}

struct ColourCase {
    const char* Name;
    std::uint32_t Foreground;
    std::uint32_t Background;
    std::uint8_t Expected;  // starting from black on bright white
};

TEST(SetColour, AColourNumberOf16OrMoreKeepsThatComponent) {
    const ColourCase cases[] = {
        {"both in range", 8, 15, 0xF8},
        {"foreground 16", 16, 1, 0x10},
        {"background 16", 8, 16, 0xF8},
        {"negative ones", static_cast<std::uint32_t>(-1), static_cast<std::uint32_t>(-1), 0xF0},
        {"highest numbers", 15, 15, 0xFF},
    };
    for (const ColourCase& c : cases) {
        SCOPED_TRACE(c.Name);
        StartConsole(10, 4);
        SetColour(c.Foreground, c.Background, 0);
        const ConsoleColour colour = ConsoleModuleState().CurrentColour;
        EXPECT_EQ(colour.Background * 16 + colour.Foreground, c.Expected);
        EXPECT_EQ(platform::TheConsole().TextAttribute, c.Expected);
        WriteText("a");
        EXPECT_EQ(AttributeAt(0, 0), c.Expected);
    }
}

TEST(SetColour, RecolourCountZeroLeavesEveryCellAlone) {
    StartConsole(10, 4);
    WriteText("abc");
    SetColour(8, 15, 0);
    EXPECT_EQ(RowText(0), Padded("abc"));
    for (int column = 0; column < 10; ++column) EXPECT_EQ(AttributeAt(column, 0), BlackOnWhite);
    WriteText("d");
    EXPECT_EQ(AttributeAt(3, 0), GreyOnWhite);
}

TEST(SetColour, RecoloursCellsRowAfterRowFromTheCursorLeavingTheirCharacters) {
    StartConsole(10, 4);
    PlaceCursor(9, 1);
    WriteText("abcd");
    PlaceCursor(9, 1);
    SetColour(8, 15, 4);
    EXPECT_EQ(RowText(0), Padded("        ab"));
    EXPECT_EQ(RowText(1), Padded("cd"));
    EXPECT_EQ(AttributeAt(7, 0), BlackOnWhite);
    for (Place cell : {Place{8, 0}, Place{9, 0}, Place{0, 1}, Place{1, 1}}) {
        EXPECT_EQ(AttributeAt(cell.Column, cell.Row), GreyOnWhite) << cell;
    }
    EXPECT_EQ(AttributeAt(2, 1), BlackOnWhite);
    EXPECT_EQ(CursorPlace(), (Place{8, 0}));
}

TEST(SetColour, NeitherMovesTheCursorNorPaysAnOwedScroll) {
    FillBottomRow();
    SetColour(8, 15, 0);
    EXPECT_EQ(CursorPlace(), (Place{0, 3}));
    EXPECT_TRUE(WrapOwed());
}

TEST(SetScreenSize, From80By300To81By30GrowsTheWidthFirstThenCutsToTheWindow) {
    // The window is the whole 300-row buffer, so cutting the buffer before the window has
    // shrunk would be refused.
    StartConsole(80, 300);
    WriteText("abc");
    PlaceCursor(5, 2);
    SetScreenSize(81, 30);
    const platform::ConsoleState& console = platform::TheConsole();
    EXPECT_EQ(console.Size.X, 81);
    EXPECT_EQ(console.Size.Y, 30);
    EXPECT_EQ(console.Cells.size(), 81u * 30u);
    EXPECT_EQ(console.Window.Left, 0);
    EXPECT_EQ(console.Window.Top, 0);
    EXPECT_EQ(console.Window.Right, 80);
    EXPECT_EQ(console.Window.Bottom, 29);
    EXPECT_EQ(RowText(0), Padded("abc"));
    EXPECT_EQ(CursorPlace(), (Place{4, 1}));
}

TEST(SetScreenSize, ShrinksAWiderAndTallerScreen) {
    StartConsole(120, 50);
    SetScreenSize(81, 30);
    EXPECT_EQ(platform::TheConsole().Size.X, 81);
    EXPECT_EQ(platform::TheConsole().Size.Y, 30);
    EXPECT_EQ(platform::TheConsole().Window.Right, 80);
    EXPECT_EQ(platform::TheConsole().Window.Bottom, 29);
}

TEST(SetScreenSize, ADimensionAbove9999IsIgnoredEntirely) {
    StartConsole(80, 25);
    SetScreenSize(81, 10000);
    SetScreenSize(10000, 30);
    EXPECT_EQ(platform::TheConsole().Size.X, 80);
    EXPECT_EQ(platform::TheConsole().Size.Y, 25);
    EXPECT_EQ(platform::TheConsole().Window.Bottom, 24);
}

TEST(Bell, EachCallRingsOnce) {
    StartConsole(10, 4);
    Bell();
    Bell();
    EXPECT_EQ(platform::TheConsole().BellsRung, 2u);
}

}  // namespace
