// The console operations on Windows: each is the console API's own call, with our records
// turned into the console's and back. The console is the real one, so nothing is kept here.
#include <algorithm>

#include "platform/windows/api.h"

namespace platform {

namespace {

// One call of WriteConsoleOutputA takes at most this many cells; a longer run takes several.
constexpr std::int16_t RunCells = 256;

HANDLE Native(Handle handle) {
    return static_cast<HANDLE>(handle);
}

COORD ToNative(Coord at) {
    return COORD{at.X, at.Y};
}

Coord FromNative(COORD at) {
    return Coord{at.X, at.Y};
}

SMALL_RECT ToNative(SmallRect rect) {
    return SMALL_RECT{rect.Left, rect.Top, rect.Right, rect.Bottom};
}

SmallRect FromNative(SMALL_RECT rect) {
    return SmallRect{rect.Left, rect.Top, rect.Right, rect.Bottom};
}

CHAR_INFO ToNative(CharInfo cell) {
    CHAR_INFO native{};
    native.Char.AsciiChar = static_cast<CHAR>(cell.Char);
    native.Attributes = cell.Attributes;
    return native;
}

}  // namespace

bool GetConsoleScreenBufferInfo(Handle handle, ScreenBufferInfo* info) {
    CONSOLE_SCREEN_BUFFER_INFO native{};
    if (!::GetConsoleScreenBufferInfo(Native(handle), &native)) return false;
    *info = ScreenBufferInfo{FromNative(native.dwSize), FromNative(native.dwCursorPosition),
                             native.wAttributes, FromNative(native.srWindow)};
    return true;
}

bool SetConsoleCursorPosition(Handle handle, Coord position) {
    return ::SetConsoleCursorPosition(Native(handle), ToNative(position)) != 0;
}

bool WriteConsoleOutputA(Handle handle, const CharInfo* cells, std::int16_t count, Coord at) {
    CHAR_INFO run[RunCells];
    bool written = true;
    for (std::int16_t done = 0; done < count;) {
        const auto n = static_cast<std::int16_t>(std::min<int>(count - done, RunCells));
        for (std::int16_t i = 0; i < n; ++i) run[i] = ToNative(cells[done + i]);
        // The console clips the region to its buffer: cells past the row's end are dropped.
        SMALL_RECT region{static_cast<SHORT>(at.X + done), at.Y,
                          static_cast<SHORT>(at.X + done + n - 1), at.Y};
        written = ::WriteConsoleOutputA(Native(handle), run, COORD{n, 1}, COORD{0, 0}, &region) &&
                  written;
        done = static_cast<std::int16_t>(done + n);
    }
    return written;
}

bool ScrollConsoleScreenBufferA(Handle handle, SmallRect scroll, Coord destination, CharInfo fill) {
    const SMALL_RECT rect = ToNative(scroll);
    const CHAR_INFO blank = ToNative(fill);
    return ::ScrollConsoleScreenBufferA(Native(handle), &rect, nullptr, ToNative(destination),
                                        &blank) != 0;
}

// The console insists on somewhere to put the count, which our callers may not want.
bool FillConsoleOutputCharacterA(Handle handle, unsigned char character, std::uint32_t length,
                                 Coord start, std::uint32_t* written) {
    DWORD filled = 0;
    const bool done = ::FillConsoleOutputCharacterA(Native(handle), static_cast<CHAR>(character),
                                                    length, ToNative(start), &filled) != 0;
    if (written != nullptr) *written = filled;
    return done;
}

bool FillConsoleOutputAttribute(Handle handle, std::uint16_t attribute, std::uint32_t length,
                                Coord start, std::uint32_t* written) {
    DWORD filled = 0;
    const bool done = ::FillConsoleOutputAttribute(Native(handle), attribute, length,
                                                   ToNative(start), &filled) != 0;
    if (written != nullptr) *written = filled;
    return done;
}

bool SetConsoleTextAttribute(Handle handle, std::uint16_t attribute) {
    return ::SetConsoleTextAttribute(Native(handle), attribute) != 0;
}

bool SetConsoleScreenBufferSize(Handle handle, Coord size) {
    return ::SetConsoleScreenBufferSize(Native(handle), ToNative(size)) != 0;
}

bool SetConsoleWindowInfo(Handle handle, bool absolute, SmallRect window) {
    const SMALL_RECT rect = ToNative(window);
    return ::SetConsoleWindowInfo(Native(handle), absolute ? TRUE : FALSE, &rect) != 0;
}

bool GetConsoleCursorInfo(Handle handle, CursorInfo* info) {
    CONSOLE_CURSOR_INFO native{};
    if (!::GetConsoleCursorInfo(Native(handle), &native)) return false;
    *info = CursorInfo{native.dwSize, native.bVisible != 0};
    return true;
}

bool SetConsoleCursorInfo(Handle handle, CursorInfo info) {
    const CONSOLE_CURSOR_INFO native{info.Size, info.Visible ? TRUE : FALSE};
    return ::SetConsoleCursorInfo(Native(handle), &native) != 0;
}

// The real console shows every change as it is made: there is nothing to flush.
void FlushScreen() {}

}  // namespace platform
