#include "command_line/verdict_words.h"

#include <cstdint>

#include "files/file_error.h"

namespace {

// Why a name could not be opened, as far as the file error number tells.
std::string_view NotFoundCause(std::uint8_t fileError) {
    switch (fileError) {
        case AccessRefused:
            return "not a regular file, no permission, or held by another program";
        case FileNotFound:
        case PathNotFound:
        case BadFileName:
        case BadSystemName:
        case TooManyFiles:
        case DeviceIoError:
            return ErrorMeaning(fileError);
        default:
            return {};
    }
}

}  // namespace

std::string_view RefusalText(HeaderCode code) {
    switch (code) {
        case HeaderCode::NotFound:
            return "Specified file not found";
        case HeaderCode::NotWave:
            return "This is not a Wave file";
        case HeaderCode::NotPcm:
            return "This is not a PCM format Wave file";
        case HeaderCode::NotMono:
            return "This is not a mono Wave file";
        case HeaderCode::BadResolution:
            return "This is not an 8-, 16- or 24-bit Wave file";
        case HeaderCode::NotPacked:
            return "24-bit Wave files must be packed integer format";
        case HeaderCode::WouldOverwrite:
            return "The signal file would overwrite this Wave file";
        case HeaderCode::Accepted:
            break;
    }
    return {};
}

std::string RefusalCause(const HeaderVerdict& verdict) {
    if (verdict.Code == HeaderCode::NotFound) return std::string(NotFoundCause(verdict.FileError));
    if (verdict.Needed.Extensible) return "extensible format; --extensible reads it";
    return {};
}

std::string_view OutcomeText(ConversionOutcome outcome) {
    switch (outcome) {
        case ConversionOutcome::TooLarge:
            return "This file is too large to convert";
        case ConversionOutcome::ReadFailed:
            return "The Wave file could not be read";
        case ConversionOutcome::WriteFailed:
        case ConversionOutcome::OutputClosed:
            return "The signal file could not be written";
        case ConversionOutcome::Finished:
            break;
    }
    return {};
}

std::string DataSizeHint(const HeaderVerdict& verdict) {
    if (!verdict.Needed.DataToEnd) return {};
    return "the header gives " + std::to_string(verdict.GivenSamples) +
           " samples, the file holds " + std::to_string(verdict.HeldSamples) +
           "; --data-to-end converts them";
}
