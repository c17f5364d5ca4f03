#pragma once
// The conversion: every sample of the accepted wave file divided by the peak, one value per
// line, into the signal file beside it.
#include <string_view>

#include "converter/wave_header.h"
#include "files/byte_string.h"

enum class ConversionOutcome {
    Finished,
    TooLarge,      // the sample arrays could not be created
    ReadFailed,    // the sample read failed at the system level
    WriteFailed,   // the signal file could not be opened, written or closed
};

inline constexpr std::string_view JobFinishedMessage = "   Job finished";
inline constexpr std::string_view TooLargeMessage = "   ERROR - This file is too large to convert";
inline constexpr std::string_view ReadFailedMessage = "   ERROR - The Wave file could not be read";
inline constexpr std::string_view WriteFailedMessage = "   ERROR - The signal file could not be written";

// The wave file name less its last three bytes, then "sig"; names of 1 or 2 bytes stay whole.
ByteString SignalFileName(std::string_view waveName);

// Announces the signal file, converts, and closes channel 1, which is open on the wave file
// on entry.
ConversionOutcome ConvertToSignalFile(std::string_view waveName, const WaveHeader& header);
