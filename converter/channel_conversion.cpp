#include "converter/channel_conversion.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <string_view>

#include "converter/header_check.h"
#include "converter/line_blocks.h"
#include "converter/npy_file.h"
#include "converter/sample_decoding.h"
#include "files/channels.h"
#include "files/file_error.h"
#include "files/replacement_file.h"
#include "files/typed_array.h"
#include "numtext/extended_real.h"
#include "platform/threads.h"

namespace {

static_assert(std::endian::native == std::endian::little);

constexpr std::size_t TabledStreams = 4;

int ValueBytes(SampleForm form) {
    switch (form) {
        case SampleForm::Unsigned8:
        case SampleForm::ALaw8:
        case SampleForm::MuLaw8:
            return 1;
        case SampleForm::Signed16:
            return 2;
        case SampleForm::Signed24:
            return 3;
        case SampleForm::Signed32:
        case SampleForm::Float32:
            return 4;
        case SampleForm::Float64:
            return 8;
    }
    return 1;
}

bool IsFloat(SampleForm form) {
    return form == SampleForm::Float32 || form == SampleForm::Float64;
}

// Where channel k's value (from 0) lies in a frame: the header names the place of its own.
std::int32_t ChannelOffset(const WaveHeader& header, std::int32_t k) {
    const std::int32_t slot = header.FrameBytes / header.ChannelCount;
    return k * slot + header.ValueOffset % slot;
}

const unsigned char* FrameAt(const ChannelFrames& frames, std::int32_t i) {
    return frames.Bytes.Storage + static_cast<std::size_t>(i) * frames.Header->FrameBytes;
}

// The sum of frame i's samples: integers exactly (a double holds every such sum), floats
// added in the extended format in channel order, then rounded to a double.
double MixValue(const ChannelFrames& frames, std::int32_t i) {
    const WaveHeader& header = *frames.Header;
    const unsigned char* frame = FrameAt(frames, i);
    if (!IsFloat(header.Form)) {
        double sum = 0;
        for (std::int32_t k = 0; k < header.ChannelCount; ++k) {
            sum += SampleValue(frame + ChannelOffset(header, k), header.Form);
        }
        return sum;
    }
    ExtendedReal sum =
        ExtendedFromDouble(SampleValue(frame + ChannelOffset(header, 0), header.Form));
    for (std::int32_t k = 1; k < header.ChannelCount; ++k) {
        sum = AddExtended(
            sum, ExtendedFromDouble(SampleValue(frame + ChannelOffset(header, k), header.Form)));
    }
    return ExtendedToDouble(sum);
}

std::uint8_t ReadFrames(ChannelFrames& frames, std::int64_t first, std::int32_t count) {
    const WaveHeader& header = *frames.Header;
    ReadArray(WaveChannel, header.SampleStart + 1 + first * header.FrameBytes, frames.Bytes,
              count * header.FrameBytes);
    frames.Count = count;
    return TakeFileError();
}

// The streams of the request, each with the mono header of its samples.
std::vector<ChannelStream> StreamsFor(const WaveHeader& header, const ChannelRequest& request) {
    // The tables of 8- and 16-bit lines take 2 MiB each: beyond a few streams their values are
    // held as 32-bit ones, whose lines are made as the same text.
    const bool tabled = header.Form == SampleForm::Unsigned8 || header.Form == SampleForm::Signed16;
    // A-law and mu-law codes are handed on as the 16-bit values they stand for.
    const bool companded = header.Form == SampleForm::ALaw8 || header.Form == SampleForm::MuLaw8;
    std::vector<std::int32_t> offsets;
    if (request.Work == ChannelWork::Each) {
        for (std::int32_t k = 0; k < header.ChannelCount; ++k)
            offsets.push_back(ChannelOffset(header, k));
    } else {
        offsets.push_back(
            request.Work == ChannelWork::Mix ? -1 : ChannelOffset(header, request.Channel - 1));
    }
    std::vector<ChannelStream> streams;
    for (std::int32_t offset : offsets) {
        WaveHeader mono = header;
        mono.ChannelCount = 1;
        mono.Form = offset < 0                                                ? SampleForm::Float64
                    : companded || (tabled && offsets.size() > TabledStreams) ? SampleForm::Signed32
                                                                              : header.Form;
        mono.FrameBytes = ValueBytes(mono.Form);
        mono.ValueOffset = 0;
        streams.push_back(ChannelStream{.Offset = offset,
                                        .Header = mono,
                                        .Largest = 0,
                                        .Envelope = {},
                                        .Making = {},
                                        .Begun = false,
                                        .Out = UnopenedReplacement(),
                                        .Values = nullptr});
    }
    return streams;
}

// The first pass: every stream's largest magnitude, and the largest of all channels. A sample
// or sum that is no finite number stops it, its frame from 1 in notANumber.
std::uint8_t FindLargest(ChannelFrames& frames, std::int32_t blockFrames,
                         std::vector<ChannelStream>& streams, double& common,
                         std::int64_t& notANumber) {
    const WaveHeader& header = *frames.Header;
    for (std::int64_t first = 0; first < header.SampleCount; first += frames.Count) {
        const auto count = static_cast<std::int32_t>(
            std::min<std::int64_t>(blockFrames, header.SampleCount - first));
        if (const std::uint8_t error = ReadFrames(frames, first, count); error != 0) return error;
        for (std::int32_t i = 0; i < count; ++i) {
            const unsigned char* frame = FrameAt(frames, i);
            for (std::int32_t k = 0; k < header.ChannelCount; ++k) {
                const double value = SampleValue(frame + ChannelOffset(header, k), header.Form);
                if (!std::isfinite(value)) {
                    notANumber = first + i + 1;
                    return 0;
                }
                TakePeak(value, common);
            }
            for (ChannelStream& stream : streams) {
                const double value = stream.Offset < 0
                                         ? MixValue(frames, i)
                                         : SampleValue(frame + stream.Offset, header.Form);
                if (!std::isfinite(value)) {
                    notANumber = first + i + 1;
                    return 0;
                }
                TakePeak(value, stream.Largest);
            }
        }
    }
    return 0;
}

// The stream's values of the frames, one after another, as its mono file holds them.
void TakeValues(const ChannelFrames& frames, const ChannelStream& stream, unsigned char* to) {
    const int size = stream.Header.FrameBytes;
    for (std::int32_t i = 0; i < frames.Count; ++i) {
        if (stream.Offset < 0) {
            const double sum = MixValue(frames, i);
            std::memcpy(to + static_cast<std::size_t>(i) * size, &sum, sizeof sum);
        } else if (stream.Header.Form != frames.Header->Form) {
            const auto value = static_cast<std::int32_t>(
                SampleValue(FrameAt(frames, i) + stream.Offset, frames.Header->Form));
            std::memcpy(to + static_cast<std::size_t>(i) * size, &value, sizeof value);
        } else {
            std::memcpy(to + static_cast<std::size_t>(i) * size, FrameAt(frames, i) + stream.Offset,
                        static_cast<std::size_t>(size));
        }
    }
}

// Writes the stream's oldest block; false when it holds a sample above the first pass's
// largest: the file changed in between. In memory its values go a row of rowValues apart.
bool WriteOldest(ChannelStream& stream, SignalForm form, std::size_t rowValues) {
    const LineBlock& block = OldestMade(stream.Making);
    if (form == SignalForm::Memory) {
        for (std::int32_t i = 0; i < block.Count; ++i) {
            *stream.Values = block.Values[i];
            stream.Values += rowValues;
        }
    } else if (form == SignalForm::Npy) {
        AppendToReplacement(stream.Out,
                            std::string_view(reinterpret_cast<const char*>(block.Values),
                                             static_cast<std::size_t>(block.Count) * 8));
    } else {
        AppendToReplacement(stream.Out, std::string_view(block.Text, block.Length));
    }
    if (stream.Envelope.Columns > 0) TakeIntoEnvelope(stream.Envelope, block, stream.Header);
    const bool same = block.Largest <= stream.Largest;
    BlockWritten(stream.Making);
    return same;
}

int ThreadsEach(int threads, std::size_t streams) {
    const int total = threads != AutomaticThreads
                          ? threads
                          : std::min(platform::ProcessorCount(), DefaultThreadLimit);
    return std::max(1, total / static_cast<int>(std::min<std::size_t>(streams, 1 << 16)));
}

// Begins every stream's target and makers; the frames a block holds, or 0 when memory is
// short. A target that cannot be begun leaves its Error set.
std::int32_t BeginStreams(std::vector<ChannelStream>& streams, const ChannelRequest& request,
                          const WaveHeader& header, double common, int threads) {
    std::int32_t blockFrames =
        std::max(1, std::min(MaxBlockFrames, MaxBlockBytes / header.FrameBytes));
    const int each = ThreadsEach(threads, streams.size());
    for (std::size_t s = 0; s < streams.size(); ++s) {
        ChannelStream& stream = streams[s];
        if (request.Form == SignalForm::Memory) {
            stream.Values = request.Values + s;
        } else if (request.StandardOutput) {
            BeginStandardOutput(stream.Out);
        } else {
            BeginReplacement(stream.Out, request.Paths[s]);
        }
        if (stream.Out.Error != 0) return blockFrames;
        if (request.Form == SignalForm::Npy) {
            AppendToReplacement(stream.Out, NpyHeader(header.SampleCount));
        }
        const double peak = request.CommonPeak ? common : stream.Largest;
        stream.Envelope = BeginEnvelope(request.EnvelopeColumns, header.SampleCount, peak);
        const BlockWork work =
            request.Form == SignalForm::Lines ? BlockWork::Lines : BlockWork::Values;
        stream.Begun = true;
        if (!BeginLineMaking(stream.Making, stream.Header, work, peak, each, blockFrames)) return 0;
        blockFrames = std::min(blockFrames, stream.Making.BlockFrames);
    }
    return blockFrames;
}

ConversionOutcome Finish(ConversionOutcome outcome, std::vector<ChannelStream>& streams,
                         TypedArray& frames) {
    for (ChannelStream& stream : streams) {
        if (stream.Begun) EndLineMaking(stream.Making);
        stream.Begun = false;
        AbandonReplacement(stream.Out);
    }
    ReleaseArray(frames);
    CloseChannel(WaveChannel);
    TakeFileError();  // closing a file that was only read changes nothing on disk
    return outcome;
}

ConversionOutcome WriteFailure(const ReplacementFile& out, ConversionFailure& failure) {
    failure.Error = out.Error;
    failure.Path = out.FailedPath;
    failure.LinesSent = out.Borrowed && out.Drained > 0;
    return out.Error == NoReader ? ConversionOutcome::OutputClosed : ConversionOutcome::WriteFailed;
}

ConversionFailure NoFailure() {
    return ConversionFailure{
        .Error = 0, .Path = {}, .Changed = false, .LinesSent = false, .Sample = 0};
}

}  // namespace

