// The in-memory console: its screen buffer and the screen operations over it. Every screen
// operation works on this one console whatever handle it is given, so the cells can be seen
// with no terminal at all; the renderer mirrors them onto the terminal when there is one.
#include <algorithm>
#include <cstddef>

#include "platform/console_api.h"
#include "platform/terminal/terminal.h"

namespace platform {

namespace {

constexpr unsigned char BlankCharacter = 0x20;
constexpr std::uint8_t StartAttribute = 0x07;  // light grey on black
constexpr std::uint32_t StartCursorSize = 25;
constexpr std::int16_t StartColumns = 80;
constexpr std::int16_t StartRows = 25;

// Set by MarkKeyboardGoneForTest, cleared by ResetConsole.
bool KeyboardMarkedGone = false;

ConsoleState BlankConsole(std::int16_t columns, std::int16_t rows) {
    ConsoleState console{};
    console.Size = Coord{columns, rows};
    console.Window = SmallRect{0, 0, static_cast<std::int16_t>(columns - 1),
                               static_cast<std::int16_t>(rows - 1)};
    console.Cells.assign(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows),
                         CharInfo{BlankCharacter, StartAttribute});
    console.Cursor = Coord{0, 0};
    console.CursorLook = CursorInfo{StartCursorSize, true};
    console.TextAttribute = StartAttribute;
    return console;
}

std::int16_t WindowColumns(const SmallRect& window) {
    return static_cast<std::int16_t>(window.Right - window.Left + 1);
}
std::int16_t WindowRows(const SmallRect& window) {
    return static_cast<std::int16_t>(window.Bottom - window.Top + 1);
}

bool InsideBuffer(const ConsoleState& console, int column, int row) {
    return column >= 0 && row >= 0 && column < console.Size.X && row < console.Size.Y;
}

std::size_t CellIndex(const ConsoleState& console, int column, int row) {
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(console.Size.X) +
           static_cast<std::size_t>(column);
}

// Moves the window, keeping its size, by the least amount that brings the cursor into view.
void ScrollWindowToCursor(ConsoleState& console) {
    SmallRect& window = console.Window;
    int shiftX = 0;
    int shiftY = 0;
    if (console.Cursor.X < window.Left) shiftX = console.Cursor.X - window.Left;
    if (console.Cursor.X > window.Right) shiftX = console.Cursor.X - window.Right;
    if (console.Cursor.Y < window.Top) shiftY = console.Cursor.Y - window.Top;
    if (console.Cursor.Y > window.Bottom) shiftY = console.Cursor.Y - window.Bottom;
    window.Left = static_cast<std::int16_t>(window.Left + shiftX);
    window.Right = static_cast<std::int16_t>(window.Right + shiftX);
    window.Top = static_cast<std::int16_t>(window.Top + shiftY);
    window.Bottom = static_cast<std::int16_t>(window.Bottom + shiftY);
}

// Cells from start on, row after row, that a fill of length may touch: it stops at the
// buffer's end. Zero when start lies outside the buffer.
std::uint32_t FillableCells(const ConsoleState& console, Coord start, std::uint32_t length) {
    if (!InsideBuffer(console, start.X, start.Y)) return 0;
    const std::size_t left = console.Cells.size() - CellIndex(console, start.X, start.Y);
    return static_cast<std::uint32_t>(std::min<std::size_t>(length, left));
}

}  // namespace

ConsoleState& TheConsole() {
    static ConsoleState console = BlankConsole(StartColumns, StartRows);
    return console;
}

void ResetConsole(std::int16_t columns, std::int16_t rows) {
    const std::uint64_t changes = TheConsole().Changes;
    TheConsole() = BlankConsole(columns, rows);
    TheConsole().Changes = changes + 1;
    KeyboardMarkedGone = false;
}

void MarkKeyboardGoneForTest() {
    KeyboardMarkedGone = true;
}

bool ConsoleInputLost(Handle) {
    // Records already queued are still to be read, whatever became of the terminal.
    if (!TheConsole().Input.empty()) return false;
    return KeyboardMarkedGone || KeyboardGone();
}

bool GetConsoleScreenBufferInfo(Handle, ScreenBufferInfo* info) {
    const ConsoleState& console = TheConsole();
    info->Size = console.Size;
    info->CursorPosition = console.Cursor;
    info->Attributes = console.TextAttribute;
    info->Window = console.Window;
    return true;
}

bool SetConsoleCursorPosition(Handle, Coord position) {
    ConsoleState& console = TheConsole();
    if (!InsideBuffer(console, position.X, position.Y)) return false;
    ++console.Changes;
    console.Cursor = position;
    ScrollWindowToCursor(console);
    return true;
}

bool WriteConsoleOutputA(Handle, const CharInfo* cells, std::int16_t count, Coord at) {
    ConsoleState& console = TheConsole();
    if (count < 0 || !InsideBuffer(console, at.X, at.Y)) return false;
    ++console.Changes;
    const int kept = std::min<int>(count, console.Size.X - at.X);
    std::copy(cells, cells + kept, console.Cells.begin() + CellIndex(console, at.X, at.Y));
    return true;
}

