#include "converter/header_check.h"

#include <algorithm>
#include <cstdint>

#include "files/byte_string.h"
#include "files/channels.h"
#include "files/file_error.h"
#include "numtext/extended_real.h"

namespace {

constexpr std::int16_t WaveChannel = 1;

// The header's fields by byte offset from 0, in file order. Where the canonical header has
// its data chunk's header, an extensible format chunk has its extension.
constexpr std::int64_t RiffIdAt = 0;
constexpr std::int64_t WaveIdAt = 8;
constexpr std::int64_t FirstChunkAt = 12;  // the format chunk's identifier
constexpr std::int64_t FormatSizeAt = 16;
constexpr std::int64_t FormatTagAt = 20;
constexpr std::int64_t ChannelCountAt = 22;
constexpr std::int64_t SampleRateAt = 24;
constexpr std::int64_t BlockAlignmentAt = 32;
constexpr std::int64_t BitsPerSampleAt = 34;
constexpr std::int64_t DataIdAt = 36;     // canonical: "data"
constexpr std::int64_t ValidBitsAt = 38;  // extensible: the bits of each sample that count
constexpr std::int64_t DataSizeAt = 40;   // canonical: the data chunk's size
constexpr std::int64_t SubFormatAt = 44;  // extensible: the sub-format GUID
constexpr std::int64_t CanonicalSampleStart = 44;

constexpr std::int64_t ChunkHeaderSize = 8;  // identifier and size
constexpr std::int64_t BitsPerByte = 8;
constexpr std::int16_t PcmTag = 1;
constexpr std::int16_t ExtensibleTag = -2;  // 0xFFFE
constexpr std::int32_t ExtensibleFormatSize = 40;
// The sub-format GUID of PCM samples, as the bytes of the file hold it.
constexpr std::string_view PcmSubFormat(
    "\x01\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 16);
static_assert(PcmSubFormat.size() == 16);

// The next read starts at the byte offset; channel positions count from 1.
void MoveTo(std::int64_t offset) {
    SeekChannel(WaveChannel, offset + 1);
}

ByteString BytesAt(std::int64_t offset, std::int32_t count) {
    MoveTo(offset);
    return ReadBytes(WaveChannel, count);
}

std::int16_t Int16At(std::int64_t offset) {
    return BytesToInt16(BytesAt(offset, 2));
}

std::int32_t Int32At(std::int64_t offset) {
    return BytesToInt32(BytesAt(offset, 4));
}

// The test open reads the file's first bytes, so a name that cannot be read is not found.
std::uint8_t TestOpen(std::string_view name) {
    // Whatever an earlier attempt left pending must not refuse this name.
    TakeFileError();
    OpenChannel(WaveChannel, name, OpenMode::Test);
    const std::uint8_t error = TakeFileError();
    CloseChannel(WaveChannel);
    return error;
}

bool IsRiffWave() {
    return CompareBytes(BytesAt(RiffIdAt, 4), "RIFF") && CompareBytes(BytesAt(WaveIdAt, 4), "WAVE");
}

// An extensible format chunk that says PCM: at least 40 bytes, PCM as its sub-format, and
// valid bits from 1 to its bits per sample.
bool ExtensibleSaysPcm() {
    const std::int32_t formatSize = Int32At(FormatSizeAt);
    const std::int16_t bitsPerSample = Int16At(BitsPerSampleAt);
    const std::int16_t validBits = Int16At(ValidBitsAt);
    const bool pcm = CompareBytes(BytesAt(SubFormatAt, 16), PcmSubFormat);
    return formatSize >= ExtensibleFormatSize && pcm && validBits >= 1 &&
           validBits <= bitsPerSample;
}

SampleEncoding EncodingOf(std::int16_t formatTag) {
    if (formatTag == PcmTag) return SampleEncoding::Pcm;
    if (formatTag == ExtensibleTag && ExtensibleSaysPcm()) return SampleEncoding::ExtensiblePcm;
    return SampleEncoding::Other;
}

// Reads the format chunk's fields in the order they are judged, into the header and the
// verdict's facts, and stops at the first that refuses the file.
HeaderCode JudgeFormat(const HeaderReading& reading, WaveHeader& header, HeaderVerdict& verdict) {
    HeldFormat& held = verdict.Format;
    if (!IsRiffWave()) return HeaderCode::NotWave;
    header.FormatTag = held.FormatTag = Int16At(FormatTagAt);
    held.Encoding = EncodingOf(header.FormatTag);
    if (held.Encoding == SampleEncoding::ExtensiblePcm && !reading.Extensible) {
        verdict.Needed.Extensible = true;
        return HeaderCode::NotPcm;
    }
    if (held.Encoding == SampleEncoding::Other) return HeaderCode::NotPcm;
    header.ChannelCount = held.ChannelCount = FirstByte(BytesAt(ChannelCountAt, 1));
    if (header.ChannelCount != 1) return HeaderCode::NotMono;
    header.SampleRate = Int32At(SampleRateAt);
    header.BlockAlignment = held.BlockAlignment = Int16At(BlockAlignmentAt);
    header.BitsPerSample = held.BitsPerSample = Int16At(BitsPerSampleAt);
    if (header.BitsPerSample != 8 && header.BitsPerSample != 16 && header.BitsPerSample != 24) {
        return HeaderCode::BadResolution;
    }
    if (header.BitsPerSample == 24 && header.BlockAlignment != 3) return HeaderCode::NotPacked;
    return HeaderCode::Accepted;
}

struct DataChunk {
    bool Found;
    std::int32_t Size;   // the size field, as signed 32-bit
    std::int64_t Start;  // byte offset of the chunk's first data byte
};

constexpr DataChunk NoDataChunk = {.Found = false, .Size = 0, .Start = 0};

// Moves to the chunk at offset; false when the move is refused, as it is when a device has
// taken the file's place since the test open. The file error number ends as the move left
// it: an earlier number stays unless the move replaced it.
bool MoveToChunk(std::int64_t offset) {
    const std::uint8_t earlier = TakeFileError();
    MoveTo(offset);
    const std::uint8_t refused = TakeFileError();
    if (refused != 0 || earlier != 0) SetFileError(refused != 0 ? refused : earlier);
    return refused == 0;
}

// Walks the chunks from the first one after "WAVE" to the first "data" chunk whose 8-byte
// header lies inside the file. Every step moves at least 8 bytes forward, and a refused move
// or a short read ends the walk, so it stops within the file's length.
DataChunk FindDataChunk() {
    std::int64_t offset = FirstChunkAt;
    for (;;) {
        if (!MoveToChunk(offset)) return NoDataChunk;
        ByteString chunkHeader = ReadBytes(WaveChannel, ChunkHeaderSize);
        if (ByteLength(chunkHeader) < ChunkHeaderSize) return NoDataChunk;
        std::string_view view = chunkHeader;
        if (CompareBytes(view.substr(0, 4), "data")) {
            return DataChunk{.Found = true,
                             .Size = BytesToInt32(view.substr(4)),
                             .Start = offset + ChunkHeaderSize};
        }
        auto size = static_cast<std::uint32_t>(BytesToInt32(view.substr(4)));
        offset += ChunkHeaderSize + static_cast<std::int64_t>(size) + (size & 1);
    }
}

// Where the samples start and the data size: the canonical places, unless a longer format
// chunk or other chunks before the data put them elsewhere. The canonical reading stays for
// files without a findable data chunk.
void LocateSamples(WaveHeader& header) {
    const bool canonical = CompareBytes(BytesAt(DataIdAt, 4), "data");
    header.DataSize = Int32At(DataSizeAt);
    header.SampleStart = CanonicalSampleStart;
    if (canonical) return;
    const DataChunk data = FindDataChunk();
    if (!data.Found) return;
    header.DataSize = data.Size;
    header.SampleStart = data.Start;
}

std::int64_t BytesPerSample(const WaveHeader& header) {
    return header.BitsPerSample / BitsPerByte;
}

// The bytes of whole samples from the first one to the end of the file; -1 when the length
// cannot be had.
std::int64_t HeldBytes(const WaveHeader& header) {
    const std::int64_t length = ChannelLength(WaveChannel);
    if (length < 0) return -1;
    const std::int64_t held = std::max<std::int64_t>(length - header.SampleStart, 0);
    return held - held % BytesPerSample(header);
}

// A data size that a writer to a pipe left as a placeholder, or one past the end of the file.
bool SizeNotTheData(std::int32_t size, std::int64_t heldBytes) {
    return size == 0 || size == -1 || static_cast<std::uint32_t>(size) > heldBytes;
}

// The data size becomes the whole samples held, as far as a 32-bit size can say.
void ReadToEnd(WaveHeader& header, std::int64_t heldBytes) {
    if (heldBytes < 0 || !SizeNotTheData(header.DataSize, heldBytes)) return;
    const std::int64_t largest = INT32_MAX - INT32_MAX % BytesPerSample(header);
    header.DataSize = static_cast<std::int32_t>(std::min(heldBytes, largest));
}

// The sample count and the duration in milliseconds. Each step rounds to nearest, ties to
// even, and so does the conversion to an integer.
void CountSamples(WaveHeader& header) {
    const ExtendedReal bitsPerFrame = MultiplyExtended(ExtendedFromInteger(header.BitsPerSample),
                                                       ExtendedFromInteger(header.ChannelCount));
    const ExtendedReal dataBits =
        MultiplyExtended(ExtendedFromInteger(header.DataSize), ExtendedFromInteger(BitsPerByte));
    header.SampleCount =
        static_cast<std::int32_t>(ExtendedToInteger(DivideExtended(dataBits, bitsPerFrame)));
    // A rate of 0 gives no duration to speak of: it is reported as 0.
    header.Duration = 0;
    if (header.SampleRate != 0) {
        const ExtendedReal seconds = DivideExtended(ExtendedFromInteger(header.SampleCount),
                                                    ExtendedFromInteger(header.SampleRate));
        header.Duration = ExtendedToInteger(MultiplyExtended(seconds, ExtendedFromInteger(1000)));
    }
}

// The signal file is written beside the wave file unless another is named; it must never be
// the wave file itself.
bool WouldOverwrite(std::string_view name, const HeaderReading& reading) {
    if (reading.NoSignalFile) return false;
    const ByteString signalName =
        reading.SignalName.empty() ? SignalFileName(name) : std::string(reading.SignalName);
    return CompareBytes(signalName, name) || SameFile(name, signalName);
}

// A count the header gives that leaves out samples the file holds.
bool CountLeavesOutSamples(std::int32_t given, std::int64_t held) {
    return held >= 0 && (given > held || (given == 0 && held > 0));
}

}  // namespace

HeaderVerdict CheckWaveHeader(std::string_view name, WaveHeader& header,
                              const HeaderReading& reading) {
    header = WaveHeader{};
    HeaderVerdict verdict{.Code = HeaderCode::Accepted,
                          .FileError = TestOpen(name),
                          .Format = {},
                          .GivenSamples = 0,
                          .HeldSamples = -1,
                          .Needed = {}};
    if (verdict.FileError != 0) {
        verdict.Code = HeaderCode::NotFound;
        return verdict;
    }
    // Not tested: should this open fail, the reads give nothing and the file is no Wave file.
    OpenChannel(WaveChannel, name, OpenMode::Binary);
    verdict.Code = JudgeFormat(reading, header, verdict);
    if (verdict.Code != HeaderCode::Accepted) {
        CloseChannel(WaveChannel);
        return verdict;
    }
    LocateSamples(header);
    const std::int64_t heldBytes = reading.DataToEnd || reading.CountHeld ? HeldBytes(header) : -1;
    if (reading.DataToEnd) ReadToEnd(header, heldBytes);
    CountSamples(header);
    if (WouldOverwrite(name, reading)) {
        CloseChannel(WaveChannel);
        verdict.Code = HeaderCode::WouldOverwrite;
        return verdict;
    }
    verdict.GivenSamples = header.SampleCount;
    if (heldBytes >= 0) verdict.HeldSamples = heldBytes / BytesPerSample(header);
    verdict.Needed.DataToEnd =
        !reading.DataToEnd && CountLeavesOutSamples(header.SampleCount, verdict.HeldSamples);
    return verdict;
}
