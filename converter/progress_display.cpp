// Sends, on standard error only:
//   CR, name ": ", percentage "%", CSI K   the display, drawn over itself
//   CR, CSI K                             its erasure
#include "converter/progress_display.h"

#include "platform/standard_streams.h"

namespace {

constexpr auto QuietTime = std::chrono::milliseconds(500);
constexpr std::string_view EraseLine = "\r\x1b[K";
// A longer name shows only its end, so the display stays on one line of a narrow terminal.
constexpr std::size_t LongestShownName = 60;
constexpr std::string_view Ellipsis = "...";

std::string Shortened(std::string_view name) {
    if (name.size() <= LongestShownName) return std::string(name);
    return std::string(Ellipsis) +
           std::string(name.substr(name.size() - (LongestShownName - Ellipsis.size())));
}

}  // namespace

void BeginProgress(ProgressDisplay& progress, std::string_view shownName, bool enabled) {
    progress = ProgressDisplay{enabled, Shortened(shownName), std::chrono::steady_clock::now(), -1};
}

void ShowProgress(ProgressDisplay& progress, std::uint64_t linesWritten, std::uint64_t lines) {
    if (!progress.Enabled || lines == 0) return;
    const int percent = static_cast<int>(linesWritten * 100 / lines);
    if (percent == progress.ShownPercent) return;
    if (progress.ShownPercent < 0 &&
        std::chrono::steady_clock::now() - progress.Start < QuietTime) {
        return;
    }
    progress.ShownPercent = percent;
    std::string line = "\r" + progress.Name + ": " + std::to_string(percent) + "%\x1b[K";
    platform::WriteToStream(platform::StandardStream::Error, line);
}

void EndProgress(ProgressDisplay& progress) {
    if (progress.ShownPercent >= 0) {
        platform::WriteToStream(platform::StandardStream::Error, EraseLine);
    }
    progress.ShownPercent = -1;
}
