// The renderer's frames as exact byte strings for small consoles: the first frame, frames
// that redraw only what changed, colours, the cursor, bells, glyphs and views of a console
// larger than the terminal.
#include "platform/terminal/terminal_renderer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using platform::ConsoleState;
using platform::DrawnScreen;
using platform::RenderFrame;
using platform::TerminalSize;
using platform::UnknownScreen;

constexpr std::uint8_t BlackOnWhite = 0xF0;
constexpr std::uint8_t GreyOnWhite = 0xF8;

// What every first frame starts with.
const std::string Clear = "\x1b[0m\x1b[2J";
const std::string Black = "\x1b[30;107m";
const std::string Grey = "\x1b[90;107m";
const std::string Show = "\x1b[?25h";

ConsoleState Console(int columns, int rows, std::uint8_t attributes = BlackOnWhite) {
    ConsoleState console{};
    console.Size = {static_cast<std::int16_t>(columns), static_cast<std::int16_t>(rows)};
    console.Window = {0, 0, static_cast<std::int16_t>(columns - 1),
                      static_cast<std::int16_t>(rows - 1)};
    console.Cells.assign(static_cast<std::size_t>(columns * rows), {' ', attributes});
    console.CursorLook = {25, true};
    return console;
}

void Put(ConsoleState& console, int column, int row, const std::string& text,
         std::uint8_t attributes = BlackOnWhite) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        console.Cells[static_cast<std::size_t>(row * console.Size.X + column) + i] = {
            static_cast<unsigned char>(text[i]), attributes};
    }
}

void PlaceCursor(ConsoleState& console, int column, int row) {
    console.Cursor = {static_cast<std::int16_t>(column), static_cast<std::int16_t>(row)};
}

std::string Frame(const ConsoleState& console, DrawnScreen& drawn, TerminalSize terminal = {0, 0},
                  std::uint32_t bells = 0) {
    std::string out;
    RenderFrame(console, terminal, bells, drawn, out);
    return out;
}

std::string At(int row, int column) {
    return "\x1b[" + std::to_string(row) + ";" + std::to_string(column) + "H";
}

TEST(TerminalRenderer, FirstFrameClearsAndDrawsEveryCell) {
    ConsoleState console = Console(3, 2);
    Put(console, 0, 0, "ab");
    PlaceCursor(console, 2, 0);
    DrawnScreen drawn = UnknownScreen();
    // Past the last column the terminal's cursor is not relied on: each row is placed.
    EXPECT_EQ(Frame(console, drawn),
              Clear + At(1, 1) + Black + "ab " + At(2, 1) + "   " + At(1, 3) + Show);
    // Nothing changed, nothing sent.
    EXPECT_EQ(Frame(console, drawn), "");
}

TEST(TerminalRenderer, LaterFramesDrawOnlyWhatChanged) {
    ConsoleState console = Console(4, 2);
    DrawnScreen drawn = UnknownScreen();
    const TerminalSize terminal{80, 24};
    Frame(console, drawn, terminal);

    // The cursor ends where the last cell left it: no placing needed.
    Put(console, 0, 1, "x");
    PlaceCursor(console, 1, 1);
    EXPECT_EQ(Frame(console, drawn, terminal), At(2, 1) + "x");

    // Two changed cells apart from each other, the pen kept; the cursor placed again.
    Put(console, 1, 0, "y");
    Put(console, 3, 0, "z");
    EXPECT_EQ(Frame(console, drawn, terminal), At(1, 2) + "y" + At(1, 4) + "z" + At(2, 2));

    // Neighbours in a row go out in one stretch.
    Put(console, 1, 1, "pq");
    EXPECT_EQ(Frame(console, drawn, terminal), "pq" + At(2, 2));
}

TEST(TerminalRenderer, ColoursChangeOnlyWhereTheAttributeDoes) {
    ConsoleState console = Console(3, 1);
    Put(console, 2, 0, "c", GreyOnWhite);
    DrawnScreen drawn = UnknownScreen();
    EXPECT_EQ(Frame(console, drawn),
              Clear + At(1, 1) + Black + "  " + Grey + "c" + At(1, 1) + Show);

    // Only the colour of a cell changes: it is redrawn, and the pen stays grey from before.
    Put(console, 0, 0, " ", GreyOnWhite);
    EXPECT_EQ(Frame(console, drawn), std::string(" ").append(At(1, 1)));
}

