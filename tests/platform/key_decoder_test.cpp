// Terminal bytes to key records: the keys a user can type, the sequences terminals send for
// them, partial sequences, and sequences that must vanish without leaking characters.
#include "platform/terminal/key_decoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace {

using platform::DecodedKey;
using platform::DecodeKey;
using platform::DecodeKeys;
using platform::InputRecord;

constexpr std::uint32_t Shift = platform::SHIFT_PRESSED;
constexpr std::uint32_t Ctrl = platform::LEFT_CTRL_PRESSED;
constexpr std::uint32_t Alt = platform::LEFT_ALT_PRESSED;
constexpr std::uint32_t Enhanced = platform::ENHANCED_KEY;

struct Key {
    unsigned Char;
    unsigned Scan;
    std::uint32_t State;
    bool operator==(const Key&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Key& key) {
    return out << "{char " << key.Char << ", scan 0x" << std::hex << key.Scan << ", state 0x"
               << key.State << std::dec << "}";
}

const unsigned char* Bytes(const std::string& text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

// Every record decoded from bytes, which must all be consumed.
std::vector<Key> DecodeAll(const std::string& bytes, bool timedOut = false) {
    std::deque<InputRecord> records;
    EXPECT_EQ(DecodeKeys(Bytes(bytes), bytes.size(), timedOut, records), bytes.size());
    std::vector<Key> keys;
    for (const InputRecord& record : records) {
        EXPECT_EQ(record.EventType, platform::KEY_EVENT);
        EXPECT_TRUE(record.KeyEvent.KeyDown);
        EXPECT_EQ(record.KeyEvent.RepeatCount, 1);
        keys.push_back(Key{record.KeyEvent.AsciiChar, record.KeyEvent.VirtualScanCode,
                           record.KeyEvent.ControlKeyState});
    }
    return keys;
}

struct KeyCase {
    const char* Name;
    std::string Bytes;
    std::vector<Key> Expected;
};

// One table for every key a terminal can send, so the prefixes test below covers them all.
const std::vector<KeyCase>& KeyCases() {
    static const std::vector<KeyCase> cases = {
        // Printable ASCII on a US keyboard: Shift for capitals and the upper symbols.
        {"lowercase letter", "a", {{'a', 0x1E, 0}}},
        {"capital letter", "Q", {{'Q', 0x10, Shift}}},
        {"last letter of the bottom row", "m", {{'m', 0x32, 0}}},
        {"space", " ", {{' ', 0x39, 0}}},
        {"digit one", "1", {{'1', 0x02, 0}}},
        {"digit zero", "0", {{'0', 0x0B, 0}}},
        {"shifted digit", "@", {{'@', 0x03, Shift}}},
        {"minus and underscore", "-_", {{'-', 0x0C, 0}, {'_', 0x0C, Shift}}},
        {"brackets", "[}", {{'[', 0x1A, 0}, {'}', 0x1B, Shift}}},
        {"semicolon and double quote", ";\"", {{';', 0x27, 0}, {'"', 0x28, Shift}}},
        {"grave and tilde", "`~", {{'`', 0x29, 0}, {'~', 0x29, Shift}}},
        {"backslash and bar", "\\|", {{'\\', 0x2B, 0}, {'|', 0x2B, Shift}}},
        {"comma, full stop, slash", ",.?", {{',', 0x33, 0}, {'.', 0x34, 0}, {'?', 0x35, Shift}}},
        // Control bytes.
        {"Backspace as DEL", "\x7f", {{8, 0x0E, 0}}},
        {"Backspace as BS", "\x08", {{8, 0x0E, 0}}},
        {"Enter", "\r", {{13, 0x1C, 0}}},
        {"line feed is Ctrl+J", "\n", {{10, 0x24, Ctrl}}},
        {"Tab", "\t", {{9, 0x0F, 0}}},
        {"Ctrl+C", "\x03", {{3, 0x2E, Ctrl}}},
        {"Ctrl+A and Ctrl+Z", std::string("\x01\x1a"), {{1, 0x1E, Ctrl}, {26, 0x2C, Ctrl}}},
        {"Ctrl+@", std::string(1, '\0'), {{0, 0x03, Ctrl}}},
        // Bytes beyond ASCII are one character each, with no scan code.
        {"UTF-8 e acute", "\xc3\xa9", {{0xC3, 0, 0}, {0xA9, 0, 0}}},
        {"Latin-1 byte", "\xff", {{0xFF, 0, 0}}},
        // ESC before a key's byte is that key with Alt.
        {"Alt+letter", "\x1bx", {{'x', 0x2D, Alt}}},
        {"Alt+capital", "\x1bX", {{'X', 0x2D, Alt | Shift}}},
        {"Alt+digit",
         "\x1b"
         "1",
         {{'1', 0x02, Alt}}},
        {"Alt+Backspace", "\x1b\x7f", {{8, 0x0E, Alt}}},
        // Cursor and editing keys, CSI and SS3 forms.
        {"arrows (CSI)",
         "\x1b[A\x1b[B\x1b[C\x1b[D",
         {{0, 0x48, Enhanced}, {0, 0x50, Enhanced}, {0, 0x4D, Enhanced}, {0, 0x4B, Enhanced}}},
        {"arrows (SS3)",
         "\x1bOA\x1bOB\x1bOC\x1bOD",
         {{0, 0x48, Enhanced}, {0, 0x50, Enhanced}, {0, 0x4D, Enhanced}, {0, 0x4B, Enhanced}}},
        {"Home in its four forms",
         "\x1b[H\x1b[1~\x1b[7~\x1bOH",
         {{0, 0x47, Enhanced}, {0, 0x47, Enhanced}, {0, 0x47, Enhanced}, {0, 0x47, Enhanced}}},
        {"End in its four forms",
         "\x1b[F\x1b[4~\x1b[8~\x1bOF",
         {{0, 0x4F, Enhanced}, {0, 0x4F, Enhanced}, {0, 0x4F, Enhanced}, {0, 0x4F, Enhanced}}},
        {"Insert, Delete, Page Up, Page Down",
         "\x1b[2~\x1b[3~\x1b[5~\x1b[6~",
         {{0, 0x52, Enhanced}, {0, 0x53, Enhanced}, {0, 0x49, Enhanced}, {0, 0x51, Enhanced}}},
        // Function keys, without ENHANCED_KEY.
        {"F1-F4 (SS3)",
         "\x1bOP\x1bOQ\x1bOR\x1bOS",
         {{0, 0x3B, 0}, {0, 0x3C, 0}, {0, 0x3D, 0}, {0, 0x3E, 0}}},
        {"F1-F5 (CSI number)",
         "\x1b[11~\x1b[12~\x1b[13~\x1b[14~\x1b[15~",
         {{0, 0x3B, 0}, {0, 0x3C, 0}, {0, 0x3D, 0}, {0, 0x3E, 0}, {0, 0x3F, 0}}},
        {"F1-F5 (Linux console)",
         "\x1b[[A\x1b[[B\x1b[[C\x1b[[D\x1b[[E",
         {{0, 0x3B, 0}, {0, 0x3C, 0}, {0, 0x3D, 0}, {0, 0x3E, 0}, {0, 0x3F, 0}}},
        {"F6-F10",
         "\x1b[17~\x1b[18~\x1b[19~\x1b[20~\x1b[21~",
         {{0, 0x40, 0}, {0, 0x41, 0}, {0, 0x42, 0}, {0, 0x43, 0}, {0, 0x44, 0}}},
        {"F11 and F12", "\x1b[23~\x1b[24~", {{0, 0x57, 0}, {0, 0x58, 0}}},
        // Modifier parameters: 1 + Shift 1, Alt 2, Ctrl 4.
        {"Ctrl+Up", "\x1b[1;5A", {{0, 0x48, Enhanced | Ctrl}}},
        {"Shift+Down", "\x1b[1;2B", {{0, 0x50, Enhanced | Shift}}},
        {"Alt+Right", "\x1b[1;3C", {{0, 0x4D, Enhanced | Alt}}},
        {"Ctrl+Alt+Shift+Left", "\x1b[1;8D", {{0, 0x4B, Enhanced | Ctrl | Alt | Shift}}},
        {"Ctrl+Delete", "\x1b[3;5~", {{0, 0x53, Enhanced | Ctrl}}},
        {"Shift+F1 (CSI)", "\x1b[1;2P", {{0, 0x3B, Shift}}},
        {"Ctrl+F1 (SS3 with modifier)", "\x1bO5P", {{0, 0x3B, Ctrl}}},
        {"Shift+Tab", "\x1b[Z", {{9, 0x0F, Shift}}},
        {"keypad Enter in application mode", "\x1bOM", {{13, 0x1C, Enhanced}}},
        {"keypad 7 in application mode", "\x1bOw", {{'7', 0x47, 0}}},
        {"keypad symbols and digits in application mode",
         "\x1bOj\x1bOk\x1bOl\x1bOm\x1bOn\x1bOo\x1bOp\x1bOy",
         {{'*', 0x37, 0},
          {'+', 0x4E, 0},
          {',', 0x7E, 0},
          {'-', 0x4A, 0},
          {'.', 0x53, 0},
          {'/', 0x35, Enhanced},
          {'0', 0x52, 0},
          {'9', 0x49, 0}}},
        {"keypad 5 (Linux console)", "\x1b[G", {{0, 0x4C, 0}}},
        // Sequences amid typing keep their order.
        {"keys around a sequence",
         "ab\x1b[Ac",
         {{'a', 0x1E, 0}, {'b', 0x30, 0}, {0, 0x48, Enhanced}, {'c', 0x2E, 0}}},
    };
    return cases;
}

TEST(KeyDecoder, KeysBecomeTheirRecords) {
    for (const KeyCase& c : KeyCases()) {
        EXPECT_EQ(DecodeAll(c.Bytes), c.Expected) << c.Name;
    }
}

// A sequence read half-way (the rest still on its way) must wait, not turn into keys.
TEST(KeyDecoder, EveryPartOfASequenceNeedsMore) {
    for (const KeyCase& c : KeyCases()) {
        if (c.Bytes.size() < 2 || c.Bytes[0] != '\x1b') continue;
        // The first key's sequence: where the second one starts, or the end.
        const std::size_t length = DecodeKey(Bytes(c.Bytes), c.Bytes.size(), false).Consumed;
        for (std::size_t part = 1; part < length; ++part) {
            EXPECT_EQ(DecodeKey(Bytes(c.Bytes), part, false).Consumed, 0u)
                << c.Name << ", first " << part << " bytes";
        }
    }
}

TEST(KeyDecoder, OnlyTheUnfinishedTailIsLeftForLater) {
    std::deque<InputRecord> records;
    const std::string bytes = "a\x1b[1;5";
    EXPECT_EQ(DecodeKeys(Bytes(bytes), bytes.size(), false, records), 1u);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].KeyEvent.AsciiChar, 'a');

