// Key classification, line input and the key wait, fed with input records on the in-memory
// console. Every test marks the keyboard gone, so a wait that the records do not end returns
// once they are used up instead of polling forever.
#include "console/keyboard.h"

#include <gtest/gtest.h>

#include <string>

#include "console/screen.h"
#include "tests/console/console_checks.h"

namespace {

using namespace console_checks;
using platform::CAPSLOCK_ON;
using platform::LEFT_ALT_PRESSED;
using platform::LEFT_CTRL_PRESSED;
using platform::RIGHT_ALT_PRESSED;
using platform::SHIFT_PRESSED;

constexpr unsigned char BackspaceKey = 8;
constexpr unsigned char EnterKey = 13;

void StartKeyboard(std::int16_t columns, std::int16_t rows) {
    StartConsole(columns, rows);
    platform::MarkKeyboardGoneForTest();
}

std::size_t RecordsLeft() {
    return platform::TheConsole().Input.size();
}

struct PeekCase {
    const char* Name;
    std::initializer_list<platform::InputRecord> Records;
    KeyKind Kind;
    unsigned char Character;
    std::size_t Left;  // records still queued afterwards
};

TEST(PeekKey, DiscardsWhatIsNoKeyPressAndClassifiesTheRest) {
    const PeekCase cases[] = {
        {"nothing pending", {}, KeyKind::NoKey, 0, 0},
        {"a key release is discarded", {KeyUp('a', 0x1E)}, KeyKind::NoKey, 0, 0},
        {"mouse, window and focus records are discarded",
         {OtherEvent(platform::MOUSE_EVENT), OtherEvent(platform::WINDOW_BUFFER_SIZE_EVENT),
          OtherEvent(platform::FOCUS_EVENT), KeyDown('b', 0x30)},
         KeyKind::CharacterKey,
         'b',
         1},
        {"modifier keys alone are skipped",
         {KeyDown(0, 0x1D), KeyDown(0, 0x2A), KeyDown(0, 0x36), KeyDown(0, 0x38), KeyDown(0, 0x3A),
          KeyDown(0, 0x45), KeyDown(0, 0x46), KeyDown('c', 0x2E)},
         KeyKind::CharacterKey,
         'c',
         1},
        {"an arrow key is special", {KeyDown(0, 0x4B)}, KeyKind::SpecialKey, 0, 1},
        {"Alt with a letter is special",
         {KeyDown('a', 0x1E, LEFT_ALT_PRESSED)},
         KeyKind::SpecialKey,
         0,
         1},
        {"AltGr with a letter is special",
         {KeyDown('q', 0x10, RIGHT_ALT_PRESSED | LEFT_CTRL_PRESSED)},
         KeyKind::SpecialKey,
         0,
         1},
        {"AltGr with a digit gives the reported character",
         {KeyDown('@', 0x03, RIGHT_ALT_PRESSED)},
         KeyKind::CharacterKey,
         '@',
         1},
        {"Caps Lock without Shift turns ! back into 1",
         {KeyDown('!', 0x02, CAPSLOCK_ON)},
         KeyKind::CharacterKey,
         '1',
         1},
        {"Caps Lock with Shift turns 1 into !",
         {KeyDown('1', 0x02, CAPSLOCK_ON | SHIFT_PRESSED)},
         KeyKind::CharacterKey,
         '!',
         1},
        {"Caps Lock with Shift on the last table key",
         {KeyDown('/', 0x35, CAPSLOCK_ON | SHIFT_PRESSED)},
         KeyKind::CharacterKey,
         '?',
         1},
        {"without Caps Lock the character is kept",
         {KeyDown('!', 0x02, 0)},
         KeyKind::CharacterKey,
         '!',
         1},
        {"Caps Lock leaves a character that is neither form",
         {KeyDown(0xA7, 0x02, CAPSLOCK_ON)},
         KeyKind::CharacterKey,
         0xA7,
         1},
        {"Caps Lock leaves letters to the console",
         {KeyDown('A', 0x1E, CAPSLOCK_ON)},
         KeyKind::CharacterKey,
         'A',
         1},
        {"only the scan code's low byte counts",
         {KeyDown('!', 0xE002, CAPSLOCK_ON)},
         KeyKind::CharacterKey,
         '1',
         1},
    };
    for (const PeekCase& c : cases) {
        SCOPED_TRACE(c.Name);
        StartKeyboard(10, 4);
        Queue(c.Records);
        const ClassifiedKey key = PeekKey();
        EXPECT_EQ(key.Kind, c.Kind);
        EXPECT_EQ(key.Character, c.Character);
        EXPECT_EQ(RecordsLeft(), c.Left);
    }
}

TEST(PeekKey, ReportsTheRecordsScanCodeAndLowControlState) {
    StartKeyboard(10, 4);
    Queue({KeyDown('1', 0x0102, 0x10000 | CAPSLOCK_ON | SHIFT_PRESSED)});
    const ClassifiedKey key = PeekKey();
    EXPECT_EQ(key.ScanCode, 0x02);
    EXPECT_EQ(key.ControlKeyState, CAPSLOCK_ON | SHIFT_PRESSED);
}

TEST(LineInput, EchoesFromThePromptsZoneAndReturnsTheLineExactly) {
    StartKeyboard(81, 30);
    WriteText("   Name of Wave file?");
    NextPrintZone();
    Type("Take 1.WAV\r");
    EXPECT_EQ(LineInput(), "Take 1.WAV");
    EXPECT_EQ(RowText(0), Padded("   Name of Wave file?       Take 1.WAV"));
    EXPECT_EQ(AttributeAt(28, 0), BlackOnWhite);
    EXPECT_EQ(CursorPlace(), (Place{0, 1}));
    EXPECT_EQ(RecordsLeft(), 0u);
}

TEST(LineInput, EnterOnAnEmptyLineStillEndsTheLine) {
    StartKeyboard(10, 4);
    Type("\r");
    EXPECT_EQ(LineInput(), "");
    EXPECT_EQ(CursorPlace(), (Place{0, 1}));
}

TEST(LineInput, BackspaceOnAnEmptyLineDoesNothing) {
    StartKeyboard(10, 4);
    WriteText("P>");
    Queue({KeyDown(BackspaceKey, 0x0E), KeyDown(BackspaceKey, 0x0E), KeyDown('a'),
           KeyDown(EnterKey, 0x1C)});
    EXPECT_EQ(LineInput(), "a");
    EXPECT_EQ(RowText(0), Padded("P>a"));
}

TEST(LineInput, BackspaceErasesTheLastCharacter) {
    StartKeyboard(10, 4);
    Type("abc\bd\r");
    EXPECT_EQ(LineInput(), "abd");
    EXPECT_EQ(RowText(0), Padded("abd"));
}

TEST(LineInput, BackspaceFromTheFirstColumnErasesTheLastCellOfTheRowAbove) {
    StartKeyboard(10, 4);
    PlaceCursor(9, 1);
    Type("abc\b\bx\r");
    EXPECT_EQ(LineInput(), "ax");
    EXPECT_EQ(RowText(0), Padded("        ax"));
    EXPECT_EQ(RowText(1), Padded(""));
    EXPECT_EQ(CursorPlace(), (Place{0, 2}));
}

TEST(LineInput, BackspaceAfterFillingTheBottomRightCellErasesItWithoutScrolling) {
    StartKeyboard(10, 3);
    WriteText("top");
    PlaceCursor(1, 2);
    WriteText("mid");
    PlaceCursor(1, 3);
    Type("abcdefghij\b\r");
    EXPECT_EQ(LineInput(), "abcdefghi");
    // Only Enter's new line scrolled.
    EXPECT_EQ(RowText(0), Padded("mid"));
    EXPECT_EQ(RowText(1), "abcdefghi ");
    EXPECT_EQ(RowText(2), Padded(""));
    EXPECT_EQ(CursorPlace(), (Place{0, 2}));
}

TEST(LineInput, KeysThatAreNoCharactersChangeNothing) {
    StartKeyboard(20, 4);
    Queue({KeyDown('a'), KeyDown(0, 0x4B), KeyDown(0, 0x47), KeyDown(0, 0x53), KeyDown(0, 0x3B),
           KeyDown(9, 0x0F), KeyDown(27, 0x01), KeyDown(3, 0x2E, LEFT_CTRL_PRESSED),
           KeyDown(10, 0x24, LEFT_CTRL_PRESSED), KeyDown('x', 0x2D, LEFT_ALT_PRESSED), KeyUp('q'),
           KeyDown(0, 0x2A), OtherEvent(platform::MOUSE_EVENT), KeyDown('b'), KeyDown(EnterKey)});
    EXPECT_EQ(LineInput(), "ab");
    EXPECT_EQ(RowText(0), Padded("ab"));
    EXPECT_EQ(platform::TheConsole().BellsRung, 0u);
}

TEST(LineInput, Characters8And13EditLikeBackspaceAndEnterWhicheverKeyGaveThem) {
    StartKeyboard(10, 4);
    Queue({KeyDown('a'), KeyDown('b'), KeyDown(8, 0x23, LEFT_CTRL_PRESSED),
           KeyDown(13, 0x32, LEFT_CTRL_PRESSED), KeyDown('z')});
    EXPECT_EQ(LineInput(), "a");
    // The key after Enter waits for the next reader.
    ASSERT_EQ(RecordsLeft(), 1u);
    EXPECT_EQ(platform::TheConsole().Input.front().KeyEvent.AsciiChar, 'z');
}

TEST(LineInput, Character127AndCodePageCharactersAreTakenAsSingleBytes) {
    StartKeyboard(10, 4);
    Queue({KeyDown(0x7F, 0x0E, LEFT_CTRL_PRESSED), KeyDown(0x80), KeyDown(0xE9), KeyDown(0xFF),
           KeyDown(EnterKey)});
    EXPECT_EQ(LineInput(), "\x7f\x80\xe9\xff");
    EXPECT_EQ(RowText(0), Padded("\x7f\x80\xe9\xff"));
}

TEST(LineInput, ARecordWithARepeatCountGivesOneCharacter) {
    StartKeyboard(10, 4);
    platform::InputRecord held = KeyDown('r');
    held.KeyEvent.RepeatCount = 5;
    Queue({held, KeyDown(EnterKey)});
    EXPECT_EQ(LineInput(), "r");
}

TEST(LineInput, KeysQueuedBeforeThePromptAreTakenInOrderAndLaterOnesWait) {
    StartKeyboard(10, 4);
    Type("ab\rcd");
    EXPECT_EQ(LineInput(), "ab");
    EXPECT_EQ(RecordsLeft(), 2u);
    Type("\r");
    EXPECT_EQ(LineInput(), "cd");
}

TEST(LineInput, TheCharacterAfterAFullLineIsDroppedUntilABackspace) {
    StartKeyboard(81, 30);
    Type(std::string(LineInputCapacity, 'a'));
    Type("b\bc\r");
    const std::string line = LineInput();
    ASSERT_EQ(line.size(), static_cast<std::size_t>(LineInputCapacity));
    EXPECT_EQ(line.find_first_not_of('a'), line.size() - 1);
    EXPECT_EQ(line.back(), 'c');
    // 10000 characters end in column 37 of a row (10000 = 123 * 81 + 37), the dropped "b"
    // left no mark, and the line's end scrolled up by Enter's new line.
    EXPECT_EQ(RowText(28), Padded(std::string(36, 'a') + "c"));
}

TEST(LineInput, ShowsAHiddenCursorOnlyForTheLineAndHidesItAgain) {
    platform::ResetConsole(10, 4);
    platform::TheConsole().CursorLook = platform::CursorInfo{30, false};
    PrepareConsole();
    platform::MarkKeyboardGoneForTest();
    Type("a\r");
    EXPECT_EQ(LineInput(), "a");
    EXPECT_FALSE(platform::TheConsole().CursorLook.Visible);
    EXPECT_EQ(platform::TheConsole().CursorLook.Size, 30u);
    EXPECT_EQ(ConsoleModuleState().CursorOverridden, 0u);
}

TEST(LineInput, ReturnsWhatWasTypedWhenTheKeyboardIsGone) {
    StartKeyboard(10, 4);
    Type("ab");
    EXPECT_FALSE(KeyboardLost());
    EXPECT_EQ(LineInput(), "ab");
    EXPECT_EQ(CursorPlace(), (Place{0, 1}));
    EXPECT_TRUE(KeyboardLost());
}

TEST(WaitForKey, EndsOnAKeyPressAndLeavesItInTheInput) {
    StartKeyboard(10, 4);
    Queue({KeyUp('a'), KeyDown(0, 0x2A), KeyDown(0, 0x3A), OtherEvent(platform::MOUSE_EVENT),
           OtherEvent(platform::FOCUS_EVENT), KeyDown(0, 0x3B), KeyDown('x')});
    WaitForKey();
    ASSERT_EQ(RecordsLeft(), 2u);
    EXPECT_EQ(platform::TheConsole().Input.front().KeyEvent.VirtualScanCode, 0x3B);
    EXPECT_FALSE(KeyboardLost());
}

TEST(WaitForKey, ModifiersAloneDoNotEndItButALostKeyboardDoes) {
    StartKeyboard(10, 4);
    Queue({KeyDown(0, 0x1D), KeyDown(0, 0x38), KeyUp('a')});
    WaitForKey();
    EXPECT_EQ(RecordsLeft(), 0u);
    EXPECT_TRUE(KeyboardLost());
}

struct BackCase {
    const char* Name;
    Place From;
    bool Owed;
    Place To;
};

TEST(CursorBackOne, StepsBackOneCellAcrossRowStarts) {
    const BackCase cases[] = {
        {"within a row", {3, 1}, false, {2, 1}},
        {"from the first column to the row above's last", {0, 2}, false, {9, 1}},
        {"from the top-left to the top row's last cell", {0, 0}, false, {9, 0}},
        {"with a scroll owed to the bottom-right cell", {0, 3}, true, {9, 3}},
    };
    for (const BackCase& c : cases) {
        SCOPED_TRACE(c.Name);
        StartKeyboard(10, 4);
        PlaceCursor(c.From.Column + 1, c.From.Row + 1);
        ConsoleModuleState().PendingWrap = c.Owed ? 0xFF : 0;
        CursorBackOne();
        EXPECT_EQ(CursorPlace(), c.To);
        EXPECT_FALSE(WrapOwed());
    }
}

}  // namespace
