#pragma once
// The containers a Wave file's chunks come in, and where its format and data chunks lie.
// RIFF, and its two forms for files past 4 GB: RF64 and BW64, whose first chunk (ds64) holds
// 64-bit sizes for the chunks whose 32-bit size says 0xFFFFFFFF; and Wave64, whose chunks are
// named by 16-byte GUIDs, sized in 64 bits including their 24-byte header, and padded to 8
// bytes. Bytes are read as a file's reads give them: little-endian, and those past the end of
// what is given as 0.
#include <cstdint>
#include <string>
#include <string_view>

enum class WaveContainer {
    Unknown,  // none of the ones below
    Riff,     // "RIFF", a 32-bit size, "WAVE"
    Rf64,     // "RF64", 0xFFFFFFFF, "WAVE", then the ds64 chunk
    Bw64,     // the same under "BW64"
    Wave64,   // the riff GUID, a 64-bit size, the wave GUID
};

// The container the file's first bytes name; Unknown where they are fewer than its header.
WaveContainer ContainerOf(std::string_view head);

// The bytes of a chunk's header in the container: 8 (an identifier and a 32-bit size), or 24
// in Wave64 (a GUID and a 64-bit size).
std::int32_t ChunkHeaderBytes(WaveContainer container);

// A chunk's payload: where it starts in the file and how many bytes its header gives it.
struct ChunkPlace {
    bool Found;
    std::int64_t Start;
    std::uint64_t Size;
};

// The walk over a file's chunks, from the first after the container's header, one chunk
// header at a time, until both the format and the data chunk are found or no chunk follows.
// Chunk headers may come from the file's head or be read from the file: the walk does not
// read the file itself.
struct ChunkWalk {
    WaveContainer Container;
    std::int64_t Next;       // byte offset of the next chunk's header
    bool Ended;              // no chunk follows: the file ended, or a size leads nowhere
    bool Ds64Found;          // RF64, BW64: the first chunk is ds64
    std::uint64_t Ds64Data;  // the data size ds64 gives
    std::string_view Table;  // ds64's table of other chunks' sizes, 12 bytes each, as far as the
                             // head holds it: a view into the head the walk began with
    ChunkPlace Format;       // the first "fmt " chunk
    ChunkPlace Data;         // the first "data" chunk, its size from ds64 where it says so
};

// Begins the walk over the chunks of a file whose first bytes are head; for RF64 and BW64
// reads the ds64 chunk from the head. Ended at once for an Unknown container.
ChunkWalk BeginChunkWalk(std::string_view head);

// Whether the walk wants the chunk header at walk.Next.
bool WalkGoesOn(const ChunkWalk& walk);

// Takes the chunk header at walk.Next, ChunkHeaderBytes long (fewer where the file ends
// inside it: the walk ends), notes it where it is the format or the data chunk, and steps
// past the chunk. Every step moves forward by at least a chunk header.
void TakeChunkHeader(ChunkWalk& walk, std::string_view chunkHeader);

// The whole walk over chunk headers that lie inside the bytes, a whole file or its head.
ChunkWalk WalkChunks(std::string_view bytes);

// The first bytes of a RIFF file whose format chunk holds the payload: "RIFF", a size, "WAVE"
// and the "fmt " chunk, so that the format's fields lie where a RIFF file's are read.
std::string RiffFormatHead(std::string_view formatPayload);
