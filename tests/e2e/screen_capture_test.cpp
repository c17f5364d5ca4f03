// The capture parser on streams as tmux 3.3a writes them: one SGR code per sequence, colour
// state running on across line ends, trailing blanks left out.
#include "tests/e2e/screen_capture.h"

#include <gtest/gtest.h>

#include <string>

TEST(ScreenCapture, ColourCarriesAcrossLinesAndUnreportedCellsStayUnknown) {
    const std::string capture = "\n\x1b[30m\x1b[107m   hello\n\n\x1b[90m   grey   x\n";
    ScreenCells screen = ParseCapture(capture, 81, 30);

    EXPECT_EQ(RowText(screen, 1), "");
    EXPECT_EQ(RowText(screen, 2), "   hello");
    EXPECT_EQ(CellAt(screen, 2, 4).Foreground, Black);
    EXPECT_EQ(CellAt(screen, 2, 4).Background, BrightWhiteBackground);
    // The colour set on row 2 still holds on row 4 until row 4 changes the foreground.
    EXPECT_EQ(CellAt(screen, 4, 4).Glyph, "g");
    EXPECT_EQ(CellAt(screen, 4, 4).Foreground, DarkGrey);
    EXPECT_EQ(CellAt(screen, 4, 4).Background, BrightWhiteBackground);
    // Past the last reported glyph, and rows past the end, nothing is known.
    EXPECT_EQ(CellAt(screen, 4, 13).Foreground, NotReported);
    EXPECT_EQ(CellAt(screen, 30, 81).Background, NotReported);
    EXPECT_EQ(CellAt(screen, 30, 81).Glyph, " ");
}

TEST(ScreenCapture, ResetsDefaultsBoldReverseAndPaletteColours) {
    const std::string capture =
        "\x1b[107m  \x1b[30mfar\n"
        "\x1b[39m\x1b[49mplain \x1b[1m\x1b[31mbold\x1b[0m\x1b[39m\x1b[49m "
        "\x1b[38;5;8mgrey\x1b[48;5;15mbg\n"
        "\x1b[7m\x1b[39m\x1b[49mrev\x1b[27m\x1b[22mn\n";
    ScreenCells screen = ParseCapture(capture, 81, 30);

    EXPECT_EQ(CellAt(screen, 1, 1).Foreground, DefaultForeground);  // a cleared cell
    EXPECT_EQ(CellAt(screen, 1, 1).Background, BrightWhiteBackground);
    EXPECT_EQ(CellAt(screen, 1, 3).Foreground, Black);
    EXPECT_EQ(CellAt(screen, 2, 1).Background, DefaultBackground);
    EXPECT_TRUE(CellAt(screen, 2, 7).Bold);
    EXPECT_EQ(CellAt(screen, 2, 7).Foreground, 31);
    EXPECT_FALSE(CellAt(screen, 2, 11).Bold);  // after SGR 0
    EXPECT_EQ(CellAt(screen, 2, 12).Foreground, PaletteColour + 8);
    EXPECT_EQ(CellAt(screen, 2, 16).Background, PaletteColour + 15);
    EXPECT_TRUE(CellAt(screen, 3, 1).Reverse);
    EXPECT_FALSE(CellAt(screen, 3, 4).Reverse);
}

TEST(ScreenCapture, MultiByteCharacterTakesOneCell) {
    ScreenCells screen = ParseCapture("a\xc3\xa9z\n", 81, 30);
    EXPECT_EQ(CellAt(screen, 1, 2).Glyph, "\xc3\xa9");
    EXPECT_EQ(CellAt(screen, 1, 3).Glyph, "z");
}

TEST(ScreenCapture, SplitRowsPadsAndTrims) {
    std::vector<std::string> rows = SplitRows("ab  \n\ncd\n", 30);
    ASSERT_EQ(rows.size(), 30u);
    EXPECT_EQ(rows[0], "ab");
    EXPECT_EQ(rows[1], "");
    EXPECT_EQ(rows[2], "cd");
    EXPECT_EQ(rows[29], "");
}
