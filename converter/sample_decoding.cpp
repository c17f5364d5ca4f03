#include "converter/sample_decoding.h"

#include <cstring>

#include "converter/companded_samples.h"

namespace {

constexpr bool EightBit = true;
constexpr bool SixteenBit = false;

std::uint64_t LittleEndian(const unsigned char* bytes, int count) {
    std::uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = (value << 8) | bytes[i];
    return value;
}

}  // namespace

double SampleValue(const unsigned char* sample, SampleForm form) {
    switch (form) {
        case SampleForm::Unsigned8:
            return CodeValue(SampleCode(sample, EightBit), EightBit);
        case SampleForm::Signed16:
            return CodeValue(SampleCode(sample, SixteenBit), SixteenBit);
        case SampleForm::Signed24: {
            std::int32_t v = sample[0] | (sample[1] << 8) | (sample[2] << 16);
            if (v > 8388607) v -= 16777216;
            return v;
        }
        case SampleForm::Signed32:
            return static_cast<std::int32_t>(static_cast<std::uint32_t>(LittleEndian(sample, 4)));
        case SampleForm::Float32: {
            // The bits by value, so the machine's own byte order does not matter.
            const auto bits = static_cast<std::uint32_t>(LittleEndian(sample, 4));
            float value = 0;
            std::memcpy(&value, &bits, sizeof value);
            return value;
        }
        case SampleForm::Float64: {
            const std::uint64_t bits = LittleEndian(sample, 8);
            double value = 0;
            std::memcpy(&value, &bits, sizeof value);
            return value;
        }
        case SampleForm::ALaw8:
            return ALawValue(sample[0]);
        case SampleForm::MuLaw8:
            return MuLawValue(sample[0]);
    }
    return 0;
}
