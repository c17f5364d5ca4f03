// The keyboard: key classification over the console's input records, the line input with
// its echo and Backspace, and the final key wait. Waiting is polling with 1 ms pauses, or with
// a wait on the keyboard itself while no record is queued.
#include "console/keyboard.h"

#include <algorithm>
#include <iterator>

#include "console/screen.h"
#include "platform/console_api.h"

namespace {

// Shift, Ctrl, Alt and the lock keys pressed alone: no key press of their own.
constexpr std::uint8_t ModifierScanCodes[] = {0x1D, 0x2A, 0x36, 0x38, 0x3A, 0x45, 0x46};

// The 26 letter keys, whose Alt (or AltGr) combinations add nothing to a line.
constexpr std::uint8_t LetterScanCodes[] = {
    0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19,  // Q W E R T Y U I O P
    0x1E, 0x1F, 0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26,        // A S D F G H J K L
    0x2C, 0x2D, 0x2E, 0x2F, 0x30, 0x31, 0x32};                   // Z X C V B N M

// The digit and punctuation keys with their unshifted and shifted characters (US legends).
struct CapsLockFix {
    std::uint8_t ScanCode;
    unsigned char Unshifted;
    unsigned char Shifted;
};
constexpr CapsLockFix CapsLockFixTable[] = {
    {0x02, '1', '!'},  {0x03, '2', '@'}, {0x04, '3', '#'},  {0x05, '4', '$'}, {0x06, '5', '%'},
    {0x07, '6', '^'},  {0x08, '7', '&'}, {0x09, '8', '*'},  {0x0A, '9', '('}, {0x0B, '0', ')'},
    {0x0C, '-', '_'},  {0x0D, '=', '+'}, {0x1A, '[', '{'},  {0x1B, ']', '}'}, {0x27, ';', ':'},
    {0x28, '\'', '"'}, {0x29, '`', '~'}, {0x2B, '\\', '|'}, {0x33, ',', '<'}, {0x34, '.', '>'},
    {0x35, '/', '?'}};

constexpr std::uint32_t PollPause = 1;  // milliseconds
// One tick of the Windows timer (15.6 ms), which is what a 1 ms pause really lasts there.
constexpr std::uint32_t IdlePause = 15;  // milliseconds
constexpr unsigned char Backspace = 8;
constexpr unsigned char Enter = 13;
constexpr unsigned char FirstPrintable = 32;

template <std::size_t N>
bool Holds(const std::uint8_t (&codes)[N], std::uint8_t code) {
    return std::find(std::begin(codes), std::end(codes), code) != std::end(codes);
}

// With Caps Lock on, a digit or punctuation key gives the form that Shift alone calls for,
// whatever the console made of the lock.
unsigned char FixForCapsLock(unsigned char character, std::uint8_t scanCode, std::uint16_t state) {
    if ((state & platform::CAPSLOCK_ON) == 0) return character;
    for (const CapsLockFix& entry : CapsLockFixTable) {
        if (entry.ScanCode != scanCode) continue;
        const bool shifted = (state & platform::SHIFT_PRESSED) != 0;
        if (shifted && character == entry.Unshifted) return entry.Shifted;
        if (!shifted && character == entry.Shifted) return entry.Unshifted;
        return character;
    }
    return character;
}

// The pause before a look at the keyboard. With records queued it is 1 ms. With none it
// waits on the keyboard for up to one timer tick instead: a key (or the end of the terminal)
// ends that wait at once, so a person sees no difference and the program wakes far less often.
void PauseBeforeLook() {
    const platform::Handle keyboard = ConsoleModuleState().KeyboardHandle;
    std::uint32_t queued = 0;
    if (platform::GetNumberOfConsoleInputEvents(keyboard, &queued) && queued == 0) {
        platform::WaitForSingleObject(keyboard, IdlePause);
        return;
    }
    platform::Sleep(PollPause);
}

// Waits for the next character key and takes it, taking the special keys before it too.
// False when the keyboard is gone and nothing more will come.
bool ReadCharacterKey(unsigned char* character) {
    for (;;) {
        PauseBeforeLook();
        const ClassifiedKey key = PeekKey();
        if (key.Kind == KeyKind::NoKey) {
            if (KeyboardLost()) return false;
            continue;
        }
        DiscardRecord();
        if (key.Kind == KeyKind::CharacterKey) {
            *character = key.Character;
            return true;
        }
    }
}

}  // namespace