// Colour number bright 8, red 4, green 2, blue 1 becomes ANSI's blue 4, green 2, red 1.
TEST(TerminalRenderer, ColourNumbersBecomeAnsiColours) {
    const int foreground[16] = {30, 34, 32, 36, 31, 35, 33, 37, 90, 94, 92, 96, 91, 95, 93, 97};
    for (int colour = 0; colour < 16; ++colour) {
        ConsoleState console = Console(1, 1, static_cast<std::uint8_t>(colour * 16 + colour));
        DrawnScreen drawn = UnknownScreen();
        const std::string pen = "\x1b[" + std::to_string(foreground[colour]) + ";" +
                                std::to_string(foreground[colour] + 10) + "m";
        EXPECT_EQ(Frame(console, drawn), Clear + At(1, 1) + pen + " " + At(1, 1) + Show)
            << "colour " << colour;
    }
}

TEST(TerminalRenderer, CursorIsPlacedAndShownAsTheConsoleSays) {
    ConsoleState console = Console(2, 2);
    console.CursorLook.Visible = false;
    DrawnScreen drawn = UnknownScreen();
    EXPECT_EQ(Frame(console, drawn),
              Clear + At(1, 1) + Black + "  " + At(2, 1) + "  " + At(1, 1) + "\x1b[?25l");

    console.CursorLook.Visible = true;
    EXPECT_EQ(Frame(console, drawn), Show);

    PlaceCursor(console, 1, 1);
    EXPECT_EQ(Frame(console, drawn), At(2, 2));
}

TEST(TerminalRenderer, BellsGoOutWithTheFrame) {
    ConsoleState console = Console(1, 1);
    DrawnScreen drawn = UnknownScreen();
    Frame(console, drawn);
    EXPECT_EQ(Frame(console, drawn, {0, 0}, 2), "\a\a");
}

// Control bytes, DEL and stray high bytes show as the PC's glyphs, in UTF-8.
TEST(TerminalRenderer, BytesOnTheirOwnShowTheirPcGlyphs) {
    struct Case {
        unsigned char Byte;
        const char* Glyph;
    };
    const Case cases[] = {
        {0x00, " "},      {0x01, "\u263A"},  // smiling face
        {0x07, "\u2022"},                    // bullet
        {0x08, "\u25D8"},                    // inverse bullet
        {0x09, "\u25CB"},                    // circle
        {0x0A, "\u25D9"},                    // inverse circle
        {0x0D, "\u266A"},                    // note
        {0x1B, "\u2190"},                    // left arrow
        {0x7F, "\u2302"},                    // house
        {0x9B, "\u00A2"},  // cent, which as a raw byte could start a control sequence
        {0xE9, "\u0398"},  // theta
        {0xFF, "\u00A0"},  // no-break space
    };
    for (const Case& c : cases) {
        ConsoleState console = Console(1, 1);
        console.Cells[0].Char = c.Byte;
        DrawnScreen drawn = UnknownScreen();
        EXPECT_EQ(Frame(console, drawn), Clear + At(1, 1) + Black + c.Glyph + At(1, 1) + Show)
            << "byte " << static_cast<int>(c.Byte);
    }
}

// A run of cells holding one UTF-8 character shows as the character and blanks, the blanks
// first, so columns stay where the console has them whatever width the terminal gives it.
TEST(TerminalRenderer, Utf8RunsShowAsOneCharacter) {
    ConsoleState console = Console(3, 1);
    Put(console, 0, 0, "\xc3\xa9");  // e acute, two cells
    DrawnScreen drawn = UnknownScreen();
    EXPECT_EQ(Frame(console, drawn), Clear + At(1, 2) + Black + " " + At(1, 1) + "\xc3\xa9" +
                                         At(1, 3) + " " + At(1, 1) + Show);

    // Changing the first byte breaks the run: the second cell becomes a glyph of its own.
    Put(console, 0, 0, "a");
    EXPECT_EQ(Frame(console, drawn), "a\u2310" + At(1, 1));

    ConsoleState wide = Console(4, 1);
    Put(wide, 1, 0, "\xe4\xb8\xad");  // a CJK character, three cells, two columns
    DrawnScreen wideDrawn = UnknownScreen();
    EXPECT_EQ(Frame(wide, wideDrawn), Clear + At(1, 1) + Black + " " + At(1, 3) + "  " + At(1, 2) +
                                          "\xe4\xb8\xad" + At(1, 1) + Show);
}

