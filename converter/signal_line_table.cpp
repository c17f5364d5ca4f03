#include "converter/signal_line_table.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "converter/sample_decoding.h"
#include "converter/signal_value.h"

namespace {

constexpr std::size_t DistinctCodes = 65536;

}  // namespace

// The table comes zero-filled from calloc: its lines are made on first use, so a short file
// touches only the pages its samples need, where clearing a table of 2 MB for every file (and
// every thread) cost more than a short file's lines. Two entries more leave room to put the
// table on a 32-byte boundary with the block's own address just before it, for the release.
bool CreateSignalLineTable(SignalLineTable& table, double peak, bool values) {
    table = SignalLineTable{.Peak = SignalDivisor(peak), .Lines = nullptr, .Values = nullptr};
    void* block = std::calloc(DistinctCodes + 2, sizeof(TabledLine));
    if (block == nullptr) return false;
    const std::uintptr_t after = reinterpret_cast<std::uintptr_t>(block) + sizeof block;
    const std::uintptr_t first = (after + alignof(TabledLine) - 1) / alignof(TabledLine);
    table.Lines = reinterpret_cast<TabledLine*>(first * alignof(TabledLine));
    std::memcpy(reinterpret_cast<char*>(table.Lines) - sizeof block, &block, sizeof block);
    if (values) table.Values = new (std::nothrow) double[DistinctCodes];
    return !values || table.Values != nullptr;
}

void ReleaseSignalLineTable(SignalLineTable& table) {
    if (table.Lines == nullptr) return;
    void* block = nullptr;
    std::memcpy(&block, reinterpret_cast<char*>(table.Lines) - sizeof block, sizeof block);
    std::free(block);
    table.Lines = nullptr;
    delete[] table.Values;
    table.Values = nullptr;
}

void MakeTableLine(SignalLineTable& table, std::uint16_t code, bool eightBit) {
    const NumberText line = WithLineEnd(SignalLine(CodeValue(code, eightBit), table.Peak));
    TabledLine& entry = table.Lines[code];
    std::memcpy(entry.Text, line.Text, sizeof entry.Text);
    entry.Length = static_cast<std::uint8_t>(line.Length);
    if (table.Values != nullptr)
        ReadSignalValue(line.Text, line.Text + line.Length, table.Values[code]);
}
