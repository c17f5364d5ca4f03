// The console screen. The module keeps no copy of the cursor or the screen size: every
// operation asks the console for them, so drawing always follows the console's real size.
// Results of console calls are ignored throughout: a refused call simply has no effect.
#include "console/screen.h"

#include <algorithm>
#include <cstddef>

#include "platform/console_api.h"

namespace {

TextConsole Module{};

constexpr std::uint32_t OutputMode = 3;  // processed output, wrap at end of line
constexpr std::uint32_t InputMode = 0;   // raw key records: no line input, echo or Ctrl+C
constexpr std::uint32_t FallbackCursorSize = 10;
constexpr std::uint32_t StartForeground = 7;
constexpr std::uint32_t StartBackground = 0;
constexpr std::uint32_t ColourCount = 16;
constexpr std::uint8_t WrapOwed = 0xFF;
constexpr unsigned char Blank = 0x20;
constexpr int PrintZoneWidth = 14;
// One row segment of a write is prepared here; rows are at most 255 columns wide.
constexpr std::size_t SegmentCells = 256;

std::uint8_t CurrentAttribute() {
    return static_cast<std::uint8_t>(Module.CurrentColour.Background * 16 +
                                     Module.CurrentColour.Foreground);
}

platform::ScreenBufferInfo AskConsole() {
    platform::ScreenBufferInfo info{};
    platform::GetConsoleScreenBufferInfo(Module.ScreenHandle, &info);
    return info;
}

void ApplyCursorLook(std::uint32_t size, bool visible) {
    platform::SetConsoleCursorInfo(Module.ScreenHandle, platform::CursorInfo{size, visible});
}

// Moves every row up by one and blanks the bottom row in the current colour; the top row's
// content is lost and the cursor stays where it is.
void ScrollScreenUpOneRow() {
    const platform::Coord size = ScreenSize();
    const platform::SmallRect below{0, 1, static_cast<std::int16_t>(size.X - 1),
                                    static_cast<std::int16_t>(size.Y - 1)};
    platform::ScrollConsoleScreenBufferA(Module.ScreenHandle, below, platform::Coord{0, 0},
                                         platform::CharInfo{Blank, CurrentAttribute()});
}

}  // namespace

TextConsole& ConsoleModuleState() {
    return Module;
}

void PrepareConsole() {
    const platform::Handle errorHandle = platform::GetStdHandle(platform::STD_ERROR_HANDLE);
    const platform::Handle inputHandle = platform::GetStdHandle(platform::STD_INPUT_HANDLE);
    const platform::Handle outputHandle = platform::GetStdHandle(platform::STD_OUTPUT_HANDLE);
    Module.ScreenHandle = errorHandle;
    Module.KeyboardHandle = platform::OpenConsoleInput();
    // Screen text never goes to a redirected standard output.
    std::uint32_t mode = 0;
    if (platform::GetConsoleMode(outputHandle, &mode)) Module.ScreenHandle = outputHandle;
    platform::SetConsoleMode(Module.ScreenHandle, OutputMode);
    platform::SetConsoleMode(inputHandle, InputMode);

    platform::CursorInfo look{};
    bool known = platform::GetConsoleCursorInfo(Module.ScreenHandle, &look) && look.Size != 0;
    if (!known) {
        known = platform::GetConsoleCursorInfo(outputHandle, &look) && look.Size != 0;
    }
    if (known) {
        Module.SavedCursor = CursorLook{look.Size, look.Visible ? 1u : 0u};
    } else {
        Module.SavedCursor = CursorLook{FallbackCursorSize, 1};
        ApplyCursorLook(FallbackCursorSize, true);
    }

    // Nothing is drawn here: the program sets its colour before its first drawing.
    Module.CurrentColour = ConsoleColour{StartForeground, StartBackground};
    Module.PendingWrap = 0;
    Module.CursorOverridden = 0;
}

void SetColour(std::uint32_t foreground, std::uint32_t background, std::uint32_t recolourCount) {
    // A colour out of range (a negative one included) keeps the present one.
    if (foreground < ColourCount) Module.CurrentColour.Foreground = foreground;
    if (background < ColourCount) Module.CurrentColour.Background = background;
    const std::uint8_t attribute = CurrentAttribute();
    platform::SetConsoleTextAttribute(Module.ScreenHandle, attribute);
    platform::FillConsoleOutputAttribute(Module.ScreenHandle, attribute, recolourCount,
                                         CursorPosition(), nullptr);
}

void ClearScreen() {
    HideCursorForOperation();
    const platform::Coord size = ScreenSize();
    // The whole buffer, not only the visible window.
    const auto cells = static_cast<std::uint32_t>(std::max(0, size.X * size.Y));
    platform::FillConsoleOutputCharacterA(Module.ScreenHandle, Blank, cells, platform::Coord{0, 0},
                                          nullptr);
    platform::FillConsoleOutputAttribute(Module.ScreenHandle, CurrentAttribute(), cells,
                                         platform::Coord{0, 0}, nullptr);
    PlaceCursor(1, 1);
    RestoreCursor();
}

