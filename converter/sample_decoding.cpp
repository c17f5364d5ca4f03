#include "converter/sample_decoding.h"

#include <cstddef>
#include <cstring>

#include "converter/companded_samples.h"

ElementType RawElementType(std::int16_t bitsPerSample) {
    switch (bitsPerSample) {
        case 8:
            return ElementType::UnsignedByte;
        case 16:
            return ElementType::SignedInt16;
        default:
            return ElementType::FixedString3;
    }
}

namespace {

constexpr bool EightBit = true;
constexpr bool SixteenBit = false;

}  // namespace

double DecodeElement(const unsigned char* element, ElementType type) {
    switch (type) {
        case ElementType::UnsignedByte:
            return CodeSample(ElementCode(element, EightBit), EightBit);
        case ElementType::SignedInt16:
            return CodeSample(ElementCode(element, SixteenBit), SixteenBit);
        default: {
            std::int32_t v = element[0] | (element[1] << 8) | (element[2] << 16);
            if (v > 8388607) v -= 16777216;
            return v;
        }
    }
}

double DecodeSample(const TypedArray& raw, std::uint32_t i) {
    return DecodeElement(raw.Storage + static_cast<std::size_t>(i) * raw.ElementSize, raw.Type);
}

namespace {

std::uint64_t LittleEndian(const unsigned char* bytes, int count) {
    std::uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = (value << 8) | bytes[i];
    return value;
}

}  // namespace

double DecodeValue(const unsigned char* value, SampleForm form) {
    switch (form) {
        case SampleForm::Unsigned8:
            return DecodeElement(value, ElementType::UnsignedByte);
        case SampleForm::Signed16:
            return DecodeElement(value, ElementType::SignedInt16);
        case SampleForm::Signed24:
            return DecodeElement(value, ElementType::FixedString3);
        case SampleForm::Signed32:
            return static_cast<std::int32_t>(static_cast<std::uint32_t>(LittleEndian(value, 4)));
        case SampleForm::Float32: {
            // The bits by value, so the machine's own byte order does not matter.
            const auto bits = static_cast<std::uint32_t>(LittleEndian(value, 4));
            float sample = 0;
            std::memcpy(&sample, &bits, sizeof sample);
            return sample;
        }
        case SampleForm::Float64: {
            const std::uint64_t bits = LittleEndian(value, 8);
            double sample = 0;
            std::memcpy(&sample, &bits, sizeof sample);
            return sample;
        }
        case SampleForm::ALaw8:
            return ALawValue(value[0]);
        case SampleForm::MuLaw8:
            return MuLawValue(value[0]);
    }
    return 0;
}
