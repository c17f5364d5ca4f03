// The console module over the real Windows console: what each screen operation leaves in the
// cells, where the cursor stands, and how key records become a line. The executable needs a
// console (under wine, run_in_console.sh gives it one in a terminal). The screen tests draw
// on a screen buffer of their own, which the console window never shows, so a console that
// runs the tests keeps its own size and text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/keyboard.h"
#include "console/screen.h"
#include "platform/console_tools.h"
#include "platform/windows/api.h"

namespace {

constexpr std::uint8_t Black = 0xF0;     // black on bright white
constexpr std::uint8_t DarkGrey = 0xF8;  // dark grey on bright white

HANDLE Screen() {
    return static_cast<HANDLE>(ConsoleModuleState().ScreenHandle);
}

// Row y (from 0) as the console holds it: characters and attributes.
std::vector<CHAR_INFO> ReadRow(int y) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    GetConsoleScreenBufferInfo(Screen(), &info);
    std::vector<CHAR_INFO> cells(static_cast<std::size_t>(info.dwSize.X));
    SMALL_RECT region{0, static_cast<SHORT>(y), static_cast<SHORT>(info.dwSize.X - 1),
                      static_cast<SHORT>(y)};
    if (!ReadConsoleOutputA(Screen(), cells.data(), COORD{info.dwSize.X, 1}, COORD{0, 0},
                            &region)) {
        cells.clear();
    }
    return cells;
}

std::string RowText(int y) {
    std::string text;
    for (const CHAR_INFO& cell : ReadRow(y)) text.push_back(cell.Char.AsciiChar);
    return text.substr(0, text.find_last_not_of(' ') + 1);
}

// True when every cell of row y has the attribute.
bool RowColoured(int y, std::uint8_t attribute) {
    const std::vector<CHAR_INFO> row = ReadRow(y);
    for (const CHAR_INFO& cell : row) {
        if (cell.Attributes != attribute) return false;
    }
    return !row.empty();
}

COORD Cursor() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    GetConsoleScreenBufferInfo(Screen(), &info);
    return info.dwCursorPosition;
}

// The console input, opened for writing key records into it.
HANDLE KeyboardWriter() {
    static HANDLE writer =
        CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    return writer;
}

INPUT_RECORD Key(bool down, unsigned char character, WORD scanCode, DWORD state = 0) {
    INPUT_RECORD record{};
    record.EventType = platform::KEY_EVENT;
    record.Event.KeyEvent.bKeyDown = down ? TRUE : FALSE;
    record.Event.KeyEvent.wRepeatCount = 1;
    record.Event.KeyEvent.wVirtualScanCode = scanCode;
    record.Event.KeyEvent.uChar.AsciiChar = static_cast<CHAR>(character);
    record.Event.KeyEvent.dwControlKeyState = state;
    return record;
}

// A press and a release of a key with a character.
void Type(std::vector<INPUT_RECORD>& records, unsigned char character, WORD scanCode,
          DWORD state = 0) {
    records.push_back(Key(true, character, scanCode, state));
    records.push_back(Key(false, character, scanCode, state));
}

void Send(const std::vector<INPUT_RECORD>& records) {
    DWORD written = 0;
    ASSERT_TRUE(WriteConsoleInputA(KeyboardWriter(), records.data(),
                                   static_cast<DWORD>(records.size()), &written));
    ASSERT_EQ(written, records.size());
}

DWORD PendingRecords() {
    DWORD count = 0;
    GetNumberOfConsoleInputEvents(KeyboardWriter(), &count);
    return count;
}

// A screen buffer for the tests alone, readable and writable.
HANDLE PrivateScreen() {
    static HANDLE screen =
        CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, CONSOLE_TEXTMODE_BUFFER, nullptr);
    return screen;
}

class ConsoleTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { PrepareConsole(); }
    void SetUp() override {
        ASSERT_NE(PrivateScreen(), INVALID_HANDLE_VALUE);
        ConsoleModuleState().ScreenHandle = PrivateScreen();
        ASSERT_NE(KeyboardWriter(), INVALID_HANDLE_VALUE);
        FlushConsoleInputBuffer(KeyboardWriter());
        SetColour(0, 15, 0);
        ClearScreen();
        SetScreenSize(81, 30);
    }
};

