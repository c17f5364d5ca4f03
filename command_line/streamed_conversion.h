#pragma once
// The conversion for many files and long ones: the same signal file as the screen program
// writes, made in two passes over the samples (the peak first, then the lines) with memory
// that does not grow with the file, and put in place only once complete.
#include <string>
#include <string_view>

#include "command_line/line_blocks.h"
#include "command_line/progress_display.h"
#include "converter/conversion_outcome.h"
#include "converter/wave_header.h"
#include "files/channels.h"

// Where the lines go: by default the signal file beside the wave file.
struct SignalTarget {
    std::string_view Path;  // the signal file to write instead; empty: the one beside
    bool StandardOutput;    // to standard output, with no file written
};

// Converts and closes channel 1, which is open on the accepted wave file on entry. A file
// whose sample buffer the screen program could not have is refused as too large here too.
// A wave file changed between the two passes (its size or times, or a sample above the peak
// the first pass found) fails as ReadFailed. On a read or write failure, cause tells why in a
// few words, with the path that failed where there is one ("permission denied: take1.sig",
// "changed while it was read"); it is left empty otherwise. A float sample that is not a
// finite number fails the first pass as NotANumber, before anything is written, with the cause
// "sample K", K counted from 1.
// The lines are made on threads (see line_blocks.h), the same bytes for every count.
ConversionOutcome ConvertStreamed(std::string_view waveName, const WaveHeader& header,
                                  ProgressDisplay& progress, std::string& cause,
                                  const SignalTarget& target = {}, int threads = AutomaticThreads);

// The conversion from the second pass on, with the first pass's stamp of the wave file and
// the peak it found: what ConvertStreamed does once it has them.
ConversionOutcome ConvertWithPeak(std::string_view waveName, const WaveHeader& header,
                                  const FileStamp& before, double peak, ProgressDisplay& progress,
                                  std::string& cause, const SignalTarget& target = {},
                                  int threads = AutomaticThreads);
