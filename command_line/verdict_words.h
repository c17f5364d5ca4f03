#pragma once
// The command line's words for the header check's verdicts and the conversion's outcomes:
// the failure lines' texts, and the causes and hints that follow them in brackets.
#include <cstdint>
#include <string>
#include <string_view>

#include "converter/conversion_outcome.h"
#include "converter/header_check.h"
#include "converter/wave_header.h"

// "This is not a mono Wave file" and the like; empty for an accepted file.
std::string_view RefusalText(HeaderCode code);

// What follows a refusal in brackets: why the name could not be opened, what the file holds
// and every option that would read it ("2 channels; --channel N reads one"), that a format
// only the options read has no data chunk, or the channel count of a file without the channel
// asked for; empty when there is nothing to add.
std::string RefusalCause(const HeaderVerdict& verdict);

// The line for a channel asked of a file that has fewer: "There is no channel 3".
std::string AbsentChannelText(int channel);
std::string ChannelCountText(std::uint16_t channels);

// The sample format as the report line gives it: "16 bits", "32-bit float".
std::string SampleFormatText(const WaveHeader& header);

// "This file is too large to convert" and the like; empty for a finished conversion.
std::string_view OutcomeText(ConversionOutcome outcome);

// The same where the lines go to standard output: a write failure is standard output's.
std::string_view StandardOutputOutcomeText(ConversionOutcome outcome);

// "the header gives N samples, the file holds M; --data-to-end converts them" for an accepted
// file whose header leaves out samples it holds; else empty.
std::string DataSizeHint(const HeaderVerdict& verdict);
