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
    if (held.Encoding == SampleEncoding::ALaw) return bits + "-bit A-law";
    if (held.Encoding == SampleEncoding::MuLaw) return bits + "-bit µ-law";
    if (held.BitsPerSample == 24) return "24-bit samples in 4-byte slots";
    return bits + "-bit samples";
}

// The containers other than RIFF, which only --any-pcm reads, by name.
std::string_view ContainerName(WaveContainer container) {
    switch (container) {
        case WaveContainer::Rf64:
            return "RF64";
        case WaveContainer::Bw64:
            return "BW64";
        case WaveContainer::Wave64:
            return "Wave64";
        case WaveContainer::Riff:
        case WaveContainer::Unknown:
            break;
    }
    return {};
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

std::string RefusalCause(const HeaderVerdict& verdict) {
    if (verdict.Code == HeaderCode::NotFound) return std::string(NotFoundCause(verdict.FileError));
    if (verdict.Code == HeaderCode::NoDataChunk) return "no data chunk";
    if (verdict.Code == HeaderCode::NoSuchChannel) {
        return "the file has " + ChannelCountText(verdict.Format.ChannelCount);
    }
    if (verdict.Code == HeaderCode::NotWave && verdict.Needed.AnyPcm) {
        return std::string(ContainerName(verdict.Format.Container)) + " file; --any-pcm reads it";
    }
    const std::string hint = OptionsHint(verdict);
    // A float, A-law or µ-law of a width no option reads is refused once its bits were read:
    // they say why.
    if (hint.empty() && verdict.Code == HeaderCode::NotPcm && verdict.Format.BitsPerSample != 0) {
        return AnyPcmSamples(verdict.Format);
    }
    return hint;
}

std::string ChannelCountText(std::uint16_t channels) {
    return std::to_string(channels) + (channels == 1 ? " channel" : " channels");
}

std::string SampleFormatText(const WaveHeader& header) {
    const std::string bits = std::to_string(header.BitsPerSample);
    if (header.Form == SampleForm::Float32 || header.Form == SampleForm::Float64) {
        return bits + "-bit float";
    }
    if (header.Form == SampleForm::ALaw8) return bits + "-bit A-law";
    if (header.Form == SampleForm::MuLaw8) return bits + "-bit µ-law";
    return bits + " bits";
}

std::string_view StandardOutputOutcomeText(ConversionOutcome outcome) {
    if (outcome == ConversionOutcome::WriteFailed || outcome == ConversionOutcome::OutputClosed) {
        return StandardOutputFailedText;
    }
    return OutcomeText(outcome);
}

std::string LeftOutText(const HeaderVerdict& verdict) {
    return "the header gives " + std::to_string(verdict.GivenSamples) +
           " samples, the file holds " + std::to_string(verdict.HeldSamples);
}

std::string DataSizeHint(const HeaderVerdict& verdict) {
    if (!verdict.Needed.DataToEnd) return {};
    return LeftOutText(verdict) + "; --data-to-end converts them";
}
