#pragma once
// The check of a typed name: is it a mono PCM Wave file of 8, 16 or 24 bits? On acceptance
// channel 1 stays open on it in binary mode and the header is filled; on refusal channel 1 is
// closed and the message says why.
#include <cstdint>
#include <string_view>

#include "converter/wave_header.h"

struct HeaderVerdict {
    bool Accepted;
    std::string_view Message;       // the refusal, empty when accepted
    std::uint8_t FileError = 0;     // why the test open failed, for NotFoundMessage; else 0
    bool ExtensiblePcm = false;     // refused as not PCM, though its extensible header says PCM
    std::int64_t HeldSamples = -1;  // whole samples from the first to the end of the file, when
                                    // the reading counts them; else -1
};

// How far the check reads beyond the plain PCM header. The screen program uses the defaults.
struct HeaderReading {
    bool Extensible = false;  // a format tag of 0xFFFE whose sub-format is PCM is read as PCM
    bool DataToEnd = false;   // a data size of 0 or 0xFFFFFFFF, or one past the end of the file,
                              // gives the whole samples from the first to the end of the file
    bool CountHeld = false;   // count the samples the file holds, into the verdict
    std::string_view SignalName = {};  // the signal file to be written; empty: the one beside
    bool NoSignalFile = false;         // the lines go elsewhere: there is no signal file to compare
};

inline constexpr std::string_view NotFoundMessage = "   ERROR - Specified file not found";
inline constexpr std::string_view NotWaveMessage = "   ERROR - This is not a Wave file";
inline constexpr std::string_view NotPcmMessage = "   ERROR - This is not a PCM format Wave file";
inline constexpr std::string_view NotMonoMessage = "   ERROR - This is not a mono Wave file";
inline constexpr std::string_view BadResolutionMessage =
    "   ERROR - This is not an 8-, 16- or 24-bit Wave file";
inline constexpr std::string_view NotPackedMessage =
    "   ERROR - 24-bit Wave files must be packed integer format";
inline constexpr std::string_view WouldOverwriteMessage =
    "   ERROR - The signal file would overwrite this Wave file";

HeaderVerdict CheckWaveHeader(std::string_view name, WaveHeader& header,
                              const HeaderReading& reading = {});
