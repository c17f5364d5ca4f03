#pragma once
// The fuzz target's own reading of the containers for Wave files past 4 GB, made from their
// layouts alone. RF64 and BW64: a RIFF header under another tag whose first chunk, ds64, holds
// the 64-bit data size and a table of other chunks' sizes, taken for any chunk whose 32-bit
// size is 0xFFFFFFFF. Wave64: chunks named by 16-byte GUIDs, with 64-bit sizes that count their
// 24-byte header, padded to 8 bytes. It finds the first format chunk and the first data chunk;
// the format payload is handed back as the head of a RIFF file, for the RIFF judgement.
#include <cstdint>
#include <string>
#include <string_view>

enum class OtherContainerKind { None, Rf64, Bw64, Wave64 };

struct ContainerLayout {
    OtherContainerKind Kind;
    bool FormatFound;
    // "RIFF", a size, "WAVE" and a format chunk holding the payload as far as the file holds
    // it, at most 40 bytes: the fields past it read as 0 even where the file goes on.
    std::string FormatHead;
    bool DataFound;
    std::int64_t DataStart;
    std::uint64_t DataSize;  // 64-bit, from ds64 where the 32-bit size says so
};

// The container the first bytes name; None for RIFF or anything else.
OtherContainerKind OtherContainerOf(std::string_view bytes);

// The walk of the bytes' chunks, bytes past the end read as 0 within a field, and a chunk
// header the file does not hold whole ending the walk.
ContainerLayout ReadOtherContainer(std::string_view bytes);
