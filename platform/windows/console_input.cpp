// The console's handles and modes, its input records, the bell and the pause on Windows: each
// the system's own call.
#include <algorithm>

#include "platform/windows/api.h"

namespace platform {

namespace {

// One look or removal takes at most this many records; the keyboard takes one at a time.
constexpr std::uint32_t RecordBatch = 16;

HANDLE Native(Handle handle) {
    return static_cast<HANDLE>(handle);
}

InputRecord FromNative(const INPUT_RECORD& native) {
    InputRecord record{};
    record.EventType = native.EventType;
    if (native.EventType == KEY_EVENT) {
        const KEY_EVENT_RECORD& key = native.Event.KeyEvent;
        record.KeyEvent = KeyEventRecord{key.bKeyDown != 0,
                                         key.wRepeatCount,
                                         key.wVirtualKeyCode,
                                         key.wVirtualScanCode,
                                         static_cast<unsigned char>(key.uChar.AsciiChar),
                                         key.dwControlKeyState};
    }
    return record;
}

// Copies up to length of the oldest records; removes them too when taking.
bool LookAtInput(Handle handle, InputRecord* records, std::uint32_t length, std::uint32_t* count,
                 bool taking) {
    INPUT_RECORD native[RecordBatch];
    DWORD got = 0;
    const DWORD asked = std::min(length, RecordBatch);
    const BOOL done = taking ? ::ReadConsoleInputA(Native(handle), native, asked, &got)
                             : ::PeekConsoleInputA(Native(handle), native, asked, &got);
    if (!done) got = 0;
    for (DWORD i = 0; i < got; ++i) records[i] = FromNative(native[i]);
    if (count != nullptr) *count = got;
    return done != 0;
}

}  // namespace

Handle GetStdHandle(std::uint32_t which) {
    return ::GetStdHandle(which);
}

bool GetConsoleMode(Handle handle, std::uint32_t* mode) {
    DWORD native = 0;
    if (!::GetConsoleMode(Native(handle), &native)) return false;
    *mode = native;
    return true;
}

bool SetConsoleMode(Handle handle, std::uint32_t mode) {
    return ::SetConsoleMode(Native(handle), mode) != 0;
}

Handle OpenConsoleInput() {
    return ::CreateFileA("CONIN$", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                         nullptr);
}

bool MessageBeep(std::uint32_t type) {
    return ::MessageBeep(type) != 0;
}

bool PeekConsoleInputA(Handle handle, InputRecord* records, std::uint32_t length,
                       std::uint32_t* count) {
    return LookAtInput(handle, records, length, count, false);
}

// Like its namesake it waits while the input is empty; the keyboard removes only records it
// has seen.
bool ReadConsoleInputA(Handle handle, InputRecord* records, std::uint32_t length,
                       std::uint32_t* count) {
    return LookAtInput(handle, records, length, count, true);
}

void Sleep(std::uint32_t milliseconds) {
    ::Sleep(milliseconds);
}

bool GetNumberOfConsoleInputEvents(Handle handle, std::uint32_t* count) {
    DWORD pending = 0;
    if (!::GetNumberOfConsoleInputEvents(Native(handle), &pending)) return false;
    *count = pending;
    return true;
}

// The console input handle is signalled while its input holds a record.
void WaitForSingleObject(Handle handle, std::uint32_t milliseconds) {
    ::WaitForSingleObject(Native(handle), milliseconds);
}

// No console input was ever opened, or the console behind it is gone: either way no record
// can come.
bool ConsoleInputLost(Handle handle) {
    DWORD pending = 0;
    return Native(handle) == INVALID_HANDLE_VALUE ||
           !::GetNumberOfConsoleInputEvents(Native(handle), &pending);
}

}  // namespace platform
