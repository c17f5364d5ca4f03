#pragma once
// The command line's words for why a conversion failed: what follows the failure line in
// brackets ("input/output error: take.wav", "changed while it was read", "sample 7").
#include <string>
#include <string_view>

#include "converter/conversion_outcome.h"
#include "converter/header_check.h"
#include "converter/streamed_conversion.h"

// A failure line's two parts: its sentence, and what follows it in brackets (or nothing).
struct FailureWords {
    std::string Sentence;
    std::string Cause;
};

// A name longer than the channels take, refused before its header is read.
FailureWords LongNameWords();

// A file the header check refused, read for the channel asked (0 for none): a file without
// that channel is told there is no such channel.
FailureWords RefusalWords(const HeaderVerdict& verdict, int channel);

// Empty where there is nothing to add (a file too large, a closed output). waveName is the
// wave file as messages call it.
std::string ConversionCause(ConversionOutcome outcome, const ConversionFailure& failure,
                            std::string_view waveName);
