#include "tests/e2e/screen_capture.h"

#include <cstddef>

namespace {

struct Pen {
    int Foreground;
    int Background;
    bool Bold;
    bool Reverse;
};

constexpr Pen DefaultPen{DefaultForeground, DefaultBackground, false, false};

std::vector<int> SplitParameters(const std::string& text) {
    std::vector<int> values;
    int value = 0;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            value = value * 10 + (c - '0');
        } else {
            values.push_back(value);
            value = 0;
        }
    }
    values.push_back(value);  // "" is SGR 0
    return values;
}

// A 38 or 48 sequence: 5;n or 2;r;g;b follows. Returns the colour and moves i past it.
int ExtendedColour(const std::vector<int>& values, std::size_t& i) {
    if (i + 2 < values.size() && values[i + 1] == 5) {
        int colour = PaletteColour + values[i + 2];
        i += 2;
        return colour;
    }
    if (i + 4 < values.size() && values[i + 1] == 2) {
        i += 4;
        return DirectColour;
    }
    return NotReported;
}

void ApplySgr(Pen& pen, const std::string& parameters) {
    std::vector<int> values = SplitParameters(parameters);
    for (std::size_t i = 0; i < values.size(); ++i) {
        int code = values[i];
        if (code == 0) {
            pen = DefaultPen;
        } else if (code == 1) {
            pen.Bold = true;
        } else if (code == 22) {
            pen.Bold = false;
        } else if (code == 7) {
            pen.Reverse = true;
        } else if (code == 27) {
            pen.Reverse = false;
        } else if ((code >= 30 && code <= 37) || (code >= 90 && code <= 97) || code == 39) {
            pen.Foreground = code;
        } else if ((code >= 40 && code <= 47) || (code >= 100 && code <= 107) || code == 49) {
            pen.Background = code;
        } else if (code == 38) {
            pen.Foreground = ExtendedColour(values, i);
        } else if (code == 48) {
            pen.Background = ExtendedColour(values, i);
        }
        // Other attributes (italics, underline, ...) are not used by the program.
    }
}

// Length of the UTF-8 character that starts with this byte; 1 for a stray byte.
std::size_t CharacterLength(unsigned char lead) {
    if (lead >= 0xF0 && lead < 0xF8) return 4;
    if (lead >= 0xE0) return lead < 0xF0 ? 3 : 1;
    if (lead >= 0xC0) return 2;
    return 1;
}

ScreenCell& MutableCell(ScreenCells& screen, int rowFrom0, int columnFrom0) {
    return screen.Cells[static_cast<std::size_t>(rowFrom0 * screen.Columns + columnFrom0)];
}

}  // namespace

ScreenCells ParseCapture(const std::string& capture, int columns, int rows) {
    ScreenCells screen{columns, rows, {}};
    screen.Cells.assign(static_cast<std::size_t>(columns * rows),
                        ScreenCell{" ", NotReported, NotReported, false, false});
    Pen pen = DefaultPen;
    int row = 0;
    int column = 0;
    std::size_t i = 0;
    while (i < capture.size()) {
        unsigned char byte = static_cast<unsigned char>(capture[i]);
        if (byte == '\n') {
            ++row;
            column = 0;
            ++i;
        } else if (byte == 0x1B) {
            // CSI: parameters up to a final byte 0x40-0x7E; only SGR (m) matters.
            if (i + 1 < capture.size() && capture[i + 1] == '[') {
                std::size_t end = i + 2;
                while (end < capture.size() && !(capture[end] >= 0x40 && capture[end] <= 0x7E)) {
                    ++end;
                }
                if (end < capture.size() && capture[end] == 'm') {
                    ApplySgr(pen, capture.substr(i + 2, end - (i + 2)));
                }
                i = end + 1;
            } else {
                i += 2;
            }
        } else {
            std::size_t length = CharacterLength(byte);
            if (i + length > capture.size()) length = capture.size() - i;
            if (row < rows && column < columns) {
                ScreenCell& cell = MutableCell(screen, row, column);
                cell.Glyph = capture.substr(i, length);
                cell.Foreground = pen.Foreground;
                cell.Background = pen.Background;
                cell.Bold = pen.Bold;
                cell.Reverse = pen.Reverse;
            }
            ++column;
            i += length;
        }
    }
    return screen;
}

const ScreenCell& CellAt(const ScreenCells& screen, int row, int column) {
    return screen.Cells[static_cast<std::size_t>((row - 1) * screen.Columns + (column - 1))];
}

std::string RowText(const ScreenCells& screen, int row) {
    std::string text;
    for (int column = 1; column <= screen.Columns; ++column) {
        text += CellAt(screen, row, column).Glyph;
    }
    return TrimRight(text);
}

std::vector<std::string> SplitRows(const std::string& capture, int rows) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < capture.size() && static_cast<int>(lines.size()) < rows) {
        std::size_t end = capture.find('\n', start);
        if (end == std::string::npos) end = capture.size();
        lines.push_back(TrimRight(capture.substr(start, end - start)));
        start = end + 1;
    }
    lines.resize(static_cast<std::size_t>(rows));
    return lines;
}

std::string DescribeRows(const std::vector<std::string>& rows) {
    std::string text;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        std::string number = std::to_string(i + 1);
        if (number.size() < 2) number = " " + number;
        text += number + "|" + rows[i] + "\n";
    }
    return text;
}

std::string TrimRight(const std::string& text) {
    std::size_t end = text.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}
