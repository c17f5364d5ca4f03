#pragma once
// The conversion for many files and long ones: the same signal file as the screen program
// writes, made in two passes over the samples (the peak first, then the lines) with memory
// that does not grow with the file, and put in place only once complete.
#include <string_view>

#include "converter/conversion.h"
#include "converter/progress_display.h"
#include "converter/wave_header.h"

// Where the lines go: by default the signal file beside the wave file.
struct SignalTarget {
    std::string_view Path;  // the signal file to write instead; empty: the one beside
    bool StandardOutput;    // to standard output, with no file written
};

// Converts and closes channel 1, which is open on the accepted wave file on entry. A file
// whose sample buffer the screen program could not have is refused as too large here too.
ConversionOutcome ConvertStreamed(std::string_view waveName, const WaveHeader& header,
                                  ProgressDisplay& progress, const SignalTarget& target = {});
