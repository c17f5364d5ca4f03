#pragma once
// The conversion: every sample of the accepted wave file divided by the peak, one value per
// line, into the signal file beside it.
#include <string_view>

#include "converter/wave_header.h"

enum class ConversionOutcome {
    Finished,
    TooLarge,      // the sample arrays could not be created
    ReadFailed,    // the sample read failed at the system level
    WriteFailed,   // the signal file could not be opened, written or closed
    OutputClosed,  // the lines went to a pipe that nobody reads any more
};

inline constexpr std::string_view JobFinishedMessage = "   Job finished";
inline constexpr std::string_view TooLargeMessage = "   ERROR - This file is too large to convert";
inline constexpr std::string_view ReadFailedMessage = "   ERROR - The Wave file could not be read";
inline constexpr std::string_view WriteFailedMessage =
    "   ERROR - The signal file could not be written";

// "   Job finished" for a finished conversion, else the message of its failure.
std::string_view OutcomeMessage(ConversionOutcome outcome);

// Converts and closes channel 1, which is open on the wave file on entry. Draws nothing.
ConversionOutcome ConvertToSignalFile(std::string_view waveName, const WaveHeader& header);
