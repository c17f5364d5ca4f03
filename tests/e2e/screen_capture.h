#pragma once
// The screen as tmux's `capture-pane -e -p` reports it: text with SGR sequences, one line
// per row. Colour state carries from one line to the next, so the whole capture is parsed
// as one stream into a grid of cells.
#include <string>
#include <vector>

// Colours are kept as the SGR codes tmux reports; tmux gives bright colours back as sent.
inline constexpr int NotReported = -1;  // the capture said nothing about this cell
inline constexpr int DefaultForeground = 39;
inline constexpr int DefaultBackground = 49;
inline constexpr int Black = 30;
inline constexpr int DarkGrey = 90;
inline constexpr int BrightWhiteBackground = 107;
inline constexpr int PaletteColour = 1000;  // 38;5;n and 48;5;n are kept as PaletteColour + n
inline constexpr int DirectColour = 2000;   // 38;2;r;g;b and 48;2;r;g;b, the shade dropped

struct ScreenCell {
    std::string Glyph;  // one character, UTF-8; " " where the capture reported nothing
    int Foreground;     // SGR 30-37, 90-97, 39, PaletteColour + n, DirectColour or NotReported
    int Background;     // SGR 40-47, 100-107, 49, PaletteColour + n, DirectColour or NotReported
    bool Bold;
    bool Reverse;
};

// Invariant: Cells.size() == Columns * Rows, row after row.
struct ScreenCells {
    int Columns;
    int Rows;
    std::vector<ScreenCell> Cells;
};

// Parses a whole `capture-pane -e -p` output. Cells past the end of a captured line (tmux
// leaves out trailing blanks) and lines past the last one are NotReported blanks. A wide
// character takes one cell here.
ScreenCells ParseCapture(const std::string& capture, int columns, int rows);

// Row and column counted from 1, as the screen script counts them.
const ScreenCell& CellAt(const ScreenCells& screen, int row, int column);

// The glyphs of one row (from 1), trailing blanks removed.
std::string RowText(const ScreenCells& screen, int row);

// Splits plain `capture-pane -p` output into exactly `rows` lines, trailing blanks removed.
std::vector<std::string> SplitRows(const std::string& capture, int rows);

// The rows numbered from 1, one per line, for failure messages.
std::string DescribeRows(const std::vector<std::string>& rows);

std::string TrimRight(const std::string& text);
