#include "converter/header_check.h"

#include <cstdint>

#include "files/byte_string.h"
#include "files/channels.h"
#include "files/file_error.h"
#include "numtext/extended_real.h"

namespace {

constexpr std::int16_t WaveChannel = 1;
constexpr std::int64_t CanonicalSampleStart = 44;
constexpr std::int64_t FirstChunkOffset = 12;  // after "RIFF", its size and "WAVE"

HeaderVerdict Refuse(std::string_view message) {
    CloseChannel(WaveChannel);
    return HeaderVerdict{false, message};
}

struct DataChunk {
    bool Found;
    std::int32_t Size;   // the size field, as signed 32-bit
    std::int64_t Start;  // byte offset of the chunk's first data byte
};

// Moves to the chunk at offset; false when the move is refused, as it is when a device has
// taken the file's place since the test open. The file error number ends as the move left
// it: an earlier number stays unless the move replaced it.
bool MoveToChunk(std::int64_t offset) {
    const std::uint8_t earlier = TakeFileError();
    SeekChannel(WaveChannel, offset + 1);
    const std::uint8_t refused = TakeFileError();
    if (refused != 0 || earlier != 0) SetFileError(refused != 0 ? refused : earlier);
    return refused == 0;
}

// Walks the chunks from the first one after "WAVE" to the first "data" chunk whose 8-byte
// header lies inside the file. Every step moves at least 8 bytes forward, and a refused move
// or a short read ends the walk, so it stops within the file's length.
DataChunk FindDataChunk() {
    std::int64_t offset = FirstChunkOffset;
    for (;;) {
        if (!MoveToChunk(offset)) return DataChunk{false, 0, 0};
        ByteString chunkHeader = ReadBytes(WaveChannel, 8);
        if (ByteLength(chunkHeader) < 8) return DataChunk{false, 0, 0};
        std::string_view view = chunkHeader;
        if (CompareBytes(view.substr(0, 4), "data")) {
            return DataChunk{true, BytesToInt32(view.substr(4)), offset + 8};
        }
        auto size = static_cast<std::uint32_t>(BytesToInt32(view.substr(4)));
        offset += 8 + static_cast<std::int64_t>(size) + (size & 1);
    }
}

}  // namespace

HeaderVerdict CheckWaveHeader(std::string_view name, WaveHeader& header) {
    // Whatever an earlier attempt left pending must not refuse this name.
    TakeFileError();
    OpenChannel(WaveChannel, name, OpenMode::Test);
    if (std::uint8_t error = TakeFileError(); error != 0) {
        return HeaderVerdict{false, NotFoundMessage, error};
    }
    CloseChannel(WaveChannel);

    // Not tested: should this open fail, the reads give nothing and the file is no Wave file.
    OpenChannel(WaveChannel, name, OpenMode::Binary);

    if (!CompareBytes(ReadBytes(WaveChannel, 4), "RIFF")) return Refuse(NotWaveMessage);
    ReadBytes(WaveChannel, 4);  // the RIFF size
    if (!CompareBytes(ReadBytes(WaveChannel, 4), "WAVE")) return Refuse(NotWaveMessage);
    ReadBytes(WaveChannel, 4);  // the format chunk's identifier
    ReadBytes(WaveChannel, 4);  // and its size

    header.FormatTag = BytesToInt16(ReadBytes(WaveChannel, 2));
    if (header.FormatTag != 1) return Refuse(NotPcmMessage);
    header.ChannelCount = FirstByte(ReadBytes(WaveChannel, 1));
    if (header.ChannelCount != 1) return Refuse(NotMonoMessage);

    SeekChannel(WaveChannel, 25);
    header.SampleRate = BytesToInt32(ReadBytes(WaveChannel, 4));
    ReadBytes(WaveChannel, 4);  // the byte rate
    header.BlockAlignment = BytesToInt16(ReadBytes(WaveChannel, 2));
    header.BitsPerSample = BytesToInt16(ReadBytes(WaveChannel, 2));
    if (header.BitsPerSample != 8 && header.BitsPerSample != 16 && header.BitsPerSample != 24) {
        return Refuse(BadResolutionMessage);
    }
    if (header.BitsPerSample == 24 && header.BlockAlignment != 3) return Refuse(NotPackedMessage);

    ByteString chunkId = ReadBytes(WaveChannel, 4);
    header.DataSize = BytesToInt32(ReadBytes(WaveChannel, 4));
    header.SampleStart = CanonicalSampleStart;
    // Files with a longer format chunk or other chunks before the data keep their samples
    // elsewhere; the canonical reading stays for files without a findable data chunk.
    if (!CompareBytes(chunkId, "data")) {
        DataChunk data = FindDataChunk();
        if (data.Found) {
            header.DataSize = data.Size;
            header.SampleStart = data.Start;
        }
    }

    // Each step rounds to nearest, ties to even, and so does the conversion to an integer.
    const ExtendedReal bitsPerFrame = MultiplyExtended(ExtendedFromInteger(header.BitsPerSample),
                                                       ExtendedFromInteger(header.ChannelCount));
    const ExtendedReal dataBits =
        MultiplyExtended(ExtendedFromInteger(header.DataSize), ExtendedFromInteger(8));
    header.SampleCount =
        static_cast<std::int32_t>(ExtendedToInteger(DivideExtended(dataBits, bitsPerFrame)));
    // A rate of 0 gives no duration to speak of: it is reported as 0.
    header.Duration = 0;
    if (header.SampleRate != 0) {
        const ExtendedReal seconds = DivideExtended(ExtendedFromInteger(header.SampleCount),
                                                    ExtendedFromInteger(header.SampleRate));
        header.Duration = ExtendedToInteger(MultiplyExtended(seconds, ExtendedFromInteger(1000)));
    }

    // The signal file is written beside the wave file; it must never be the wave file itself.
    ByteString signalName = SignalFileName(name);
    if (CompareBytes(signalName, name) || SameFile(name, signalName)) {
        return Refuse(WouldOverwriteMessage);
    }
    return HeaderVerdict{true, {}};
}
