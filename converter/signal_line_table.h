#pragma once
// The lines of an 8- or 16-bit file kept in a table, each made once: what the streamed
// conversion copies instead of making a line for every sample.
#include <cstdint>

#include "converter/signal_line.h"

// A line and its line end as a table keeps it: 32 bytes on a 32-byte boundary, so that a
// line is read from one cache line and copied as one piece (its length with it, as scratch).
struct alignas(32) TabledLine {
    char Text[SignalLineRoom - 1];  // the line, at most LongestSignalLine characters, then scratch
    std::uint8_t Length;            // 0 while the line is not made yet
};
static_assert(sizeof(TabledLine) == SignalLineRoom);

// The lines of an 8- or 16-bit file for one peak, with their line ends, each made once, on
// first use: such a file has at most 65,536 distinct samples, and a line depends on nothing but
// the sample and the peak, so a copy of a made line is the very text SignalLine would make again.
struct SignalLineTable {
    ExtendedDivisor Peak;  // the peak, made ready to divide by once for the file
    TabledLine* Lines;     // 65,536 entries, indexed by the raw element's 16-bit pattern
    double* Values;        // what each made line reads back as, by the same index; or none
};

// False when there is no memory for the table; it must be released either way. values: the
// table keeps what each line reads back as too.
bool CreateSignalLineTable(SignalLineTable& table, double peak, bool values = false);
void ReleaseSignalLineTable(SignalLineTable& table);

// Makes the line of the sample stored as code.
void MakeTableLine(SignalLineTable& table, std::uint16_t code, bool eightBit);

// The line and line end of the sample stored as code: the byte of an 8-bit element, the
// little-endian pattern of a 16-bit one.
inline const TabledLine& TableLine(SignalLineTable& table, std::uint16_t code, bool eightBit) {
    if (table.Lines[code].Length == 0) MakeTableLine(table, code, eightBit);
    return table.Lines[code];
}

// What the line of the sample stored as code reads back as; the table keeps values.
inline double TableValue(SignalLineTable& table, std::uint16_t code, bool eightBit) {
    if (table.Lines[code].Length == 0) MakeTableLine(table, code, eightBit);
    return table.Values[code];
}
