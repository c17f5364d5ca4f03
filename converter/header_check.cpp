#include "converter/header_check.h"

#include <algorithm>
#include <cstdint>

#include "files/byte_string.h"
#include "files/channels.h"
#include "files/file_error.h"
#include "numtext/extended_real.h"

namespace {

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

constexpr std::int32_t ChunkHeaderSize = 8;  // identifier and size
constexpr std::int64_t BitsPerByte = 8;
constexpr std::int16_t PcmTag = 1;
constexpr std::int16_t FloatTag = 3;
constexpr std::int16_t ExtensibleTag = -2;  // 0xFFFE
constexpr std::int32_t ExtensibleFormatSize = 40;
// The sub-format GUID of PCM samples, as the bytes of the file hold it.
constexpr std::string_view PcmSubFormat(
    "\x01\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 16);
static_assert(PcmSubFormat.size() == 16);
// The sub-format GUID of IEEE float samples.
constexpr std::string_view FloatSubFormat(
    "\x03\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 16);
static_assert(FloatSubFormat.size() == 16);

// The bytes the check judges: the file's head, held in memory, and where the file may go on
// past it, the wave channel open on it for the chunk headers beyond the head and the length.
struct WaveBytes {
    std::string_view Head;  // the file's first bytes; all of them when not OnChannel
    bool OnChannel;         // the rest of the file, and its length, are had through the channel
    std::int64_t Length;    // not OnChannel: the file's length in bytes
};

// The head's bytes from the offset on, at most count of them; fewer, or none, where the head
// ends inside the range or before it, as a read at the end of a file gives them.
std::string_view BytesAt(const WaveBytes& bytes, std::int64_t offset, std::int32_t count) {
    const auto size = static_cast<std::int64_t>(bytes.Head.size());
    if (offset >= size) return {};
    return bytes.Head.substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(count));
}

// Little-endian, the missing bytes read as 0.
std::int16_t Int16At(const WaveBytes& bytes, std::int64_t offset) {
    return BytesToInt16(BytesAt(bytes, offset, 2));
}

std::int32_t Int32At(const WaveBytes& bytes, std::int64_t offset) {
    return BytesToInt32(BytesAt(bytes, offset, 4));
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

bool IsRiffWave(const WaveBytes& bytes) {
    return CompareBytes(BytesAt(bytes, RiffIdAt, 4), "RIFF") &&
           CompareBytes(BytesAt(bytes, WaveIdAt, 4), "WAVE");
}

// The format chunk's fields that decide how the samples are read.
struct FormatFields {
    std::int16_t FormatTag;
    SampleEncoding Encoding;
    std::uint16_t ChannelCount;
    std::int32_t SampleRate;
    std::int16_t BlockAlignment;
    std::int16_t BitsPerSample;  // in an extensible chunk, the bits of each sample's slot
    std::int16_t ValidBits;      // extensible: the bits of each slot that count; else 0
};

// An extensible format chunk's encoding: PCM or float as its sub-format says, where the chunk
// is at least 40 bytes and its valid bits lie from 1 to its bits per sample.
SampleEncoding ExtensibleEncoding(const WaveBytes& bytes, const FormatFields& fields) {
    const std::int32_t formatSize = Int32At(bytes, FormatSizeAt);
    const std::string_view subFormat = BytesAt(bytes, SubFormatAt, 16);
    if (formatSize < ExtensibleFormatSize || fields.ValidBits < 1 ||
        fields.ValidBits > fields.BitsPerSample) {
        return SampleEncoding::Other;
    }
    if (CompareBytes(subFormat, PcmSubFormat)) return SampleEncoding::ExtensiblePcm;
    if (CompareBytes(subFormat, FloatSubFormat)) return SampleEncoding::ExtensibleFloat;
    return SampleEncoding::Other;
}

// The channel count is bytes 22 and 23 where the reading says so, else byte 22 alone.
FormatFields ReadFormatFields(const WaveBytes& bytes, const HeaderReading& reading) {
    const std::uint16_t channels = reading.WholeChannelCount
                                       ? static_cast<std::uint16_t>(Int16At(bytes, ChannelCountAt))
                                       : FirstByte(BytesAt(bytes, ChannelCountAt, 1));
    FormatFields fields{.FormatTag = Int16At(bytes, FormatTagAt),
                        .Encoding = SampleEncoding::Other,
                        .ChannelCount = channels,
                        .SampleRate = Int32At(bytes, SampleRateAt),
                        .BlockAlignment = Int16At(bytes, BlockAlignmentAt),
                        .BitsPerSample = Int16At(bytes, BitsPerSampleAt),
                        .ValidBits = 0};
    if (fields.FormatTag == PcmTag) fields.Encoding = SampleEncoding::Pcm;
    if (fields.FormatTag == FloatTag) fields.Encoding = SampleEncoding::Float;
    if (fields.FormatTag == ExtensibleTag) {
        fields.ValidBits = Int16At(bytes, ValidBitsAt);
        fields.Encoding = ExtensibleEncoding(bytes, fields);
    }
    return fields;
}

// How the samples of a format are read with every option there is, and the options that
// reading takes.
struct SampleReading {
    bool Readable;             // some options read the samples
    SampleForm Form;           // how a sample's value is stored
    std::int32_t SlotBytes;    // the bytes of each channel's sample in a frame
    std::int32_t ValueInSlot;  // bytes from a slot's first byte to the value's first byte
    NeededOptions Needs;       // the options that read it
};

SampleReading IntegerReading(const FormatFields& fields, SampleReading reading) {
    const std::int32_t channels = fields.ChannelCount;
    const auto slot = [&reading](SampleForm form, std::int32_t bytes, std::int32_t valueAt) {
        reading.Readable = true;
        reading.Form = form;
        reading.SlotBytes = bytes;
        reading.ValueInSlot = valueAt;
    };
    switch (fields.BitsPerSample) {
        case 8:
            slot(SampleForm::Unsigned8, 1, 0);
            break;
        case 16:
            slot(SampleForm::Signed16, 2, 0);
            break;
        case 24:
            if (fields.BlockAlignment == 3 * channels) slot(SampleForm::Signed24, 3, 0);
            // As recorders write them: the low three bytes of each slot, the top one unused.
            if (fields.BlockAlignment == 4 * channels && fields.Encoding == SampleEncoding::Pcm) {
                slot(SampleForm::Signed24, 4, 0);
                reading.Needs.AnyPcm = true;
            }
            break;
        case 32:
            reading.Needs.AnyPcm = true;
            // An extensible slot's valid bits are its high ones: 24 or fewer lie in the top three
            // bytes, read as a 24-bit sample whatever the bits below them hold.
            if (fields.Encoding == SampleEncoding::ExtensiblePcm && fields.ValidBits <= 24) {
                slot(SampleForm::Signed24, 4, 1);
            } else {
                slot(SampleForm::Signed32, 4, 0);
            }
            break;
        default:
            break;
    }
    return reading;
}

SampleReading ReadingOf(const FormatFields& fields) {
    SampleReading reading{.Readable = false,
                          .Form = SampleForm::Unsigned8,
                          .SlotBytes = 0,
                          .ValueInSlot = 0,
                          .Needs = {.Extensible = fields.Encoding == SampleEncoding::ExtensiblePcm,
                                    .DataToEnd = false,
                                    .AnyPcm = false,
                                    .Channel = fields.ChannelCount > 1}};
    if (fields.ChannelCount == 0) return reading;
    switch (fields.Encoding) {
        case SampleEncoding::Pcm:
        case SampleEncoding::ExtensiblePcm:
            return IntegerReading(fields, reading);
        case SampleEncoding::Float:
        case SampleEncoding::ExtensibleFloat:
            reading.Needs.AnyPcm = true;
            reading.Readable = fields.BitsPerSample == 32 || fields.BitsPerSample == 64;
            reading.Form = fields.BitsPerSample == 32 ? SampleForm::Float32 : SampleForm::Float64;
            reading.SlotBytes = fields.BitsPerSample / BitsPerByte;
            return reading;
        case SampleEncoding::Unread:
        case SampleEncoding::Other:
            break;
    }
    return reading;
}

// The options a file needs that the reading does not give; --extensible not where --any-pcm,
// which implies it, is needed.
NeededOptions NotGiven(const NeededOptions& needs, const HeaderReading& reading) {
    return NeededOptions{
        .Extensible = needs.Extensible && !needs.AnyPcm && !reading.Extensible && !reading.AnyPcm,
        .DataToEnd = false,
        .AnyPcm = needs.AnyPcm && !reading.AnyPcm,
        .Channel = needs.Channel && reading.Channel == 0};
}

bool EncodingRead(SampleEncoding encoding, const HeaderReading& reading) {
    switch (encoding) {
        case SampleEncoding::Pcm:
            return true;
        case SampleEncoding::ExtensiblePcm:
            return reading.Extensible || reading.AnyPcm;
        case SampleEncoding::Float:
        case SampleEncoding::ExtensibleFloat:
            return reading.AnyPcm;
        case SampleEncoding::Unread:
        case SampleEncoding::Other:
            break;
    }
    return false;
}

bool ResolutionRead(const FormatFields& fields, const HeaderReading& reading) {
    const std::int16_t bits = fields.BitsPerSample;
    if (fields.Encoding == SampleEncoding::Float ||
        fields.Encoding == SampleEncoding::ExtensibleFloat) {
        return bits == 32 || bits == 64;
    }
    return bits == 8 || bits == 16 || bits == 24 || (bits == 32 && reading.AnyPcm);
}

void Hold(const FormatFields& fields, HeldFormat& held) {
    held = HeldFormat{.FormatTag = fields.FormatTag,
                      .Encoding = fields.Encoding,
                      .ChannelCount = fields.ChannelCount,
                      .BitsPerSample = fields.BitsPerSample,
                      .BlockAlignment = fields.BlockAlignment};
}

bool SamplesFound(const WaveBytes& bytes, SampleEncoding encoding);

// Judges the format chunk's fields in the screen program's order, into the header and the
// verdict's facts, and stops at the first that refuses the file. The reading's options let
// through what they read. Where options not given would read the file, the verdict names them.
HeaderCode JudgeFormat(const WaveBytes& bytes, const HeaderReading& reading, WaveHeader& header,
                       HeaderVerdict& verdict) {
    HeldFormat& held = verdict.Format;
    if (!IsRiffWave(bytes)) return HeaderCode::NotWave;
    const FormatFields fields = ReadFormatFields(bytes, reading);
    const SampleReading how = ReadingOf(fields);
    const NeededOptions needed = NotGiven(how.Needs, reading);
    if (how.Readable && (needed.Extensible || needed.AnyPcm || needed.Channel) &&
        SamplesFound(bytes, fields.Encoding)) {
        verdict.Needed = needed;
        Hold(fields, held);
    }
    header.FormatTag = held.FormatTag = fields.FormatTag;
    held.Encoding = fields.Encoding;
    if (!EncodingRead(fields.Encoding, reading)) return HeaderCode::NotPcm;
    const std::int32_t channels = header.ChannelCount = held.ChannelCount = fields.ChannelCount;
    const std::int32_t channel = reading.Channel == 0 ? 1 : reading.Channel;
    if (reading.Channel == 0 && channels != 1) return HeaderCode::NotMono;
    if (channel > channels) return HeaderCode::NoSuchChannel;
    header.SampleRate = fields.SampleRate;
    header.BlockAlignment = held.BlockAlignment = fields.BlockAlignment;
    header.BitsPerSample = held.BitsPerSample = fields.BitsPerSample;
    if (!ResolutionRead(fields, reading)) return HeaderCode::BadResolution;
    const bool slotsRead = how.Readable && how.SlotBytes == 4 && reading.AnyPcm;
    if (header.BitsPerSample == 24 && header.BlockAlignment != 3 * channels && !slotsRead) {
        return HeaderCode::NotPacked;
    }
    if (!how.Readable) return HeaderCode::BadResolution;  // not met: every case above refuses
    header.Form = how.Form;
    header.FrameBytes = how.SlotBytes * channels;
    header.ValueOffset = (channel - 1) * how.SlotBytes + how.ValueInSlot;
    return HeaderCode::Accepted;
}

struct DataChunk {
    bool Found;
    std::int32_t Size;   // the size field, as signed 32-bit
    std::int64_t Start;  // byte offset of the chunk's first data byte
};

constexpr DataChunk NoDataChunk = {.Found = false, .Size = 0, .Start = 0};

// Moves the wave channel to the chunk at offset; false when the move is refused, as it is when
// a device has taken the file's place since the test open. The file error number ends as the
// move left it: an earlier number stays unless the move replaced it.
bool MoveToChunk(std::int64_t offset) {
    const std::uint8_t earlier = TakeFileError();
    SeekChannel(WaveChannel, offset + 1);
    const std::uint8_t refused = TakeFileError();
    if (refused != 0 || earlier != 0) SetFileError(refused != 0 ? refused : earlier);
    return refused == 0;
}

// The 8-byte chunk header at offset: from the head where it lies inside it, else through the
// wave channel; fewer bytes where the file ends inside it, none where the move is refused.
ByteString ChunkHeaderAt(const WaveBytes& bytes, std::int64_t offset) {
    const std::string_view inHead = BytesAt(bytes, offset, ChunkHeaderSize);
    if (ByteLength(inHead) == ChunkHeaderSize || !bytes.OnChannel) return ByteString(inHead);
    if (!MoveToChunk(offset)) return {};
    return ReadBytes(WaveChannel, ChunkHeaderSize);
}

// Walks the chunks from the first one after "WAVE" to the first "data" chunk whose 8-byte
// header lies inside the file. Every step moves at least 8 bytes forward, and a refused move
// or a short read ends the walk, so it stops within the file's length.
DataChunk FindDataChunk(const WaveBytes& bytes) {
    std::int64_t offset = FirstChunkAt;
    for (;;) {
        const ByteString chunkHeader = ChunkHeaderAt(bytes, offset);
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

// Whether a file's samples can be found: a plain PCM file's at least at their canonical place,
// any other's only through its data chunk. Options name no file that has none.
bool SamplesFound(const WaveBytes& bytes, SampleEncoding encoding) {
    return encoding == SampleEncoding::Pcm || FindDataChunk(bytes).Found;
}

// Where the samples start and the data size: the canonical places, unless a longer format
// chunk or other chunks before the data put them elsewhere. The canonical reading stays for
// plain PCM files without a findable data chunk, as the screen program reads them; a format
// only the options read has no canonical places, and without a data chunk no samples: false.
bool LocateSamples(const WaveBytes& bytes, WaveHeader& header, SampleEncoding encoding) {
    const bool plain = encoding == SampleEncoding::Pcm;
    const bool canonical = plain && CompareBytes(BytesAt(bytes, DataIdAt, 4), "data");
    header.DataSize = Int32At(bytes, DataSizeAt);
    header.SampleStart = CanonicalSampleStart;
    if (canonical) return true;
    const DataChunk data = FindDataChunk(bytes);
    if (!data.Found) return plain;
    header.DataSize = data.Size;
    header.SampleStart = data.Start;
    return true;
}

std::int64_t BytesPerFrame(const WaveHeader& header) {
    return header.FrameBytes;
}

// The bytes of whole frames from the first one to the end of the file; -1 when the length
// cannot be had.
std::int64_t HeldBytes(const WaveBytes& bytes, const WaveHeader& header) {
    const std::int64_t length = bytes.OnChannel ? ChannelLength(WaveChannel) : bytes.Length;
    if (length < 0) return -1;
    const std::int64_t held = std::max<std::int64_t>(length - header.SampleStart, 0);
    return held - held % BytesPerFrame(header);
}

// A data size that a writer to a pipe left as a placeholder, or one past the end of the file.
bool SizeNotTheData(std::int32_t size, std::int64_t heldBytes) {
    return size == 0 || size == -1 || static_cast<std::uint32_t>(size) > heldBytes;
}

// The data size becomes the whole frames held, as far as a 32-bit size can say.
void ReadToEnd(WaveHeader& header, std::int64_t heldBytes) {
    if (heldBytes < 0 || !SizeNotTheData(header.DataSize, heldBytes)) return;
    const std::int64_t largest = INT32_MAX - INT32_MAX % BytesPerFrame(header);
    header.DataSize = static_cast<std::int32_t>(std::min(heldBytes, largest));
}

// The sample count (of frames) and the duration in milliseconds. Each step rounds to nearest,
// ties to even, and so does the conversion to an integer. A mono file's frame holds its bits
// per sample, so N is data size x 8 / bits per sample, as the screen program counts it.
void CountSamples(WaveHeader& header) {
    const ExtendedReal bitsPerFrame = ExtendedFromInteger(header.FrameBytes * BitsPerByte);
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
// the wave file itself. A named one may be a path the program made, longer than a channel's
// name: it is compared whole.
bool WouldOverwrite(std::string_view name, const HeaderReading& reading) {
    if (reading.NoSignalFile) return false;
    if (!reading.SignalName.empty()) {
        return CompareBytes(reading.SignalName, name) || SamePath(name, reading.SignalName);
    }
    const ByteString signalName = SignalFileName(name);
    return CompareBytes(signalName, name) || SameFile(name, signalName);
}

// A count the header gives that leaves out samples the file holds: one past them, or none (0,
// or below 0 from a size of 2 GB or more) where there are some.
bool CountLeavesOutSamples(std::int32_t given, std::int64_t held) {
    return held >= 0 && (given > held || (given <= 0 && held > 0));
}

// Whether the samples read to the end could be converted: no more than a sample buffer holds,
// or the reading only meets the refusal of a file too large.
bool ToEndFits(const WaveHeader& header, std::int64_t heldBytes) {
    WaveHeader toEnd = header;
    ReadToEnd(toEnd, heldBytes);
    CountSamples(toEnd);
    return SampleBufferFits(toEnd);
}

// Reading to the end changes what is read: a size that is a placeholder or past the end, and a
// count that leaves out samples, where the samples there can be converted. A size that fits is
// taken as it stands, even when it gives fewer samples than the file holds.
bool ToEndActs(const WaveHeader& header, std::int64_t heldBytes, std::int64_t heldFrames) {
    return heldBytes >= 0 && SizeNotTheData(header.DataSize, heldBytes) &&
           CountLeavesOutSamples(header.SampleCount, heldFrames) && ToEndFits(header, heldBytes);
}

// Judges the bytes as the screen program and the reading's options read them, short of the
// comparison with the signal file: the format chunk, where the samples lie, and their count.
HeaderVerdict JudgeWave(const WaveBytes& bytes, WaveHeader& header, const HeaderReading& reading) {
    header = WaveHeader{};
    HeaderVerdict verdict{.Code = HeaderCode::Accepted,
                          .FileError = 0,
                          .Format = {},
                          .GivenSamples = 0,
                          .HeldSamples = -1,
                          .Needed = {}};
    verdict.Code = JudgeFormat(bytes, reading, header, verdict);
    if (verdict.Code != HeaderCode::Accepted) return verdict;
    if (!LocateSamples(bytes, header, verdict.Format.Encoding)) {
        verdict.Code = HeaderCode::NoDataChunk;
        return verdict;
    }
    const bool lengthNeeded = reading.DataToEnd || reading.CountHeld;
    const std::int64_t heldBytes = lengthNeeded ? HeldBytes(bytes, header) : -1;
    if (reading.DataToEnd) ReadToEnd(header, heldBytes);
    CountSamples(header);
    verdict.GivenSamples = header.SampleCount;
    if (heldBytes >= 0) verdict.HeldSamples = heldBytes / BytesPerFrame(header);
    verdict.Needed.DataToEnd =
        !reading.DataToEnd && ToEndActs(header, heldBytes, verdict.HeldSamples);
    return verdict;
}

// The most of a file's first bytes the check holds in memory: enough for the format chunk and
// the chunks before the data in all but files with large chunks there, which the walk reads
// on through the channel.
constexpr std::int32_t HeadBytes = 65536;

}  // namespace

HeaderVerdict CheckWaveBytes(std::string_view fileBytes, WaveHeader& header,
                             const HeaderReading& reading) {
    const WaveBytes bytes{.Head = fileBytes,
                          .OnChannel = false,
                          .Length = static_cast<std::int64_t>(fileBytes.size())};
    return JudgeWave(bytes, header, reading);
}

HeaderVerdict CheckWaveHeader(std::string_view name, WaveHeader& header,
                              const HeaderReading& reading) {
    header = WaveHeader{};
    const std::uint8_t testError = TestOpen(name);
    if (testError != 0) {
        return HeaderVerdict{.Code = HeaderCode::NotFound,
                             .FileError = testError,
                             .Format = {},
                             .GivenSamples = 0,
                             .HeldSamples = -1,
                             .Needed = {}};
    }
    // Not tested: should this open fail, the read gives nothing and the file is no Wave file.
    OpenChannel(WaveChannel, name, OpenMode::Binary);
    const ByteString head = ReadBytes(WaveChannel, HeadBytes);
    const WaveBytes bytes{.Head = head, .OnChannel = true, .Length = -1};
    HeaderVerdict verdict = JudgeWave(bytes, header, reading);
    if (verdict.Code == HeaderCode::Accepted && WouldOverwrite(name, reading)) {
        verdict.Code = HeaderCode::WouldOverwrite;
        verdict.GivenSamples = 0;
        verdict.HeldSamples = -1;
        verdict.Needed.DataToEnd = false;
    }
    if (verdict.Code != HeaderCode::Accepted) CloseChannel(WaveChannel);
    return verdict;
}