void SetScreenSize(std::uint32_t columns, std::uint32_t rows) {
    if (columns > 9999 || rows > 9999) return;
    const auto wantedColumns = static_cast<std::int16_t>(columns);
    const auto wantedRows = static_cast<std::int16_t>(rows);
    const platform::Coord present = ScreenSize();
    // Grow first so that the new window fits inside the buffer, then cut to the window.
    platform::SetConsoleScreenBufferSize(
        Module.ScreenHandle,
        platform::Coord{std::max(present.X, wantedColumns), std::max(present.Y, wantedRows)});
    platform::SetConsoleWindowInfo(
        Module.ScreenHandle, true,
        platform::SmallRect{0, 0, static_cast<std::int16_t>(wantedColumns - 1),
                            static_cast<std::int16_t>(wantedRows - 1)});
    platform::SetConsoleScreenBufferSize(Module.ScreenHandle,
                                         platform::Coord{wantedColumns, wantedRows});
}

void WriteText(std::string_view text) {
    if (text.empty()) return;
    const std::uint8_t attribute = CurrentAttribute();
    const platform::Coord size = ScreenSize();
    const platform::Coord cursor = CursorPosition();
    const int width = size.X;
    const int height = size.Y;
    int x = cursor.X;
    int y = cursor.Y;
    if (x < 0 || y < 0 || x >= width || y >= height) return;  // no screen to draw on

    platform::CharInfo segment[SegmentCells];
    std::size_t next = 0;
    while (next < text.size()) {
        // The scroll that a full bottom row owes is paid only now that more text follows.
        if (Module.PendingWrap != 0) {
            Module.PendingWrap = 0;
            ScrollScreenUpOneRow();
        }
        const std::size_t n =
            std::min({text.size() - next, static_cast<std::size_t>(width - x), SegmentCells});
        for (std::size_t i = 0; i < n; ++i) {
            segment[i] = platform::CharInfo{static_cast<unsigned char>(text[next + i]), attribute};
        }
        platform::WriteConsoleOutputA(
            Module.ScreenHandle, segment, static_cast<std::int16_t>(n),
            platform::Coord{static_cast<std::int16_t>(x), static_cast<std::int16_t>(y)});
        next += n;
        x += static_cast<int>(n);
        if (x >= width) {
            x = 0;
            if (y + 1 >= height) {
                Module.PendingWrap = WrapOwed;
            } else {
                ++y;
            }
        }
    }
    // Placing the cursor clears the owed scroll, which this write must keep.
    const std::uint8_t owed = Module.PendingWrap;
    PlaceCursor(x + 1, y + 1);
    Module.PendingWrap = owed;
}

void WriteCharacter(unsigned char character) {
    const char byte = static_cast<char>(character);
    WriteText(std::string_view(&byte, 1));
}

void NewLine() {
    const platform::Coord cursor = CursorPosition();
    const platform::Coord size = ScreenSize();
    if (cursor.Y + 1 < size.Y) {
        PlaceCursor(1, cursor.Y + 2);
        return;
    }
    // On the bottom row: pay an owed scroll, then scroll for the new row itself, so a full
    // bottom row is followed by an empty one like any other full row.
    if (Module.PendingWrap != 0) {
        Module.PendingWrap = 0;
        ScrollScreenUpOneRow();
    }
    ScrollScreenUpOneRow();
    PlaceCursor(1, size.Y);
}

void NextPrintZone() {
    static constexpr char Blanks[PrintZoneWidth] = {' ', ' ', ' ', ' ', ' ', ' ', ' ',
                                                    ' ', ' ', ' ', ' ', ' ', ' ', ' '};
    const int column = CursorPosition().X;
    // A cursor already at a zone's start moves a whole zone on.
    const int count = PrintZoneWidth - column % PrintZoneWidth;
    WriteText(std::string_view(Blanks, static_cast<std::size_t>(count)));
}

void PlaceCursor(std::int32_t column, std::int32_t row) {
    const platform::Coord size = ScreenSize();
    const platform::Coord cursor = CursorPosition();
    if (column < 1 || column > size.X) column = cursor.X + 1;
    if (row < 1 || row > size.Y) row = cursor.Y + 1;
    platform::SetConsoleCursorPosition(
        Module.ScreenHandle,
        platform::Coord{static_cast<std::int16_t>(column - 1), static_cast<std::int16_t>(row - 1)});
    Module.PendingWrap = 0;
}

platform::Coord CursorPosition() {
    return AskConsole().CursorPosition;
}

platform::Coord ScreenSize() {
    return AskConsole().Size;
}

// Shows the cursor for one operation when the saved look calls it hidden.
void ShowCursorForOperation() {
    if (Module.SavedCursor.Visible != 0) return;
    ApplyCursorLook(Module.SavedCursor.Size, true);
    Module.CursorOverridden = 1;
}

// Hides the cursor for one operation when the saved look calls it visible.
void HideCursorForOperation() {
    if (Module.SavedCursor.Visible == 0) return;
    ApplyCursorLook(Module.SavedCursor.Size, false);
    Module.CursorOverridden = 1;
}

void RestoreCursor() {
    if (Module.CursorOverridden == 0) return;
    ApplyCursorLook(Module.SavedCursor.Size, Module.SavedCursor.Visible != 0);
    Module.CursorOverridden = 0;
}

void Bell() {
    platform::MessageBeep(0);
}

void ShowScreenNow() {
    platform::FlushScreen();
}
