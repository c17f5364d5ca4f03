#include "files/typed_array.h"

#include "files/file_error.h"
#include "files/storage.h"

namespace {

// N x size must fit in an unsigned 32-bit number.
constexpr std::uint64_t LargestStorage = 0xFFFFFFFFu;

}  // namespace

std::uint32_t ElementSizeOf(ElementType type) {
    switch (type) {
        case ElementType::UnsignedByte:
            return 1;
        case ElementType::SignedInt16:
            return 2;
        case ElementType::FixedString3:
            return 3;
        case ElementType::Double:
            return 8;
    }
    return 1;
}

bool ArrayFits(ElementType type, std::int32_t n) {
    return n > 0 && static_cast<std::uint64_t>(n) * ElementSizeOf(type) <= LargestStorage;
}

TypedArray EmptyArray(ElementType type) {
    return TypedArray{
        .Type = type, .ElementSize = ElementSizeOf(type), .Count = 0, .Storage = nullptr};
}

TypedArray CreateArray(ElementType type, std::int32_t n) {
    TypedArray array = EmptyArray(type);
    if (!ArrayFits(type, n)) {
        SetFileError(BadSize);
        return array;
    }
    void* storage = ObtainZeroFilled(static_cast<std::size_t>(n), array.ElementSize);
    if (storage == nullptr) {
        SetFileError(NoMemory);
        return array;
    }
    array.Storage = static_cast<unsigned char*>(storage);
    array.Count = static_cast<std::uint32_t>(n);
    return array;
}

void ReleaseArray(TypedArray& array) {
    if (array.Storage == nullptr) {
        return;
    }
    ReleaseZeroFilled(array.Storage);
    array.Storage = nullptr;
    array.Count = 0;
}