ClassifiedKey PeekKey() {
    const platform::Handle keyboard = ConsoleModuleState().KeyboardHandle;
    for (;;) {
        platform::InputRecord record{};
        std::uint32_t count = 0;
        if (!platform::PeekConsoleInputA(keyboard, &record, 1, &count) || count == 0) {
            return ClassifiedKey{KeyKind::NoKey, 0, 0, 0};
        }
        // Key releases and mouse, window, menu and focus records are no key presses.
        if (record.EventType != platform::KEY_EVENT || !record.KeyEvent.KeyDown) {
            DiscardRecord();
            continue;
        }
        const platform::KeyEventRecord& event = record.KeyEvent;
        const unsigned char character = event.AsciiChar;
        const auto scanCode = static_cast<std::uint8_t>(event.VirtualScanCode & 0xFF);
        const auto state = static_cast<std::uint16_t>(event.ControlKeyState & 0xFFFF);
        if (character == 0) {
            if (Holds(ModifierScanCodes, scanCode)) {
                DiscardRecord();
                continue;
            }
            return ClassifiedKey{KeyKind::SpecialKey, 0, scanCode, state};
        }
        const bool altHeld =
            (state & (platform::RIGHT_ALT_PRESSED | platform::LEFT_ALT_PRESSED)) != 0;
        if (altHeld && Holds(LetterScanCodes, scanCode)) {
            return ClassifiedKey{KeyKind::SpecialKey, 0, scanCode, state};
        }
        return ClassifiedKey{KeyKind::CharacterKey, FixForCapsLock(character, scanCode, state),
                             scanCode, state};
    }
}

void DiscardRecord() {
    platform::InputRecord record{};
    std::uint32_t count = 0;
    platform::ReadConsoleInputA(ConsoleModuleState().KeyboardHandle, &record, 1, &count);
}

void CursorBackOne() {
    TextConsole& state = ConsoleModuleState();
    const platform::Coord size = ScreenSize();
    // The last character filled the bottom-right cell and its scroll is still owed: that
    // cell is where it stands.
    if (state.PendingWrap != 0) {
        state.PendingWrap = 0;
        PlaceCursor(size.X, size.Y);
        return;
    }
    const platform::Coord cursor = CursorPosition();
    if (cursor.X == 0) {
        // Row cursor.Y counted from 1 is the row above; on the top row it is 0, which place
        // cursor refuses, so the cursor stays on the top row.
        PlaceCursor(size.X, cursor.Y);
        return;
    }
    PlaceCursor(cursor.X, cursor.Y + 1);
}

std::string LineInput() {
    ShowCursorForOperation();
    // One fixed area for the whole call: nothing is allocated per character.
    unsigned char line[LineInputCapacity];
    int count = 0;
    unsigned char character = 0;
    // A keyboard that is gone ends the line as Enter would.
    while (ReadCharacterKey(&character) && character != Enter) {
        if (character == Backspace) {
            if (count > 0) {
                CursorBackOne();
                WriteCharacter(' ');
                CursorBackOne();
                --count;
            }
        } else if (character >= FirstPrintable && count < LineInputCapacity) {
            line[count] = character;
            WriteCharacter(character);
            ++count;
        }
    }
    NewLine();
    std::string result(reinterpret_cast<const char*>(line), static_cast<std::size_t>(count));
    RestoreCursor();
    return result;
}

void WaitForKey() {
    while (PeekKey().Kind == KeyKind::NoKey) {
        if (KeyboardLost()) return;
        PauseBeforeLook();
    }
}

bool KeyboardLost() {
    return platform::ConsoleInputLost(ConsoleModuleState().KeyboardHandle);
}
