#pragma once
// Every sentence with which the program refuses a file or reports a failure, each written once
// here. The front ends frame them: the screen as "   ERROR - " and the sentence, the command
// line as "norvistrand: NAME: " and the sentence, with its cause in brackets where it has one.
// The core speaks in codes, so a code it gains is one row more in a table below.
#include <string>
#include <string_view>

#include "converter/conversion_outcome.h"
#include "converter/header_check.h"

// The header check's refusals; empty for an accepted file.
constexpr std::string_view RefusalText(HeaderCode code) {
    switch (code) {
        case HeaderCode::Accepted:
            return {};
        case HeaderCode::NotFound:
            return "Specified file not found";
        case HeaderCode::NotWave:
        case HeaderCode::NoDataChunk:
            return "This is not a Wave file";
        case HeaderCode::NotPcm:
            return "This is not a PCM format Wave file";
        case HeaderCode::NotMono:
            return "This is not a mono Wave file";
        case HeaderCode::NoSuchChannel:
            return "There is no channel";  // the command line names the channel after it
        case HeaderCode::BadResolution:
            return "This is not an 8-, 16- or 24-bit Wave file";
        case HeaderCode::NotPacked:
            return "24-bit Wave files must be packed integer format";
        case HeaderCode::WouldOverwrite:
            return "The signal file would overwrite this Wave file";
    }
    return {};
}

// A conversion's failures; empty for a finished one.
constexpr std::string_view OutcomeText(ConversionOutcome outcome) {
    switch (outcome) {
        case ConversionOutcome::Finished:
            return {};
        case ConversionOutcome::TooLarge:
            return "This file is too large to convert";
        case ConversionOutcome::ReadFailed:
            return "The Wave file could not be read";
        case ConversionOutcome::WriteFailed:
        case ConversionOutcome::OutputClosed:
            return "The signal file could not be written";
        case ConversionOutcome::NotANumber:
            return "This Wave file holds a sample that is not a number";
    }
    return {};
}

// The command line's refusals and failures that stand for no code of the core.
inline constexpr std::string_view EarlierSignalFileText =
    "The signal file would overwrite that of an earlier file";
inline constexpr std::string_view StandardOutputFailedText = "Standard output could not be written";
inline constexpr std::string_view ReportLineFailedText = "A report line could not be written";

inline std::string AbsentChannelText(int channel) {
    return std::string(RefusalText(HeaderCode::NoSuchChannel)) + " " + std::to_string(channel);
}
