#pragma once
// The text of one signal file line: the sample divided by the peak in the file form. The
// quotient is formed in extended precision and handed on unrounded; 0 / 0 is a quiet NaN,
// which the file form writes as "0". The line end is not part of it.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "numtext/extended_real.h"
#include "numtext/number_text.h"
#include "numtext/quotient_text.h"

// The peak made ready to divide every sample of a file by.
inline ExtendedDivisor SignalDivisor(double peak) {
    return PrepareDivisor(ExtendedFromDouble(peak));
}

inline NumberText SignalLine(double sample, const ExtendedDivisor& peak) {
    return FileRealForm(DivideByPrepared(ExtendedFromDouble(sample), peak));
}

// The longest line with its line end.
inline constexpr int LongestSignalLine = LongestNumberText + 2;

// The line followed by its line end, CR LF, as the signal file holds them: one text of at most
// LongestSignalLine characters, so a line is one copy.
inline NumberText WithLineEnd(NumberText line) {
    line.Text[line.Length++] = '\r';
    line.Text[line.Length++] = '\n';
    return line;
}

// The peak made ready for SignalLine's other form too: a whole sample within a whole peak of
// at most 2^31 takes a shorter road to the same text.
inline WholeDivisor SignalWholeDivisor(double peak) {
    return PrepareWholeDivisor(ExtendedFromDouble(peak));
}

inline constexpr int SignalLineRoom = WholeQuotientRoom;

// Writes SignalLine's text of the sample and the line end at at, which has room for
// SignalLineRoom bytes (those past the line are scratch), and returns the line's length with
// its end. Written in place, the line is never copied again on its way to the file.
inline int PutSignalLine(char* at, double sample, const WholeDivisor& peak) {
    int length = 0;
    // Within the peak, the sample converts to an integer without overflow; NaNs stay out.
    if (std::fabs(sample) <= static_cast<double>(peak.Whole) &&
        static_cast<double>(static_cast<std::int64_t>(sample)) == sample) {
        length = PutWholeQuotientText(at, static_cast<std::int64_t>(sample), peak);
    } else {
        const NumberText line = SignalLine(sample, peak.General);
        static_assert(sizeof line.Text == SignalLineRoom);
        std::memcpy(at, line.Text, sizeof line.Text);
        length = line.Length;
    }
    at[length] = '\r';
    at[length + 1] = '\n';
    return length + 2;
}

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
};

// False, with nothing to release, when there is no memory for the table.
bool CreateSignalLineTable(SignalLineTable& table, double peak);
void ReleaseSignalLineTable(SignalLineTable& table);

// Makes the line of the sample stored as code.
void MakeTableLine(SignalLineTable& table, std::uint16_t code, bool eightBit);

// The line and line end of the sample stored as code: the byte of an 8-bit element, the
// little-endian pattern of a 16-bit one.
inline const TabledLine& TableLine(SignalLineTable& table, std::uint16_t code, bool eightBit) {
    if (table.Lines[code].Length == 0) MakeTableLine(table, code, eightBit);
    return table.Lines[code];
}
