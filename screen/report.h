#pragma once
// The report of an accepted wave file on the screen.
#include "converter/wave_header.h"

// The four report rows, at the cursor in the current colour.
void WriteReport(const WaveHeader& header);
