#pragma once
// The text of one signal file line: the sample divided by the peak in the file form. The
// quotient is formed in extended precision and handed on unrounded; 0 / 0 is a quiet NaN,
// which the file form writes as "0". The line end is not part of it.
#include <cstdint>

#include "numtext/extended_real.h"
#include "numtext/number_text.h"

// The peak made ready to divide every sample of a file by.
inline ExtendedDivisor SignalDivisor(double peak) {
    return PrepareDivisor(ExtendedFromDouble(peak));
}

inline NumberText SignalLine(double sample, const ExtendedDivisor& peak) {
    return FileRealForm(DivideByPrepared(ExtendedFromDouble(sample), peak));
}

// The line followed by its line end, CR LF, as the signal file holds them: one text of at most
// 26 characters, so a line is one copy.
inline NumberText WithLineEnd(NumberText line) {
    line.Text[line.Length++] = '\r';
    line.Text[line.Length++] = '\n';
    return line;
}

// The lines of an 8- or 16-bit file for one peak, with their line ends, each made once, on
// first use: such a file has at most 65,536 distinct samples, and a line depends on nothing but
// the sample and the peak, so a copy of a made line is the very text SignalLine would make again.
struct SignalLineTable {
    ExtendedDivisor Peak;  // the peak, made ready to divide by once for the file
    NumberText* Lines;     // 65,536 entries, indexed by the raw element's 16-bit pattern
    bool* Made;            // whether Lines[code] is made yet
};

// False, with nothing to release, when there is no memory for the table.
bool CreateSignalLineTable(SignalLineTable& table, double peak);
void ReleaseSignalLineTable(SignalLineTable& table);

// Makes the line of the sample stored as code.
void MakeTableLine(SignalLineTable& table, std::uint16_t code, bool eightBit);

// The line and line end of the sample stored as code: the byte of an 8-bit element, the
// little-endian pattern of a 16-bit one.
inline const NumberText& TableLine(SignalLineTable& table, std::uint16_t code, bool eightBit) {
    if (!table.Made[code]) MakeTableLine(table, code, eightBit);
    return table.Lines[code];
}