TEST(ConsoleStartUp, DrawsOnStandardErrorWhenStandardOutputIsRedirected) {
    PrepareConsole();
    const TextConsole& state = ConsoleModuleState();
    // The report goes to a file or a pipe: the screen is standard error's.
    const HANDLE error = GetStdHandle(platform::STD_ERROR_HANDLE);
    EXPECT_EQ(state.ScreenHandle, error);
    DWORD mode = 99;
    if (GetConsoleMode(error, &mode)) {
        EXPECT_EQ(mode & 3u, 3u);
    }
    const HANDLE input = GetStdHandle(platform::STD_INPUT_HANDLE);
    if (GetConsoleMode(input, &mode)) {
        EXPECT_EQ(mode, 0u);
    }
    EXPECT_NE(static_cast<HANDLE>(state.KeyboardHandle), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(KeyboardLost());
}

TEST_F(ConsoleTest, ClearScreenBlanksEveryCellInTheCurrentColour) {
    WriteText("some text to clear away");
    SetColour(8, 15, 0);
    ClearScreen();
    for (int y = 0; y < 30; ++y) {
        EXPECT_EQ(RowText(y), "") << "row " << y;
        EXPECT_TRUE(RowColoured(y, DarkGrey)) << "row " << y;
    }
    EXPECT_EQ(Cursor().X, 0);
    EXPECT_EQ(Cursor().Y, 0);
    CONSOLE_CURSOR_INFO look{};
    ASSERT_TRUE(GetConsoleCursorInfo(Screen(), &look));
    EXPECT_EQ(look.bVisible != 0, ConsoleModuleState().SavedCursor.Visible != 0);
}

TEST_F(ConsoleTest, SetScreenSizeCutsATallBufferTo81By30) {
    ASSERT_TRUE(SetConsoleScreenBufferSize(Screen(), COORD{81, 300}));
    SetScreenSize(81, 30);
    CONSOLE_SCREEN_BUFFER_INFO info{};
    ASSERT_TRUE(GetConsoleScreenBufferInfo(Screen(), &info));
    EXPECT_EQ(info.dwSize.X, 81);
    EXPECT_EQ(info.dwSize.Y, 30);
    EXPECT_EQ(info.srWindow.Left, 0);
    EXPECT_EQ(info.srWindow.Top, 0);
    EXPECT_EQ(info.srWindow.Right, 80);
    EXPECT_EQ(info.srWindow.Bottom, 29);
    SetScreenSize(10000, 30);  // beyond 9999: nothing happens
    ASSERT_TRUE(GetConsoleScreenBufferInfo(Screen(), &info));
    EXPECT_EQ(info.dwSize.X, 81);
}

TEST_F(ConsoleTest, TextWrapsAtTheRightEdgeInItsColour) {
    PlaceCursor(78, 3);
    SetColour(8, 15, 0);
    WriteText("abcdef");
    EXPECT_EQ(RowText(2), std::string(77, ' ') + "abcd");
    EXPECT_EQ(RowText(3), "ef");
    EXPECT_EQ(ReadRow(3)[1].Attributes, DarkGrey);
    EXPECT_EQ(ReadRow(2)[80].Attributes, DarkGrey);
    EXPECT_EQ(Cursor().X, 2);
    EXPECT_EQ(Cursor().Y, 3);
}

TEST_F(ConsoleTest, AFullBottomRowScrollsOnlyWhenMoreTextFollows) {
    WriteText("top");
    PlaceCursor(75, 30);
    WriteText("abcdefg");
    // The scroll is owed, not done: the text is still there and the cursor shows in column 0.
    EXPECT_EQ(RowText(0), "top");
    EXPECT_EQ(RowText(29), std::string(74, ' ') + "abcdefg");
    EXPECT_EQ(Cursor().X, 0);
    EXPECT_EQ(Cursor().Y, 29);
    EXPECT_NE(ConsoleModuleState().PendingWrap, 0);
    SetColour(0, 7, 0);
    WriteText("h");
    EXPECT_EQ(RowText(0), "");
    EXPECT_EQ(RowText(28), std::string(74, ' ') + "abcdefg");
    EXPECT_EQ(RowText(29), "h");
    EXPECT_EQ(ReadRow(29)[40].Attributes, 0x70);  // the freed row takes the colour of its time
    EXPECT_EQ(Cursor().X, 1);
    EXPECT_EQ(Cursor().Y, 29);
}

TEST_F(ConsoleTest, NewLineOnTheBottomRowScrollsInTheCurrentColour) {
    PlaceCursor(1, 30);
    WriteText("x");
    SetColour(0, 7, 0);
    NewLine();
    EXPECT_EQ(RowText(28), "x");
    EXPECT_EQ(RowText(29), "");
    EXPECT_TRUE(RowColoured(29, 0x70));
    EXPECT_EQ(Cursor().X, 0);
    EXPECT_EQ(Cursor().Y, 29);
}

TEST_F(ConsoleTest, ControlBytesAreShownAsCharactersWithoutTheirEffect) {
    WriteText(std::string("a\r\n\tb", 5));
    const std::vector<CHAR_INFO> row = ReadRow(0);
    ASSERT_GE(row.size(), 5u);
    EXPECT_EQ(row[0].Char.AsciiChar, 'a');
    EXPECT_EQ(row[4].Char.AsciiChar, 'b');
    EXPECT_EQ(RowText(1), "");
    EXPECT_EQ(Cursor().X, 5);
    EXPECT_EQ(Cursor().Y, 0);
}

TEST_F(ConsoleTest, ThePromptsPrintZoneEndsInColumn28) {
    PlaceCursor(1, 12);
    WriteText("   Name of Wave file?");
    NextPrintZone();
    EXPECT_EQ(Cursor().X, 28);
    EXPECT_EQ(Cursor().Y, 11);
    SetColour(16, 15, 0);  // an out-of-range foreground keeps the present one
    WriteText("x");
    EXPECT_EQ(ReadRow(11)[28].Attributes, Black);
}

TEST_F(ConsoleTest, LineInputTakesCharactersAndBackspaceAndIgnoresTheRest) {
    PlaceCursor(29, 12);
    std::vector<INPUT_RECORD> keys;
    Type(keys, 'a', 0x1E);
    Type(keys, 'b', 0x30);
    Type(keys, 8, 0x0E);                                          // Backspace
    keys.push_back(Key(true, 0, 0x2A, platform::SHIFT_PRESSED));  // Shift alone
    Type(keys, 'C', 0x2E, platform::SHIFT_PRESSED);
    Type(keys, 'x', 0x2D, platform::LEFT_ALT_PRESSED);  // Alt+x adds nothing
    Type(keys, 0, 0x48);                                // an arrow key
    Type(keys, 27, 0x01);                               // Esc
    Type(keys, 9, 0x0F);                                // Tab
    Type(keys, 0xE9, 0x12);                             // a code-page character
    Type(keys, 13, 0x1C);                               // Enter
    Type(keys, 'z', 0x2C);                              // typed ahead
    Send(keys);
    const std::string line = LineInput();
    EXPECT_EQ(line, "aC\xE9");
    EXPECT_EQ(RowText(11).substr(28), "aC\xE9");
    EXPECT_EQ(Cursor().X, 0);
    EXPECT_EQ(Cursor().Y, 12);
    // The key typed after Enter waits for the next prompt.
    EXPECT_EQ(PeekKey().Character, 'z');
}

TEST_F(ConsoleTest, CapsLockGivesTheFormShiftCallsFor) {
    std::vector<INPUT_RECORD> keys;
    Type(keys, '!', 0x02, platform::CAPSLOCK_ON);
    Type(keys, '1', 0x02, platform::CAPSLOCK_ON | platform::SHIFT_PRESSED);
    Type(keys, '!', 0x02);
    Type(keys, 13, 0x1C);
    Send(keys);
    EXPECT_EQ(LineInput(), "1!!");
}

TEST_F(ConsoleTest, WaitForKeyLeavesTheKeyThatEndsIt) {
    std::vector<INPUT_RECORD> keys;
    keys.push_back(Key(false, 'a', 0x1E));                            // a release
    keys.push_back(Key(true, 0, 0x1D, platform::LEFT_CTRL_PRESSED));  // Ctrl alone
    keys.push_back(Key(true, 'q', 0x10));
    Send(keys);
    WaitForKey();
    EXPECT_EQ(PendingRecords(), 1u);
    const ClassifiedKey key = PeekKey();
    EXPECT_EQ(key.Kind, KeyKind::CharacterKey);
    EXPECT_EQ(key.Character, 'q');
    EXPECT_EQ(key.ScanCode, 0x10);
}

TEST_F(ConsoleTest, NothingPendingIsNoKey) {
    EXPECT_EQ(PeekKey().Kind, KeyKind::NoKey);
}

TEST_F(ConsoleTest, TheWindowToolsSetTheTitleAndFailQuietly) {
    std::int32_t noOptions = 0;
    InitConsoleTools(GetModuleHandleA(nullptr), 0, 0, 0, &noOptions, 0);
    ConsoleToolBar(0, 5);
    ConsoleTitle("Norvistrand");
    ConsoleMove(30, 30);
    ConsoleIcon(32512);
    for (std::int32_t item : {61728, 0, 61440, -2, -1, 61488}) DeleteWindowMenuItem(item);
    char title[64] = {};
    ASSERT_GT(GetConsoleTitleA(title, sizeof title), 0u);
    EXPECT_STREQ(title, "Norvistrand");
}

}  // namespace
