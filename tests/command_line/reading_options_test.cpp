// The reading options through the real program: each file an option reads gives the signal
// file of its mono, packed twin to the byte; each file refused names every option that would
// read it, and only those.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "converter/companded_samples.h"
#include "tests/e2e/child_process.h"
#include "tests/support/wave_files.h"

namespace {

constexpr int Patience = 20000;
constexpr std::int16_t ExtensibleTag = static_cast<std::int16_t>(0xFFFE);
constexpr std::int16_t FloatTag = 3;
constexpr std::int16_t ALawTag = 6;
constexpr std::int16_t MuLawTag = 7;

// The samples of every case, with both extremes, so each file's peak is -32768.
const std::vector<std::int16_t> Values = {0, 1000, -32768, 32767, -1, 12345, -20000, 7};
// A second channel's samples, peak 30000.
const std::vector<std::int16_t> Other = {5, -30000, 2, 3, 4, 29999, 6, -7};
// 24-bit samples with both extremes.
const std::vector<std::int32_t> Values24 = {0, 8388607, -8388608, 1, -1, 123456, -654321, 9};

ChildResult Norvistrand(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), NORVISTRAND_BINARY);
    return RunChild(arguments, Patience);
}

std::string Wave(std::int16_t tag, std::uint16_t channels, std::int16_t bits, int slotBytes,
                 const std::string& samples, const std::string& extra = {}) {
    WaveLayout layout;
    layout.FormatTag = tag;
    layout.Channels = channels;
    layout.BitsPerSample = bits;
    layout.BlockAlignment = static_cast<std::int16_t>(channels * slotBytes);
    layout.FormatExtra = extra;
    layout.Samples = samples;
    return BuildWave(layout);
}

