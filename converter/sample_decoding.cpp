#include "converter/sample_decoding.h"

#include <cstddef>

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