bool ScrollConsoleScreenBufferA(Handle, SmallRect scroll, Coord destination, CharInfo fill) {
    ConsoleState& console = TheConsole();
    // The part of the rectangle outside the buffer does not take part; the destination
    // shifts with whatever was cut off its top and left.
    const int left = std::max<int>(scroll.Left, 0);
    const int top = std::max<int>(scroll.Top, 0);
    const int right = std::min<int>(scroll.Right, console.Size.X - 1);
    const int bottom = std::min<int>(scroll.Bottom, console.Size.Y - 1);
    if (left > right || top > bottom) return false;
    ++console.Changes;
    const int toLeft = destination.X + (left - scroll.Left);
    const int toTop = destination.Y + (top - scroll.Top);

    const int columns = right - left + 1;
    const int rows = bottom - top + 1;
    std::vector<CharInfo> moved;
    moved.reserve(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows));
    for (int row = top; row <= bottom; ++row) {
        for (int column = left; column <= right; ++column) {
            moved.push_back(console.Cells[CellIndex(console, column, row)]);
            console.Cells[CellIndex(console, column, row)] = fill;
        }
    }
    // The destination then covers whatever part of the filled source it overlaps.
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            if (InsideBuffer(console, toLeft + column, toTop + row)) {
                console.Cells[CellIndex(console, toLeft + column, toTop + row)] =
                    moved[static_cast<std::size_t>(row) * static_cast<std::size_t>(columns) +
                          static_cast<std::size_t>(column)];
            }
        }
    }
    return true;
}

bool FillConsoleOutputCharacterA(Handle, unsigned char character, std::uint32_t length, Coord start,
                                 std::uint32_t* written) {
    ConsoleState& console = TheConsole();
    const std::uint32_t count = FillableCells(console, start, length);
    if (written != nullptr) *written = count;
    if (!InsideBuffer(console, start.X, start.Y)) return false;
    ++console.Changes;
    const std::size_t first = CellIndex(console, start.X, start.Y);
    for (std::size_t i = first; i < first + count; ++i) console.Cells[i].Char = character;
    return true;
}

bool FillConsoleOutputAttribute(Handle, std::uint16_t attribute, std::uint32_t length, Coord start,
                                std::uint32_t* written) {
    ConsoleState& console = TheConsole();
    const std::uint32_t count = FillableCells(console, start, length);
    if (written != nullptr) *written = count;
    if (!InsideBuffer(console, start.X, start.Y)) return false;
    ++console.Changes;
    const auto value = static_cast<std::uint8_t>(attribute);
    const std::size_t first = CellIndex(console, start.X, start.Y);
    for (std::size_t i = first; i < first + count; ++i) console.Cells[i].Attributes = value;
    return true;
}

bool SetConsoleTextAttribute(Handle, std::uint16_t attribute) {
    TheConsole().TextAttribute = attribute;
    return true;
}

bool SetConsoleScreenBufferSize(Handle, Coord size) {
    ConsoleState& console = TheConsole();
    // The buffer must hold the window as it stands.
    if (size.X < WindowColumns(console.Window) || size.Y < WindowRows(console.Window)) {
        return false;
    }
    if (size.X == console.Size.X && size.Y == console.Size.Y) return true;
    ++console.Changes;

    // Cells keep their place; cells the buffer gains are blank in the console's attribute.
    std::vector<CharInfo> cells(
        static_cast<std::size_t>(size.X) * static_cast<std::size_t>(size.Y),
        CharInfo{BlankCharacter, static_cast<std::uint8_t>(console.TextAttribute)});
    const int keptColumns = std::min(size.X, console.Size.X);
    const int keptRows = std::min(size.Y, console.Size.Y);
    for (int row = 0; row < keptRows; ++row) {
        auto from = console.Cells.begin() + CellIndex(console, 0, row);
        std::copy(from, from + keptColumns,
                  cells.begin() + static_cast<std::ptrdiff_t>(row) * size.X);
    }
    console.Cells = std::move(cells);
    console.Size = size;

    // The window keeps its size and slides back inside a buffer that shrank under it.
    SmallRect& window = console.Window;
    const int backX = std::max(0, window.Right - (size.X - 1));
    const int backY = std::max(0, window.Bottom - (size.Y - 1));
    window.Left = static_cast<std::int16_t>(window.Left - backX);
    window.Right = static_cast<std::int16_t>(window.Right - backX);
    window.Top = static_cast<std::int16_t>(window.Top - backY);
    window.Bottom = static_cast<std::int16_t>(window.Bottom - backY);

    console.Cursor.X = std::min<std::int16_t>(console.Cursor.X, size.X - 1);
    console.Cursor.Y = std::min<std::int16_t>(console.Cursor.Y, size.Y - 1);
    return true;
}

bool SetConsoleWindowInfo(Handle, bool absolute, SmallRect window) {
    ConsoleState& console = TheConsole();
    if (!absolute) {
        window.Left = static_cast<std::int16_t>(window.Left + console.Window.Left);
        window.Top = static_cast<std::int16_t>(window.Top + console.Window.Top);
        window.Right = static_cast<std::int16_t>(window.Right + console.Window.Right);
        window.Bottom = static_cast<std::int16_t>(window.Bottom + console.Window.Bottom);
    }
    if (window.Left < 0 || window.Top < 0 || window.Right < window.Left ||
        window.Bottom < window.Top || window.Right >= console.Size.X ||
        window.Bottom >= console.Size.Y) {
        return false;
    }
    const bool resized = WindowColumns(window) != WindowColumns(console.Window) ||
                         WindowRows(window) != WindowRows(console.Window);
    ++console.Changes;
    console.Window = window;
    // The terminal shows the window, so it is asked to take the window's size.
    if (resized) RequestTerminalSize(WindowColumns(window), WindowRows(window));
    return true;
}

bool GetConsoleCursorInfo(Handle, CursorInfo* info) {
    *info = TheConsole().CursorLook;
    return true;
}

bool SetConsoleCursorInfo(Handle, CursorInfo info) {
    if (info.Size < 1 || info.Size > 100) return false;
    ++TheConsole().Changes;
    TheConsole().CursorLook = info;
    return true;
}

}  // namespace platform