// 24-bit samples in slots of `slot` bytes (3, or 4), the value's three bytes `at` bytes into
// each; the other byte holds `filler`, or the sign's extension where it is negative.
std::string Slots24(int slot, int at, int filler = -1) {
    std::string out;
    for (std::int32_t v : Values24) {
        std::string bytes(static_cast<std::size_t>(slot), static_cast<char>(filler));
        if (filler < 0) bytes.assign(static_cast<std::size_t>(slot), v < 0 ? '\xFF' : '\0');
        for (int i = 0; i < 3; ++i) bytes[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
        out += bytes;
    }
    return out;
}

// The 16-bit values scaled into a wider form: 32-bit integers (times 65536) or floats (over
// 32768); the scaling is by a power of two, so every line stays the same.
std::string Wider(const std::vector<std::int16_t>& values, char form) {
    std::string out;
    for (std::int16_t v : values) {
        if (form == 'i') PutLittleEndian(out, static_cast<std::uint32_t>(v * 65536), 4);
        std::uint64_t bits = 0;
        if (form == 'f') {
            const float sample = static_cast<float>(v) / 32768;
            std::uint32_t single = 0;
            std::memcpy(&single, &sample, 4);
            PutLittleEndian(out, single, 4);
        }
        if (form == 'd') {
            const double sample = static_cast<double>(v) / 32768;
            std::memcpy(&bits, &sample, 8);
            PutLittleEndian(out, bits, 8);
        }
    }
    return out;
}

std::string Mono16(const std::vector<std::int16_t>& values) {
    return Wave(1, 1, 16, 2, Samples16(values));
}

std::string Stereo16(std::int16_t tag = 1, const std::string& extra = {}) {
    return Wave(tag, 2, 16, 2, Interleave({Samples16(Values), Samples16(Other)}, 2), extra);
}

// 257 8-bit channels, the last holding `last` and every other one zeros: a channel count of
// 0x0101, whose low byte alone would say mono.
std::string Wide8(const std::string& last) {
    std::vector<std::string> channels(256, std::string(last.size(), '\0'));
    channels.push_back(last);
    return Wave(1, 257, 8, 1, Interleave(channels, 1));
}

// Every 8-bit code once, and the 16-bit file of the values the codes stand for.
std::string AllCodes() {
    std::string codes;
    for (int code = 0; code < 256; ++code) codes.push_back(static_cast<char>(code));
    return codes;
}

std::string Decoded16(const std::string& codes, bool aLaw) {
    std::vector<std::int16_t> values;
    for (char code : codes) {
        const auto byte = static_cast<std::uint8_t>(code);
        values.push_back(aLaw ? ALawValue(byte) : MuLawValue(byte));
    }
    return Mono16(values);
}

struct TwinCase {
    const char* Why;
    std::string Bytes;
    std::vector<std::string> Options;
    std::string Twin;  // the mono or packed file of the same samples
};

TEST(ReadingOptionsTest, EachFileGivesTheSignalFileOfItsTwin) {
    ScratchFolder folder = EnterScratchFolder();
    const std::string packed24 = Wave(1, 1, 24, 3, Slots24(3, 0));
    const std::string zeros(16, '\0');
    const std::string eightBit("\x80\xFF\x00\x7F", 4);
    std::string muLawExtra = ExtensibleExtra(8);
    muLawExtra[8] = MuLawTag;  // the sub-format GUID's first byte
    WaveLayout toEnd;
    toEnd.Channels = 2;
    toEnd.BlockAlignment = 4;
    toEnd.Samples = Interleave({Samples16(Values), Samples16(Other)}, 2);
    toEnd.OwnDataSize = true;
    toEnd.DataSize = -1;
    const TwinCase cases[] = {
        {"stereo, the first channel", Stereo16(), {"--channel", "1"}, Mono16(Values)},
        {"stereo, the second channel", Stereo16(), {"--channel=2"}, Mono16(Other)},
        {"three 8-bit channels, the third",
         Wave(1, 3, 8, 1, Interleave({"\x01\x02\x03\x04", "abcd", eightBit}, 1)),
         {"--channel", "3"},
         Wave(1, 1, 8, 1, eightBit)},
        {"257 channels, the last",
         Wide8(eightBit),
         {"--channel", "257"},
         Wave(1, 1, 8, 1, eightBit)},
        {"stereo 24-bit packed",
         Wave(1, 2, 24, 3, Interleave({Slots24(3, 0), Slots24(3, 0)}, 3)),
         {"--channel", "2"},
         packed24},
        {"extensible stereo",
         Stereo16(ExtensibleTag, ExtensibleExtra(16)),
         {"--extensible", "--channel", "2"},
         Mono16(Other)},
        {"stereo, size 0xFFFFFFFF read to the end",
         BuildWave(toEnd),
         {"--data-to-end", "--channel", "2"},
         Mono16(Other)},
        {"24 bits in the low three bytes of 4, as recorders write them",
         Wave(1, 1, 24, 4, Slots24(4, 0)),
         {"--any-pcm"},
         packed24},
        {"extensible 32-bit slots of 24 valid bits: the high three bytes, the low one ignored",
         Wave(ExtensibleTag, 1, 32, 4, Slots24(4, 1, 0x5A), ExtensibleExtra(24)),
         {"--any-pcm"},
         packed24},
        {"extensible 32-bit slots of 20 valid bits",
         Wave(ExtensibleTag, 1, 32, 4, Slots24(4, 1, 0), ExtensibleExtra(20)),
         {"--any-pcm"},
         packed24},
        {"32-bit integers", Wave(1, 1, 32, 4, Wider(Values, 'i')), {"--any-pcm"}, Mono16(Values)},
        {"extensible 32-bit integers",
         Wave(ExtensibleTag, 1, 32, 4, Wider(Values, 'i'), ExtensibleExtra(32)),
         {"--any-pcm"},
         Mono16(Values)},
        {"32-bit float",
         Wave(FloatTag, 1, 32, 4, Wider(Values, 'f')),
         {"--any-pcm"},
         Mono16(Values)},
        {"64-bit float, extensible",
         Wave(ExtensibleTag, 1, 64, 8, Wider(Values, 'd'), ExtensibleExtra(64, true)),
         {"--any-pcm"},
         Mono16(Values)},
        {"32-bit float stereo, the second channel",
         Wave(FloatTag, 2, 32, 4, Interleave({Wider(Values, 'f'), Wider(Other, 'f')}, 4)),
         {"--any-pcm", "--channel", "2"},
         Mono16(Other)},
        {"32-bit float zeros",
         Wave(FloatTag, 1, 32, 4, zeros),
         {"--any-pcm"},
         Mono16({0, 0, 0, 0})},
        {"RF64, the data size in ds64",
         Rewrapped(Mono16(Values), "RF64"),
         {"--any-pcm"},
         Mono16(Values)},
        {"RF64 with a ds64 table, an odd data size",
         Rewrapped(Wave(1, 1, 8, 1, eightBit + "\x01"), "RF64", true, "abc"),
         {"--any-pcm"},
         Wave(1, 1, 8, 1, eightBit + "\x01")},
        {"RF64 with its data size in the chunk",
         Rewrapped(packed24, "RF64", false),
         {"--any-pcm"},
         packed24},
        {"BW64 stereo, the second channel",
         Rewrapped(Stereo16(), "BW64"),
         {"--any-pcm", "--channel", "2"},
         Mono16(Other)},
        {"Wave64 with a format chunk padded to 8 bytes, an odd data size",
         Rewrapped(Wave(1, 1, 8, 1, eightBit + "\x01", std::string(2, '\0')), "W64"),
         {"--any-pcm"},
         Wave(1, 1, 8, 1, eightBit + "\x01")},
        {"Wave64 of 64-bit float",
         Rewrapped(Wave(FloatTag, 1, 64, 8, Wider(Values, 'd')), "W64"),
         {"--any-pcm"},
         Mono16(Values)},
        {"A-law, every code",
         Wave(ALawTag, 1, 8, 1, AllCodes()),
         {"--any-pcm"},
         Decoded16(AllCodes(), true)},
        {"µ-law, every code",
         Wave(MuLawTag, 1, 8, 1, AllCodes()),
         {"--any-pcm"},
         Decoded16(AllCodes(), false)},
        {"A-law stereo, the second channel",
         Wave(ALawTag, 2, 8, 1,
              Interleave({AllCodes(), AllCodes().substr(128) + AllCodes().substr(0, 128)}, 1)),
         {"--any-pcm", "--channel", "2"},
         Decoded16(AllCodes().substr(128) + AllCodes().substr(0, 128), true)},
        {"extensible µ-law",
         Wave(ExtensibleTag, 1, 8, 1, eightBit, muLawExtra),
         {"--any-pcm"},
         Decoded16(eightBit, false)},
        {"µ-law in Wave64",
         Rewrapped(Wave(MuLawTag, 1, 8, 1, AllCodes()), "W64"),
         {"--any-pcm"},
         Decoded16(AllCodes(), false)},
    };
    for (const TwinCase& c : cases) {
        SCOPED_TRACE(c.Why);
        WriteWholeFile("case.wav", c.Bytes);
        WriteWholeFile("twin.wav", c.Twin);
        std::vector<std::string> arguments = c.Options;
        arguments.insert(arguments.begin(), "-q");
        arguments.push_back("case.wav");
        ChildResult run = Norvistrand(arguments);
        EXPECT_EQ(run.ExitStatus, 0) << run.Errors;
        ASSERT_EQ(Norvistrand({"-q", "twin.wav"}).ExitStatus, 0);
        const std::string twin = ReadWholeFile("twin.sig");
        EXPECT_FALSE(twin.empty());
        EXPECT_TRUE(ReadWholeFile("case.sig") == twin);
    }
    LeaveScratchFolder(folder);
}

struct RefusalCase {
    const char* Why;
    std::string Bytes;
    std::vector<std::string> Options;
    int ExitStatus;
    std::string Errors;       // after "norvistrand: take.wav: "
    std::uintmax_t Size = 0;  // the file's length, made up with a hole; 0: as built
};

TEST(ReadingOptionsTest, RefusalsNameEveryOptionThatReadsTheFileAndOnlyThose) {
    ScratchFolder folder = EnterScratchFolder();
    const std::string notPcm = "This is not a PCM format Wave file";
    const std::string float32 = Wave(FloatTag, 1, 32, 4, Wider(Values, 'f'));
    const std::string floatStereo =
        Wave(FloatTag, 2, 32, 4, Interleave({Wider(Values, 'f'), Wider(Values, 'f')}, 4));
    const std::string extensible32 =
        Wave(ExtensibleTag, 1, 32, 4, Wider(Values, 'i'), ExtensibleExtra(32));
    const std::string codes("\x55\xD5\x2A\xAA\x00\x80\x7F\xFF", 8);
    const std::string aLaw = Wave(ALawTag, 1, 8, 1, codes);
    std::string notANumber = float32;
    notANumber.replace(notANumber.size() - 12, 4, "\x00\x00\xC0\x7F", 4);
    WaveLayout noData;
    noData.FormatTag = ExtensibleTag;
    noData.FormatExtra = ExtensibleExtra(16);
    const std::string noDataChunk = BuildWave(noData).substr(0, 12 + 8 + 40);
    WaveLayout eightBit;
    eightBit.BitsPerSample = 8;
    eightBit.BlockAlignment = 1;
    eightBit.Samples = "\x01\x02\x03\x04\x05";
    eightBit.OwnDataSize = true;
    eightBit.DataSize = -1;
    WaveLayout sizeOne;
    sizeOne.Samples = Samples16(std::vector<std::int16_t>(255, 9));
    sizeOne.OwnDataSize = true;
    sizeOne.DataSize = 1;
    // A placeholder size in a file past 4 GB: every sample there is counted.
    WaveLayout placeholder;
    placeholder.OwnDataSize = true;
    placeholder.DataSize = 0;
    const std::uintmax_t pastFourGigabytes = 44 + 2 * 2500000000ull;
    const RefusalCase cases[] = {
        {"stereo",
         Stereo16(),
         {},
         1,
         "This is not a mono Wave file (2 channels; --channel N reads one)"},
        {"257 channels",
         Wide8("\x01\x02"),
         {},
         1,
         "This is not a mono Wave file (257 channels; --channel N reads one)"},
        {"a channel above the count",
         Stereo16(),
         {"--channel", "3"},
         1,
         "There is no channel 3 (the file has 2 channels)"},
        {"a second channel of a mono file",
         Mono16(Values),
         {"--channel", "2"},
         1,
         "There is no channel 2 (the file has 1 channel)"},
        {"stereo 12-bit: no option reads it",
         Wave(1, 2, 12, 2, Samples16(Values)),
         {},
         1,
         "This is not a mono Wave file"},
        {"float", float32, {}, 1, notPcm + " (32-bit float; --any-pcm reads it)"},
        {"float stereo",
         floatStereo,
         {},
         1,
         notPcm + " (32-bit float, 2 channels; --any-pcm --channel N reads one)"},
        {"float stereo, a channel asked",
         floatStereo,
         {"--channel", "1"},
         1,
         notPcm + " (32-bit float; --any-pcm reads it)"},
        {"extensible stereo",
         Stereo16(ExtensibleTag, ExtensibleExtra(16)),
         {},
         1,
         notPcm + " (extensible format, 2 channels; --extensible --channel N reads one)"},
        {"extensible 32-bit",
         extensible32,
         {},
         1,
         notPcm + " (extensible format, 32-bit samples; --any-pcm reads it)"},
        {"extensible 32-bit read as extensible",
         extensible32,
         {"--extensible"},
         1,
         "This is not an 8-, 16- or 24-bit Wave file (extensible format, 32-bit samples; "
         "--any-pcm reads it)"},
        {"24 bits in 4-byte slots",
         Wave(1, 1, 24, 4, Slots24(4, 0)),
         {},
         1,
         "24-bit Wave files must be packed integer format (24-bit samples in 4-byte slots; "
         "--any-pcm reads it)"},
        {"16-bit float under --any-pcm: no option reads it",
         Wave(FloatTag, 1, 16, 2, Samples16(Values)),
         {"--any-pcm"},
         1,
         notPcm + " (16-bit float)"},
        {"a float sample that is not a number",
         notANumber,
         {"--any-pcm"},
         1,
         "This Wave file holds a sample that is not a number (sample 6)"},
        {"extensible without a data chunk",
         noDataChunk,
         {"--extensible"},
         1,
         "This is not a Wave file (no data chunk)"},
        {"extensible without a data chunk: no option reads it", noDataChunk, {}, 1, notPcm},
        {"8-bit, size 0xFFFFFFFF",
         BuildWave(eightBit),
         {},
         0,
         "warning: the header gives -1 samples, the file holds 5; --data-to-end converts them"},
        {"a size of 1 that fits: no word of --data-to-end", BuildWave(sizeOne), {}, 0, ""},
        {"RF64",
         Rewrapped(Mono16(Values), "RF64"),
         {"--extensible"},
         1,
         "This is not a Wave file (RF64 file; --any-pcm reads it)"},
        {"BW64",
         Rewrapped(Mono16(Values), "BW64"),
         {},
         1,
         "This is not a Wave file (BW64 file; --any-pcm reads it)"},
        {"Wave64",
         Rewrapped(float32, "W64"),
         {},
         1,
         "This is not a Wave file (Wave64 file; --any-pcm reads it)"},
        {"RF64 without a data chunk",
         Rewrapped(Mono16(Values), "RF64").substr(0, 72),
         {"--any-pcm"},
         1,
         "This is not a Wave file (no data chunk)"},
        {"A-law", aLaw, {}, 1, notPcm + " (8-bit A-law; --any-pcm reads it)"},
        {"µ-law stereo",
         Wave(MuLawTag, 2, 8, 2, "\x01\x02"),
         {},
         1,
         notPcm + " (8-bit µ-law, 2 channels; --any-pcm --channel N reads one)"},
        {"A-law of 16 bits: no option reads it",
         Wave(ALawTag, 1, 16, 2, Samples16(Values)),
         {"--any-pcm"},
         1,
         notPcm + " (16-bit A-law)"},
        {"size 0 in a file past 4 GB",
         BuildWave(placeholder),
         {},
         0,
         "warning: the header gives 0 samples, the file holds 2500000000; --data-to-end "
         "converts them",
         pastFourGigabytes},
    };
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.Why);
        WriteWholeFile("take.wav", c.Bytes);
        std::error_code resized;
        if (c.Size != 0) std::filesystem::resize_file("take.wav", c.Size, resized);
        if (resized) {
            std::cout << "skipped, no file of " << c.Size << " bytes here: " << c.Why << "\n";
            continue;
        }
        WriteWholeFile("take.sig", "old\r\n");
        std::vector<std::string> arguments = c.Options;
        arguments.insert(arguments.begin(), "-q");
        arguments.push_back("take.wav");
        ChildResult run = Norvistrand(arguments);
        EXPECT_EQ(run.ExitStatus, c.ExitStatus);
        EXPECT_EQ(run.Errors, c.Errors.empty() ? "" : "norvistrand: take.wav: " + c.Errors + "\n");
        if (c.ExitStatus != 0) {
            EXPECT_EQ(ReadWholeFile("take.sig"), "old\r\n");
        }
    }
    // The report line names a format other than integer PCM.
    WriteWholeFile("take.wav", float32);
    EXPECT_EQ(Norvistrand({"--any-pcm", "take.wav"}).Output,
              "take.wav: 32-bit float, 8000 Hz, 8 samples, 1 milliseconds -> take.sig\n");
    WriteWholeFile("take.wav", aLaw);
    EXPECT_EQ(Norvistrand({"--any-pcm", "take.wav"}).Output,
              "take.wav: 8-bit A-law, 8000 Hz, 8 samples, 1 milliseconds -> take.sig\n");
    WriteWholeFile("take.wav", Rewrapped(Wave(MuLawTag, 1, 8, 1, codes), "RF64"));
    EXPECT_EQ(Norvistrand({"--any-pcm", "take.wav"}).Output,
              "take.wav: 8-bit µ-law, 8000 Hz, 8 samples, 1 milliseconds -> take.sig\n");
    // The array file of A-law samples is that of the 16-bit values they stand for.
    WriteWholeFile("take.wav", aLaw);
    WriteWholeFile("twin.wav", Decoded16(codes, true));
    ASSERT_EQ(Norvistrand({"--any-pcm", "--npy", "-q", "take.wav"}).ExitStatus, 0);
    ASSERT_EQ(Norvistrand({"--npy", "-q", "twin.wav"}).ExitStatus, 0);
    EXPECT_TRUE(ReadWholeFile("take.npy") == ReadWholeFile("twin.npy"));
    LeaveScratchFolder(folder);
}