    // Esc pressed twice: the first stands alone at once, the second waits.
    records.clear();
    EXPECT_EQ(DecodeKeys(Bytes("\x1b\x1b"), 2, false, records), 1u);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].KeyEvent.AsciiChar, 27);
}

// After the escape timeout the bytes held back are taken as they stand.
TEST(KeyDecoder, TimedOutBytesAreTakenAsTheyStand) {
    struct Case {
        const char* Name;
        std::string Bytes;
        std::vector<Key> Expected;
    };
    const Case cases[] = {
        {"lone ESC is Esc", "\x1b", {{27, 0x01, 0}}},
        {"ESC [ is Alt+[", "\x1b[", {{'[', 0x1A, Alt}}},
        {"ESC O is Alt+O", "\x1bO", {{'O', 0x18, Alt | Shift}}},
        {"Esc then a lone ESC", "\x1b\x1b", {{27, 0x01, 0}, {27, 0x01, 0}}},
        {"half a cursor key vanishes", "\x1b[1;5", {}},
        {"half a console function key vanishes", "\x1b[[", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(DecodeAll(c.Bytes, true), c.Expected) << c.Name;
}

// A complete sequence of a key we cannot name is a key without character or scan code, so it
// ends the final wait and the line input ignores it. The terminal's reports (answers to
// queries, mouse, focus, paste brackets) and broken sequences are swallowed whole; the keys
// after them are kept.
TEST(KeyDecoder, UnknownSequencesLeakNoCharacters) {
    struct Case {
        const char* Name;
        std::string Bytes;
        std::vector<Key> Expected;
    };
    constexpr Key Unknown{0, 0, 0};
    const Case cases[] = {
        {"unknown key number", "\x1b[99~", {Unknown}},
        {"F13 and F20 (Shift+F3 and up in rxvt)", "\x1b[25~\x1b[34~", {Unknown, Unknown}},
        {"rxvt's Shift+Up and Ctrl+Up", "\x1b[a\x1bOa", {Unknown, Unknown}},
        {"Ctrl with an unknown key number", "\x1b[99;5~", {{0, 0, Ctrl}}},
        {"three parameters", "\x1b[1;5;7A", {Unknown}},
        {"letter final with a key number", "\x1b[2A", {Unknown}},
        {"unknown console function key", "\x1b[[Z", {Unknown}},
        {"unknown SS3 final", "\x1bOz", {Unknown}},
        {"device attributes answer", "\x1b[?1;2c", {}},
        {"cursor position report", "\x1b[12;40R", {}},
        {"paste brackets around a key", "\x1b[200~x\x1b[201~", {{'x', 0x2D, 0}}},
        {"focus in and out", "\x1b[I\x1b[O", {}},
        {"mouse press and release (SGR)", "\x1b[<0;10;5M\x1b[<0;10;5m", {}},
        {"mouse press (three numbers)", "\x1b[32;10;5M", {}},
        {"mouse press (old form) before a key", "\x1b[M !!x", {{'x', 0x2D, 0}}},
        {"CSI cut by Ctrl+C", "\x1b[1\x03", {{3, 0x2E, Ctrl}}},
        {"CSI cut by a new sequence", "\x1b[\x1b[A", {{0, 0x48, Enhanced}}},
        {"SS3 cut by DEL", "\x1bO\x7f", {{8, 0x0E, 0}}},
    };
    for (const Case& c : cases) EXPECT_EQ(DecodeAll(c.Bytes), c.Expected) << c.Name;

    // A sequence that never ends is dropped once it is too long to be a key.
    const std::string endless = "\x1b[" + std::string(40, '1');
    const DecodedKey key = DecodeKey(Bytes(endless), endless.size(), false);
    EXPECT_GT(key.Consumed, 0u);
    EXPECT_FALSE(key.HasRecord);
}

// Every short string of the bytes that make up sequences: the decoder stays inside the
// buffer, and with timedOut always makes progress.
TEST(KeyDecoder, AnyBytesAreConsumedWithinBounds) {
    const unsigned char alphabet[] = {0x1B, '[', 'O', 'M',  '1',  ';',
                                      '~',  'A', 'a', 0x03, 0x7F, 0xC3};
    std::vector<unsigned char> bytes;
    for (unsigned char a : alphabet) {
        for (unsigned char b : alphabet) {
            for (unsigned char c : alphabet) {
                bytes = {a, b, c};
                for (std::size_t length = 1; length <= 3; ++length) {
                    const DecodedKey waiting = DecodeKey(bytes.data(), length, false);
                    EXPECT_LE(waiting.Consumed, length);
                    const DecodedKey late = DecodeKey(bytes.data(), length, true);
                    EXPECT_GE(late.Consumed, 1u);
                    EXPECT_LE(late.Consumed, length);
                }
            }
        }
    }
}

}  // namespace
