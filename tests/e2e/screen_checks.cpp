#include "tests/e2e/screen_checks.h"

#include <string>

namespace {

std::string DescribeColour(int colour) {
    return colour == NotReported ? "not reported" : std::to_string(colour);
}

std::string DescribeCell(const ScreenCells& screen, int row, int column) {
    const ScreenCell& cell = CellAt(screen, row, column);
    return "row " + std::to_string(row) + ", column " + std::to_string(column) + " \"" +
           cell.Glyph + "\": foreground " + DescribeColour(cell.Foreground) + ", background " +
           DescribeColour(cell.Background) + (cell.Bold ? ", bold" : "") +
           (cell.Reverse ? ", reverse" : "");
}

}  // namespace

std::string CheckRowColours(const ScreenCells& screen, int row, int foreground) {
    for (int column = 1; column <= screen.Columns; ++column) {
        const ScreenCell& cell = CellAt(screen, row, column);
        if (cell.Glyph == " ") continue;
        if (cell.Foreground != foreground || cell.Background != BrightWhiteBackground ||
            cell.Bold || cell.Reverse) {
            return "wanted foreground " + std::to_string(foreground) + " on " +
                   std::to_string(BrightWhiteBackground) + ", got " +
                   DescribeCell(screen, row, column);
        }
    }
    return "";
}

std::string CheckWholeScreenBrightWhite(const ScreenCells& screen) {
    std::string wrong;
    int count = 0;
    for (int row = 1; row <= screen.Rows; ++row) {
        for (int column = 1; column <= screen.Columns; ++column) {
            if (CellAt(screen, row, column).Background == BrightWhiteBackground) continue;
            if (++count <= 5) wrong += DescribeCell(screen, row, column) + "\n";
        }
    }
    if (count == 0) return "";
    return std::to_string(count) + " cells are not on bright white, among them:\n" + wrong;
}
