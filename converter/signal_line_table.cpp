#include "converter/signal_line_table.h"

#include <cstring>
#include <new>

#include "converter/sample_decoding.h"

namespace {

constexpr std::size_t DistinctCodes = 65536;

}  // namespace

bool CreateSignalLineTable(SignalLineTable& table, double peak) {
    table = SignalLineTable{.Peak = SignalDivisor(peak),
                            .Lines = new (std::nothrow) TabledLine[DistinctCodes]()};
    return table.Lines != nullptr;
}

void ReleaseSignalLineTable(SignalLineTable& table) {
    delete[] table.Lines;
    table.Lines = nullptr;
}

void MakeTableLine(SignalLineTable& table, std::uint16_t code, bool eightBit) {
    const NumberText line = WithLineEnd(SignalLine(CodeSample(code, eightBit), table.Peak));
    TabledLine& entry = table.Lines[code];
    std::memcpy(entry.Text, line.Text, sizeof entry.Text);
    entry.Length = static_cast<std::uint8_t>(line.Length);
}
