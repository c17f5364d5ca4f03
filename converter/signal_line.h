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
