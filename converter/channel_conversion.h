#pragma once
// Signal files of a file of several channels in the same two passes as one: a file for each
// channel, one channel divided by the peak of them all, or a mix, the channels of each frame
// summed into one signal. Each file holds the bytes the streamed conversion writes for a mono
// file holding its samples, and they are put in place together, only once all are complete.
#include <cstdint>
#include <string>
#include <vector>

#include "converter/conversion_outcome.h"
#include "converter/streamed_conversion.h"
#include "converter/wave_header.h"

enum class ChannelWork {
    Each,  // a file for every channel, in channel order
    One,   // the channel of the request alone
    Mix,   // the sum of every frame's samples
};

struct ChannelRequest {
    ChannelWork Work;
    std::int32_t Channel;            // One: the channel, from 1
    bool CommonPeak;                 // divide by the largest magnitude of every channel
    SignalForm Form;                 // Lines or Npy
    bool StandardOutput;             // One or Mix: the lines go to standard output
    std::vector<std::string> Paths;  // the files written: one per channel for Each, else one
};

// The wave channel is open on the accepted wave file on entry, whichever channel the header
// names, and closed on return. The sums of a mix are exact for integer samples; float samples
// are added in the extended format in channel order, and each sum is held as a 64-bit float
// file would hold it. A sample (or a sum) that is no finite number fails as NotANumber, its
// frame from 1 in failure.Sample, before anything is written. On any failure no file changes.
ConversionOutcome ConvertChannels(const WaveHeader& header, const ChannelRequest& request,
                                  int threads, ConversionFailure& failure);
