#pragma once
// How the console's character bytes look on a UTF-8 terminal. A byte on its own is shown
// as its glyph in the classic PC character set (code page 437), control bytes included, so
// no cell ever sends the terminal a control byte. A run of cells whose bytes form a UTF-8
// sequence for a character of known width is shown as that character, so typed non-ASCII
// text stays legible.
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// The code point of the byte's glyph: printable ASCII as itself, 0 as a blank, 1-31 and 127
// as the PC's symbols (smileys, card suits, arrows, ...), 128-255 as the PC's letters, box
// drawing and Greek.
std::uint16_t GlyphOfByte(unsigned char byte);

// A character drawn from a run of cells.
struct Utf8Run {
    int Length;  // cells (bytes) of the run, 2 to 4; 0 when the bytes start no such run
    int Width;   // columns the character takes on the terminal, 1 or 2
};

// Whether bytes start a well-formed UTF-8 sequence (no overlong form, no surrogate) whose
// character has a width we are sure of: letters, symbols and wide East Asian characters.
// Combining marks, format and control characters, emoji and anything else a terminal might
// draw narrower or wider than we think are no run: their bytes show one glyph each.
Utf8Run FindUtf8Run(const unsigned char* bytes, std::size_t length);

// Appends the UTF-8 form of codePoint (at most U+FFFF) to out.
void AppendUtf8(std::uint32_t codePoint, std::string& out);

}  // namespace platform
