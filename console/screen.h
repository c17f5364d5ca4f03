#pragma once
// The console screen: cell-by-cell text output with wrapping and deferred scrolling, colours,
// print zones, cursor and bell. Every operation reads the cursor and the screen size afresh
// from the console and ignores the results of its platform calls.
#include <cstdint>
#include <string_view>

#include "platform/console_api.h"

struct ConsoleColour {
    std::uint32_t Foreground;  // colour number 0-15: bright*8 + red*4 + green*2 + blue
    std::uint32_t Background;  // colour number 0-15
};

struct CursorLook {
    std::uint32_t Size;  // percent of the cell, 1-100
    std::uint32_t Visible;
};

// The module's own state, one for the process.
// Invariant: PendingWrap is set only while the cursor stands in column 0 of the bottom row.
struct TextConsole {
    platform::Handle ScreenHandle;
    platform::Handle KeyboardHandle;
    ConsoleColour CurrentColour;     // colour of every cell written, blanked or scrolled in
    std::uint8_t PendingWrap;        // 0 or 0xFF: the scroll a full bottom row needs is owed
    CursorLook SavedCursor;          // the look to show whenever the module sets it
    std::uint32_t CursorOverridden;  // shown or hidden against SavedCursor for one operation
};

// Read access for tests and for the keyboard part of the module.
TextConsole& ConsoleModuleState();

// Start-up: picks the screen handle, sets console modes, opens the keyboard, notes the cursor.
void PrepareConsole();

void SetColour(std::uint32_t foreground, std::uint32_t background, std::uint32_t recolourCount);
void ClearScreen();
void SetScreenSize(std::uint32_t columns, std::uint32_t rows);
void WriteText(std::string_view text);
void WriteCharacter(unsigned char character);
void NewLine();
void NextPrintZone();
// Column and row counted from 1; either one out of range keeps the present one.
void PlaceCursor(std::int32_t column, std::int32_t row);
platform::Coord CursorPosition();  // from 0
platform::Coord ScreenSize();      // columns, rows
// For one operation: show the cursor when SavedCursor calls it hidden, or hide it when
// SavedCursor calls it visible; RestoreCursor then puts SavedCursor back.
void ShowCursorForOperation();
void HideCursorForOperation();
void RestoreCursor();
void Bell();
// Brings the display up to date with the screen now, for text that must be seen before
// long work begins; waits for input do this by themselves.
void ShowScreenNow();
