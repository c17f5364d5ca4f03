#include "converter/signal_line.h"

#include <new>

#include "converter/sample_decoding.h"

namespace {

constexpr std::size_t DistinctCodes = 65536;

}  // namespace

bool CreateSignalLineTable(SignalLineTable& table, double peak) {
    table = SignalLineTable{.Peak = SignalDivisor(peak),
                            .Lines = new (std::nothrow) NumberText[DistinctCodes],
                            .Made = new (std::nothrow) bool[DistinctCodes]()};
    if (table.Lines == nullptr || table.Made == nullptr) {
        ReleaseSignalLineTable(table);
        return false;
    }
    return true;
}

void ReleaseSignalLineTable(SignalLineTable& table) {
    delete[] table.Lines;
    delete[] table.Made;
    table.Lines = nullptr;
    table.Made = nullptr;
}

void MakeTableLine(SignalLineTable& table, std::uint16_t code, bool eightBit) {
    table.Lines[code] = WithLineEnd(SignalLine(CodeSample(code, eightBit), table.Peak));
    table.Made[code] = true;
}
