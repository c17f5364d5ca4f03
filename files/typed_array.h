#pragma once
// Typed arrays: N elements of one type back to back, zero-filled storage, or no storage at
// all when creation failed.
#include <cstdint>

enum class ElementType {
    UnsignedByte,  // 1 byte
    SignedInt16,   // 2 bytes, little-endian
    FixedString3,  // 3 bytes in file order
    Double,        // 8 bytes, IEEE 754 double
};

struct TypedArray {
    ElementType Type;
    std::uint32_t ElementSize;  // bytes per element
    std::uint32_t Count;        // elements; 0 without storage
    unsigned char* Storage;     // Count * ElementSize bytes, or nullptr
};

std::uint32_t ElementSizeOf(ElementType type);

// Whether an array of n elements may exist: n above 0, n * size within 32 bits.
bool ArrayFits(ElementType type, std::int32_t n);

// An array of the type with no storage, as a failed creation leaves it.
TypedArray EmptyArray(ElementType type);

// N of 0 or less, or N * size beyond 32 bits: BadSize, no storage. No memory: NoMemory.
TypedArray CreateArray(ElementType type, std::int32_t n);
// Frees the storage; an array without storage is left alone.
void ReleaseArray(TypedArray& array);
