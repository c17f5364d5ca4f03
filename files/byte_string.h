#pragma once
// Byte strings: counted sequences of any bytes, the program's text type. Bytes past the end of
// a string count as 0 wherever a conversion reaches beyond it. Want of memory sets NoMemory
// and gives the empty string.
#include <cstdint>
#include <string>
#include <string_view>

using ByteString = std::string;

// Bytes 0-3, little-endian two's complement. Shorter strings: b0 + 256*b1 + 65536*b2 (never
// negative for 3 bytes), b0 + 256*b1, b0, 0.
std::int32_t BytesToInt32(std::string_view s);
// Bytes 0-1, little-endian two's complement; one byte gives b0 (0-255), none 0.
std::int16_t BytesToInt16(std::string_view s);
// Byte 0 as 0-255; the empty string gives 0.
std::uint8_t FirstByte(std::string_view s);
ByteString BytesFromMemory(const void* address, std::int32_t n);
std::int32_t ByteLength(std::string_view s);
// The first n bytes; n taken as unsigned 32-bit, so a negative n gives all of s.
ByteString LeftPart(std::string_view s, std::int32_t n);
ByteString Concatenate(std::string_view a, std::string_view b);
// Equal when same length and same bytes, case counting.
bool CompareBytes(std::string_view a, std::string_view b);
