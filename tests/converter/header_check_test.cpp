#include "converter/header_check.h"

#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/converter_fixture.h"

namespace {

using HeaderCheckTest = ConverterTest;

WaveLayout Mono16(std::string samples = Samples16({1, 2, 3})) {
    WaveLayout layout;
    layout.Samples = std::move(samples);
    return layout;
}

HeaderVerdict Check(const std::string& name, WaveHeader& header) {
    return CheckWaveHeader(name, header);
}

struct RefusalCase {
    const char* Why;
    std::string Bytes;
    HeaderCode Code;
};

std::string WithField(WaveLayout layout, void (*change)(WaveLayout&)) {
    change(layout);
    return BuildWave(layout);
}

TEST_F(HeaderCheckTest, RefusesEachBadHeaderWithItsMessageAndClosesTheChannel) {
    const RefusalCase cases[] = {
        {"empty file", "", HeaderCode::NotWave},
        {"three bytes", "RIF", HeaderCode::NotWave},
        {"lower-case riff", "riff" + BuildWave(Mono16()).substr(4), HeaderCode::NotWave},
        {"not WAVE", BuildWave(Mono16()).replace(8, 4, "AVI "), HeaderCode::NotWave},
        {"float format", WithField(Mono16(), [](WaveLayout& s) { s.FormatTag = 3; }),
         HeaderCode::NotPcm},
        {"extensible format",
         WithField(Mono16(),
                   [](WaveLayout& s) { s.FormatTag = static_cast<std::int16_t>(0xFFFE); }),
         HeaderCode::NotPcm},
        {"RF64", Rewrapped(BuildWave(Mono16()), "RF64"), HeaderCode::NotWave},
        {"BW64", Rewrapped(BuildWave(Mono16()), "BW64"), HeaderCode::NotWave},
        {"Wave64", Rewrapped(BuildWave(Mono16()), "W64"), HeaderCode::NotWave},
        {"A-law", WithField(Mono16(), [](WaveLayout& s) { s.FormatTag = 6; }), HeaderCode::NotPcm},
        {"µ-law", WithField(Mono16(), [](WaveLayout& s) { s.FormatTag = 7; }), HeaderCode::NotPcm},
        {"ends before the format tag", BuildWave(Mono16()).substr(0, 20), HeaderCode::NotPcm},
        {"ends inside the channel count", BuildWave(Mono16()).substr(0, 21), HeaderCode::NotMono},
        {"stereo", WithField(Mono16(), [](WaveLayout& s) { s.Channels = 2; }), HeaderCode::NotMono},
        {"12 bits, even with a bad alignment",
         WithField(Mono16(),
                   [](WaveLayout& s) {
                       s.BitsPerSample = 12;
                       s.BlockAlignment = 4;
                   }),
         HeaderCode::BadResolution},
        {"32 bits", WithField(Mono16(), [](WaveLayout& s) { s.BitsPerSample = 32; }),
         HeaderCode::BadResolution},
        {"24 bits padded to 4 bytes",
         WithField(Mono16(),
                   [](WaveLayout& s) {
                       s.BitsPerSample = 24;
                       s.BlockAlignment = 4;
                   }),
         HeaderCode::NotPacked},
    };
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.Why);
        WriteWholeFile("bad.wav", c.Bytes);
        WaveHeader header{};
        HeaderVerdict verdict = Check("bad.wav", header);
        EXPECT_EQ(verdict.Code, c.Code);
        // Channel 1 is free again: a new open on it succeeds.
        OpenChannel(1, "bad.wav", OpenMode::Test);
        EXPECT_EQ(TakeFileError(), 0);
        CloseChannel(1);
    }
}

