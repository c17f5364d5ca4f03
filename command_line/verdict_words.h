#pragma once
// The command line's words for the header check's verdicts and the conversion's outcomes:
// the failure lines' texts, and the causes and hints that follow them in brackets.
#include <string>
#include <string_view>

#include "converter/conversion_outcome.h"
#include "converter/header_check.h"

// "This is not a mono Wave file" and the like; empty for an accepted file.
std::string_view RefusalText(HeaderCode code);

// What follows a refusal in brackets: why the name could not be opened, or the options that
// would read the file; empty when there is nothing to add.
std::string RefusalCause(const HeaderVerdict& verdict);

// "This file is too large to convert" and the like; empty for a finished conversion.
std::string_view OutcomeText(ConversionOutcome outcome);

// "the header gives N samples, the file holds M; --data-to-end converts them" for an accepted
// file whose header leaves out samples it holds; else empty.
std::string DataSizeHint(const HeaderVerdict& verdict);
