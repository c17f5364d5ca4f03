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

bool Extensible(SampleEncoding encoding) {
    return encoding == SampleEncoding::ExtensiblePcm || encoding == SampleEncoding::ExtensibleFloat;
}

// The samples that only --any-pcm reads.
std::string AnyPcmSamples(const HeldFormat& held) {
    const std::string bits = std::to_string(held.BitsPerSample);
    if (held.Encoding == SampleEncoding::Float ||
        held.Encoding == SampleEncoding::ExtensibleFloat) {
        return bits + "-bit float";
    }
    if (held.BitsPerSample == 24) return "24-bit samples in 4-byte slots";
    return bits + "-bit samples";
}

void AddToList(std::string& list, const std::string& item, const char* separator) {
    list += (list.empty() ? "" : separator) + item;
}

// What the file holds that options not given would read, and those options.
std::string OptionsHint(const HeaderVerdict& verdict) {
    const NeededOptions& needed = verdict.Needed;
    const HeldFormat& held = verdict.Format;
    std::string holds;
    std::string options;
    if (Extensible(held.Encoding) && (needed.Extensible || needed.AnyPcm)) {
        AddToList(holds, "extensible format", ", ");
    }
    if (needed.AnyPcm) AddToList(holds, AnyPcmSamples(held), ", ");
    if (needed.Channel) AddToList(holds, ChannelCountText(held.ChannelCount), ", ");
    if (needed.Extensible) AddToList(options, "--extensible", " ");
    if (needed.AnyPcm) AddToList(options, "--any-pcm", " ");
    if (needed.Channel) AddToList(options, "--channel N", " ");
    if (options.empty()) return {};
    return holds + "; " + options + (needed.Channel ? " reads one" : " reads it");
}

}  // namespace

std::string_view RefusalText(HeaderCode code) {
    switch (code) {
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
            return "There is no channel";  // followed by the channel's number
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
    if (verdict.Code == HeaderCode::NoDataChunk) return "no data chunk";
    if (verdict.Code == HeaderCode::NoSuchChannel) {
        return "the file has " + ChannelCountText(verdict.Format.ChannelCount);
    }
    return OptionsHint(verdict);
}

std::string AbsentChannelText(int channel) {
    return std::string(RefusalText(HeaderCode::NoSuchChannel)) + " " + std::to_string(channel);
}

std::string ChannelCountText(std::uint16_t channels) {
    return std::to_string(channels) + (channels == 1 ? " channel" : " channels");
}

std::string SampleFormatText(const WaveHeader& header) {
    const std::string bits = std::to_string(header.BitsPerSample);
    if (header.Form == SampleForm::Float32 || header.Form == SampleForm::Float64) {
        return bits + "-bit float";
    }
    return bits + " bits";
}

std::string_view OutcomeText(ConversionOutcome outcome) {
    switch (outcome) {
        case ConversionOutcome::TooLarge:
            return "This file is too large to convert";
        case ConversionOutcome::ReadFailed:
            return "The Wave file could not be read";
        case ConversionOutcome::NotANumber:
            return "This Wave file holds a sample that is not a number";
        case ConversionOutcome::WriteFailed:
        case ConversionOutcome::OutputClosed:
            return "The signal file could not be written";
        case ConversionOutcome::Finished:
            break;
    }
    return {};
}

std::string_view StandardOutputOutcomeText(ConversionOutcome outcome) {
    if (outcome == ConversionOutcome::WriteFailed || outcome == ConversionOutcome::OutputClosed) {
        return "Standard output could not be written";
    }
    return OutcomeText(outcome);
}

std::string DataSizeHint(const HeaderVerdict& verdict) {
    if (!verdict.Needed.DataToEnd) return {};
    return "the header gives " + std::to_string(verdict.GivenSamples) +
           " samples, the file holds " + std::to_string(verdict.HeldSamples) +
           "; --data-to-end converts them";
}
