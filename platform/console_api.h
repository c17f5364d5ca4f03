#pragma once
// The console operations the console module is written against, with the names and meaning
// of the Windows console API. On Linux they work on one in-memory console (below), which the
// renderer mirrors onto the terminal and the keyboard decoder feeds with input records. On
// Windows they are the console API's own calls (platform/windows/) and the in-memory console
// does not exist.
// Every operation returns whether it succeeded; the console module ignores the results.
#include <cstdint>
#include <deque>
#include <vector>

namespace platform {

using Handle = void*;

struct Coord {
    std::int16_t X;  // column, from 0
    std::int16_t Y;  // row, from 0
};

struct SmallRect {  // inclusive bounds, in cells from 0
    std::int16_t Left;
    std::int16_t Top;
    std::int16_t Right;
    std::int16_t Bottom;
};

struct CharInfo {
    unsigned char Char;       // character byte, drawn as a glyph whatever its value
    std::uint8_t Attributes;  // background * 16 + foreground
};

struct ScreenBufferInfo {
    Coord Size;            // buffer columns and rows
    Coord CursorPosition;  // from 0
    std::uint16_t Attributes;
    SmallRect Window;
};

struct CursorInfo {
    std::uint32_t Size;  // percent of the cell, 1 to 100
    bool Visible;
};

inline constexpr std::uint16_t KEY_EVENT = 0x0001;
inline constexpr std::uint16_t MOUSE_EVENT = 0x0002;
inline constexpr std::uint16_t WINDOW_BUFFER_SIZE_EVENT = 0x0004;
inline constexpr std::uint16_t FOCUS_EVENT = 0x0010;

// Control-key state bits.
inline constexpr std::uint32_t RIGHT_ALT_PRESSED = 0x0001;
inline constexpr std::uint32_t LEFT_ALT_PRESSED = 0x0002;
inline constexpr std::uint32_t RIGHT_CTRL_PRESSED = 0x0004;
inline constexpr std::uint32_t LEFT_CTRL_PRESSED = 0x0008;
inline constexpr std::uint32_t SHIFT_PRESSED = 0x0010;
inline constexpr std::uint32_t NUMLOCK_ON = 0x0020;
inline constexpr std::uint32_t SCROLLLOCK_ON = 0x0040;
inline constexpr std::uint32_t CAPSLOCK_ON = 0x0080;
inline constexpr std::uint32_t ENHANCED_KEY = 0x0100;

struct KeyEventRecord {
    bool KeyDown;
    std::uint16_t RepeatCount;
    std::uint16_t VirtualKeyCode;
    std::uint16_t VirtualScanCode;  // low byte is the scan code
    unsigned char AsciiChar;        // 0 for a key without a character
    std::uint32_t ControlKeyState;
};

struct InputRecord {
    std::uint16_t EventType;  // KEY_EVENT, MOUSE_EVENT, ...
    KeyEventRecord KeyEvent;  // meaningful for KEY_EVENT only
};

// The in-memory console: one per process. Cells are row after row, Size.X per row.
struct ConsoleState {
    Coord Size;                   // buffer size
    SmallRect Window;             // visible window, absolute in the buffer
    std::vector<CharInfo> Cells;  // Size.X * Size.Y cells
    Coord Cursor;
    CursorInfo CursorLook;
    std::uint16_t TextAttribute;  // the console's own attribute
    std::uint32_t OutputMode;
    std::uint32_t InputMode;
    std::deque<InputRecord> Input;  // oldest first
    std::uint32_t BellsRung;        // MessageBeep calls so far
    // Goes up with every operation that may change what the screen shows (cells, cursor,
    // cursor look, window, size), so the renderer draws only after a change. Code that
    // changes those fields directly counts the change too.
    std::uint64_t Changes;
};

// The process's console, for the platform layer and for tests to inspect and feed.
ConsoleState& TheConsole();

// Starts over with a blank console of the given size (cells blank, attribute 0x07,
// cursor top-left, size 25 visible, empty input) and no terminal attached. For tests.
void ResetConsole(std::int16_t columns, std::int16_t rows);

inline constexpr std::uint32_t STD_INPUT_HANDLE = static_cast<std::uint32_t>(-10);
inline constexpr std::uint32_t STD_OUTPUT_HANDLE = static_cast<std::uint32_t>(-11);
inline constexpr std::uint32_t STD_ERROR_HANDLE = static_cast<std::uint32_t>(-12);

Handle GetStdHandle(std::uint32_t which);
// Succeeds when the handle is a console: on Linux, when its descriptor is a terminal.
bool GetConsoleMode(Handle handle, std::uint32_t* mode);
bool SetConsoleMode(Handle handle, std::uint32_t mode);
// The console keyboard, "CONIN$" (read access, shared for reading, must exist).
Handle OpenConsoleInput();

bool GetConsoleScreenBufferInfo(Handle handle, ScreenBufferInfo* info);
bool SetConsoleCursorPosition(Handle handle, Coord position);
// Writes count cells into row at.Y from column at.X on; cells past the row's end are dropped.
// The cursor does not move and no byte has a control effect.
bool WriteConsoleOutputA(Handle handle, const CharInfo* cells, std::int16_t count, Coord at);
// Moves the cells of scroll to destination and fills the cells it leaves with fill.
bool ScrollConsoleScreenBufferA(Handle handle, SmallRect scroll, Coord destination, CharInfo fill);
bool FillConsoleOutputCharacterA(Handle handle, unsigned char character, std::uint32_t length,
                                 Coord start, std::uint32_t* written);
bool FillConsoleOutputAttribute(Handle handle, std::uint16_t attribute, std::uint32_t length,
                                Coord start, std::uint32_t* written);
bool SetConsoleTextAttribute(Handle handle, std::uint16_t attribute);
bool SetConsoleScreenBufferSize(Handle handle, Coord size);
bool SetConsoleWindowInfo(Handle handle, bool absolute, SmallRect window);
bool GetConsoleCursorInfo(Handle handle, CursorInfo* info);
bool SetConsoleCursorInfo(Handle handle, CursorInfo info);
// The system's alert sound; type 0 is the default one. Does not wait.
bool MessageBeep(std::uint32_t type);

// Look at (without removing) or remove up to length records, oldest first. Before looking,
// the terminal's pending keyboard bytes become records and the screen is drawn.
bool PeekConsoleInputA(Handle handle, InputRecord* records, std::uint32_t length,
                       std::uint32_t* count);
bool ReadConsoleInputA(Handle handle, InputRecord* records, std::uint32_t length,
                       std::uint32_t* count);
void Sleep(std::uint32_t milliseconds);
// How many records the console input holds (on Linux after the same drawing and turning of
// keyboard bytes into records as a look).
bool GetNumberOfConsoleInputEvents(Handle handle, std::uint32_t* count);
// Waits until the console input holds a record, or at most the given time. A hang-up of the
// terminal ends the wait too, and so does a signal on Linux. Which of them ended it is not
// reported: the caller looks at the input either way.
void WaitForSingleObject(Handle handle, std::uint32_t milliseconds);

// True once the console keyboard can never deliver another record (no terminal, or it hung up)
// and every record it gave has been taken.
bool ConsoleInputLost(Handle handle);

// For tests: the keyboard counts as gone from now until the next ResetConsole, whatever the
// terminal layer says, so a wait on an emptied input always ends.
void MarkKeyboardGoneForTest();

// Shows what the console holds now. On a terminal the renderer draws every cell that changed
// since the last flush, the cursor and pending bells, with one write (and nothing at all when
// nothing changed); the Windows console shows every change as it is made.
void FlushScreen();

}  // namespace platform