// A refusal carries what the file holds, as far as the check read it; all of it where an
// option would read the file.
TEST_F(HeaderCheckTest, RefusalsCarryWhatTheFileHolds) {
    WriteWholeFile("stereo.wav", WithField(Mono16(), [](WaveLayout& s) {
                       s.Channels = 2;
                       s.BitsPerSample = 12;
                   }));
    WriteWholeFile("stereo16.wav", WithField(Mono16(), [](WaveLayout& s) { s.Channels = 2; }));
    WriteWholeFile("wide.wav", WithField(Mono16(), [](WaveLayout& s) { s.BitsPerSample = 32; }));
    WaveHeader header{};
    const HeaderVerdict unread = Check("stereo.wav", header);
    EXPECT_EQ(unread.Format.Encoding, SampleEncoding::Pcm);
    EXPECT_EQ(unread.Format.ChannelCount, 2);
    EXPECT_EQ(unread.Format.BitsPerSample, 0);  // not reached
    EXPECT_FALSE(unread.Needed.Channel);        // 12 bits: no option reads it
    const HeaderVerdict readable = Check("stereo16.wav", header);
    EXPECT_EQ(readable.Format.BitsPerSample, 16);
    EXPECT_TRUE(readable.Needed.Channel);
    const HeldFormat wide = Check("wide.wav", header).Format;
    EXPECT_EQ(wide.ChannelCount, 1);
    EXPECT_EQ(wide.BitsPerSample, 32);
}

TEST_F(HeaderCheckTest, RefusesNamesThatCannotBeOpenedAsNotFound) {
    WaveHeader header{};
    ASSERT_EQ(mkdir("folder.wav", 0755), 0);
    for (const char* name : {"missing.wav", "", "no/such/folder.wav", "*.wav", "folder.wav"}) {
        SCOPED_TRACE(name);
        HeaderVerdict verdict = Check(name, header);
        EXPECT_EQ(verdict.Code, HeaderCode::NotFound);
    }
}

TEST_F(HeaderCheckTest, ChannelCountIsJudgedByItsLowByteOnly) {
    WaveLayout layout = Mono16();
    layout.Channels = 257;
    WriteWholeFile("odd.wav", BuildWave(layout));
    WaveHeader header{};
    EXPECT_EQ(Check("odd.wav", header).Code, HeaderCode::Accepted);
    EXPECT_EQ(header.ChannelCount, 1);
}

// Where any length is read, a size of 2 GB and more is that many bytes, but for the placeholder
// 0xFFFFFFFF.
TEST_F(HeaderCheckTest, DerivesSampleCountWithTiesToEven) {
    struct Case {
        std::int16_t Bits;
        std::int32_t DataSize;
        std::int64_t Count;
        bool AnyLength = false;
    } const cases[] = {
        {16, 201, 100}, {16, 203, 102}, {16, 500, 250},
        {8, 7, 7},      {24, 9, 3},     {24, 10, 3},
        {24, 11, 4},    {16, -2, -1},   {24, -2, 1431655765, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.DataSize);
        WaveLayout layout = Mono16("");
        layout.BitsPerSample = c.Bits;
        layout.BlockAlignment = static_cast<std::int16_t>(c.Bits / 8);
        layout.OwnDataSize = true;
        layout.DataSize = c.DataSize;
        WriteWholeFile("n.wav", BuildWave(layout));
        WaveHeader header{};
        ASSERT_EQ(CheckWaveHeader("n.wav", header, {.AnyLength = c.AnyLength}).Code,
                  HeaderCode::Accepted);
        EXPECT_EQ(header.SampleCount, c.Count);
        CloseChannel(1);
    }
    // An RF64 data size past 4 GB is counted whole, and so is its duration.
    std::string rf64 = Rewrapped(BuildWave(Mono16(Samples16({1}))), "RF64");
    rf64.replace(28, 8, std::string("\0\0\0\0\3\0\0\0", 8));
    WaveHeader header{};
    ASSERT_EQ(CheckWaveBytes(rf64, header, {.AnyPcm = true, .AnyLength = true}).Code,
              HeaderCode::Accepted);
    EXPECT_EQ(header.SampleCount, std::int64_t{3} << 31);
    EXPECT_EQ(header.Duration, (std::int64_t{3} << 31) / 8);
}

TEST_F(HeaderCheckTest, HeaderEndingAfterBitsPerSampleHasNoSamples) {
    WriteWholeFile("short.wav", BuildWave(Mono16()).substr(0, 36));
    WaveHeader header{};
    ASSERT_EQ(Check("short.wav", header).Code, HeaderCode::Accepted);
    EXPECT_EQ(header.DataSize, 0);
    EXPECT_EQ(header.SampleCount, 0);
    EXPECT_EQ(header.Duration, 0);
    EXPECT_EQ(header.SampleStart, 44);
}

