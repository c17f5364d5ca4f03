#pragma once
// The command line's words for why a conversion failed: what follows the failure line in
// brackets ("input/output error: take.wav", "changed while it was read", "sample 7").
#include <string>
#include <string_view>

#include "converter/conversion_outcome.h"
#include "converter/streamed_conversion.h"

// Empty where there is nothing to add (a file too large, a closed output). waveName is the
// wave file as messages call it.
std::string ConversionCause(ConversionOutcome outcome, const ConversionFailure& failure,
                            std::string_view waveName);
