#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "converter/companded_samples.h"
#include "converter/wave_container.h"
#include "tests/support/wave_builder.h"

namespace {

// A mono 16-bit file of three samples: its format payload starts at 20, its samples at 44.
std::string Plain() {
    return CanonicalWave(1, 16, Samples16({1, -2, 3}));
}

std::string WithList(const std::string& payload) {
    WaveLayout layout;
    layout.Samples = Samples16({1, -2, 3});
    layout.ChunksBeforeData = Chunk("LIST", payload);
    return BuildWave(layout);
}

struct WalkCase {
    const char* Why;
    std::string Bytes;
    WaveContainer Container;
    std::int64_t FormatStart;  // -1: no format chunk found
    std::int64_t DataStart;    // -1: no data chunk found
    std::uint64_t DataSize;
};

TEST(WaveContainer, FindsTheFormatAndDataChunksOfEachContainer) {
    std::string hugeData = Rewrapped(Plain(), "RF64");
    hugeData.replace(28, 8, std::string("\x02\x00\x00\x00\x01\x00\x00\x00", 8));
    std::string shortWave64Chunk = Rewrapped(Plain(), "W64");
    shortWave64Chunk[56] = 23;  // the format chunk's size, less than its own header
    // A size that, added to its offset, would come round to the format chunk again.
    std::string wrapping = Rewrapped(WithList("abc"), "W64");
    wrapping.replace(96, 8, std::string("\xD8\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 8));
    // A table size that with the chunk's header comes round to 0: the walk stood still.
    std::string tableWrapping = Rewrapped(Plain(), "RF64", true, "abcde");
    tableWrapping.replace(52, 8, std::string("\xF8\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 8));
    const WalkCase cases[] = {
        {"RIFF", Plain(), WaveContainer::Riff, 20, 44, 6},
        // ds64's chunk: 8 + 28 bytes from offset 12.
        {"RF64, data size in ds64", Rewrapped(Plain(), "RF64"), WaveContainer::Rf64, 56, 80, 6},
        {"RF64, data size of 4 GB and more", hugeData, WaveContainer::Rf64, 56, 80, 0x100000002},
        {"RF64, a chunk sized in the table", Rewrapped(Plain(), "RF64", true, "abcde"),
         WaveContainer::Rf64, 68, 92 + 14, 6},
        // 40 bytes of header, the format chunk of 24 + 16, the data chunk's header.
        {"Wave64", Rewrapped(Plain(), "W64"), WaveContainer::Wave64, 64, 104, 6},
        {"Wave64, a chunk shorter than its header", shortWave64Chunk, WaveContainer::Wave64, -1, -1,
         0},
        {"a chunk size past any file", wrapping, WaveContainer::Wave64, 64, -1, 0},
        {"a table size past any file", tableWrapping, WaveContainer::Rf64, 68, -1, 0},
        {"RIFX", "RIFX" + Plain().substr(4), WaveContainer::Unknown, -1, -1, 0},
        {"Wave64 head cut short", Rewrapped(Plain(), "W64").substr(0, 39), WaveContainer::Unknown,
         -1, -1, 0},
        {"RF64 cut inside the data header", Rewrapped(Plain(), "RF64").substr(0, 79),
         WaveContainer::Rf64, 56, -1, 0},
    };
    for (const WalkCase& c : cases) {
        SCOPED_TRACE(c.Why);
        const ChunkWalk walk = WalkChunks(c.Bytes);
        EXPECT_EQ(walk.Container, c.Container);
        EXPECT_EQ(walk.Format.Found ? walk.Format.Start : -1, c.FormatStart);
        EXPECT_EQ(walk.Data.Found ? walk.Data.Start : -1, c.DataStart);
        EXPECT_EQ(walk.Data.Size, c.DataSize);
    }
}

// The codes at the ends of the segments, and both zeros of µ-law.
TEST(CompandedSamples, CodesGiveTheirSixteenBitValues) {
    struct Case {
        std::uint8_t Code;
        std::int16_t ALaw;
        std::int16_t MuLaw;
    };
    const Case cases[] = {
        {0x00, -5504, -32124}, {0x2A, -32256, -5372}, {0x55, -8, -716}, {0x7F, -848, 0},
        {0x80, 5504, 32124},   {0xAA, 32256, 5372},   {0xD5, 8, 716},   {0xFF, 848, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.Code));
        EXPECT_EQ(ALawValue(c.Code), c.ALaw);
        EXPECT_EQ(MuLawValue(c.Code), c.MuLaw);
    }
}

}  // namespace