void BeginChannelWriting(ChannelWriting& writing, const WaveHeader& header,
                         const ChannelRequest& request, int threads) {
    writing.Header = header;
    writing.Request = request;
    writing.Streams = StreamsFor(header, request);
    writing.Filled = 0;
    writing.Same = true;
    writing.Drained = false;
    writing.ReadError = 0;
    writing.Outcome = ConversionOutcome::Finished;
    writing.Failure = NoFailure();
    TakeFileError();
    const std::int32_t readFrames =
        std::max(1, std::min(MaxBlockFrames, MaxBlockBytes / header.FrameBytes));
    writing.Frames = ChannelFrames{
        .Header = &writing.Header,
        .Bytes = CreateArray(ElementType::UnsignedByte, readFrames * header.FrameBytes),
        .Count = 0};
    if (!StreamedCountFits(header) || writing.Frames.Bytes.Storage == nullptr) {
        writing.Outcome = ConversionOutcome::TooLarge;
        return;
    }
    writing.Before = StampChannel(WaveChannel);
    std::uint8_t readError = TakeFileError();
    double common = 0;
    std::int64_t notANumber = 0;
    if (readError == 0) {
        readError = FindLargest(writing.Frames, readFrames, writing.Streams, common, notANumber);
    }
    if (notANumber != 0) {
        writing.Failure.Sample = notANumber;
        writing.Outcome = ConversionOutcome::NotANumber;
    } else if (readError != 0) {
        writing.Failure.Error = readError;
        writing.Outcome = ConversionOutcome::ReadFailed;
    }
    if (writing.Outcome != ConversionOutcome::Finished) return;
    writing.BlockFrames = BeginStreams(writing.Streams, request, header, common, threads);
    if (writing.BlockFrames == 0) writing.Outcome = ConversionOutcome::TooLarge;
    for (const ChannelStream& stream : writing.Streams) {
        if (writing.Outcome == ConversionOutcome::Finished && stream.Out.Error != 0) {
            writing.Outcome = WriteFailure(stream.Out, writing.Failure);
        }
    }
}

