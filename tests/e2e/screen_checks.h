#pragma once
// Colour checks over a captured screen; each returns "" or what is wrong, for the test's
// failure message.
#include <string>

#include "tests/e2e/screen_capture.h"

// Every glyph that is not a blank in row `row` (from 1) has this foreground on bright white
// and is not bold. Returns "" or a description of the first cell that is not.
std::string CheckRowColours(const ScreenCells& screen, int row, int foreground);

// Every cell of the screen, blank or not, has the bright white background. Returns "" or a
// description of the first few cells that do not.
std::string CheckWholeScreenBrightWhite(const ScreenCells& screen);
