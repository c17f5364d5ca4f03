#pragma once
// The keyboard: the line typed at the prompt and the final key press, read from the console
// input one record at a time by polling: 1 ms pauses while records are queued, and waits of
// up to one timer tick on the keyboard itself while none is.
#include <cstdint>
#include <string>

enum class KeyKind { NoKey, CharacterKey, SpecialKey };

struct ClassifiedKey {
    KeyKind Kind;
    unsigned char Character;  // after the Caps Lock rule; 0 for SpecialKey
    std::uint8_t ScanCode;
    std::uint16_t ControlKeyState;
};

inline constexpr int LineInputCapacity = 10000;

// The first pending key press, left in the input; records that are no key presses are removed.
ClassifiedKey PeekKey();
void DiscardRecord();
void CursorBackOne();
// Blocks until Enter; returns the accepted bytes exactly as typed (at most 10000).
// Returns early, with what was typed so far, when the keyboard is gone for good.
std::string LineInput();
// Blocks until a key press is pending; leaves it in the input.
void WaitForKey();
// True once the console keyboard can never deliver another key.
bool KeyboardLost();
