#include "converter/signal_line_table.h"

#include <cstring>
#include <new>

#include "converter/sample_decoding.h"
#include "converter/signal_value.h"

namespace {

constexpr std::size_t DistinctCodes = 65536;

}  // namespace

bool CreateSignalLineTable(SignalLineTable& table, double peak, bool values) {
    table = SignalLineTable{.Peak = SignalDivisor(peak),
                            .Lines = new (std::nothrow) TabledLine[DistinctCodes](),
                            .Values = values ? new (std::nothrow) double[DistinctCodes] : nullptr};
    return table.Lines != nullptr && (!values || table.Values != nullptr);
}

void ReleaseSignalLineTable(SignalLineTable& table) {
    delete[] table.Lines;
    table.Lines = nullptr;
    delete[] table.Values;
    table.Values = nullptr;
}

void MakeTableLine(SignalLineTable& table, std::uint16_t code, bool eightBit) {
    const NumberText line = WithLineEnd(SignalLine(CodeSample(code, eightBit), table.Peak));
    TabledLine& entry = table.Lines[code];
    std::memcpy(entry.Text, line.Text, sizeof entry.Text);
    entry.Length = static_cast<std::uint8_t>(line.Length);
    if (table.Values != nullptr)
        ReadSignalValue(line.Text, line.Text + line.Length, table.Values[code]);
}
