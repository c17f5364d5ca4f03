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

// The batch's line is drawn at most this often, so a run of small files does not flood the
// terminal.
constexpr auto BatchRedrawTime = std::chrono::milliseconds(100);

// Bytes in megabytes, or gigabytes for a batch of 10 GB or more, with one decimal.
std::string InUnit(std::uint64_t bytes, std::uint64_t unit) {
    const std::uint64_t tenths = bytes / (unit / 10);
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

std::string TwoDigits(std::uint64_t value) {
    return (value < 10 ? "0" : "") + std::to_string(value);
}

std::string TimeLeft(std::uint64_t seconds) {
    if (seconds >= 3600) {
        return std::to_string(seconds / 3600) + " h " + TwoDigits(seconds / 60 % 60) + " min";
    }
    if (seconds >= 60)
        return std::to_string(seconds / 60) + " min " + TwoDigits(seconds % 60) + " s";
    return std::to_string(seconds) + " s";
}

// Draws the line when the batch has taken long enough, and not more often than the redraw
// time unless it was hidden (forced).
void DrawBatch(BatchProgress& batch, bool forced) {
    if (!batch.Enabled) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - batch.Start < QuietTime) return;
    if (batch.Shown && !forced && now - batch.LastDrawn < BatchRedrawTime) return;
    std::string line = BatchLine(batch, now - batch.Start);
    const int columns = platform::StreamColumns(platform::StandardStream::Error);
    if (columns > 1 && line.size() >= static_cast<std::size_t>(columns)) {
        line.resize(static_cast<std::size_t>(columns) - 1);
    }
    platform::WriteToStream(platform::StandardStream::Error, "\r" + line + "\x1b[K");
    batch.Shown = true;
    batch.LastDrawn = now;
}

}  // namespace

std::string BatchLine(const BatchProgress& batch, std::chrono::steady_clock::duration elapsed) {
    constexpr std::uint64_t Megabyte = 1000 * 1000;
    constexpr std::uint64_t Gigabyte = 1000 * Megabyte;
    const std::uint64_t unit = batch.TotalBytes >= 10 * Gigabyte ? Gigabyte : Megabyte;
    const std::uint64_t read = batch.BytesDone + batch.FileShare;
    std::string line = std::to_string(batch.FilesDone) + " of " + std::to_string(batch.FileCount) +
                       " files, " + InUnit(read, unit) + " of " + InUnit(batch.TotalBytes, unit) +
                       (unit == Gigabyte ? " GB" : " MB") + " read";
    const auto milliseconds = static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
    // The rate so far, in bytes read; a file grown since the start counts as done.
    if (read == 0 || milliseconds < 1000) return line;
    const std::uint64_t left = batch.TotalBytes > read ? batch.TotalBytes - read : 0;
    const auto seconds =
        static_cast<std::uint64_t>(static_cast<double>(left) / static_cast<double>(read) *
                                   static_cast<double>(milliseconds) / 1000.0);
    return line + ", " + TimeLeft(seconds) + " left";
}

void BeginBatch(BatchProgress& batch, bool enabled, std::uint64_t fileCount,
                std::uint64_t totalBytes) {
    const auto now = std::chrono::steady_clock::now();
    batch = BatchProgress{.Enabled = enabled && fileCount > 1,
                          .FileCount = fileCount,
                          .FilesDone = 0,
                          .TotalBytes = totalBytes,
                          .BytesDone = 0,
                          .FileBytes = 0,
                          .FileShare = 0,
                          .Start = now,
                          .LastDrawn = now,
                          .Shown = false};
}

void BeginBatchFile(BatchProgress& batch, std::uint64_t fileBytes) {
    batch.FileBytes = fileBytes;
    batch.FileShare = 0;
}

void EndBatchFile(BatchProgress& batch) {
    batch.FilesDone += 1;
    batch.BytesDone += batch.FileBytes;
    batch.FileBytes = 0;
    batch.FileShare = 0;
    DrawBatch(batch, !batch.Shown);
}

void HideBatch(BatchProgress& batch) {
    if (!batch.Shown) return;
    platform::WriteToStream(platform::StandardStream::Error, EraseLine);
    batch.Shown = false;
}

void BeginProgress(ProgressDisplay& progress, std::string_view shownName, bool enabled,
                   BatchProgress* batch) {
    const int columns = enabled ? platform::StreamColumns(platform::StandardStream::Error) : 0;
    progress = ProgressDisplay{.Enabled = enabled,
                               .Name = Shortened(shownName, columns),
                               .Start = std::chrono::steady_clock::now(),
                               .ShownPercent = NothingShown,
                               .Batch = batch != nullptr && batch->Enabled ? batch : nullptr};
}

void ShowProgress(ProgressDisplay& progress, std::uint64_t linesWritten, std::uint64_t lines) {
    if (progress.Batch != nullptr && lines > 0) {
        // In doubles: the bytes times the lines of a long file pass 64 bits. A share to show.
        progress.Batch->FileShare = static_cast<std::uint64_t>(
            static_cast<double>(progress.Batch->FileBytes) *
            (static_cast<double>(linesWritten) / static_cast<double>(lines)));
        DrawBatch(*progress.Batch, false);
        return;
    }
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
    if (progress.Batch == nullptr && progress.ShownPercent != NothingShown) {
        platform::WriteToStream(platform::StandardStream::Error, EraseLine);
    }
    progress.ShownPercent = NothingShown;
}
