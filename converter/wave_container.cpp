#include "converter/wave_container.h"

#include <algorithm>
#include <cstddef>

namespace {

constexpr std::int32_t RiffChunkHeader = 8;
constexpr std::int32_t Wave64ChunkHeader = 24;
constexpr std::int64_t RiffFirstChunk = 12;    // after the identifier, the size and "WAVE"
constexpr std::int64_t Wave64FirstChunk = 40;  // after the riff GUID, the size and the wave GUID
constexpr std::int64_t WaveIdAt = 8;
constexpr std::int64_t Wave64WaveIdAt = 24;
constexpr std::uint32_t SizeInDs64 = 0xFFFFFFFF;  // an RF64 chunk's size is ds64's

// ds64's payload: the RIFF size, the data size and the sample count, 64 bits each, then the
// table's length in entries of a chunk identifier and a 64-bit size.
constexpr std::int64_t Ds64DataSizeAt = 8;
constexpr std::int64_t Ds64TableLengthAt = 24;
constexpr std::int64_t Ds64TableAt = 28;
constexpr std::int64_t TableEntryBytes = 12;

// Offsets beyond this lie past any file; a chunk that claims to reach them ends the walk
// before an offset could overflow.
constexpr std::int64_t FarthestOffset = std::int64_t{1} << 62;

// The Wave64 GUIDs as the file stores them: the riff GUID whole, and the others as their four
// letters followed by the same twelve bytes.
constexpr std::string_view Wave64Riff("riff\x2E\x91\xCF\x11\xA5\xD6\x28\xDB\x04\xC1\x00\x00", 16);
constexpr std::string_view Wave64Tail("\xF3\xAC\xD3\x11\x8C\xD1\x00\xC0\x4F\x8E\xDB\x8A", 12);
static_assert(Wave64Riff.size() == 16 && Wave64Tail.size() == 12);

// count bytes from the offset, fewer or none where the bytes end.
std::string_view BytesAt(std::string_view bytes, std::int64_t offset, std::int64_t count) {
    if (offset < 0 || offset >= static_cast<std::int64_t>(bytes.size())) return {};
    return bytes.substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(count));
}

// Little-endian, of count bytes from the offset; the missing bytes read as 0.
std::uint64_t UnsignedAt(std::string_view bytes, std::int64_t offset, int count) {
    const std::string_view field = BytesAt(bytes, offset, count);
    std::uint64_t value = 0;
    for (std::size_t i = field.size(); i > 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(field[i - 1]);
    }
    return value;
}

bool IsWave64Id(std::string_view guid, std::string_view letters) {
    return guid.size() == 16 && guid.substr(0, 4) == letters && guid.substr(4) == Wave64Tail;
}

// The ds64 chunk at the first chunk's place, read from the head: its data size and its table.
void ReadDs64(ChunkWalk& walk, std::string_view head) {
    if (BytesAt(head, RiffFirstChunk, 4) != "ds64") return;
    const std::int64_t payload = RiffFirstChunk + RiffChunkHeader;
    const std::uint64_t size = UnsignedAt(head, RiffFirstChunk + 4, 4);
    walk.Ds64Found = true;
    walk.Ds64Data = UnsignedAt(head, payload + Ds64DataSizeAt, 8);
    // Only whole entries inside the chunk count.
    const std::uint64_t entries = UnsignedAt(head, payload + Ds64TableLengthAt, 4);
    const std::uint64_t room =
        size > Ds64TableAt ? (size - Ds64TableAt) / TableEntryBytes : std::uint64_t{0};
    const std::uint64_t held = entries < room ? entries : room;
    const std::string_view table =
        BytesAt(head, payload + Ds64TableAt, static_cast<std::int64_t>(held) * TableEntryBytes);
    walk.Table = table.substr(0, table.size() - table.size() % TableEntryBytes);
}

// The size an RF64 or BW64 chunk whose 32-bit size says 0xFFFFFFFF takes from ds64: the data
// size for the data chunk, the table's entry for another; without one it stays as it is.
std::uint64_t SizeFromDs64(const ChunkWalk& walk, std::string_view id) {
    if (id == "data") return walk.Ds64Found ? walk.Ds64Data : SizeInDs64;
    for (std::size_t at = 0; at < walk.Table.size(); at += TableEntryBytes) {
        if (walk.Table.substr(at, 4) == id) return UnsignedAt(walk.Table, at + 4, 8);
    }
    return SizeInDs64;
}

// Notes a chunk where it is the first format or data chunk.
void NoteChunk(ChunkWalk& walk, bool format, bool data, std::int64_t start, std::uint64_t size) {
    const ChunkPlace place{.Found = true, .Start = start, .Size = size};
    if (format && !walk.Format.Found) walk.Format = place;
    if (data && !walk.Data.Found) walk.Data = place;
}

