#pragma once
// Wave files for tests and benchmarks: headers built field by field, so each test can break
// exactly the field it is about. Portable: no file is touched here.
#include <cstdint>
#include <string>
#include <utility>
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

// A mono PCM layout of the given sample bytes, each of bits / 8 bytes.
inline WaveLayout MonoLayout(std::int16_t bits, std::string samples) {
    WaveLayout layout;
    layout.BitsPerSample = bits;
    layout.BlockAlignment = static_cast<std::int16_t>(bits / 8);
    layout.Samples = std::move(samples);
    return layout;
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

// The chunks of a RIFF file after "WAVE", as identifiers and payloads, in file order.
struct RiffChunk {
    std::string Id;
    std::string Payload;
};

inline std::vector<RiffChunk> RiffChunks(const std::string& riff) {
    std::vector<RiffChunk> chunks;
    for (std::size_t at = 12; at + 8 <= riff.size();) {
        std::size_t size = 0;
        for (int i = 3; i >= 0; --i)
            size = (size << 8) | static_cast<unsigned char>(riff[at + 4 + i]);
        chunks.push_back({riff.substr(at, 4), riff.substr(at + 8, size)});
        at += 8 + size + size % 2;
    }
    return chunks;
}

// The same chunks, payloads and samples in another container: "RF64" and "BW64" with a ds64
// chunk first, "W64" (Wave64) with GUIDs, 64-bit sizes and chunks padded to 8 bytes. In RF64
// and BW64, the data chunk's 32-bit size says 0xFFFFFFFF unless dataSizeInDs64 is false; a
// "bext" chunk of the payload tableSized goes before the data, its size in ds64's table only.
inline std::string Rewrapped(const std::string& riff, const std::string& container,
                             bool dataSizeInDs64 = true, const std::string& tableSized = {}) {
    std::vector<RiffChunk> chunks = RiffChunks(riff);
    std::string body;
    if (container == "W64") {
        const std::string tail("\xF3\xAC\xD3\x11\x8C\xD1\x00\xC0\x4F\x8E\xDB\x8A", 12);
        for (const RiffChunk& chunk : chunks) {
            body += chunk.Id + tail;
            PutLittleEndian(body, chunk.Payload.size() + 24, 8);
            body += chunk.Payload + std::string((8 - chunk.Payload.size() % 8) % 8, '\0');
        }
        std::string out("riff\x2E\x91\xCF\x11\xA5\xD6\x28\xDB\x04\xC1\x00\x00", 16);
        PutLittleEndian(out, body.size() + 40, 8);
        return out + "wave" + tail + body;
    }
    std::uint64_t dataSize = 0;
    std::string table;
    for (const RiffChunk& chunk : chunks) {
        const bool data = chunk.Id == "data";
        if (data && !tableSized.empty()) {
            body += "bext" + std::string(4, '\xFF') + tableSized;
            if (tableSized.size() % 2 != 0) body.push_back('\0');
            table += "bext";
            PutLittleEndian(table, tableSized.size(), 8);
        }
        if (!data || !dataSizeInDs64) {
            body += Chunk(chunk.Id, chunk.Payload);
            continue;
        }
        dataSize = chunk.Payload.size();
        body += "data" + std::string(4, '\xFF') + chunk.Payload;
        if (chunk.Payload.size() % 2 != 0) body.push_back('\0');
    }
    std::string ds64;
    PutLittleEndian(ds64, riff.size(), 8);
    PutLittleEndian(ds64, dataSize, 8);
    PutLittleEndian(ds64, 0, 8);  // the sample count, which readers take from the data size
    PutLittleEndian(ds64, table.size() / 12, 4);
    return container + std::string(4, '\xFF') + "WAVE" + Chunk("ds64", ds64 + table) + body;
}
