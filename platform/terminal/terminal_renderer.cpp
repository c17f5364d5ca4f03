#include "platform/terminal/terminal_renderer.h"

#include <algorithm>
#include <cstddef>

#include "platform/terminal/cell_glyphs.h"

namespace platform {

namespace {

// The part of the console on the terminal, in console cells.
struct View {
    int Top;
    int Left;
    int Rows;
    int Columns;
    TerminalSize Terminal;  // the terminal's size, with an unknown size taken as the window's
};

View ChooseView(const ConsoleState& console, TerminalSize terminal) {
    const int width = console.Size.X;
    const int height = console.Size.Y;
    if (width <= 0 || height <= 0 ||
        console.Cells.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
        return View{0, 0, 0, 0, terminal};
    }
    int left = std::max<int>(console.Window.Left, 0);
    int top = std::max<int>(console.Window.Top, 0);
    int right = std::min<int>(console.Window.Right, width - 1);
    int bottom = std::min<int>(console.Window.Bottom, height - 1);
    if (left > right || top > bottom) {
        left = 0;
        top = 0;
        right = width - 1;
        bottom = height - 1;
    }
    const int windowColumns = right - left + 1;
    const int windowRows = bottom - top + 1;
    const TerminalSize size{terminal.Columns > 0 ? terminal.Columns : windowColumns,
                            terminal.Rows > 0 ? terminal.Rows : windowRows};
    View view{top, left, std::min(windowRows, size.Rows), std::min(windowColumns, size.Columns),
              size};
    // A terminal smaller than the window shows the cursor's cell at its bottom or right edge
    // at most, so the cursor's row and what was written above it stay in sight.
    const int column = std::clamp<int>(console.Cursor.X, left, right);
    const int row = std::clamp<int>(console.Cursor.Y, top, bottom);
    view.Left = std::clamp(column - (view.Columns - 1), left, right - view.Columns + 1);
    view.Top = std::clamp(row - (view.Rows - 1), top, bottom - view.Rows + 1);
    return view;
}

void AppendNumber(int number, std::string& out) {
    char digits[12];
    int count = 0;
    unsigned value = number < 0 ? 0u : static_cast<unsigned>(number);
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0) out.push_back(digits[--count]);
}

// ANSI numbers colours blue 4, green 2, red 1; the console's colour numbers have red 4 and
// blue 1.
int AnsiColour(int colour) {
    return (colour & 0x8) | ((colour & 0x1) << 2) | (colour & 0x2) | ((colour & 0x4) >> 2);
}

void AppendColours(std::uint8_t attributes, std::string& out) {
    const int foreground = AnsiColour(attributes & 0x0F);
    const int background = AnsiColour(attributes >> 4);
    out += "\x1b[";
    AppendNumber(foreground < 8 ? 30 + foreground : 90 + foreground - 8, out);
    out.push_back(';');
    AppendNumber(background < 8 ? 40 + background : 100 + background - 8, out);
    out.push_back('m');
}

// The frame being built, with what is known of the terminal's cursor and pen as it goes.
struct Frame {
    DrawnScreen& Drawn;
    std::string& Out;
    int TerminalColumns;
};

void MoveTo(Frame& frame, int row, int column) {
    if (frame.Drawn.CursorRow == row && frame.Drawn.CursorColumn == column) return;
    frame.Out += "\x1b[";
    AppendNumber(row + 1, frame.Out);
    frame.Out.push_back(';');
    AppendNumber(column + 1, frame.Out);
    frame.Out.push_back('H');
    frame.Drawn.CursorRow = row;
    frame.Drawn.CursorColumn = column;
}

void UsePen(Frame& frame, std::uint8_t attributes) {
    if (frame.Drawn.Pen == attributes) return;
    AppendColours(attributes, frame.Out);
    frame.Drawn.Pen = attributes;
}

// After an ASCII character the cursor stands one cell on, except past the last column,
// where terminals differ; after anything wider we do not rely on its width.
void Advance(Frame& frame, bool ascii) {
    if (ascii && frame.Drawn.CursorColumn + 1 < frame.TerminalColumns) {
        ++frame.Drawn.CursorColumn;
    } else {
        frame.Drawn.CursorRow = -1;
        frame.Drawn.CursorColumn = -1;
    }
}

// Draws one cell on its own: printable ASCII as itself, any other byte as its glyph.
void DrawSingle(Frame& frame, int row, int column, const CharInfo& cell) {
    MoveTo(frame, row, column);
    UsePen(frame, cell.Attributes);
    const std::uint16_t glyph = GlyphOfByte(cell.Char);
    AppendUtf8(glyph, frame.Out);
    Advance(frame, glyph < 0x80);
}

void DrawBlank(Frame& frame, int row, int column, std::uint8_t attributes) {
    DrawSingle(frame, row, column, CharInfo{' ', attributes});
}

// Draws a run of cells that holds one UTF-8 character: the blanks after the character go
// first, then the character over the first cell. A terminal that takes the character one
// column wider than we think then covers a blank of the run, never a neighbour, and one
// that takes it narrower leaves our blank showing.
void DrawRun(Frame& frame, int row, int column, const CharInfo* cells, int length) {
    for (int i = 1; i < length; ++i) DrawBlank(frame, row, column + i, cells[i].Attributes);
    MoveTo(frame, row, column);
    UsePen(frame, cells[0].Attributes);
    for (int i = 0; i < length; ++i) frame.Out.push_back(static_cast<char>(cells[i].Char));
    Advance(frame, false);
}

// The runs of one console row: for each column, the length of the run that starts there
// (0 inside a run). Runs start from column 0 whatever part of the row is in view.
void FindRuns(const CharInfo* cells, int width, std::vector<std::uint8_t>& runs) {
    runs.assign(static_cast<std::size_t>(width), 0);
    unsigned char bytes[4];
    for (int column = 0; column < width;) {
        const int available = std::min(4, width - column);
        for (int i = 0; i < available; ++i) bytes[i] = cells[column + i].Char;
        const Utf8Run run = FindUtf8Run(bytes, static_cast<std::size_t>(available));
        const int length = run.Length > 0 ? run.Length : 1;
        runs[static_cast<std::size_t>(column)] = static_cast<std::uint8_t>(length);
        column += length;
    }
}

// Draws the view's row that shows console row y, cell runs that changed only (all of them
// with redrawAll).
void DrawRow(Frame& frame, const ConsoleState& console, int y, int viewRow, bool redrawAll,
             std::vector<std::uint8_t>& runs) {
    DrawnScreen& drawn = frame.Drawn;
    const int width = console.Size.X;
    const CharInfo* cells = console.Cells.data() + static_cast<std::size_t>(y) * width;
    FindRuns(cells, width, runs);
    const int viewEnd = drawn.Left + drawn.Columns;
    for (int start = 0; start < width && start < viewEnd;) {
        const int length = runs[static_cast<std::size_t>(start)];
        const int first = std::max(start, drawn.Left);
        const int end = std::min(start + length, viewEnd);
        bool changed = redrawAll;
        for (int column = first; column < end; ++column) {
            const DrawnCell now{cells[column].Char, cells[column].Attributes,
                                static_cast<std::uint8_t>(length),
                                static_cast<std::uint8_t>(column - start)};
            DrawnCell& before = drawn.Cells[static_cast<std::size_t>(viewRow) * drawn.Columns +
                                            (column - drawn.Left)];
            if (before.Char != now.Char || before.Attributes != now.Attributes ||
                before.RunLength != now.RunLength || before.RunOffset != now.RunOffset) {
                changed = true;
            }
            before = now;
        }
        if (changed && first < end) {
            if (length == 1) {
                DrawSingle(frame, viewRow, start - drawn.Left, cells[start]);
            } else if (first == start && end == start + length) {
                DrawRun(frame, viewRow, start - drawn.Left, cells + start, length);
            } else {
                // A character cut by the view's edge: its cells in view show blank.
                for (int column = first; column < end; ++column) {
                    DrawBlank(frame, viewRow, column - drawn.Left, cells[column].Attributes);
                }
            }
        }
        start += length;
    }
}

}  // namespace