// A file past 4 GB with a placeholder size: 2,048 channels of 32-bit samples, so it holds only
// 525,000 frames, the last channel's first and last samples set and a hole between. In memory,
// where there is such a folder, a hole reads fastest.
TEST(ReadingOptionsTest, AFileBeyondFourGigabytesIsReadToItsLastFrame) {
    constexpr std::uint64_t FrameBytes = 2048 * 4;
    constexpr std::uint64_t Frames = 525000;
    std::string head =
        Wave(1, 2048, 32, 4, std::string(FrameBytes - 4, '\0') + Wider({16384}, 'i'));
    head.replace(40, 4, std::string(4, '\0'));  // the data size
    std::error_code error;
    const std::string name =
        (std::filesystem::is_directory("/dev/shm", error) ? "/dev/shm/" : "/tmp/") +
        ("norvistrand-long-" + std::to_string(getpid()) + ".wav");
    WriteWholeFile(name, head);
    std::filesystem::resize_file(name, head.size() + (Frames - 1) * FrameBytes - 4, error);
    if (error) {
        std::filesystem::remove(name);
        GTEST_SKIP() << "no file of 4.3 GB here: " << error.message();
    }
    std::ofstream(name, std::ios::binary | std::ios::app) << Wider({-32768}, 'i');
    const ChildResult run =
        Norvistrand({"--data-to-end", "--any-pcm", "--channel", "2048", "-c", name});
    std::filesystem::remove(name);
    EXPECT_EQ(run.Errors, "");
    EXPECT_EQ(static_cast<std::uint64_t>(std::count(run.Output.begin(), run.Output.end(), '\n')),
              Frames);
    EXPECT_EQ(run.Output.substr(0, 8), ".5\r\n0\r\n0");
    EXPECT_EQ(run.Output.substr(run.Output.size() - 7), "0\r\n-1\r\n");
}

}  // namespace
