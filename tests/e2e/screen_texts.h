#pragma once
// The program's own texts as they stand on the screen, leading blanks included.
#include <string>

inline const std::string BannerTitle =
    "   ---------------------------- Norvistrand.exe ------------------------------";
inline const std::string BannerPurpose =
    "     Converts Wave to normalised (+/-1) ASCII data for processing by QUARNEL";
inline const std::string BannerFormats =
    "      The Wave file must be mono PCM format of 8, 16 or 24 bits resolution";
inline const std::string BannerRule =
    "   ---------------------------------------------------------------------------";

inline const std::string Prompt = "   Name of Wave file?";
inline constexpr int TypingColumn = 29;  // the prompt's 21 characters, then a print zone of 7

// The prompt row once `name` has been typed on it.
inline std::string PromptWith(const std::string& name) {
    return Prompt + "       " + name;
}

inline const std::string NotFound = "   ERROR - Specified file not found";
inline const std::string NotWave = "   ERROR - This is not a Wave file";
inline const std::string NotPcm = "   ERROR - This is not a PCM format Wave file";
inline const std::string NotMono = "   ERROR - This is not a mono Wave file";
inline const std::string NotSupportedBits = "   ERROR - This is not an 8-, 16- or 24-bit Wave file";
inline const std::string NotPacked = "   ERROR - 24-bit Wave files must be packed integer format";
inline const std::string WouldOverwrite =
    "   ERROR - The signal file would overwrite this Wave file";

inline const std::string Processing = "   Processing...";
inline const std::string JobFinished = "   Job finished";
inline const std::string PressAnyKey = "   press any key to quit";

inline std::string OutputFileRow(const std::string& signalName) {
    return "         Output file will be saved as " + signalName;
}
