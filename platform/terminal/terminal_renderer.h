#pragma once
// Mirrors the in-memory console onto a terminal: compares the console's cells with what was
// last drawn and produces the bytes that bring the terminal up to date. Pure: no I/O. The
// caller writes the bytes in one go and keeps the drawn copy for the next frame.
//
// Every escape sequence a frame may hold (ECMA-48 / xterm):
//   CSI 0 m, CSI 2 J      reset the pen and clear, only when the terminal's content is not
//                         known (the first frame, a new terminal size, a new view size)
//   CSI row ; column H    place the cursor (from 1), before a cell not next to the last one
//                         drawn, and at the end for the console's cursor
//   CSI fg ; bg m         the colours of the cells that follow, only when they change:
//                         colour number c (bright 8, red 4, green 2, blue 1) is ANSI colour
//                         c with its red and blue bits swapped, 0-7 as 30-37 / 40-47 and
//                         8-15 as 90-97 / 100-107
//   CSI ? 25 h, CSI ? 25 l  show or hide the cursor, only when that changes
//   BEL                   one per bell rung since the last frame
// Cell content never adds a control byte: see cell_glyphs.h.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/console_api.h"

namespace platform {

struct TerminalSize {
    int Columns;  // 0 when not known
    int Rows;     // 0 when not known
};

// One terminal cell as last drawn: the console cell it shows and how it was drawn.
struct DrawnCell {
    unsigned char Char;
    std::uint8_t Attributes;
    std::uint8_t RunLength;  // cells drawn as one character: 1, or 2 to 4 for a UTF-8 run
    std::uint8_t RunOffset;  // this cell's place in that run, from 0
};

// What the terminal shows, as far as the renderer knows. The view is the part of the
// console's window on the terminal, with its top-left cell in the terminal's top-left cell.
struct DrawnScreen {
    bool Known;                    // false: the next frame clears the terminal and draws every cell
    TerminalSize Terminal;         // the size the view was drawn for
    int Top;                       // console row on the terminal's top row, from 0
    int Left;                      // console column in the terminal's first column, from 0
    int Rows;                      // console rows in the view
    int Columns;                   // console columns in the view
    std::vector<DrawnCell> Cells;  // Rows * Columns, row after row
    int Pen;                       // attribute whose colours were sent last; -1 when not known
    int CursorRow;                 // where the terminal's cursor stands, from 0; -1 when not known
    int CursorColumn;              // from 0; -1 when not known
    int CursorShown;               // 1 shown, 0 hidden, -1 not known
};

// A screen about which nothing is known, as before the first frame or after a failed write.
DrawnScreen UnknownScreen();

// Appends to out the bytes that make the terminal show the console, and updates drawn to
// match. The view is the console's window (the whole buffer if the window is not inside
// it); where the terminal is smaller, the part of it around the cursor, so the cursor's row
// and the rows above it show. A terminal size of 0 counts as the window's size. bells is
// the number of BEL bytes to send.
void RenderFrame(const ConsoleState& console, TerminalSize terminal, std::uint32_t bells,
                 DrawnScreen& drawn, std::string& out);

}  // namespace platform
