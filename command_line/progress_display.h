#pragma once
// A one-line progress display on standard error for a file that takes a while: the file's
// name and the share of its lines written. It shows only on a terminal, and only once the
// file has taken more than half a second; it is erased when the file is done. It fits on one
// line of the terminal: a long name shows only its end.
// In a batch of more than one file, one line for the whole batch takes its place: the files
// done of the total, the bytes read of the whole, and the time left at the rate so far. It
// shows once the batch has taken half a second, stays between files and is erased before any
// other line is written to the terminal, then drawn again.
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

struct BatchProgress {
    bool Enabled;  // standard error is a terminal and the batch has more than one file
    std::uint64_t FileCount;
    std::uint64_t FilesDone;
    std::uint64_t TotalBytes;  // the sizes of the batch's files, as they were at its start
    std::uint64_t BytesDone;   // of the files done
    std::uint64_t FileBytes;   // the size of the file being converted
    std::uint64_t FileShare;   // the bytes of it read, as far as its lines written tell
    std::chrono::steady_clock::time_point Start;
    std::chrono::steady_clock::time_point LastDrawn;
    bool Shown;
};

struct ProgressDisplay {
    bool Enabled;      // standard error is a terminal
    std::string Name;  // as it may be shown on a terminal
    std::chrono::steady_clock::time_point Start;
    int ShownPercent;      // the percentage on display; NothingShown while nothing is
    BatchProgress* Batch;  // the batch's line, shown instead; or null for a file alone
};

inline constexpr int NothingShown = -1;

void BeginProgress(ProgressDisplay& progress, std::string_view shownName, bool enabled,
                   BatchProgress* batch = nullptr);
void ShowProgress(ProgressDisplay& progress, std::uint64_t linesWritten, std::uint64_t lines);
void EndProgress(ProgressDisplay& progress);

void BeginBatch(BatchProgress& batch, bool enabled, std::uint64_t fileCount,
                std::uint64_t totalBytes);
void BeginBatchFile(BatchProgress& batch, std::uint64_t fileBytes);
// The file is done, converted or not; the line is drawn again if it was hidden.
void EndBatchFile(BatchProgress& batch);
// Erases the line, if shown, before another line is written to the terminal.
void HideBatch(BatchProgress& batch);
// The line's text: "3 of 120 files, 45.1 of 1204.3 MB read, 2 min 05 s left".
std::string BatchLine(const BatchProgress& batch, std::chrono::steady_clock::duration elapsed);
