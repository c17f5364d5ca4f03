#pragma once
// A sample as the wave file stores it, turned into its value, and the peak the values give:
// the decoding every conversion shares. A sample is the bytes of one value in one of the forms
// of SampleForm; the 8- and 16-bit forms are also read as codes, the 16-bit pattern of their
// bytes, by which a table of their lines is indexed.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "converter/companded_samples.h"
#include "converter/wave_header.h"

// The peak is the largest magnitude met so far, starting at 0.
inline void TakePeak(double value, double& peak) {
    if (std::fabs(value) > peak) peak = std::fabs(value);
}

// The code of an 8- or 16-bit sample: its byte, or its little-endian pair.
inline std::uint16_t SampleCode(const unsigned char* sample, bool eightBit) {
    return static_cast<std::uint16_t>(eightBit ? sample[0] : sample[0] | (sample[1] << 8));
}

// The value of the sample stored as that code: 8-bit bytes are offset by 128, 16-bit values
// are two's complement.
inline int CodeValue(std::uint16_t code, bool eightBit) {
    return eightBit ? code - 128 : static_cast<std::int16_t>(code);
}

// Whether a table of lines by code serves the form: 8- and 16-bit samples, and A-law and µ-law
// ones, whose codes are those of the 16-bit values they stand for.
inline bool Tabled(SampleForm form) {
    return form == SampleForm::Unsigned8 || form == SampleForm::Signed16 ||
           form == SampleForm::ALaw8 || form == SampleForm::MuLaw8;
}

// The code of a sample of a tabled form, read by CodeValue as 8-bit for Unsigned8 alone.
inline std::uint16_t TableCode(const unsigned char* sample, SampleForm form) {
    switch (form) {
        case SampleForm::ALaw8:
            return static_cast<std::uint16_t>(ALawValue(sample[0]));
        case SampleForm::MuLaw8:
            return static_cast<std::uint16_t>(MuLawValue(sample[0]));
        default:
            return SampleCode(sample, form == SampleForm::Unsigned8);
    }
}

// The value of a sample stored in the form, whose bytes start at sample: 8- and 16-bit ones by
// their codes, 24-bit ones with their sign in bit 23, A-law and µ-law ones by their tables,
// the rest little-endian. Integers are exact as doubles; so are float samples of either size.
double SampleValue(const unsigned char* sample, SampleForm form);

// The value of sample i of the channel read, from frames read as the header lays them out.
inline double FrameSample(const unsigned char* frames, std::uint32_t i, const WaveHeader& header) {
    const std::size_t at =
        static_cast<std::size_t>(i) * static_cast<std::size_t>(header.FrameBytes) +
        static_cast<std::size_t>(header.ValueOffset);
    return SampleValue(frames + at, header.Form);
}
