// The in-memory console under the console module: the Windows meaning of its screen calls
// where the module relies on more than the plain case, and its input queue.
#include <gtest/gtest.h>

#include <string>

#include "platform/console_api.h"
#include "tests/console/console_checks.h"

namespace {

using namespace console_checks;
using platform::CharInfo;
using platform::Coord;
using platform::SmallRect;

// A 4 by 4 console whose rows read "abcd", "efgh", "ijkl", "mnop".
void LetteredConsole() {
    platform::ResetConsole(4, 4);
    for (std::size_t i = 0; i < 16; ++i) {
        platform::TheConsole().Cells[i] = CharInfo{static_cast<unsigned char>('a' + i), 0x07};
    }
}

std::string Screen() {
    std::string text;
    for (int row = 0; row < platform::TheConsole().Size.Y; ++row) {
        text += RowText(row) + (row + 1 < platform::TheConsole().Size.Y ? "|" : "");
    }
    return text;
}

TEST(ConsoleBuffer, ResetGivesABlankConsoleWithTheWindowOverTheWholeBuffer) {
    platform::ResetConsole(5, 3);
    const platform::ConsoleState& console = platform::TheConsole();
    EXPECT_EQ(Screen(), "     |     |     ");
    EXPECT_EQ(AttributeAt(4, 2), 0x07);
    EXPECT_EQ(console.Window.Right, 4);
    EXPECT_EQ(console.Window.Bottom, 2);
    EXPECT_EQ(CursorPlace(), (Place{0, 0}));
    EXPECT_EQ(console.CursorLook.Size, 25u);
    EXPECT_TRUE(console.CursorLook.Visible);
    EXPECT_TRUE(console.Input.empty());
    EXPECT_EQ(console.BellsRung, 0u);
}

struct ScrollCase {
    const char* Name;
    SmallRect Scroll;
    Coord Destination;
    const char* Expected;
};

TEST(ConsoleBuffer, ScrollMovesTheRectangleAndFillsOnlyTheCellsItLeaves) {
    const ScrollCase cases[] = {
        {"the whole screen up one row", {0, 1, 3, 3}, {0, 0}, "efgh|ijkl|mnop|****"},
        {"down one row, overlapping", {0, 0, 3, 2}, {0, 1}, "****|abcd|efgh|ijkl"},
        {"a block sideways", {0, 0, 1, 1}, {2, 2}, "**cd|**gh|ijab|mnef"},
        {"partly off the buffer on the right", {2, 0, 3, 0}, {3, 3}, "ab**|efgh|ijkl|mnoc"},
        {"a rectangle reaching above the buffer", {0, -1, 3, 0}, {0, 1}, "****|efgh|abcd|mnop"},
    };
    for (const ScrollCase& c : cases) {
        SCOPED_TRACE(c.Name);
        LetteredConsole();
        EXPECT_TRUE(platform::ScrollConsoleScreenBufferA(nullptr, c.Scroll, c.Destination,
                                                         CharInfo{'*', 0x1F}));
        EXPECT_EQ(Screen(), c.Expected);
    }
}

TEST(ConsoleBuffer, ScrollOfARectangleOutsideTheBufferIsRefused) {
    LetteredConsole();
    EXPECT_FALSE(platform::ScrollConsoleScreenBufferA(nullptr, SmallRect{0, 4, 3, 6}, Coord{0, 0},
                                                      CharInfo{'*', 0x1F}));
    EXPECT_EQ(Screen(), "abcd|efgh|ijkl|mnop");
}

TEST(ConsoleBuffer, FillsRunRowAfterRowAndStopAtTheBufferEnd) {
    LetteredConsole();
    std::uint32_t written = 0;
    EXPECT_TRUE(platform::FillConsoleOutputCharacterA(nullptr, '-', 3, Coord{3, 0}, &written));
    EXPECT_EQ(written, 3u);
    EXPECT_TRUE(platform::FillConsoleOutputAttribute(nullptr, 0xF0, 100, Coord{2, 3}, &written));
    EXPECT_EQ(written, 2u);
    EXPECT_EQ(Screen(), "abc-|--gh|ijkl|mnop");
    EXPECT_EQ(AttributeAt(1, 3), 0x07);
    EXPECT_EQ(AttributeAt(2, 3), 0xF0);
    EXPECT_EQ(AttributeAt(3, 3), 0xF0);
    EXPECT_FALSE(platform::FillConsoleOutputCharacterA(nullptr, '-', 1, Coord{0, 4}, &written));
}

TEST(ConsoleBuffer, WriteOutputDropsCellsPastTheRowsEndAndLeavesTheCursor) {
    LetteredConsole();
    const CharInfo cells[] = {{'1', 0xF0}, {'2', 0xF0}, {'3', 0xF0}};
    EXPECT_TRUE(platform::WriteConsoleOutputA(nullptr, cells, 3, Coord{2, 1}));
    EXPECT_EQ(Screen(), "abcd|ef12|ijkl|mnop");
    EXPECT_EQ(CursorPlace(), (Place{0, 0}));
}

TEST(ConsoleBuffer, CursorPlacesOutsideTheBufferAreRefused) {
    platform::ResetConsole(4, 4);
    EXPECT_TRUE(platform::SetConsoleCursorPosition(nullptr, Coord{3, 3}));
    EXPECT_FALSE(platform::SetConsoleCursorPosition(nullptr, Coord{4, 0}));
    EXPECT_FALSE(platform::SetConsoleCursorPosition(nullptr, Coord{0, -1}));
    EXPECT_EQ(CursorPlace(), (Place{3, 3}));
}

TEST(ConsoleBuffer, TheBufferMustHoldTheWindowAndTheWindowMustLieInTheBuffer) {
    LetteredConsole();
    EXPECT_FALSE(platform::SetConsoleScreenBufferSize(nullptr, Coord{4, 3}));
    EXPECT_FALSE(platform::SetConsoleWindowInfo(nullptr, true, SmallRect{0, 0, 4, 3}));
    EXPECT_FALSE(platform::SetConsoleWindowInfo(nullptr, true, SmallRect{2, 0, 1, 3}));
    EXPECT_TRUE(platform::SetConsoleWindowInfo(nullptr, true, SmallRect{0, 0, 2, 1}));
    EXPECT_TRUE(platform::SetConsoleCursorPosition(nullptr, Coord{3, 3}));
    // Growing keeps every cell where it was; the new ones are blank.
    EXPECT_TRUE(platform::SetConsoleScreenBufferSize(nullptr, Coord{5, 5}));
    EXPECT_EQ(Screen(), "abcd |efgh |ijkl |mnop |     ");
    // Cutting keeps the top-left part and pulls the cursor inside.
    EXPECT_TRUE(platform::SetConsoleScreenBufferSize(nullptr, Coord{3, 2}));
    EXPECT_EQ(Screen(), "abc|efg");
    EXPECT_EQ(CursorPlace(), (Place{2, 1}));
    EXPECT_EQ(platform::TheConsole().Cells.size(), 6u);
}

TEST(ConsoleBuffer, CursorSizeMustBeOneToAHundredPercent) {
    platform::ResetConsole(4, 4);
    EXPECT_FALSE(platform::SetConsoleCursorInfo(nullptr, platform::CursorInfo{0, true}));
    EXPECT_FALSE(platform::SetConsoleCursorInfo(nullptr, platform::CursorInfo{101, true}));
    EXPECT_TRUE(platform::SetConsoleCursorInfo(nullptr, platform::CursorInfo{100, false}));
    EXPECT_EQ(platform::TheConsole().CursorLook.Size, 100u);
}

TEST(ConsoleInput, PeekLeavesRecordsReadTakesThemOldestFirst) {
    platform::ResetConsole(4, 4);
    Type("xyz");
    platform::InputRecord records[4]{};
    std::uint32_t count = 0;
    EXPECT_TRUE(platform::PeekConsoleInputA(nullptr, records, 2, &count));
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(records[1].KeyEvent.AsciiChar, 'y');
    EXPECT_EQ(platform::TheConsole().Input.size(), 3u);
    EXPECT_TRUE(platform::ReadConsoleInputA(nullptr, records, 4, &count));
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(records[0].KeyEvent.AsciiChar, 'x');
    EXPECT_TRUE(platform::TheConsole().Input.empty());
    EXPECT_TRUE(platform::ReadConsoleInputA(nullptr, records, 1, &count));
    EXPECT_EQ(count, 0u);
}

TEST(ConsoleInput, IsLostOnlyOnceTheQueuedRecordsAreTaken) {
    platform::ResetConsole(4, 4);
    platform::MarkKeyboardGoneForTest();
    const platform::Handle keyboard = platform::OpenConsoleInput();
    Type("x");
    EXPECT_FALSE(platform::ConsoleInputLost(keyboard));
    platform::TheConsole().Input.clear();
    EXPECT_TRUE(platform::ConsoleInputLost(keyboard));
}

TEST(ConsoleHandles, StandardHandlesAndTheKeyboardAreDistinct) {
    const platform::Handle input = platform::GetStdHandle(platform::STD_INPUT_HANDLE);
    const platform::Handle output = platform::GetStdHandle(platform::STD_OUTPUT_HANDLE);
    const platform::Handle error = platform::GetStdHandle(platform::STD_ERROR_HANDLE);
    const platform::Handle keyboard = platform::OpenConsoleInput();
    for (platform::Handle handle : {input, output, error, keyboard}) EXPECT_NE(handle, nullptr);
    EXPECT_NE(input, output);
    EXPECT_NE(output, error);
    EXPECT_NE(input, keyboard);
    std::uint32_t mode = 0;
    EXPECT_FALSE(platform::GetConsoleMode(nullptr, &mode));
    EXPECT_FALSE(platform::SetConsoleMode(nullptr, 0));
}

}  // namespace