bool WriteNextChannelBlock(ChannelWriting& writing) {
    if (writing.Outcome != ConversionOutcome::Finished || !writing.Same || writing.Drained) {
        return false;
    }
    const SignalForm form = writing.Request.Form;
    const std::int64_t n = writing.Header.SampleCount;
    if (writing.Filled == n) {
        // Every block is handed over: the rest is written.
        for (ChannelStream& stream : writing.Streams) {
            while (writing.Same && stream.Making.NextWrite != stream.Making.NextFill) {
                writing.Same = WriteOldest(stream, form, writing.Streams.size());
            }
        }
        writing.Drained = true;
        return false;
    }
    const auto count =
        static_cast<std::int32_t>(std::min<std::int64_t>(writing.BlockFrames, n - writing.Filled));
    writing.ReadError = ReadFrames(writing.Frames, writing.Filled, count);
    if (writing.ReadError != 0) return false;
    for (ChannelStream& stream : writing.Streams) {
        LineBlock* block = nullptr;
        while (writing.Same && (block = BlockToFill(stream.Making)) == nullptr) {
            writing.Same = WriteOldest(stream, form, writing.Streams.size());
        }
        if (!writing.Same) return false;
        TakeValues(writing.Frames, stream, block->Frames.Storage);
        HandOver(stream.Making, *block, count);
    }
    writing.Filled += count;
    return true;
}

