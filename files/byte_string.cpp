#include "files/byte_string.h"

#include <algorithm>

#include "files/allocation.h"

namespace {

// Byte i of s as 0-255; past the end it counts as 0.
std::uint32_t ByteAt(std::string_view s, std::size_t i) {
    return i < s.size() ? static_cast<unsigned char>(s[i]) : 0u;
}

}  // namespace

std::int32_t BytesToInt32(std::string_view s) {
    std::uint32_t bits = ByteAt(s, 0) | ByteAt(s, 1) << 8 | ByteAt(s, 2) << 16 | ByteAt(s, 3) << 24;
    // Two's complement: the top byte's high bit is the sign (only a 4-byte string has one).
    return static_cast<std::int32_t>(bits);
}

std::int16_t BytesToInt16(std::string_view s) {
    std::uint32_t bits = ByteAt(s, 0) | ByteAt(s, 1) << 8;
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(bits));
}

std::uint8_t FirstByte(std::string_view s) {
    return static_cast<std::uint8_t>(ByteAt(s, 0));
}

ByteString BytesFromMemory(const void* address, std::int32_t n) {
    if (address == nullptr || n <= 0) {
        return {};
    }
    ByteString copy;
    if (!ResizeBytes(copy, static_cast<std::size_t>(n))) {
        return {};
    }
    std::copy_n(static_cast<const char*>(address), copy.size(), copy.data());
    return copy;
}

std::int32_t ByteLength(std::string_view s) {
    return static_cast<std::int32_t>(s.size());
}

ByteString LeftPart(std::string_view s, std::int32_t n) {
    // Taken as unsigned, a negative n lies above any length and keeps the whole string.
    std::size_t keep = std::min<std::size_t>(static_cast<std::uint32_t>(n), s.size());
    ByteString left;
    if (!ResizeBytes(left, keep)) {
        return {};
    }
    std::copy_n(s.data(), keep, left.data());
    return left;
}

ByteString Concatenate(std::string_view a, std::string_view b) {
    ByteString joined;
    if (!ResizeBytes(joined, a.size() + b.size())) {
        return {};
    }
    std::copy(b.begin(), b.end(), std::copy(a.begin(), a.end(), joined.begin()));
    return joined;
}

bool CompareBytes(std::string_view a, std::string_view b) {
    return a == b;
}