TEST_F(HeaderCheckTest, FindsTheDataChunkBehindALongerFormatChunkOrOtherChunks) {
    WaveLayout longFormat = Mono16(Samples16({5, 6, 7, 8}));
    longFormat.FormatExtra = std::string("\0\0", 2);
    WaveLayout withList = Mono16(Samples16({5, 6, 7, 8}));
    // An odd-sized chunk is padded to an even length.
    withList.ChunksBeforeData = Chunk("LIST", "INFOodd") + Chunk("fact", "abcd");
    struct Case {
        const char* Why;
        WaveLayout Layout;
        std::int64_t Start;
    } const cases[] = {
        {"18-byte format chunk", longFormat, 46},
        {"LIST and fact chunks", withList, 36 + 8 + 8 + 8 + 4 + 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Why);
        WriteWholeFile("chunky.wav", BuildWave(c.Layout));
        WaveHeader header{};
        ASSERT_EQ(Check("chunky.wav", header).Code, HeaderCode::Accepted);
        EXPECT_EQ(header.DataSize, 8);
        EXPECT_EQ(header.SampleCount, 4);
        EXPECT_EQ(header.SampleStart, c.Start);
        CloseChannel(1);
    }
}

TEST_F(HeaderCheckTest, ChunkWalkEndsOnChunksThatPointPastTheEnd) {
    WaveLayout layout = Mono16();
    // A chunk claiming 4 GB hides everything after it; the canonical reading stays.
    layout.ChunksBeforeData = std::string("JUNK\xFF\xFF\xFF\xFF", 8);
    WriteWholeFile("huge.wav", BuildWave(layout));
    WaveHeader header{};
    ASSERT_EQ(Check("huge.wav", header).Code, HeaderCode::Accepted);
    EXPECT_EQ(header.SampleStart, 44);
}

// A chunk larger than the head the check holds in memory: the walk reads on through the channel.
TEST_F(HeaderCheckTest, FindsTheDataChunkBehindAChunkLargerThanTheHeadHeldInMemory) {
    WaveLayout layout = Mono16(Samples16({5, 6, 7, 8}));
    layout.ChunksBeforeData = Chunk("JUNK", std::string(70001, 'j'));
    WriteWholeFile("padded.wav", BuildWave(layout));
    WaveHeader header{};
    ASSERT_EQ(Check("padded.wav", header).Code, HeaderCode::Accepted);
    EXPECT_EQ(header.SampleStart, 36 + 8 + 70002 + 8);
    EXPECT_EQ(header.SampleCount, 4);
}