ConversionOutcome FinishChannelWriting(ChannelWriting& writing, ConversionFailure& failure) {
    failure = writing.Failure;
    std::vector<ChannelStream>& streams = writing.Streams;
    TypedArray& frames = writing.Frames.Bytes;
    if (writing.Outcome != ConversionOutcome::Finished) {
        return Finish(writing.Outcome, streams, frames);
    }
    for (ChannelStream& stream : streams) {
        EndLineMaking(stream.Making);
        stream.Begun = false;
    }
    std::uint8_t readError = writing.ReadError;
    bool changed = !writing.Same;
    if (readError == 0 && !changed) {
        const FileStamp after = StampChannel(WaveChannel);
        readError = TakeFileError();
        changed = readError == 0 && !(after == writing.Before);
    }
    if (readError != 0 || changed) {
        failure.Changed = changed;
        failure.Error = changed ? 0 : readError;
        failure.LinesSent = streams.front().Out.Borrowed && streams.front().Out.Drained > 0;
        return Finish(ConversionOutcome::ReadFailed, streams, frames);
    }
    if (writing.Request.Form == SignalForm::Memory) {
        return Finish(ConversionOutcome::Finished, streams, frames);
    }
    // Every file complete before any is put in place: a full disk leaves the old ones.
    for (ChannelStream& stream : streams) {
        if (CompleteReplacement(stream.Out) != 0) {
            return Finish(WriteFailure(stream.Out, failure), streams, frames);
        }
    }
    for (ChannelStream& stream : streams) {
        if (PutReplacementInPlace(stream.Out) != 0) {
            return Finish(WriteFailure(stream.Out, failure), streams, frames);
        }
    }
    return Finish(ConversionOutcome::Finished, streams, frames);
}

ConversionOutcome ConvertChannels(const WaveHeader& header, const ChannelRequest& request,
                                  int threads, ConversionFailure& failure) {
    ChannelWriting writing;
    BeginChannelWriting(writing, header, request, threads);
    while (WriteNextChannelBlock(writing)) {
    }
    return FinishChannelWriting(writing, failure);
}
