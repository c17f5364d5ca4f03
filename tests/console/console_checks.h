#pragma once
// Set-up and looks at the in-memory console shared by the console tests.
#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <string>
#include <string_view>

#include "console/screen.h"
#include "platform/console_api.h"

namespace console_checks {

inline constexpr std::uint8_t BlackOnWhite = 0xF0;
inline constexpr std::uint8_t GreyOnWhite = 0xF8;

// A fresh console of the given size, prepared as at start-up and cleared black on bright white.
inline void StartConsole(std::int16_t columns, std::int16_t rows) {
    platform::ResetConsole(columns, rows);
    PrepareConsole();
    SetColour(0, 15, 0);
    ClearScreen();
}

inline const platform::CharInfo& CellAt(int column, int row) {
    const platform::ConsoleState& console = platform::TheConsole();
    return console.Cells[static_cast<std::size_t>(row * console.Size.X + column)];
}

inline std::string RowText(int row) {
    std::string text;
    for (int column = 0; column < platform::TheConsole().Size.X; ++column) {
        text.push_back(static_cast<char>(CellAt(column, row).Char));
    }
    return text;
}

// A row's text padded with blanks to the console's width.
inline std::string Padded(std::string text) {
    text.resize(static_cast<std::size_t>(platform::TheConsole().Size.X), ' ');
    return text;
}

inline std::uint8_t AttributeAt(int column, int row) {
    return CellAt(column, row).Attributes;
}

struct Place {
    int Column;  // from 0
    int Row;     // from 0
    bool operator==(const Place&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Place& place) {
    return out << "column " << place.Column << ", row " << place.Row;
}

inline Place CursorPlace() {
    const platform::Coord cursor = platform::TheConsole().Cursor;
    return Place{cursor.X, cursor.Y};
}

inline bool WrapOwed() {
    return ConsoleModuleState().PendingWrap != 0;
}

inline platform::InputRecord KeyDown(unsigned char character, std::uint16_t scanCode = 0,
                                     std::uint32_t state = 0) {
    platform::InputRecord record{};
    record.EventType = platform::KEY_EVENT;
    record.KeyEvent.KeyDown = true;
    record.KeyEvent.RepeatCount = 1;
    record.KeyEvent.VirtualScanCode = scanCode;
    record.KeyEvent.AsciiChar = character;
    record.KeyEvent.ControlKeyState = state;
    return record;
}

inline platform::InputRecord KeyUp(unsigned char character, std::uint16_t scanCode = 0) {
    platform::InputRecord record = KeyDown(character, scanCode);
    record.KeyEvent.KeyDown = false;
    return record;
}

// A mouse, window-size or focus record: no key at all.
inline platform::InputRecord OtherEvent(std::uint16_t type) {
    platform::InputRecord record{};
    record.EventType = type;
    return record;
}

inline void Queue(std::initializer_list<platform::InputRecord> records) {
    for (const platform::InputRecord& record : records)
        platform::TheConsole().Input.push_back(record);
}

// One key-down record per byte, as plain typing gives them.
inline void Type(std::string_view text) {
    for (char byte : text) Queue({KeyDown(static_cast<unsigned char>(byte))});
}

}  // namespace console_checks
