#pragma once
// The command line's words around the program's sentences (sentences/sentences.h) for the
// header check's verdicts and the conversion's outcomes: the causes and hints that follow
// them in brackets, and the report line's sample format.
#include <cstdint>
#include <string>
#include <string_view>

#include "converter/conversion_outcome.h"
#include "converter/header_check.h"
#include "converter/wave_header.h"
#include "sentences/sentences.h"

// What follows a refusal in brackets: why the name could not be opened, what the file holds
// and every option that would read it ("2 channels; --channel N reads one", "RF64 file;
// --any-pcm reads it"), that a format
// only the options read has no data chunk, or the channel count of a file without the channel
// asked for; empty when there is nothing to add.
std::string RefusalCause(const HeaderVerdict& verdict);

// A channel count as causes and hints give it: "1 channel", "2 channels".
std::string ChannelCountText(std::uint16_t channels);

// The sample format as the report line gives it: "16 bits", "32-bit float", "8-bit A-law".
std::string SampleFormatText(const WaveHeader& header);

// The outcome's sentence where the lines go to standard output: a write failure is standard
// output's.
std::string_view StandardOutputOutcomeText(ConversionOutcome outcome);

// "the header gives N samples, the file holds M": the counts of a header that leaves out samples.
std::string LeftOutText(const HeaderVerdict& verdict);

// "the header gives N samples, the file holds M; --data-to-end converts them" for an accepted
// file whose header leaves out samples it holds; else empty.
std::string DataSizeHint(const HeaderVerdict& verdict);