// The bytes judged in memory get the verdict and header the file of those bytes gets.
TEST_F(HeaderCheckTest, BytesInMemoryAreJudgedAsTheFileHoldingThem) {
    WaveLayout chunky = Mono16(Samples16({5, 6, 7, 8}));
    chunky.ChunksBeforeData = Chunk("LIST", "INFOodd") + Chunk("JUNK", std::string(70001, 'j'));
    WaveLayout placeholder = Mono16(Samples16({1, 2, 3}));
    placeholder.OwnDataSize = true;
    placeholder.DataSize = -1;
    WaveLayout floats = Mono16(std::string(8, '\x40'));
    floats.FormatTag = static_cast<std::int16_t>(0xFFFE);
    floats.BitsPerSample = 32;
    floats.BlockAlignment = 4;
    floats.FormatExtra = ExtensibleExtra(32, true);
    struct Case {
        const char* Why;
        std::string Bytes;
        HeaderReading Reading;
        HeaderCode Code;
    } const cases[] = {
        {"canonical", BuildWave(Mono16()), {}, HeaderCode::Accepted},
        {"ends inside the bits per sample",
         BuildWave(Mono16()).substr(0, 35),
         {},
         HeaderCode::Accepted},
        {"stereo, one channel",
         CanonicalWave(2, 16, Samples16({1, 2, 3, 4})),
         {.Channel = 2},
         HeaderCode::Accepted},
        {"stereo, channel 3",
         CanonicalWave(2, 16, Samples16({1, 2})),
         {.Channel = 3},
         HeaderCode::NoSuchChannel},
        {"chunks before the data", BuildWave(chunky), {.CountHeld = true}, HeaderCode::Accepted},
        {"placeholder size, to the end",
         BuildWave(placeholder),
         {.DataToEnd = true},
         HeaderCode::Accepted},
        {"placeholder size, counted",
         BuildWave(placeholder),
         {.CountHeld = true},
         HeaderCode::Accepted},
        {"extensible float", BuildWave(floats), {.AnyPcm = true}, HeaderCode::Accepted},
        {"extensible float unasked", BuildWave(floats), {}, HeaderCode::NotPcm},
        {"float without a data chunk",
         BuildWave(floats).substr(0, 62),
         {.AnyPcm = true},
         HeaderCode::NoDataChunk},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Why);
        WriteWholeFile("same.wav", c.Bytes);
        WaveHeader onDisk{};
        const HeaderVerdict file = CheckWaveHeader("same.wav", onDisk, c.Reading);
        CloseChannel(1);
        WaveHeader inMemory{};
        const HeaderVerdict bytes = CheckWaveBytes(c.Bytes, inMemory, c.Reading);
        EXPECT_EQ(file.Code, c.Code);
        EXPECT_EQ(bytes.Code, file.Code);
        EXPECT_EQ(bytes.Format.Encoding, file.Format.Encoding);
        EXPECT_EQ(bytes.Format.ChannelCount, file.Format.ChannelCount);
        EXPECT_EQ(bytes.Format.BitsPerSample, file.Format.BitsPerSample);
        EXPECT_EQ(bytes.GivenSamples, file.GivenSamples);
        EXPECT_EQ(bytes.HeldSamples, file.HeldSamples);
        EXPECT_EQ(bytes.Needed.AnyPcm, file.Needed.AnyPcm);
        EXPECT_EQ(bytes.Needed.Channel, file.Needed.Channel);
        EXPECT_EQ(bytes.Needed.DataToEnd, file.Needed.DataToEnd);
        EXPECT_EQ(inMemory.SampleStart, onDisk.SampleStart);
        EXPECT_EQ(inMemory.DataSize, onDisk.DataSize);
        EXPECT_EQ(inMemory.SampleCount, onDisk.SampleCount);
        EXPECT_EQ(inMemory.Duration, onDisk.Duration);
        EXPECT_EQ(inMemory.Form, onDisk.Form);
        EXPECT_EQ(inMemory.FrameBytes, onDisk.FrameBytes);
        EXPECT_EQ(inMemory.ValueOffset, onDisk.ValueOffset);
    }
}

TEST_F(HeaderCheckTest, ZeroSampleRateReportsNoDuration) {
    WaveLayout layout = Mono16();
    layout.SampleRate = 0;
    WriteWholeFile("still.wav", BuildWave(layout));
    WaveHeader header{};
    ASSERT_EQ(Check("still.wav", header).Code, HeaderCode::Accepted);
    EXPECT_EQ(header.Duration, 0);
}

TEST_F(HeaderCheckTest, ErrorLeftByAnEarlierAttemptDoesNotRefuseAGoodFile) {
    OpenChannel(2, "missing.wav", OpenMode::Test);  // leaves FileNotFound pending
    WriteWholeFile("good.wav", BuildWave(Mono16()));
    WaveHeader header{};
    EXPECT_EQ(Check("good.wav", header).Code, HeaderCode::Accepted);
}

TEST_F(HeaderCheckTest, RefusesAWaveFileThatItsSignalFileWouldOverwrite) {
    const std::string wave = BuildWave(Mono16());
    WriteWholeFile("take1.sig", wave);
    WriteWholeFile("take2.wav", wave);
    ASSERT_EQ(link("take2.wav", "take2.sig"), 0);
    for (const char* name : {"take1.sig", "take2.wav"}) {
        SCOPED_TRACE(name);
        WaveHeader header{};
        HeaderVerdict verdict = Check(name, header);
        EXPECT_EQ(verdict.Code, HeaderCode::WouldOverwrite);
    }
    EXPECT_EQ(ReadWholeFile("take1.sig"), wave);
    EXPECT_EQ(ReadWholeFile("take2.wav"), wave);
}

