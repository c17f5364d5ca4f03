#include "screen/report.h"

#include <string_view>

#include "console/screen.h"
#include "numtext/number_text.h"

namespace {

// Each label is 34 characters, so every number's sign position stands in column 35.
constexpr std::string_view ResolutionLabel = "         FILE DATA    Resolution  ";
constexpr std::string_view SampleRateLabel = "                      Sample rate ";
constexpr std::string_view LengthLabel = "                      Length      ";
constexpr std::string_view DurationLabel = "                      Duration    ";
static_assert(ResolutionLabel.size() == 34 && SampleRateLabel.size() == 34 &&
              LengthLabel.size() == 34 && DurationLabel.size() == 34);

void WriteRow(std::string_view label, const NumberText& number, std::string_view unit) {
    WriteText(label);
    WriteText(number.View());
    WriteText(unit);
    NewLine();
}

}  // namespace

void WriteReport(const WaveHeader& header) {
    NewLine();
    WriteRow(ResolutionLabel, ConsoleIntegerForm(header.BitsPerSample), "bits");
    WriteRow(SampleRateLabel, ConsoleIntegerForm(header.SampleRate), "Hz");
    WriteRow(LengthLabel, ConsoleIntegerForm(header.SampleCount), "samples");
    WriteRow(DurationLabel, ConsoleIntegerForm(header.Duration), "milliseconds");
}
