#pragma once
// Wave files for tests and benchmarks: headers built field by field, so each test can break
// exactly the field it is about. Portable: no file is touched here.
#include <cstdint>
#include <string>
#include <vector>

struct WaveLayout {
    std::int16_t FormatTag = 1;
    std::uint16_t Channels = 1;
    std::int32_t SampleRate = 8000;
    std::int16_t BlockAlignment = 2;
    std::int16_t BitsPerSample = 16;
    std::string FormatExtra;       // bytes after the 16-byte format body (its size grows)
    std::string ChunksBeforeData;  // whole chunks between the format chunk and the data
    std::string Samples;           // the data chunk's payload
    bool OwnDataSize = false;      // write DataSize instead of the payload's length
    std::int32_t DataSize = 0;
};

inline void PutLittleEndian(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

inline std::string Chunk(const std::string& id, const std::string& payload) {
    std::string out = id;
    PutLittleEndian(out, payload.size(), 4);
    out += payload;
    if (payload.size() % 2 != 0) out.push_back('\0');
    return out;
}

inline std::string BuildWave(const WaveLayout& layout) {
    std::string format;
    PutLittleEndian(format, static_cast<std::uint16_t>(layout.FormatTag), 2);
    PutLittleEndian(format, layout.Channels, 2);
    PutLittleEndian(format, static_cast<std::uint32_t>(layout.SampleRate), 4);
    PutLittleEndian(format, static_cast<std::uint32_t>(layout.SampleRate) * layout.BlockAlignment,
                    4);
    PutLittleEndian(format, static_cast<std::uint16_t>(layout.BlockAlignment), 2);
    PutLittleEndian(format, static_cast<std::uint16_t>(layout.BitsPerSample), 2);
    format += layout.FormatExtra;

    std::string body = "WAVE" + Chunk("fmt ", format) + layout.ChunksBeforeData + "data";
    PutLittleEndian(
        body,
        layout.OwnDataSize ? static_cast<std::uint32_t>(layout.DataSize) : layout.Samples.size(),
        4);
    body += layout.Samples;
    std::string out = "RIFF";
    PutLittleEndian(out, body.size(), 4);
    return out + body;
}

// 16-bit little-endian samples.
inline std::string Samples16(const std::vector<std::int16_t>& values) {
    std::string out;
    for (std::int16_t v : values) PutLittleEndian(out, static_cast<std::uint16_t>(v), 2);
    return out;
}

// A canonical mono or stereo PCM file of the given samples, at 8000 Hz.
inline std::string CanonicalWave(std::uint16_t channels, std::int16_t bits,
                                 const std::string& samples) {
    WaveLayout layout;
    layout.Channels = channels;
    layout.BitsPerSample = bits;
    layout.BlockAlignment = static_cast<std::int16_t>(channels * bits / 8);
    layout.Samples = samples;
    return BuildWave(layout);
}

// The 24 bytes an extensible format chunk holds after the 16-byte body: its extra size, the
// valid bits, a channel mask and the sub-format GUID (PCM, or IEEE float).
inline std::string ExtensibleExtra(std::int16_t validBits, bool floatSamples = false) {
    std::string extra;
    PutLittleEndian(extra, 22, 2);
    PutLittleEndian(extra, static_cast<std::uint16_t>(validBits), 2);
    PutLittleEndian(extra, 4, 4);
    extra += std::string("\x01\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 16);
    if (floatSamples) extra[8] = 3;
    return extra;
}

// The samples of each channel, each of `bytes` bytes, as frames: the first of every channel,
// then the second, and so on.
inline std::string Interleave(const std::vector<std::string>& channels, std::size_t bytes) {
    std::string out;
    for (std::size_t at = 0; at < channels.front().size(); at += bytes) {
        for (const std::string& channel : channels) out += channel.substr(at, bytes);
    }
    return out;
}
