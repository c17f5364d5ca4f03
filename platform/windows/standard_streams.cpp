// Standard output and standard error on Windows: the process's standard handles, written with
// WriteFile whatever they lead to (a console, a pipe, a file).
#include "platform/standard_streams.h"

#include <windows.h>

#include <algorithm>

#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif

namespace platform {

namespace {

HANDLE HandleOf(StandardStream stream) {
    return ::GetStdHandle(stream == StandardStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

bool Usable(HANDLE handle) {
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

bool WriteAll(HANDLE handle, const char* data, std::size_t length) {
    while (length > 0) {
        const auto asked = static_cast<DWORD>(std::min<std::size_t>(length, 1 << 30));
        DWORD written = 0;
        if (!WriteFile(handle, data, asked, &written, nullptr) || written == 0) return false;
        data += written;
        length -= written;
    }
    return true;
}

}  // namespace

// A console of Windows 10 or later draws the escape sequences of the progress display only
// with its sequence processing on: it is switched on for the write and back off after it, so
// the console is left as it was found. An older console shows them as they are.
bool WriteToStream(StandardStream stream, std::string_view text) {
    const HANDLE handle = HandleOf(stream);
    if (!Usable(handle)) return false;
    DWORD mode = 0;
    const bool console = GetConsoleMode(handle, &mode) != 0;
    const bool switched = console && (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) == 0 &&
                          SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
    const bool whole = WriteAll(handle, text.data(), text.size());
    if (switched) SetConsoleMode(handle, mode);
    return whole;
}

bool StreamIsTerminal(StandardStream stream) {
    const HANDLE handle = HandleOf(stream);
    DWORD mode = 0;
    return Usable(handle) && GetConsoleMode(handle, &mode) != 0;
}

// The console window's visible width, not its buffer's.
int StreamColumns(StandardStream stream) {
    const HANDLE handle = HandleOf(stream);
    if (!Usable(handle)) return 0;
    CONSOLE_SCREEN_BUFFER_INFO info{};
    const bool known = GetConsoleScreenBufferInfo(handle, &info) != 0;
    return known ? info.srWindow.Right - info.srWindow.Left + 1 : 0;
}

}  // namespace platform
