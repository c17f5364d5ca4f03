#include "converter/signal_envelope.h"

#include <algorithm>
#include <cmath>

#include "converter/sample_decoding.h"

namespace {

// Few enough that a column's end, samples times columns, stays far inside 64 bits.
constexpr std::int32_t MostColumns = 1 << 16;

// Where column c ends: the columns share the samples as evenly as whole samples allow.
std::int64_t ColumnEnd(const SignalEnvelope& envelope, std::int32_t c) {
    return envelope.Samples * (c + 1) / envelope.Columns;
}

// Sample k of the block: 8- and 16-bit ones, A-law and µ-law ones by their codes, and 24-bit
// ones here, with no call for each.
inline double SampleAt(const unsigned char* frames, std::int32_t k, const WaveHeader& header) {
    const unsigned char* sample =
        frames + static_cast<std::size_t>(k) * header.FrameBytes + header.ValueOffset;
    if (header.Form == SampleForm::Signed24) {
        const std::int32_t value = sample[0] | (sample[1] << 8) | (sample[2] << 16);
        return value > 8388607 ? value - 16777216 : value;
    }
    if (Tabled(header.Form)) {
        return CodeValue(TableCode(sample, header.Form), header.Form == SampleForm::Unsigned8);
    }
    return SampleValue(sample, header.Form);
}

// Samples first to end of the block into the current column.
void TakeRun(SignalEnvelope& envelope, const LineBlock& block, const WaveHeader& header,
             std::int32_t first, std::int32_t end) {
    double least = envelope.Least[envelope.Column];
    double greatest = envelope.Greatest[envelope.Column];
    double largest = envelope.PeakAt < 0 ? -1 : std::fabs(envelope.PeakSample);
    std::int32_t largestAt = -1;  // in the block, when this run holds the peak so far
    for (std::int32_t k = first; k < end; ++k) {
        const double sample = SampleAt(block.Frames.Storage, k, header);
        least = std::min(least, sample);
        greatest = std::max(greatest, sample);
        if (std::fabs(sample) > largest) {
            largest = std::fabs(sample);
            largestAt = k;
        }
    }
    envelope.Least[envelope.Column] = least;
    envelope.Greatest[envelope.Column] = greatest;
    if (largestAt >= 0) {
        envelope.PeakSample = SampleAt(block.Frames.Storage, largestAt, header);
        envelope.PeakAt = envelope.Taken + (largestAt - first);
    }
}

}  // namespace

SignalEnvelope BeginEnvelope(std::int32_t columns, std::int64_t samples, double divisor) {
    const auto count =
        static_cast<std::int32_t>(std::min<std::int64_t>(std::min(columns, MostColumns), samples));
    const auto size = static_cast<std::size_t>(std::max(count, 0));
    return SignalEnvelope{.Columns = std::max(count, 0),
                          .Samples = samples,
                          .Divisor = divisor,
                          .Least = std::vector<double>(size, HUGE_VAL),
                          .Greatest = std::vector<double>(size, -HUGE_VAL),
                          .PeakSample = 0,
                          .PeakAt = -1,
                          .Column = 0,
                          .Taken = 0};
}

void TakeIntoEnvelope(SignalEnvelope& envelope, const LineBlock& block, const WaveHeader& header) {
    std::int32_t i = 0;
    while (i < block.Count && envelope.Column < envelope.Columns) {
        const std::int64_t end = ColumnEnd(envelope, envelope.Column);
        const auto run = static_cast<std::int32_t>(
            std::min<std::int64_t>(block.Count - i, end - envelope.Taken));
        TakeRun(envelope, block, header, i, i + run);
        i += run;
        envelope.Taken += run;
        if (envelope.Taken == end) ++envelope.Column;
    }
}
