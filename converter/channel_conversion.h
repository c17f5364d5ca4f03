#pragma once
// Signal files of a file of several channels in the same two passes as one: a file for each
// channel, one channel divided by the peak of them all, or a mix, the channels of each frame
// summed into one signal. Each file holds the bytes the streamed conversion writes for a mono
// file holding its samples, and they are put in place together, only once all are complete.
// In memory, the values go instead into the caller's rows, one value of each stream a row.
#include <cstdint>
#include <string>
#include <vector>

#include "converter/conversion_outcome.h"
#include "converter/line_blocks.h"
#include "converter/signal_envelope.h"
#include "converter/streamed_conversion.h"
#include "converter/wave_header.h"
#include "files/channels.h"
#include "files/replacement_file.h"
#include "files/typed_array.h"

enum class ChannelWork {
    Each,  // a file for every channel, in channel order
    One,   // the channel of the request alone
    Mix,   // the sum of every frame's samples
};

// The work a front end's choices ask for: every channel, the mix, or the one channel.
inline ChannelWork ChannelWorkFor(bool everyChannel, bool mix) {
    return everyChannel ? ChannelWork::Each : mix ? ChannelWork::Mix : ChannelWork::One;
}

struct ChannelRequest {
    ChannelWork Work;
    std::int32_t Channel;  // One: the channel, from 1
    // The columns of each stream's envelope, gathered as its blocks are written; 0 gathers
    // none.
    std::int32_t EnvelopeColumns = 0;
    bool CommonPeak;                 // divide by the largest magnitude of every channel
    SignalForm Form;                 // Lines, Npy or Memory
    bool StandardOutput;             // One or Mix: the lines go to standard output
    std::vector<std::string> Paths;  // the files written: one per channel for Each, else one
    double* Values = nullptr;        // Memory: room for a row of the streams' values per frame
};

// One signal file's samples, taken from each frame as a mono file would hold them.
struct ChannelStream {
    std::int32_t Offset;  // where its value lies in a frame; -1 for the mix
    WaveHeader Header;    // its mono file: the values one after another
    double Largest;       // its largest magnitude, found by the first pass
    // Gathered from the blocks as they are written.
    SignalEnvelope Envelope;
    LineMaking Making;
    bool Begun;  // Making was begun: it must be ended
    ReplacementFile Out;
    double* Values;  // Memory: where its next value goes, in the next row
};

// Frames as the wave file holds them, read a block at a time.
struct ChannelFrames {
    const WaveHeader* Header;
    TypedArray Bytes;
    std::int32_t Count;  // frames read
};

// The second pass under way. It stays where it is from the beginning to the finish.
struct ChannelWriting {
    WaveHeader Header;
    ChannelRequest Request;
    std::vector<ChannelStream> Streams;
    ChannelFrames Frames;
    FileStamp Before;          // the wave file as the first pass found it
    std::int32_t BlockFrames;  // frames read and handed over at a time
    std::int64_t Filled;       // frames handed to the streams
    bool Same;                 // no block held a sample above the first pass's largest
    bool Drained;              // every block is written
    std::uint8_t ReadError;
    ConversionOutcome Outcome;  // Finished while all goes well
    ConversionFailure Failure;
};

// The first pass, then the targets and makers of the second.
void BeginChannelWriting(ChannelWriting& writing, const WaveHeader& header,
                         const ChannelRequest& request, int threads);

// Hands the next block of frames to every stream; false once all are written or it failed.
bool WriteNextChannelBlock(ChannelWriting& writing);

// Puts every file in place, or none, and closes the wave channel.
ConversionOutcome FinishChannelWriting(ChannelWriting& writing, ConversionFailure& failure);

// The wave channel is open on the accepted wave file on entry, whichever channel the header
// names, and closed on return. The sums of a mix are exact for integer samples; float samples
// are added in the extended format in channel order, and each sum is held as a 64-bit float
// file would hold it. A sample (or a sum) that is no finite number fails as NotANumber, its
// frame from 1 in failure.Sample, before anything is written. On any failure no file changes
// (and the rows in memory hold nothing to go by).
ConversionOutcome ConvertChannels(const WaveHeader& header, const ChannelRequest& request,
                                  int threads, ConversionFailure& failure);