DrawnScreen UnknownScreen() {
    return DrawnScreen{false, TerminalSize{0, 0}, 0, 0, 0, 0, {}, -1, -1, -1, -1};
}

void RenderFrame(const ConsoleState& console, TerminalSize terminal, std::uint32_t bells,
                 DrawnScreen& drawn, std::string& out) {
    out.append(bells, '\a');

    const View view = ChooseView(console, terminal);
    const bool clear = !drawn.Known || view.Terminal.Columns != drawn.Terminal.Columns ||
                       view.Terminal.Rows != drawn.Terminal.Rows || view.Rows != drawn.Rows ||
                       view.Columns != drawn.Columns;
    const bool redrawAll = clear || view.Top != drawn.Top || view.Left != drawn.Left;
    if (clear) {
        // Cleared with the default colours: cells outside the view are not the console's.
        out += "\x1b[0m\x1b[2J";
        drawn.Pen = -1;
        drawn.CursorRow = -1;
        drawn.CursorColumn = -1;
    }
    if (redrawAll) {
        drawn.Known = true;
        drawn.Terminal = view.Terminal;
        drawn.Top = view.Top;
        drawn.Left = view.Left;
        drawn.Rows = view.Rows;
        drawn.Columns = view.Columns;
        drawn.Cells.assign(static_cast<std::size_t>(view.Rows) * view.Columns, DrawnCell{});
    }

    Frame frame{drawn, out, view.Terminal.Columns};
    std::vector<std::uint8_t> runs;
    for (int row = 0; row < view.Rows; ++row) {
        DrawRow(frame, console, view.Top + row, row, redrawAll, runs);
    }

    const int cursorRow = console.Cursor.Y - view.Top;
    const int cursorColumn = console.Cursor.X - view.Left;
    const bool inView =
        cursorRow >= 0 && cursorRow < view.Rows && cursorColumn >= 0 && cursorColumn < view.Columns;
    if (inView) MoveTo(frame, cursorRow, cursorColumn);
    const int shown = console.CursorLook.Visible && inView ? 1 : 0;
    if (drawn.CursorShown != shown) {
        out += shown == 1 ? "\x1b[?25h" : "\x1b[?25l";
        drawn.CursorShown = shown;
    }
}

}  // namespace platform
