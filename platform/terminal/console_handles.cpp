// The console's handles and modes, its input records, the bell and the pause.
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "platform/console_api.h"
#include "platform/terminal/terminal.h"

namespace platform {

namespace {

// What a handle stands for. The console keyboard has no descriptor of its own here: the
// terminal layer holds the terminal it reads.
struct HandleRecord {
    int Descriptor;  // -1 for the console keyboard
    bool Input;      // its mode is the console's input mode, else the output mode
};

HandleRecord StandardInput{STDIN_FILENO, true};
HandleRecord StandardOutput{STDOUT_FILENO, false};
HandleRecord StandardError{STDERR_FILENO, false};
HandleRecord ConsoleKeyboard{-1, true};

// The record behind one of our handles; null for anything else.
HandleRecord* RecordOf(Handle handle) {
    for (HandleRecord* record :
         {&StandardInput, &StandardOutput, &StandardError, &ConsoleKeyboard}) {
        if (handle == record) return record;
    }
    return nullptr;
}

// A handle is a console when its descriptor is a terminal; the keyboard is one for as long
// as the terminal behind it lasts.
bool IsConsole(const HandleRecord& record) {
    if (record.Descriptor < 0) return !KeyboardGone();
    return isatty(record.Descriptor) == 1;
}

// Draws what the program has put on the screen before it waits on the keyboard, and turns
// the keys typed so far into records.
void CatchUpWithTerminal() {
    FlushScreen();
    PumpKeyboard();
}

// Copies up to length of the oldest records; removes them too when taking.
bool LookAtInput(InputRecord* records, std::uint32_t length, std::uint32_t* count, bool taking) {
    CatchUpWithTerminal();
    std::deque<InputRecord>& input = TheConsole().Input;
    const std::size_t n = std::min<std::size_t>(length, input.size());
    std::copy(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(n), records);
    if (taking) input.erase(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(n));
    if (count != nullptr) *count = static_cast<std::uint32_t>(n);
    return true;
}

}  // namespace

Handle GetStdHandle(std::uint32_t which) {
    switch (which) {
        case STD_INPUT_HANDLE:
            return &StandardInput;
        case STD_OUTPUT_HANDLE:
            return &StandardOutput;
        case STD_ERROR_HANDLE:
            return &StandardError;
        default:
            return nullptr;
    }
}

bool GetConsoleMode(Handle handle, std::uint32_t* mode) {
    const HandleRecord* record = RecordOf(handle);
    if (record == nullptr || !IsConsole(*record)) return false;
    *mode = record->Input ? TheConsole().InputMode : TheConsole().OutputMode;
    return true;
}

bool SetConsoleMode(Handle handle, std::uint32_t mode) {
    const HandleRecord* record = RecordOf(handle);
    if (record == nullptr || !IsConsole(*record)) return false;
    (record->Input ? TheConsole().InputMode : TheConsole().OutputMode) = mode;
    return true;
}

Handle OpenConsoleInput() {
    return &ConsoleKeyboard;
}

bool MessageBeep(std::uint32_t) {
    QueueBell();
    ++TheConsole().BellsRung;
    return true;
}

bool PeekConsoleInputA(Handle, InputRecord* records, std::uint32_t length, std::uint32_t* count) {
    return LookAtInput(records, length, count, false);
}

// Unlike its namesake this never blocks: with nothing queued it takes no record.
bool ReadConsoleInputA(Handle, InputRecord* records, std::uint32_t length, std::uint32_t* count) {
    return LookAtInput(records, length, count, true);
}

bool GetNumberOfConsoleInputEvents(Handle, std::uint32_t* count) {
    CatchUpWithTerminal();
    *count = static_cast<std::uint32_t>(TheConsole().Input.size());
    return true;
}

// The keyboard's records come from the terminal, so waiting for one is waiting on the terminal:
// the pause below, which keys, a hang-up and signals cut short.
void WaitForSingleObject(Handle, std::uint32_t milliseconds) {
    if (TheConsole().Input.empty()) Sleep(milliseconds);
}

// With the terminal's keyboard to watch, the pause ends as soon as a key arrives.
void Sleep(std::uint32_t milliseconds) {
    if (WaitForKeyboard(static_cast<int>(std::min<std::uint32_t>(milliseconds, INT_MAX)))) {
        return;
    }
    timespec left{static_cast<time_t>(milliseconds / 1000),
                  static_cast<long>(milliseconds % 1000) * 1000000L};
    // A signal cuts the pause short; sleep out the rest.
    while (nanosleep(&left, &left) == -1 && errno == EINTR) {
    }
}

}  // namespace platform
