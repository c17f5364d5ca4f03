#pragma once
// The screen program's words for the header check's verdicts and the conversion's outcomes.
#include <string_view>

#include "converter/conversion_outcome.h"
#include "converter/header_check.h"

inline constexpr std::string_view NotFoundMessage = "   ERROR - Specified file not found";
inline constexpr std::string_view NotWaveMessage = "   ERROR - This is not a Wave file";
inline constexpr std::string_view NotPcmMessage = "   ERROR - This is not a PCM format Wave file";
inline constexpr std::string_view NotMonoMessage = "   ERROR - This is not a mono Wave file";
inline constexpr std::string_view BadResolutionMessage =
    "   ERROR - This is not an 8-, 16- or 24-bit Wave file";
inline constexpr std::string_view NotPackedMessage =
    "   ERROR - 24-bit Wave files must be packed integer format";
inline constexpr std::string_view WouldOverwriteMessage =
    "   ERROR - The signal file would overwrite this Wave file";

inline constexpr std::string_view JobFinishedMessage = "   Job finished";
inline constexpr std::string_view TooLargeMessage = "   ERROR - This file is too large to convert";
inline constexpr std::string_view ReadFailedMessage = "   ERROR - The Wave file could not be read";
inline constexpr std::string_view WriteFailedMessage =
    "   ERROR - The signal file could not be written";

// The refusal's message; empty for an accepted file.
std::string_view RefusalMessage(HeaderCode code);

// "   Job finished" for a finished conversion, else the message of its failure.
std::string_view OutcomeMessage(ConversionOutcome outcome);
