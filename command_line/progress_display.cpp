// Sends, on standard error only:
//   CR, name ": ", percentage "%", CSI K   the display, drawn over itself
//   CR, CSI K                             its erasure
#include "command_line/progress_display.h"

#include <algorithm>

#include "platform/standard_streams.h"

namespace {

constexpr auto QuietTime = std::chrono::milliseconds(500);
constexpr std::string_view EraseLine = "\r\x1b[K";
// A longer name shows only its end, so the display stays on one line of the terminal.
constexpr std::size_t LongestShownName = 60;
constexpr std::string_view Ellipsis = "...";
// What follows the name, ": 100%", and a last column left free so the cursor never wraps.
constexpr std::size_t BesideTheName = 7;

// The name cut from its start to fit a terminal of the given width (0 for unknown).
std::string Shortened(std::string_view name, int columns) {
    std::size_t room = LongestShownName;
    if (columns > 0) {
        const auto width = static_cast<std::size_t>(columns);
        room = std::min(room, width > BesideTheName ? width - BesideTheName : 0);
    }
    if (name.size() <= room) return std::string(name);
    if (room <= Ellipsis.size()) return std::string(name.substr(name.size() - room));
    return std::string(Ellipsis) + std::string(name.substr(name.size() - (room - Ellipsis.size())));
}

}  // namespace

void BeginProgress(ProgressDisplay& progress, std::string_view shownName, bool enabled) {
    const int columns = enabled ? platform::StreamColumns(platform::StandardStream::Error) : 0;
    progress = ProgressDisplay{.Enabled = enabled,
                               .Name = Shortened(shownName, columns),
                               .Start = std::chrono::steady_clock::now(),
                               .ShownPercent = NothingShown};
}

void ShowProgress(ProgressDisplay& progress, std::uint64_t linesWritten, std::uint64_t lines) {
    if (!progress.Enabled || lines == 0) return;
    const int percent = static_cast<int>(linesWritten * 100 / lines);
    if (percent == progress.ShownPercent) return;
    if (progress.ShownPercent == NothingShown &&
        std::chrono::steady_clock::now() - progress.Start < QuietTime) {
        return;
    }
    progress.ShownPercent = percent;
    std::string line = "\r" + progress.Name + ": " + std::to_string(percent) + "%\x1b[K";
    platform::WriteToStream(platform::StandardStream::Error, line);
}

void EndProgress(ProgressDisplay& progress) {
    if (progress.ShownPercent != NothingShown) {
        platform::WriteToStream(platform::StandardStream::Error, EraseLine);
    }
    progress.ShownPercent = NothingShown;
}
