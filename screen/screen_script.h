#pragma once
// The fixed texts and colours of the screen script.
#include <cstdint>
#include <string_view>

struct ColourPair {
    std::uint32_t Foreground;
    std::uint32_t Background;
};

inline constexpr ColourPair EmphasisColour{0, 15};  // black on bright white, attribute 0xF0
inline constexpr ColourPair NormalColour{8, 15};    // dark grey on bright white, attribute 0xF8

inline constexpr std::int32_t ScreenColumns = 81;
inline constexpr std::int32_t ScreenRows = 30;

inline constexpr std::string_view BannerTitle =
    "   ---------------------------- Norvistrand.exe ------------------------------";
inline constexpr std::string_view BannerPurpose =
    "     Converts Wave to normalised (+/-1) ASCII data for processing by QUARNEL";
inline constexpr std::string_view BannerRequirement =
    "      The Wave file must be mono PCM format of 8, 16 or 24 bits resolution";
inline constexpr std::string_view BannerCredit =
    "   Signal preparation for numerical analysis   -   version 1.0";
inline constexpr std::string_view BannerRule =
    "   ---------------------------------------------------------------------------";
inline constexpr std::string_view PromptText = "   Name of Wave file?";
inline constexpr std::string_view QuitText = "   press any key to quit";

static_assert(BannerTitle.size() == 78 && BannerPurpose.size() == 76 &&
              BannerRequirement.size() == 74 && BannerCredit.size() == 62 &&
              BannerRule.size() == 78 && PromptText.size() == 21);

void UseColour(ColourPair colour);
// Two bells, the message in EmphasisColour, a new line, back to NormalColour: how a refusal
// and the end of the job are shown.
void ShowWithBells(std::string_view message);

// Names the signal file and says the work has begun, and shows it before the work starts.
void AnnounceSignalFile(std::string_view signalName);