// Byte strings a terminal would act on if they went out raw: each byte shows as a glyph.
// After a glyph beyond ASCII the renderer places the cursor again rather than trust its width.
TEST(TerminalRenderer, UnsafeSequencesShowByteByByte) {
    struct Case {
        const char* Name;
        std::string Bytes;
        std::vector<std::string> Glyphs;
    };
    const Case cases[] = {
        {"UTF-8 form of the C1 control CSI", "\xc2\x9b", {"\u252C", "\u00A2"}},
        {"overlong slash", "\xc0\xaf", {"\u2514", "\u00BB"}},
        {"combining acute accent", "\xcc\x81", {"\u2560", "\u00FC"}},
        {"right-to-left override", "\xe2\x80\xae", {"\u0393", "\u00C7", "\u00AB"}},
        {"surrogate half", "\xed\xa0\x80", {"\u03C6", "\u00E1", "\u00C7"}},
    };
    for (const Case& c : cases) {
        ConsoleState console = Console(static_cast<int>(c.Bytes.size()), 1);
        Put(console, 0, 0, c.Bytes);
        DrawnScreen drawn = UnknownScreen();
        std::string expected = Clear + At(1, 1) + Black + c.Glyphs[0];
        for (std::size_t i = 1; i < c.Glyphs.size(); ++i) {
            expected += At(1, static_cast<int>(i) + 1) + c.Glyphs[i];
        }
        EXPECT_EQ(Frame(console, drawn), expected + At(1, 1) + Show) << c.Name;
    }
}

// Whatever two bytes stand side by side, no control byte and no C1 control character
// reaches the terminal outside the renderer's own sequences.
TEST(TerminalRenderer, NoCellSendsAControlByte) {
    ConsoleState console = Console(2, 1);
    for (int first = 0; first < 256; ++first) {
        for (int second = 0; second < 256; ++second) {
            console.Cells[0].Char = static_cast<unsigned char>(first);
            console.Cells[1].Char = static_cast<unsigned char>(second);
            DrawnScreen drawn = UnknownScreen();
            const std::string out = Frame(console, drawn);
            bool clean = true;
            for (std::size_t i = 0; i < out.size() && clean; ++i) {
                const auto byte = static_cast<unsigned char>(out[i]);
                if (byte == 0x1B) {
                    // Skip our own CSI sequence: ESC [ parameters final.
                    i += 2;
                    while (i < out.size() && (out[i] < 0x40 || out[i] > 0x7E)) ++i;
                } else if (byte < 0x20 || byte == 0x7F) {
                    clean = false;
                } else if (byte == 0xC2 && i + 1 < out.size() &&
                           static_cast<unsigned char>(out[i + 1]) < 0xA0) {
                    clean = false;  // U+0080 to U+009F
                }
            }
            ASSERT_TRUE(clean) << "bytes " << first << ", " << second;
        }
    }
}

// A terminal smaller than the console shows the part that ends at the cursor.
TEST(TerminalRenderer, SmallTerminalShowsThePartAroundTheCursor) {
    ConsoleState console = Console(6, 4);
    Put(console, 0, 0, "abcdef");
    Put(console, 0, 1, "ghijkl");
    Put(console, 0, 2, "mnopqr");
    Put(console, 0, 3, "stuvwx");
    const TerminalSize terminal{3, 2};

    DrawnScreen drawn = UnknownScreen();
    EXPECT_EQ(Frame(console, drawn, terminal),
              Clear + At(1, 1) + Black + "abc" + At(2, 1) + "ghi" + At(1, 1) + Show);

    // The cursor moves to row 3, column 4: rows 2-3 and columns 2-4 show, redrawn without
    // a clear since the view keeps its size.
    PlaceCursor(console, 4, 3);
    EXPECT_EQ(Frame(console, drawn, terminal), "opq" + At(2, 1) + "uvw" + At(2, 3));

    // A change outside the view sends nothing.
    Put(console, 0, 0, "z");
    EXPECT_EQ(Frame(console, drawn, terminal), "");
}

TEST(TerminalRenderer, LargeTerminalShowsTheConsoleTopLeft) {
    ConsoleState console = Console(2, 1);
    Put(console, 0, 0, "ok");
    PlaceCursor(console, 1, 0);
    DrawnScreen drawn = UnknownScreen();
    EXPECT_EQ(Frame(console, drawn, {80, 24}), Clear + At(1, 1) + Black + "ok" + At(1, 2) + Show);

    // A new terminal size clears and draws everything again.
    EXPECT_EQ(Frame(console, drawn, {100, 30}), Clear + At(1, 1) + Black + "ok" + At(1, 2));
}

TEST(TerminalRenderer, ShowsTheConsoleWindowOnly) {
    ConsoleState console = Console(2, 3);
    Put(console, 0, 0, "aa");
    Put(console, 0, 1, "bb");
    Put(console, 0, 2, "cc");
    console.Window = {0, 1, 1, 2};
    PlaceCursor(console, 0, 2);
    DrawnScreen drawn = UnknownScreen();
    EXPECT_EQ(Frame(console, drawn),
              Clear + At(1, 1) + Black + "bb" + At(2, 1) + "cc" + At(2, 1) + Show);
}

}  // namespace
