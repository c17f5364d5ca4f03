// Key decoding. A terminal sends a key either as one byte (a character or a control byte) or
// as an escape sequence: ESC [ params final (CSI), ESC O final (SS3), ESC [ [ letter (the
// Linux console's F1-F5), or ESC followed by the byte of an Alt-held key. Scan codes are
// those of a US keyboard; keys a terminal cannot tell apart (left or right Ctrl, the grey
// keys or the keypad's) are reported as the left modifier and the grey key. A complete
// sequence of a key we do not know (F13 and up, shifted keys of some terminals) is a key
// without a character or scan code; the terminal's reports (mouse, focus, the brackets
// around a paste) are no keys at all.
#include "platform/terminal/key_decoder.h"

#include <cstdint>

namespace platform {

namespace {

constexpr unsigned char Escape = 0x1B;
constexpr unsigned char Delete = 0x7F;

// A control sequence this long without its final byte is garbage, not a slow key.
constexpr std::size_t LongestSequence = 32;
// Parameters beyond this are meaningless for keys; capping keeps the arithmetic in range.
constexpr int LargestParameter = 9999;

InputRecord KeyRecord(unsigned char character, std::uint8_t scan, std::uint32_t state) {
    InputRecord record{};
    record.EventType = KEY_EVENT;
    record.KeyEvent.KeyDown = true;
    record.KeyEvent.RepeatCount = 1;
    record.KeyEvent.VirtualScanCode = scan;
    record.KeyEvent.AsciiChar = character;
    record.KeyEvent.ControlKeyState = state;
    return record;
}

DecodedKey Key(std::size_t consumed, InputRecord record) {
    return {consumed, true, record};
}
DecodedKey NoKey(std::size_t consumed) {
    return {consumed, false, InputRecord{}};
}
DecodedKey NeedMore() {
    return {0, false, InputRecord{}};
}
// A key press whose key we cannot name: it has neither character nor scan code.
DecodedKey UnknownKey(std::size_t consumed, std::uint32_t state) {
    return Key(consumed, KeyRecord(0, 0, state));
}

// The US keyboard's character keys, row by row: scan codes run on by one along each row.
struct KeyRow {
    std::uint8_t FirstScan;
    const char* Unshifted;
    const char* Shifted;
};
constexpr KeyRow UsKeyRows[] = {
    {0x02, "1234567890-=", "!@#$%^&*()_+"},
    {0x10, "qwertyuiop[]", "QWERTYUIOP{}"},
    {0x1E, "asdfghjkl;'`", "ASDFGHJKL:\"~"},
    {0x2B, "\\zxcvbnm,./", "|ZXCVBNM<>?"},
};
constexpr std::uint8_t SpaceScan = 0x39;

// The record of a printable ASCII character typed on a US keyboard.
InputRecord PrintableKey(unsigned char character) {
    if (character == ' ') return KeyRecord(character, SpaceScan, 0);
    for (const KeyRow& row : UsKeyRows) {
        for (int i = 0; row.Unshifted[i] != '\0'; ++i) {
            const auto scan = static_cast<std::uint8_t>(row.FirstScan + i);
            if (static_cast<unsigned char>(row.Unshifted[i]) == character) {
                return KeyRecord(character, scan, 0);
            }
            if (static_cast<unsigned char>(row.Shifted[i]) == character) {
                return KeyRecord(character, scan, SHIFT_PRESSED);
            }
        }
    }
    return KeyRecord(character, 0, 0);  // not reached for 0x20..0x7E
}

std::uint8_t ScanOfLetter(unsigned char lowercase) {
    return static_cast<std::uint8_t>(PrintableKey(lowercase).KeyEvent.VirtualScanCode);
}

// The record of a key that arrives as one byte.
InputRecord SingleByteKey(unsigned char byte) {
    switch (byte) {
        case 0x00:  // Ctrl+@ (Ctrl+2 on a US keyboard)
            return KeyRecord(0, 0x03, LEFT_CTRL_PRESSED);
        case 0x08:  // Backspace as some terminals send it, or Ctrl+H
        case Delete:
            return KeyRecord(8, 0x0E, 0);
        case 0x09:
            return KeyRecord(9, 0x0F, 0);
        case 0x0A:  // Ctrl+J
            return KeyRecord(10, ScanOfLetter('j'), LEFT_CTRL_PRESSED);
        case 0x0D:
            return KeyRecord(13, 0x1C, 0);
        case Escape:
            return KeyRecord(27, 0x01, 0);
        case 0x1C:  // Ctrl+backslash
            return KeyRecord(byte, 0x2B, LEFT_CTRL_PRESSED);
        case 0x1D:  // Ctrl+]
            return KeyRecord(byte, 0x1B, LEFT_CTRL_PRESSED);
        case 0x1E:  // Ctrl+^ (Ctrl+Shift+6)
            return KeyRecord(byte, 0x07, LEFT_CTRL_PRESSED | SHIFT_PRESSED);
        case 0x1F:  // Ctrl+_ (Ctrl+Shift+-)
            return KeyRecord(byte, 0x0C, LEFT_CTRL_PRESSED | SHIFT_PRESSED);
        default:
            break;
    }
    if (byte < 0x20) {  // Ctrl with a letter
        return KeyRecord(byte, ScanOfLetter(static_cast<unsigned char>('a' + byte - 1)),
                         LEFT_CTRL_PRESSED);
    }
    if (byte < Delete) return PrintableKey(byte);
    // A byte of a character beyond ASCII: no key of a US keyboard, so no scan code.
    return KeyRecord(byte, 0, 0);
}

InputRecord WithAlt(InputRecord record) {
    record.KeyEvent.ControlKeyState |= LEFT_ALT_PRESSED;
    return record;
}

// Keys without a character, known by their scan code alone.
struct ScanKey {
    std::uint8_t Scan;
    bool Enhanced;  // a grey key, which the console marks ENHANCED_KEY
};
constexpr ScanKey Up{0x48, true}, Down{0x50, true}, Right{0x4D, true}, Left{0x4B, true};
constexpr ScanKey Home{0x47, true}, End{0x4F, true}, Insert{0x52, true};
constexpr ScanKey DeleteKey{0x53, true}, PageUp{0x49, true}, PageDown{0x51, true};
constexpr ScanKey KeypadCentre{0x4C, false};
constexpr ScanKey F1{0x3B, false}, F2{0x3C, false}, F3{0x3D, false}, F4{0x3E, false};
constexpr ScanKey F5{0x3F, false}, F6{0x40, false}, F7{0x41, false}, F8{0x42, false};
constexpr ScanKey F9{0x43, false}, F10{0x44, false}, F11{0x57, false}, F12{0x58, false};
constexpr ScanKey NotAKey{0, false};

// The keys that sequences ending in a letter name (CSI A, SS3 P, ...).
struct LetterKey {
    unsigned char Final;
    ScanKey Key;
};
// G is the Linux console's keypad 5.
constexpr LetterKey LetterKeys[] = {
    {'A', Up},  {'B', Down}, {'C', Right}, {'D', Left}, {'E', KeypadCentre}, {'H', Home},
    {'F', End}, {'P', F1},   {'Q', F2},    {'R', F3},   {'S', F4},           {'G', KeypadCentre},
};

// The keys that CSI number ~ names.
struct NumberedKey {
    int Number;
    ScanKey Key;
};
constexpr NumberedKey NumberedKeys[] = {
    {1, Home}, {2, Insert}, {3, DeleteKey}, {4, End},  {5, PageUp}, {6, PageDown}, {7, Home},
    {8, End},  {11, F1},    {12, F2},       {13, F3},  {14, F4},    {15, F5},      {17, F6},
    {18, F7},  {19, F8},    {20, F9},       {21, F10}, {23, F11},   {24, F12},
};

ScanKey KeyOfFinal(unsigned char final) {
    for (const LetterKey& entry : LetterKeys) {
        if (entry.Final == final) return entry.Key;
    }
    return NotAKey;
}

ScanKey KeyOfNumber(int number) {
    for (const NumberedKey& entry : NumberedKeys) {
        if (entry.Number == number) return entry.Key;
    }
    return NotAKey;
}

// The control-key state of an xterm modifier parameter: 1 + (Shift 1, Alt 2, Ctrl 4).
std::uint32_t ModifierState(int parameter) {
    if (parameter < 2) return 0;
    const int bits = parameter - 1;
    std::uint32_t state = 0;
    if (bits & 1) state |= SHIFT_PRESSED;
    if (bits & 2) state |= LEFT_ALT_PRESSED;
    if (bits & 4) state |= LEFT_CTRL_PRESSED;
    return state;
}

DecodedKey ScanKeyPress(std::size_t consumed, ScanKey key, std::uint32_t state) {
    if (key.Scan == 0) return UnknownKey(consumed, state);
    return Key(consumed, KeyRecord(0, key.Scan, state | (key.Enhanced ? ENHANCED_KEY : 0)));
}

// The numeric parameters of a sequence: up to two numbers separated by ';', each empty for
// its default. Fails on anything else (private markers, intermediates, a third number).
struct Parameters {
    bool Valid;
    int Count;      // numbers given, 0 to 2 (an empty parameter counts)
    int Values[2];  // 0 where a parameter was empty
};

Parameters ParseParameters(const unsigned char* bytes, std::size_t length) {
    Parameters result{true, 0, {0, 0}};
    if (length == 0) return result;
    result.Count = 1;
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char byte = bytes[i];
        if (byte == ';') {
            if (result.Count == 2) return Parameters{false, 0, {0, 0}};
            ++result.Count;
        } else if (byte >= '0' && byte <= '9') {
            int& value = result.Values[result.Count - 1];
            value = value * 10 + (byte - '0');
            if (value > LargestParameter) value = LargestParameter;
        } else {
            return Parameters{false, 0, {0, 0}};
        }
    }
    return result;
}

// The keypad's keys in application mode: SS3 M (Enter) and SS3 j to SS3 y. Keypad comma,
// on keypads that have one, takes the scan code consoles give it.
struct KeypadEntry {
    unsigned char Final;
    unsigned char Char;
    std::uint8_t Scan;  // keypad 0 to 9 share theirs with Insert, End, Down, ... Page Up
    bool Enhanced;
};
constexpr KeypadEntry KeypadKeys[] = {
    {'M', 13, 0x1C, true},   {'j', '*', 0x37, false}, {'k', '+', 0x4E, false},
    {'l', ',', 0x7E, false}, {'m', '-', 0x4A, false}, {'n', '.', 0x53, false},
    {'o', '/', 0x35, true},  {'p', '0', 0x52, false}, {'q', '1', 0x4F, false},
    {'r', '2', 0x50, false}, {'s', '3', 0x51, false}, {'t', '4', 0x4B, false},
    {'u', '5', 0x4C, false}, {'v', '6', 0x4D, false}, {'w', '7', 0x47, false},
    {'x', '8', 0x48, false}, {'y', '9', 0x49, false},
};

DecodedKey KeypadKey(std::size_t consumed, unsigned char final, std::uint32_t state) {
    for (const KeypadEntry& entry : KeypadKeys) {
        if (entry.Final == final) {
            return Key(consumed, KeyRecord(entry.Char, entry.Scan,
                                           state | (entry.Enhanced ? ENHANCED_KEY : 0)));
        }
    }
    return UnknownKey(consumed, state);
}

// Where the control sequence starting at bytes[start] ends: the index of its final byte, or
// length when it has not arrived yet. Parameter and intermediate bytes (0x20-0x3F) come
// first; any other byte before the final breaks the sequence.
struct SequenceEnd {
    std::size_t Final;  // index of the final byte (0x40-0x7E), or length
    bool Broken;        // a byte outside the sequence's alphabet stands at Final
};

SequenceEnd FindFinal(const unsigned char* bytes, std::size_t length, std::size_t start) {
    std::size_t i = start;
    while (i < length && bytes[i] >= 0x20 && bytes[i] <= 0x3F) ++i;
    if (i == length) return {length, false};
    return {i, !(bytes[i] >= 0x40 && bytes[i] <= 0x7E)};
}

// What an unfinished sequence of length bytes becomes: need more while it may still be a
// key, dropped once it has waited too long or grown too long.
DecodedKey Unfinished(std::size_t length, bool timedOut) {
    if (timedOut || length >= LongestSequence) return NoKey(length);
    return NeedMore();
}

// The reports a terminal sends once asked to, none of them a key press: mouse events
// (CSI < ... M or m, and the three-number form CSI b ; x ; y M), focus (CSI I, CSI O), the
// brackets around a paste (CSI 200 ~, CSI 201 ~), the cursor position (CSI row ; column R,
// told from a modified F3, CSI 1 ; modifier R, by its row) and any answer with a private
// marker (CSI ? ..., CSI > ...). The old mouse form, CSI M and three bytes, is taken where
// the sequence is split.
bool IsReport(const unsigned char* parameters, std::size_t length, unsigned char final) {
    if (length > 0 && parameters[0] >= 0x3C && parameters[0] <= 0x3F) return true;
    if (length == 0) return final == 'I' || final == 'O';
    const Parameters numbers = ParseParameters(parameters, length);
    if (!numbers.Valid && final == 'M') {
        int separators = 0;
        for (std::size_t i = 0; i < length; ++i) separators += parameters[i] == ';';
        return separators == 2;
    }
    if (!numbers.Valid) return false;
    if (final == 'R') return numbers.Count == 2 && numbers.Values[0] > 1;
    return numbers.Count == 1 && final == '~' &&
           (numbers.Values[0] == 200 || numbers.Values[0] == 201);
}

// The old mouse report: ESC [ M and three bytes of button and position.
constexpr std::size_t OldMouseReportLength = 6;

// ESC [ ... : the sequences of cursor, editing and function keys.
DecodedKey DecodeCsi(const unsigned char* bytes, std::size_t length, bool timedOut) {
    if (length == 2) {
        return timedOut ? Key(2, WithAlt(PrintableKey('['))) : NeedMore();
    }
    if (bytes[2] == '[') {  // the Linux console's F1-F5: ESC [ [ A to ESC [ [ E
        if (length == 3) return Unfinished(length, timedOut);
        if (bytes[3] < 0x40 || bytes[3] > 0x7E) return NoKey(3);
        constexpr ScanKey ConsoleKeys[5] = {F1, F2, F3, F4, F5};
        if (bytes[3] >= 'A' && bytes[3] <= 'E')
            return ScanKeyPress(4, ConsoleKeys[bytes[3] - 'A'], 0);
        return UnknownKey(4, 0);
    }
    if (bytes[2] == 'M') {
        if (length < OldMouseReportLength) return Unfinished(length, timedOut);
        return NoKey(OldMouseReportLength);
    }
    const SequenceEnd end = FindFinal(bytes, length, 2);
    if (end.Final == length) return Unfinished(length, timedOut);
    // A sequence cut short by a stray byte is dropped up to that byte, which is decoded next.
    if (end.Broken) return NoKey(end.Final);
    const std::size_t consumed = end.Final + 1;
    const unsigned char final = bytes[end.Final];
    if (IsReport(bytes + 2, end.Final - 2, final)) return NoKey(consumed);
    const Parameters parameters = ParseParameters(bytes + 2, end.Final - 2);
    if (!parameters.Valid) return UnknownKey(consumed, 0);
    const std::uint32_t state = parameters.Count == 2 ? ModifierState(parameters.Values[1]) : 0;
    if (final == '~') {
        if (parameters.Count == 0) return UnknownKey(consumed, state);
        return ScanKeyPress(consumed, KeyOfNumber(parameters.Values[0]), state);
    }
    // Letter finals take no key number: CSI A, or CSI 1 ; modifier A.
    if (parameters.Count > 0 && parameters.Values[0] > 1) return UnknownKey(consumed, state);
    if (final == 'Z') return Key(consumed, KeyRecord(9, 0x0F, SHIFT_PRESSED | state));
    return ScanKeyPress(consumed, KeyOfFinal(final), state);
}

// ESC O final: cursor keys, F1-F4 and the keypad in application mode. Some terminals put a
// modifier number between ESC O and the final.
DecodedKey DecodeSs3(const unsigned char* bytes, std::size_t length, bool timedOut) {
    if (length == 2) {
        return timedOut ? Key(2, WithAlt(PrintableKey('O'))) : NeedMore();
    }
    const SequenceEnd end = FindFinal(bytes, length, 2);
    if (end.Final == length) return Unfinished(length, timedOut);
    if (end.Broken) return NoKey(end.Final);
    const std::size_t consumed = end.Final + 1;
    const unsigned char final = bytes[end.Final];
    const Parameters parameters = ParseParameters(bytes + 2, end.Final - 2);
    if (!parameters.Valid) return UnknownKey(consumed, 0);
    const std::uint32_t state =
        parameters.Count > 0 ? ModifierState(parameters.Values[parameters.Count - 1]) : 0;
    const ScanKey key = KeyOfFinal(final);
    if (key.Scan != 0) return ScanKeyPress(consumed, key, state);
    return KeypadKey(consumed, final, state);
}

}  // namespace

DecodedKey DecodeKey(const unsigned char* bytes, std::size_t length, bool timedOut) {
    if (length == 0) return NeedMore();
    if (bytes[0] != Escape) return Key(1, SingleByteKey(bytes[0]));
    if (length == 1) return timedOut ? Key(1, SingleByteKey(Escape)) : NeedMore();
    switch (bytes[1]) {
        case '[':
            return DecodeCsi(bytes, length, timedOut);
        case 'O':
            return DecodeSs3(bytes, length, timedOut);
        case Escape:  // Esc pressed twice: the first stands alone
            return Key(1, SingleByteKey(Escape));
        default:  // ESC before a key's byte: that key with Alt held
            return Key(2, WithAlt(SingleByteKey(bytes[1])));
    }
}

std::size_t DecodeKeys(const unsigned char* bytes, std::size_t length, bool timedOut,
                       std::deque<InputRecord>& records) {
    std::size_t used = 0;
    while (used < length) {
        const DecodedKey key = DecodeKey(bytes + used, length - used, timedOut);
        if (key.Consumed == 0) break;
        if (key.HasRecord) records.push_back(key.Record);
        used += key.Consumed;
    }
    return used;
}

}  // namespace platform