TEST_F(HeaderCheckTest, AcceptsAReadOnlyWaveFileAndLeavesItUnchanged) {
    const std::string wave = BuildWave(Mono16());
    WriteWholeFile("locked.wav", wave);
    ASSERT_EQ(chmod("locked.wav", 0444), 0);
    WaveHeader header{};
    EXPECT_EQ(Check("locked.wav", header).Code, HeaderCode::Accepted);
    EXPECT_EQ(TakeFileError(), 0);
    CloseChannel(1);
    EXPECT_EQ(ReadWholeFile("locked.wav"), wave);
}

// The extensible format chunk's last 24 bytes: its extra size, the valid bits, a channel mask
// and the sub-format GUID, cut to `length` bytes.
WaveLayout Extensible(std::int16_t validBits, char firstGuidByte, std::size_t length = 24) {
    WaveLayout layout = Mono16();
    layout.FormatTag = static_cast<std::int16_t>(0xFFFE);
    std::string extra;
    PutLittleEndian(extra, 22, 2);
    PutLittleEndian(extra, static_cast<std::uint16_t>(validBits), 2);
    PutLittleEndian(extra, 4, 4);
    extra += std::string("\x01\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 16);
    extra[8] = firstGuidByte;
    layout.FormatExtra = extra.substr(0, length);
    return layout;
}

TEST_F(HeaderCheckTest, ExtensiblePcmOnlyWhenAskedAndWhenItsChunkSaysPcm) {
    struct Case {
        const char* Why;
        WaveLayout Layout;
        bool ExtensiblePcm;  // refused unasked with the hint; accepted when asked
    } const cases[] = {
        {"PCM, 16 valid bits", Extensible(16, 1), true},
        {"PCM, 12 valid bits", Extensible(12, 1), true},
        {"no valid bits", Extensible(0, 1), false},
        {"more valid bits than the container", Extensible(17, 1), false},
        {"A-law", Extensible(16, 6), false},
        {"a 38-byte format chunk", Extensible(16, 1, 22), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Why);
        WriteWholeFile("ext.wav", BuildWave(c.Layout));
        WaveHeader header{};
        HeaderVerdict unasked = CheckWaveHeader("ext.wav", header);
        EXPECT_EQ(unasked.Code, HeaderCode::NotPcm);
        EXPECT_EQ(unasked.Needed.Extensible, c.ExtensiblePcm);
        EXPECT_EQ(unasked.Format.Encoding == SampleEncoding::ExtensiblePcm, c.ExtensiblePcm);
        HeaderVerdict asked = CheckWaveHeader("ext.wav", header, {.Extensible = true});
        EXPECT_EQ(asked.Code == HeaderCode::Accepted, c.ExtensiblePcm);
        if (asked.Code == HeaderCode::Accepted) {
            EXPECT_EQ(header.SampleCount, 3);
        }
        CloseChannel(1);
    }
}

// The data size taken as it stands, and to the end of the file; whole samples only.
TEST_F(HeaderCheckTest, DataToEndCountsTheWholeSamplesThere) {
    struct Case {
        const char* Why;
        std::int32_t DataSize;
        std::string Samples;
        std::int32_t AsGiven;  // N from the size field
        std::int32_t ToEnd;    // N with the reading to the end; also the samples held
    } const cases[] = {
        {"size 0", 0, Samples16({1, 2, 3}), 0, 3},
        {"past the end, half a sample there", 8, Samples16({1, 2, 3}) + "x", 4, 3},
        {"a size that fits stays", 4, Samples16({1, 2, 3}), 2, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Why);
        WaveLayout layout = Mono16(c.Samples);
        layout.OwnDataSize = true;
        layout.DataSize = c.DataSize;
        WriteWholeFile("cut.wav", BuildWave(layout));
        WaveHeader header{};
        HeaderVerdict given = CheckWaveHeader("cut.wav", header, {.CountHeld = true});
        EXPECT_EQ(header.SampleCount, c.AsGiven);
        EXPECT_EQ(given.HeldSamples, static_cast<std::int64_t>(c.Samples.size() / 2));
        CloseChannel(1);
        ASSERT_EQ(CheckWaveHeader("cut.wav", header, {.DataToEnd = true}).Code,
                  HeaderCode::Accepted);
        EXPECT_EQ(header.SampleCount, c.ToEnd);
        EXPECT_EQ(header.Duration, 0);
        CloseChannel(1);
    }
}

}  // namespace
