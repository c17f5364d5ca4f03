#include "tests/fuzz/container_oracle.h"

#include <algorithm>

namespace {

constexpr std::string_view Wave64Riff("riff\x2E\x91\xCF\x11\xA5\xD6\x28\xDB\x04\xC1\x00\x00", 16);
constexpr std::string_view GuidTail("\xF3\xAC\xD3\x11\x8C\xD1\x00\xC0\x4F\x8E\xDB\x8A", 12);

// A chunk reaching this far lies past any file: the walk ends there.
constexpr std::uint64_t Farthest = std::uint64_t{1} << 62;
// The most of a format payload the fields are read from: an extensible one.
constexpr std::uint64_t FormatRead = 40;

// Up to count bytes from the offset: fewer, or none, where the bytes end.
std::string_view Take(std::string_view bytes, std::uint64_t offset, std::uint64_t count) {
    if (offset >= bytes.size()) return {};
    return bytes.substr(offset, count);
}

std::uint64_t LittleEndian(std::string_view bytes, std::uint64_t offset, int width) {
    std::uint64_t value = 0;
    for (int i = width - 1; i >= 0; --i) {
        const std::string_view byte = Take(bytes, offset + i, 1);
        value = value << 8 | (byte.empty() ? 0u : static_cast<unsigned char>(byte[0]));
    }
    return value;
}

std::string GuidOf(std::string_view letters) {
    return std::string(letters) + std::string(GuidTail);
}

void Note(ContainerLayout& layout, std::string_view bytes, bool format, bool data,
          std::uint64_t start, std::uint64_t size) {
    if (format && !layout.FormatFound) {
        const std::string_view payload = Take(bytes, start, std::min(size, FormatRead));
        layout.FormatFound = true;
        layout.FormatHead = std::string("RIFF\0\0\0\0WAVEfmt ", 16);
        layout.FormatHead.push_back(static_cast<char>(payload.size()));  // 40 at most
        layout.FormatHead += std::string(3, '\0');
        layout.FormatHead += payload;
    }
    if (data && !layout.DataFound) {
        layout.DataFound = true;
        layout.DataStart = static_cast<std::int64_t>(start);
        layout.DataSize = size;
    }
}

// ds64 at 12, its payload from 20: the RIFF size, the data size and the sample count of 8 bytes
// each, the table's length, then its entries of an identifier and an 8-byte size. Only
// entries inside the chunk's own size count.
struct Ds64 {
    bool Present;
    std::uint64_t DataSize;
    std::uint64_t Entries;
};

Ds64 ReadDs64(std::string_view bytes) {
    const std::uint64_t chunkSize = LittleEndian(bytes, 16, 4);
    const std::uint64_t room = chunkSize > 28 ? (chunkSize - 28) / 12 : 0;
    return Ds64{.Present = Take(bytes, 12, 4) == "ds64",
                .DataSize = LittleEndian(bytes, 28, 8),
                .Entries = std::min(LittleEndian(bytes, 44, 4), room)};
}

// The size of a chunk whose 32-bit size is 0xFFFFFFFF: ds64's data size for the data chunk,
// the first whole table entry of its identifier for another; else it stays.
std::uint64_t SizeFromDs64(std::string_view bytes, const Ds64& ds64, std::string_view id) {
    if (!ds64.Present) return 0xFFFFFFFF;
    if (id == "data") return ds64.DataSize;
    for (std::uint64_t i = 0; i < ds64.Entries; ++i) {
        const std::uint64_t at = 48 + 12 * i;
        if (at + 12 > bytes.size()) break;
        if (bytes.substr(at, 4) == id) return LittleEndian(bytes, at + 4, 8);
    }
    return 0xFFFFFFFF;
}

void WalkRiffChunks(std::string_view bytes, ContainerLayout& layout) {
    const Ds64 ds64 = ReadDs64(bytes);
    for (std::uint64_t at = 12;
         !(layout.FormatFound && layout.DataFound) && at + 8 <= bytes.size();) {
        const std::string_view id = bytes.substr(at, 4);
        std::uint64_t size = LittleEndian(bytes, at + 4, 4);
        if (size == 0xFFFFFFFF) size = SizeFromDs64(bytes, ds64, id);
        Note(layout, bytes, id == "fmt ", id == "data", at + 8, size);
        if (size >= Farthest || at + 8 + size + (size & 1) >= Farthest) break;
        at += 8 + size + (size & 1);
    }
}

void WalkWave64Chunks(std::string_view bytes, ContainerLayout& layout) {
    for (std::uint64_t at = 40;
         !(layout.FormatFound && layout.DataFound) && at + 24 <= bytes.size();) {
        const std::string_view guid = bytes.substr(at, 16);
        const std::uint64_t size = LittleEndian(bytes, at + 16, 8);
        if (size < 24) break;
        Note(layout, bytes, guid == GuidOf("fmt "), guid == GuidOf("data"), at + 24, size - 24);
        if (size >= Farthest || at + size + (8 - size % 8) % 8 >= Farthest) break;
        at += size + (8 - size % 8) % 8;
    }
}

}  // namespace

OtherContainerKind OtherContainerOf(std::string_view bytes) {
    if (Take(bytes, 8, 4) == "WAVE") {
        if (Take(bytes, 0, 4) == "RF64") return OtherContainerKind::Rf64;
        if (Take(bytes, 0, 4) == "BW64") return OtherContainerKind::Bw64;
    }
    if (Take(bytes, 0, 16) == Wave64Riff && Take(bytes, 24, 16) == GuidOf("wave")) {
        return OtherContainerKind::Wave64;
    }
    return OtherContainerKind::None;
}

ContainerLayout ReadOtherContainer(std::string_view bytes) {
    ContainerLayout layout{.Kind = OtherContainerOf(bytes),
                           .FormatFound = false,
                           .FormatHead = {},
                           .DataFound = false,
                           .DataStart = 0,
                           .DataSize = 0};
    if (layout.Kind == OtherContainerKind::Wave64) {
        WalkWave64Chunks(bytes, layout);
    } else if (layout.Kind != OtherContainerKind::None) {
        WalkRiffChunks(bytes, layout);
    }
    return layout;
}
