#include "screen/messages.h"

std::string_view RefusalMessage(HeaderCode code) {
    switch (code) {
        case HeaderCode::NotFound:
            return NotFoundMessage;
        case HeaderCode::NotWave:
        case HeaderCode::NoDataChunk:  // only the command line's options read such files
            return NotWaveMessage;
        case HeaderCode::NotPcm:
            return NotPcmMessage;
        case HeaderCode::NotMono:
        case HeaderCode::NoSuchChannel:  // the screen program never asks for a channel
            return NotMonoMessage;
        case HeaderCode::BadResolution:
            return BadResolutionMessage;
        case HeaderCode::NotPacked:
            return NotPackedMessage;
        case HeaderCode::WouldOverwrite:
            return WouldOverwriteMessage;
        case HeaderCode::Accepted:
            break;
    }
    return {};
}

std::string_view OutcomeMessage(ConversionOutcome outcome) {
    switch (outcome) {
        case ConversionOutcome::TooLarge:
            return TooLargeMessage;
        case ConversionOutcome::ReadFailed:
        case ConversionOutcome::NotANumber:  // float files are never read here
            return ReadFailedMessage;
        case ConversionOutcome::WriteFailed:
        case ConversionOutcome::OutputClosed:
            return WriteFailedMessage;
        case ConversionOutcome::Finished:
            break;
    }
    return JobFinishedMessage;
}
