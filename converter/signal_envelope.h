#pragma once
// A picture's worth of a signal: the least and the greatest sample in each of a number of
// columns, which split the samples evenly in their order, and where the largest magnitude
// first falls. Gathered from the blocks as they are written, so a conversion that asks for
// it reads no sample more. The samples are the values before the division by the peak:
// Divisor turns them into the signal's values.
#include <cstdint>
#include <vector>

#include "converter/line_blocks.h"
#include "converter/wave_header.h"

struct SignalEnvelope {
    std::int32_t Columns;          // 0: nothing is gathered; never more than the samples
    std::int64_t Samples;          // of the signal
    double Divisor;                // what the signal's lines divide each sample by
    std::vector<double> Least;     // by column
    std::vector<double> Greatest;  // by column
    double PeakSample;             // the sample of the largest magnitude
    std::int64_t PeakAt;           // where it first falls, from 0; -1 before any sample
    std::int32_t Column;           // the column being gathered
    std::int64_t Taken;            // samples taken so far
};

// An envelope of at most columns columns over the samples, none taken yet.
SignalEnvelope BeginEnvelope(std::int32_t columns, std::int64_t samples, double divisor);

// Takes the block's samples, which follow those taken so far, as the header lays them out.
void TakeIntoEnvelope(SignalEnvelope& envelope, const LineBlock& block, const WaveHeader& header);
