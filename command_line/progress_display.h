#pragma once
// A one-line progress display on standard error for a file that takes a while: the file's
// name and the share of its lines written. It shows only on a terminal, and only once the
// file has taken more than half a second; it is erased when the file is done. It fits on one
// line of the terminal: a long name shows only its end.
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

struct ProgressDisplay {
    bool Enabled;      // standard error is a terminal
    std::string Name;  // as it may be shown on a terminal
    std::chrono::steady_clock::time_point Start;
    int ShownPercent;  // the percentage on display; NothingShown while nothing is
};

inline constexpr int NothingShown = -1;

void BeginProgress(ProgressDisplay& progress, std::string_view shownName, bool enabled);
void ShowProgress(ProgressDisplay& progress, std::uint64_t linesWritten, std::uint64_t lines);
void EndProgress(ProgressDisplay& progress);
