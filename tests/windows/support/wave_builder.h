#pragma once
// Mono or stereo PCM Wave files for the Windows tests, with the canonical 44-byte header.
#include <cstdint>
#include <string>
#include <vector>

inline void PutLittleEndian(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

inline std::string CanonicalWave(std::uint16_t channels, std::uint16_t bits,
                                 const std::string& samples) {
    const std::uint32_t rate = 8000;
    const std::uint16_t block = static_cast<std::uint16_t>(channels * bits / 8);
    std::string out = "RIFF";
    PutLittleEndian(out, 36 + samples.size(), 4);
    out += "WAVEfmt ";
    PutLittleEndian(out, 16, 4);
    PutLittleEndian(out, 1, 2);  // PCM
    PutLittleEndian(out, channels, 2);
    PutLittleEndian(out, rate, 4);
    PutLittleEndian(out, rate * block, 4);
    PutLittleEndian(out, block, 2);
    PutLittleEndian(out, bits, 2);
    out += "data";
    PutLittleEndian(out, samples.size(), 4);
    return out + samples;
}

inline std::string Samples16(const std::vector<std::int16_t>& values) {
    std::string out;
    for (std::int16_t v : values) PutLittleEndian(out, static_cast<std::uint16_t>(v), 2);
    return out;
}