// Steps to the chunk after one of size bytes whose own header starts at walk.Next, padded to
// the multiple given, or ends the walk when it would lie past any file.
void StepPast(ChunkWalk& walk, std::uint64_t size, std::uint64_t alignment) {
    const std::uint64_t padded = size + (alignment - size % alignment) % alignment;
    if (size >= static_cast<std::uint64_t>(FarthestOffset) ||
        padded >= static_cast<std::uint64_t>(FarthestOffset - walk.Next)) {
        walk.Ended = true;
        return;
    }
    walk.Next += static_cast<std::int64_t>(padded);
}

void TakeRiffChunk(ChunkWalk& walk, std::string_view chunkHeader) {
    const std::string_view id = chunkHeader.substr(0, 4);
    std::uint64_t size = UnsignedAt(chunkHeader, 4, 4);
    if (walk.Container != WaveContainer::Riff && size == SizeInDs64) size = SizeFromDs64(walk, id);
    NoteChunk(walk, id == "fmt ", id == "data", walk.Next + RiffChunkHeader, size);
    // A size from ds64 may lie near 2^64, where adding the header would come round to a step
    // of nothing: held at the farthest offset, it ends the walk.
    const std::uint64_t farthest = static_cast<std::uint64_t>(FarthestOffset);
    StepPast(walk, RiffChunkHeader + std::min(size, farthest), 2);
}

// A Wave64 size counts the chunk's header too: one smaller than that leads nowhere.
void TakeWave64Chunk(ChunkWalk& walk, std::string_view chunkHeader) {
    const std::string_view guid = chunkHeader.substr(0, 16);
    const std::uint64_t size = UnsignedAt(chunkHeader, 16, 8);
    if (size < Wave64ChunkHeader) {
        walk.Ended = true;
        return;
    }
    NoteChunk(walk, IsWave64Id(guid, "fmt "), IsWave64Id(guid, "data"),
              walk.Next + Wave64ChunkHeader, size - Wave64ChunkHeader);
    StepPast(walk, size, 8);
}

}  // namespace

WaveContainer ContainerOf(std::string_view head) {
    const std::string_view id = BytesAt(head, 0, 4);
    if (BytesAt(head, WaveIdAt, 4) == "WAVE") {
        if (id == "RIFF") return WaveContainer::Riff;
        if (id == "RF64") return WaveContainer::Rf64;
        if (id == "BW64") return WaveContainer::Bw64;
    }
    if (BytesAt(head, 0, 16) == Wave64Riff &&
        IsWave64Id(BytesAt(head, Wave64WaveIdAt, 16), "wave")) {
        return WaveContainer::Wave64;
    }
    return WaveContainer::Unknown;
}

std::int32_t ChunkHeaderBytes(WaveContainer container) {
    return container == WaveContainer::Wave64 ? Wave64ChunkHeader : RiffChunkHeader;
}

ChunkWalk BeginChunkWalk(std::string_view head) {
    constexpr ChunkPlace NotFound = {.Found = false, .Start = 0, .Size = 0};
    ChunkWalk walk{.Container = ContainerOf(head),
                   .Next = RiffFirstChunk,
                   .Ended = false,
                   .Ds64Found = false,
                   .Ds64Data = 0,
                   .Table = {},
                   .Format = NotFound,
                   .Data = NotFound};
    switch (walk.Container) {
        case WaveContainer::Unknown:
            walk.Ended = true;
            break;
        case WaveContainer::Rf64:
        case WaveContainer::Bw64:
            ReadDs64(walk, head);
            break;
        case WaveContainer::Wave64:
            walk.Next = Wave64FirstChunk;
            break;
        case WaveContainer::Riff:
            break;
    }
    return walk;
}

bool WalkGoesOn(const ChunkWalk& walk) {
    return !walk.Ended && !(walk.Format.Found && walk.Data.Found);
}

void TakeChunkHeader(ChunkWalk& walk, std::string_view chunkHeader) {
    if (static_cast<std::int64_t>(chunkHeader.size()) < ChunkHeaderBytes(walk.Container)) {
        walk.Ended = true;
    } else if (walk.Container == WaveContainer::Wave64) {
        TakeWave64Chunk(walk, chunkHeader);
    } else {
        TakeRiffChunk(walk, chunkHeader);
    }
}

ChunkWalk WalkChunks(std::string_view bytes) {
    ChunkWalk walk = BeginChunkWalk(bytes);
    while (WalkGoesOn(walk)) {
        TakeChunkHeader(walk, BytesAt(bytes, walk.Next, ChunkHeaderBytes(walk.Container)));
    }
    return walk;
}

std::string RiffFormatHead(std::string_view formatPayload) {
    std::string head = "RIFF";
    head.append(4, '\0');  // the RIFF size, which no reading looks at
    head += "WAVEfmt ";
    for (int i = 0; i < 4; ++i) {
        head.push_back(static_cast<char>((formatPayload.size() >> (8 * i)) & 0xFF));
    }
    return head.append(formatPayload);
}
