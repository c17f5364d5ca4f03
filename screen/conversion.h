#pragma once
// The conversion: every sample of the accepted wave file divided by the peak, one value per
// line, into the signal file beside it.
#include <string_view>

#include "converter/conversion_outcome.h"
#include "converter/wave_header.h"

// Converts and closes channel 1, which is open on the wave file on entry. Draws nothing.
ConversionOutcome ConvertToSignalFile(std::string_view waveName, const WaveHeader& header);
