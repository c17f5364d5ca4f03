#pragma once
// The screen program's lines for the header check's verdicts and the conversion's outcomes:
// the program's sentences as the screen shows them.
#include <string>
#include <string_view>

#include "converter/conversion_outcome.h"
#include "converter/header_check.h"

inline constexpr std::string_view JobFinishedMessage = "   Job finished";

// "   ERROR - " and the refusal's sentence; empty for an accepted file.
std::string RefusalMessage(HeaderCode code);

// "   Job finished" for a finished conversion, else "   ERROR - " and its failure's sentence.
std::string OutcomeMessage(ConversionOutcome outcome);
