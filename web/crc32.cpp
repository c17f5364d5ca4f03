// The CRC-32 of the ZIP format (the reflected polynomial 0xEDB88320), for the page's "Download
// all": the worker works it out over each signal file's bytes as they are made, in place in
// the module's memory, eight bytes a step with eight tables.
#include <array>
#include <cstddef>
#include <cstdint>

namespace {

using CrcTables = std::array<std::array<std::uint32_t, 256>, 8>;

// Table k gives a byte followed by k zero bytes.
constexpr CrcTables MakeTables() {
    CrcTables tables{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int bit = 0; bit < 8; ++bit) c = (c & 1) != 0 ? 0xEDB88320U ^ (c >> 1) : c >> 1;
        tables[0][n] = c;
    }
    for (std::size_t k = 1; k < 8; ++k) {
        for (std::size_t n = 0; n < 256; ++n) {
            const std::uint32_t before = tables[k - 1][n];
            tables[k][n] = (before >> 8) ^ tables[0][before & 255];
        }
    }
    return tables;
}

constexpr CrcTables Tables = MakeTables();

std::uint32_t Word(const unsigned char* bytes) {
    return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) |
           (static_cast<std::uint32_t>(bytes[3]) << 24);
}

}  // namespace

// The CRC-32 of the bytes before (crc, 0 before any) and the count bytes at bytes after them.
extern "C" __attribute__((export_name("UpdateCrc32"))) std::uint32_t UpdateCrc32(
    std::uint32_t crc, const unsigned char* bytes, std::size_t count) {
    std::uint32_t c = ~crc;
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const std::uint32_t low = Word(bytes + i) ^ c;
        const std::uint32_t high = Word(bytes + i + 4);
        c = Tables[7][low & 255] ^ Tables[6][(low >> 8) & 255] ^ Tables[5][(low >> 16) & 255] ^
            Tables[4][low >> 24] ^ Tables[3][high & 255] ^ Tables[2][(high >> 8) & 255] ^
            Tables[1][(high >> 16) & 255] ^ Tables[0][high >> 24];
    }
    for (; i < count; ++i) c = Tables[0][(c ^ bytes[i]) & 255] ^ (c >> 8);
    return ~c;
}
