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
constexpr std::int16_t ALawTag = 6;
constexpr std::int16_t MuLawTag = 7;
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
// The sub-formats of A-law and µ-law samples.
constexpr std::string_view ALawSubFormat(
    "\x06\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 16);
constexpr std::string_view MuLawSubFormat(
    "\x07\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 16);
static_assert(ALawSubFormat.size() == 16 && MuLawSubFormat.size() == 16);

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

// The format chunk's fields, read once from their fixed places. In an extensible chunk the
// bits per sample are those of each sample's slot.
struct FormatFields {
    std::int16_t FormatTag;
    std::uint16_t ChannelCount;  // byte 22 alone, or bytes 22-23 where the reading says so
    std::int32_t SampleRate;
    std::int16_t BlockAlignment;
    std::int16_t BitsPerSample;
    std::int32_t FormatSize;     // the format chunk's size field
    std::int16_t ValidBits;      // extensible: the bits of each slot that count
    std::string_view SubFormat;  // extensible: the sub-format GUID, as far as the file holds it
    SampleEncoding Encoding;     // what the tag, and an extensible chunk's sub-format, say
};

// An extensible chunk's samples: PCM, float, A-law or µ-law as its sub-format says, where the chunk
// is at least 40 bytes and its valid bits lie from 1 to its bits per sample.
SampleEncoding ExtensibleEncoding(const FormatFields& fields) {
    if (fields.FormatSize < ExtensibleFormatSize || fields.ValidBits < 1 ||
        fields.ValidBits > fields.BitsPerSample) {
        return SampleEncoding::Other;
    }
    if (CompareBytes(fields.SubFormat, PcmSubFormat)) return SampleEncoding::ExtensiblePcm;
    if (CompareBytes(fields.SubFormat, FloatSubFormat)) return SampleEncoding::ExtensibleFloat;
    if (CompareBytes(fields.SubFormat, ALawSubFormat)) return SampleEncoding::ALaw;
    if (CompareBytes(fields.SubFormat, MuLawSubFormat)) return SampleEncoding::MuLaw;
    return SampleEncoding::Other;
}

SampleEncoding EncodingOf(const FormatFields& fields) {
    switch (fields.FormatTag) {
        case PcmTag:
            return SampleEncoding::Pcm;
        case FloatTag:
            return SampleEncoding::Float;
        case ALawTag:
            return SampleEncoding::ALaw;
        case MuLawTag:
            return SampleEncoding::MuLaw;
        case ExtensibleTag:
            return ExtensibleEncoding(fields);
        default:
            return SampleEncoding::Other;
    }
}

FormatFields ReadFormatFields(const WaveBytes& bytes, const HeaderReading& reading) {
    // The channel count is bytes 22 and 23 where the reading says so, else byte 22 alone.
    const std::uint16_t channels = reading.WholeChannelCount
                                       ? static_cast<std::uint16_t>(Int16At(bytes, ChannelCountAt))
                                       : FirstByte(BytesAt(bytes, ChannelCountAt, 1));
    FormatFields fields{.FormatTag = Int16At(bytes, FormatTagAt),
                        .ChannelCount = channels,
                        .SampleRate = Int32At(bytes, SampleRateAt),
                        .BlockAlignment = Int16At(bytes, BlockAlignmentAt),
                        .BitsPerSample = Int16At(bytes, BitsPerSampleAt),
                        .FormatSize = Int32At(bytes, FormatSizeAt),
                        .ValidBits = Int16At(bytes, ValidBitsAt),
                        .SubFormat = BytesAt(bytes, SubFormatAt, 16),
                        .Encoding = SampleEncoding::Unread};
    fields.Encoding = EncodingOf(fields);
    return fields;
}

bool IsFloat(SampleEncoding encoding) {
    return encoding == SampleEncoding::Float || encoding == SampleEncoding::ExtensibleFloat;
}

// A-law and µ-law: 8-bit codes that stand for 16-bit values.
bool IsCompanded(SampleEncoding encoding) {
    return encoding == SampleEncoding::ALaw || encoding == SampleEncoding::MuLaw;
}

// Samples whose width their encoding fixes: float of 32 or 64 bits, A-law and µ-law of 8.
// Another width is no format read at all.
bool WidthRead(const FormatFields& fields) {
    const std::int16_t bits = fields.BitsPerSample;
    if (IsFloat(fields.Encoding)) return bits == 32 || bits == 64;
    if (IsCompanded(fields.Encoding)) return bits == 8;
    return true;
}

// The bytes of each 24-bit sample's slot: 3 where they are packed; 4 where plain PCM keeps
// them in the low three bytes of 4-byte slots, as recorders write them; 0 for any other block
// alignment.
std::int32_t Slot24Bytes(const FormatFields& fields) {
    const std::int32_t channels = fields.ChannelCount;
    if (fields.BlockAlignment == 3 * channels) return 3;
    if (fields.BlockAlignment == 4 * channels && fields.Encoding == SampleEncoding::Pcm) return 4;
    return 0;
}

// How a format's samples are stored, whichever options read them, and the options that do;
// not Readable where none does.
struct SampleLayout {
    bool Readable;
    SampleForm Form;           // how a sample's value is stored
    std::int32_t SlotBytes;    // the bytes of each channel's sample in a frame
    std::int32_t ValueInSlot;  // bytes from a slot's first byte to the value's first byte
    NeededOptions Needs;
};

SampleLayout LayoutOf(const FormatFields& fields) {
    const std::int16_t bits = fields.BitsPerSample;
    const bool pcm =
        fields.Encoding == SampleEncoding::Pcm || fields.Encoding == SampleEncoding::ExtensiblePcm;
    const bool encoded = IsFloat(fields.Encoding) || IsCompanded(fields.Encoding);
    SampleLayout layout{
        .Readable = fields.ChannelCount > 0 && (pcm || encoded) && WidthRead(fields),
        .Form = SampleForm::Unsigned8,
        .SlotBytes = static_cast<std::int32_t>(bits / BitsPerByte),
        .ValueInSlot = 0,
        .Needs = {.Extensible = fields.Encoding == SampleEncoding::ExtensiblePcm,
                  .DataToEnd = false,
                  .AnyPcm = encoded || bits == 32,
                  .Channel = fields.ChannelCount > 1}};
    if (IsFloat(fields.Encoding)) {
        layout.Form = bits == 32 ? SampleForm::Float32 : SampleForm::Float64;
        return layout;
    }
    if (IsCompanded(fields.Encoding)) {
        layout.Form =
            fields.Encoding == SampleEncoding::ALaw ? SampleForm::ALaw8 : SampleForm::MuLaw8;
        return layout;
    }
    switch (bits) {
        case 8:
            layout.Form = SampleForm::Unsigned8;
            break;
        case 16:
            layout.Form = SampleForm::Signed16;
            break;
        case 24:
            layout.Form = SampleForm::Signed24;
            layout.SlotBytes = Slot24Bytes(fields);
            layout.Readable = layout.Readable && layout.SlotBytes != 0;
            layout.Needs.AnyPcm = layout.SlotBytes == 4;
            break;
        case 32:
            // An extensible slot's valid bits are its high ones: 24 or fewer lie in the top three
            // bytes, read as a 24-bit sample whatever the bits below them hold.
            layout.Form = SampleForm::Signed32;
            if (fields.Encoding == SampleEncoding::ExtensiblePcm && fields.ValidBits <= 24) {
                layout.Form = SampleForm::Signed24;
                layout.ValueInSlot = 1;
            }
            break;
        default:
            layout.Readable = false;
            break;
    }
    return layout;
}

bool EncodingRead(SampleEncoding encoding, const HeaderReading& reading) {
    switch (encoding) {
        case SampleEncoding::Pcm:
            return true;
        case SampleEncoding::ExtensiblePcm:
            return reading.Extensible || reading.AnyPcm;
        case SampleEncoding::Float:
        case SampleEncoding::ExtensibleFloat:
        case SampleEncoding::ALaw:
        case SampleEncoding::MuLaw:
            return reading.AnyPcm;
        case SampleEncoding::Unread:
        case SampleEncoding::Other:
            break;
    }
    return false;
}

// The widths of integer samples the reading reads; a float's width, and an A-law or µ-law one,
// is judged with its encoding.
bool ResolutionRead(const FormatFields& fields, const HeaderReading& reading) {
    const std::int16_t bits = fields.BitsPerSample;
    if (IsFloat(fields.Encoding) || IsCompanded(fields.Encoding)) return true;
    return bits == 8 || bits == 16 || bits == 24 || (bits == 32 && reading.AnyPcm);
}

bool PackingRead(const FormatFields& fields, const HeaderReading& reading) {
    const std::int32_t slot = Slot24Bytes(fields);
    return slot == 3 || (slot == 4 && reading.AnyPcm);
}

// Judges the format chunk's fields in the screen program's order and stops at the first that
// refuses the file; the reading's options let through what they read. What the file holds is
// kept as far as the checks read it.
HeaderCode JudgeFormat(const FormatFields& fields, const HeaderReading& reading, HeldFormat& held) {
    const std::int16_t bits = fields.BitsPerSample;
    held.FormatTag = fields.FormatTag;
    held.Encoding = fields.Encoding;
    if (!EncodingRead(fields.Encoding, reading)) return HeaderCode::NotPcm;
    if (!WidthRead(fields)) {
        held.BitsPerSample = bits;
        return HeaderCode::NotPcm;
    }
    held.ChannelCount = fields.ChannelCount;
    if (reading.Channel == 0 && fields.ChannelCount != 1) return HeaderCode::NotMono;
    if (reading.Channel > fields.ChannelCount) return HeaderCode::NoSuchChannel;
    held.BlockAlignment = fields.BlockAlignment;
    held.BitsPerSample = bits;
    if (!ResolutionRead(fields, reading)) return HeaderCode::BadResolution;
    if (bits == 24 && !PackingRead(fields, reading)) return HeaderCode::NotPacked;
    return HeaderCode::Accepted;
}

// The header of an accepted format: its fields, and where the channel read lies in a frame.
void FillHeader(const FormatFields& fields, const HeaderReading& reading, WaveHeader& header) {
    const SampleLayout layout = LayoutOf(fields);
    const std::int32_t channel = reading.Channel == 0 ? 1 : reading.Channel;
    header.FormatTag = fields.FormatTag;
    header.ChannelCount = fields.ChannelCount;
    header.SampleRate = fields.SampleRate;
    header.BlockAlignment = fields.BlockAlignment;
    header.BitsPerSample = fields.BitsPerSample;
    header.Form = layout.Form;
    header.FrameBytes = layout.SlotBytes * fields.ChannelCount;
    header.ValueOffset = (channel - 1) * layout.SlotBytes + layout.ValueInSlot;
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

// count bytes of the file from offset: from the head where they lie inside it, else through
// the wave channel; fewer where the file ends inside them, none where the move is refused.
ByteString FileBytesAt(const WaveBytes& bytes, std::int64_t offset, std::int32_t count) {
    const std::string_view inHead = BytesAt(bytes, offset, count);
    if (ByteLength(inHead) == count || !bytes.OnChannel) return ByteString(inHead);
    if (!MoveToChunk(offset)) return {};
    return ReadBytes(WaveChannel, count);
}

// The 8-byte chunk header at offset.
ByteString ChunkHeaderAt(const WaveBytes& bytes, std::int64_t offset) {
    return FileBytesAt(bytes, offset, ChunkHeaderSize);
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

// A 32-bit data size as the reading takes it: read signed, as the screen program reads it, so
// that 2 GB and more are below 0; or where any length is read, unsigned, but for the
// placeholder 0xFFFFFFFF, which stays -1.
std::int64_t DataSizeOf(std::int32_t field, const HeaderReading& reading) {
    if (!reading.AnyLength || field == -1) return field;
    return static_cast<std::uint32_t>(field);
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
bool LocateSamples(const WaveBytes& bytes, WaveHeader& header, SampleEncoding encoding,
                   const HeaderReading& reading) {
    const bool plain = encoding == SampleEncoding::Pcm;
    const bool canonical = plain && CompareBytes(BytesAt(bytes, DataIdAt, 4), "data");
    header.DataSize = DataSizeOf(Int32At(bytes, DataSizeAt), reading);
    header.SampleStart = CanonicalSampleStart;
    if (canonical) return true;
    const DataChunk data = FindDataChunk(bytes);
    if (!data.Found) return plain;
    header.DataSize = DataSizeOf(data.Size, reading);
    header.SampleStart = data.Start;
    return true;
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

// The options not given that would read a refused file; none where no option reads its format.
NeededOptions OptionsNeeded(const FormatFields& fields, const HeaderReading& reading) {
    const SampleLayout layout = LayoutOf(fields);
    if (!layout.Readable) return {};
    return NotGiven(layout.Needs, reading);
}

bool AnyOption(const NeededOptions& needed) {
    return needed.Extensible || needed.AnyPcm || needed.Channel;
}

// The verdict names the options and holds all the format chunk says. Options name no file
// whose samples cannot be found: the caller finds them first.
void NameOptions(const FormatFields& fields, const NeededOptions& needed, HeaderVerdict& verdict) {
    verdict.Needed = needed;
    verdict.Format = HeldFormat{.Container = verdict.Format.Container,
                                .FormatTag = fields.FormatTag,
                                .Encoding = fields.Encoding,
                                .ChannelCount = fields.ChannelCount,
                                .BitsPerSample = fields.BitsPerSample,
                                .BlockAlignment = fields.BlockAlignment};
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
// A size below 0 is a 32-bit field read signed: its bytes say 4 GB more.
bool SizeNotTheData(std::int64_t size, std::int64_t heldBytes) {
    const std::int64_t said = size < 0 ? size + (std::int64_t{1} << 32) : size;
    return size == 0 || size == -1 || said > heldBytes;
}

// The data size becomes the whole frames held: all of them where any length is read, else as
// far as a 32-bit size can say.
void ReadToEnd(WaveHeader& header, std::int64_t heldBytes, const HeaderReading& reading) {
    if (heldBytes < 0 || !SizeNotTheData(header.DataSize, heldBytes)) return;
    const std::int64_t largest =
        reading.AnyLength ? heldBytes : INT32_MAX - INT32_MAX % BytesPerFrame(header);
    header.DataSize = std::min(heldBytes, largest);
}

// The sample count (of frames) and the duration in milliseconds. Each step rounds to nearest,
// ties to even, and so does the conversion to an integer. A mono file's frame holds its bits
// per sample, so N is data size x 8 / bits per sample, as the screen program counts it.
void CountSamples(WaveHeader& header) {
    const ExtendedReal bitsPerFrame = ExtendedFromInteger(header.FrameBytes * BitsPerByte);
    const ExtendedReal dataBits =
        MultiplyExtended(ExtendedFromInteger(header.DataSize), ExtendedFromInteger(BitsPerByte));
    header.SampleCount = ExtendedToInteger(DivideExtended(dataBits, bitsPerFrame));
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
bool CountLeavesOutSamples(std::int64_t given, std::int64_t held) {
    return held >= 0 && (given > held || (given <= 0 && held > 0));
}

// Whether the samples read to the end could be converted: any count where any length is read,
// else no more than a sample buffer holds, or the reading only meets the refusal of a file too
// large.
bool ToEndFits(const WaveHeader& header, std::int64_t heldBytes, const HeaderReading& reading) {
    if (reading.AnyLength) return true;
    WaveHeader toEnd = header;
    ReadToEnd(toEnd, heldBytes, reading);
    CountSamples(toEnd);
    return SampleBufferFits(toEnd);
}

// Reading to the end changes what is read: a size that is a placeholder or past the end, and a
// count that leaves out samples, where the samples there can be converted. A size that fits is
// taken as it stands, even when it gives fewer samples than the file holds.
bool ToEndActs(const WaveHeader& header, std::int64_t heldBytes, std::int64_t heldFrames,
               const HeaderReading& reading) {
    return heldBytes >= 0 && SizeNotTheData(header.DataSize, heldBytes) &&
           CountLeavesOutSamples(header.SampleCount, heldFrames) &&
           ToEndFits(header, heldBytes, reading);
}

// The count of the samples located, and of those the file holds, as the reading takes them.
void CountFrames(const WaveBytes& bytes, WaveHeader& header, const HeaderReading& reading,
                 HeaderVerdict& verdict) {
    const bool lengthNeeded = reading.DataToEnd || reading.CountHeld;
    const std::int64_t heldBytes = lengthNeeded ? HeldBytes(bytes, header) : -1;
    const bool sizeNotTheData = heldBytes >= 0 && SizeNotTheData(header.DataSize, heldBytes);
    CountSamples(header);
    verdict.GivenSamples = header.SampleCount;
    if (reading.DataToEnd) {
        ReadToEnd(header, heldBytes, reading);
        CountSamples(header);
    }
    if (heldBytes >= 0) verdict.HeldSamples = heldBytes / BytesPerFrame(header);
    verdict.SamplesLeftOut =
        sizeNotTheData && CountLeavesOutSamples(verdict.GivenSamples, verdict.HeldSamples);
    verdict.Needed.DataToEnd =
        !reading.DataToEnd && ToEndActs(header, heldBytes, verdict.HeldSamples, reading);
}

// The most of a format chunk's payload the fields are read from: an extensible one's.
constexpr std::int32_t FormatPayloadRead = ExtensibleFormatSize;

// The largest data size taken as it stands: its count of bits still a 64-bit integer. No file
// holds so much, so a larger size is past the end, as this one is.
constexpr std::int64_t LargestDataSize = INT64_MAX / BitsPerByte;

// A data chunk of more bytes than a 32-bit count of samples reaches, in a file that holds
// them, where the reading holds counts to a sample buffer: too many samples to convert, which
// the count says, whatever reading to the end would make of the size.
void KeepTooLarge(std::uint64_t dataSize, const WaveBytes& bytes, WaveHeader& header,
                  const HeaderReading& reading, HeaderVerdict& verdict) {
    if (reading.AnyLength) return;
    const std::int64_t length = bytes.OnChannel ? ChannelLength(WaveChannel) : bytes.Length;
    if (dataSize <= INT32_MAX || (length >= 0 && length - header.SampleStart <= INT32_MAX)) return;
    header.SampleCount = verdict.GivenSamples = INT32_MAX;
    verdict.SamplesLeftOut = false;
    verdict.Needed.DataToEnd = false;
}

// RF64, BW64 and Wave64, which only --any-pcm reads: the format chunk's payload is judged as a
// RIFF file's, and the samples are the data chunk's, whose size may pass 32 bits.
void JudgeContainer(const WaveBytes& bytes, WaveHeader& header, const HeaderReading& reading,
                    HeaderVerdict& verdict) {
    const WaveContainer container = verdict.Format.Container;
    if (!reading.AnyPcm) {
        verdict.Code = HeaderCode::NotWave;
        verdict.Needed.AnyPcm = true;
        return;
    }
    ChunkWalk walk = BeginChunkWalk(bytes.Head);
    while (WalkGoesOn(walk)) {
        TakeChunkHeader(walk, FileBytesAt(bytes, walk.Next, ChunkHeaderBytes(container)));
    }
    if (!walk.Format.Found) {
        verdict.Code = HeaderCode::NotWave;
        return;
    }
    const auto payloadRead =
        static_cast<std::int32_t>(std::min<std::uint64_t>(walk.Format.Size, FormatPayloadRead));
    const ByteString head = RiffFormatHead(FileBytesAt(bytes, walk.Format.Start, payloadRead));
    const WaveBytes format{.Head = head, .OnChannel = false, .Length = ByteLength(head)};
    const FormatFields fields = ReadFormatFields(format, reading);
    verdict.Code = JudgeFormat(fields, reading, verdict.Format);
    if (verdict.Code != HeaderCode::Accepted) {
        const NeededOptions needed = OptionsNeeded(fields, reading);
        if (AnyOption(needed) && walk.Data.Found) NameOptions(fields, needed, verdict);
        return;
    }
    FillHeader(fields, reading, header);
    if (!walk.Data.Found) {
        verdict.Code = HeaderCode::NoDataChunk;
        return;
    }
    header.SampleStart = walk.Data.Start;
    const std::uint64_t largest = reading.AnyLength ? LargestDataSize : INT32_MAX;
    header.DataSize = static_cast<std::int64_t>(std::min<std::uint64_t>(walk.Data.Size, largest));
    CountFrames(bytes, header, reading, verdict);
    KeepTooLarge(walk.Data.Size, bytes, header, reading, verdict);
}

// Judges the bytes as the screen program and the reading's options read them, short of the
// comparison with the signal file: the container, the format chunk, where the samples lie, and
// their count.
HeaderVerdict JudgeWave(const WaveBytes& bytes, WaveHeader& header, const HeaderReading& reading) {
    header = WaveHeader{};
    HeaderVerdict verdict{.Code = HeaderCode::Accepted,
                          .FileError = 0,
                          .Format = {},
                          .GivenSamples = 0,
                          .HeldSamples = -1,
                          .SamplesLeftOut = false,
                          .Needed = {}};
    verdict.Format.Container = ContainerOf(bytes.Head);
    switch (verdict.Format.Container) {
        case WaveContainer::Unknown:
            verdict.Code = HeaderCode::NotWave;
            return verdict;
        case WaveContainer::Rf64:
        case WaveContainer::Bw64:
        case WaveContainer::Wave64:
            JudgeContainer(bytes, header, reading, verdict);
            return verdict;
        case WaveContainer::Riff:
            break;
    }
    const FormatFields fields = ReadFormatFields(bytes, reading);
    verdict.Code = JudgeFormat(fields, reading, verdict.Format);
    if (verdict.Code != HeaderCode::Accepted) {
        const NeededOptions needed = OptionsNeeded(fields, reading);
        if (AnyOption(needed) && SamplesFound(bytes, fields.Encoding)) {
            NameOptions(fields, needed, verdict);
        }
        return verdict;
    }
    FillHeader(fields, reading, header);
    if (!LocateSamples(bytes, header, verdict.Format.Encoding, reading)) {
        verdict.Code = HeaderCode::NoDataChunk;
        return verdict;
    }
    CountFrames(bytes, header, reading, verdict);
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
                             .SamplesLeftOut = false,
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
        verdict.SamplesLeftOut = false;
        verdict.Needed.DataToEnd = false;
    }
    if (verdict.Code != HeaderCode::Accepted) CloseChannel(WaveChannel);
    return verdict;
}
