#include "converter/line_blocks.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "converter/sample_decoding.h"
#include "converter/signal_value.h"

namespace {

constexpr std::size_t LongestLine = LongestSignalLine;
constexpr int BlocksPerThread = 2;

LineBlock& BlockAt(LineMaking& making, std::int64_t sequence) {
    return making.Blocks[static_cast<std::size_t>(sequence) % making.Blocks.size()];
}

bool EightBit(const WaveHeader& header) {
    return header.Form == SampleForm::Unsigned8;
}

// The value bytes of frame i.
const unsigned char* ValueAt(const LineBlock& block, const WaveHeader& header, std::int32_t i) {
    return block.Frames.Storage + static_cast<std::size_t>(i) * header.FrameBytes +
           header.ValueOffset;
}

// An 8- or 16-bit block's lines, or an A-law or µ-law one's, each a copy of the table's line for
// its sample.
void MakeTableLines(LineBlock& block, const WaveHeader& header, SignalLineTable& table) {
    const bool eightBit = EightBit(header);
    char* at = block.Text;
    int largest = 0;
    for (std::int32_t i = 0; i < block.Count; ++i) {
        const std::uint16_t code = TableCode(ValueAt(block, header, i), header.Form);
        const int value = CodeValue(code, eightBit);
        largest = std::max(largest, value < 0 ? -value : value);
        const TabledLine& line = TableLine(table, code, eightBit);
        std::memcpy(at, &line, sizeof line);
        at += line.Length;
    }
    block.Length = static_cast<std::size_t>(at - block.Text);
    block.Largest = largest;
}

// Any other block's lines, each made from the sample the core decodes, in place.
void MakeComputedLines(LineBlock& block, const WaveHeader& header, const WholeDivisor& peak) {
    char* at = block.Text;
    double largest = 0;
    for (std::int32_t i = 0; i < block.Count; ++i) {
        const double value =
            FrameSample(block.Frames.Storage, static_cast<std::uint32_t>(i), header);
        TakePeak(value, largest);
        at += PutSignalLine(at, value, peak);
    }
    block.Length = static_cast<std::size_t>(at - block.Text);
    block.Largest = largest;
}

// Any other block's values, each what its line reads back as: a whole sample's straight from
// its line's digits, any other's from its line made in the block's text and read.
void MakeComputedValues(LineBlock& block, const WaveHeader& header, const WholeDivisor& peak) {
    double largest = 0;
    for (std::int32_t i = 0; i < block.Count; ++i) {
        const double sample =
            FrameSample(block.Frames.Storage, static_cast<std::uint32_t>(i), header);
        TakePeak(sample, largest);
        // Within the peak, the sample converts to an integer without overflow; NaNs stay out.
        const bool whole = std::fabs(sample) <= static_cast<double>(peak.Whole) &&
                           static_cast<double>(static_cast<std::int64_t>(sample)) == sample;
        if (!whole || !WholeLineValue(static_cast<std::int64_t>(sample), peak, block.Values[i])) {
            const int length = PutSignalLine(block.Text, sample, peak);
            ReadSignalValue(block.Text, block.Text + length, block.Values[i]);
        }
    }
    block.Largest = largest;
}

// The first pass's work: the largest magnitude, and the first sample that is no number.
void FindLargest(LineBlock& block, const WaveHeader& header, bool tabled) {
    double largest = 0;
    block.NotANumber = -1;
    if (tabled) {
        const bool eightBit = EightBit(header);
        int magnitude = 0;
        for (std::int32_t i = 0; i < block.Count; ++i) {
            const int value =
                CodeValue(TableCode(ValueAt(block, header, i), header.Form), eightBit);
            magnitude = std::max(magnitude, value < 0 ? -value : value);
        }
        largest = magnitude;
    } else {
        for (std::int32_t i = 0; i < block.Count; ++i) {
            const double value =
                FrameSample(block.Frames.Storage, static_cast<std::uint32_t>(i), header);
            if (!std::isfinite(value)) {
                block.NotANumber = i;
                break;
            }
            TakePeak(value, largest);
        }
    }
    block.Largest = largest;
}

// A tabled block's values, each the table's value for its sample: no line is copied.
void TakeTableValues(LineBlock& block, const WaveHeader& header, SignalLineTable& table) {
    const bool eightBit = EightBit(header);
    int largest = 0;
    for (std::int32_t i = 0; i < block.Count; ++i) {
        const std::uint16_t code = TableCode(ValueAt(block, header, i), header.Form);
        const int value = CodeValue(code, eightBit);
        largest = std::max(largest, value < 0 ? -value : value);
        block.Values[i] = TableValue(table, code, eightBit);
    }
    block.Largest = largest;
}

void DoBlockWork(const LineMaking& making, LineBlock& block, SignalLineTable& table) {
    if (making.Work == BlockWork::Peak) {
        FindLargest(block, making.Header, making.Tabled);
        return;
    }
    if (making.Tabled && making.Work == BlockWork::Values) {
        TakeTableValues(block, making.Header, table);
        return;
    }
    if (making.Work == BlockWork::Values) {
        MakeComputedValues(block, making.Header, making.Peak);
        return;
    }
    if (making.Tabled) {
        MakeTableLines(block, making.Header, table);
    } else {
        MakeComputedLines(block, making.Header, making.Peak);
    }
}

// The filled block that came first, or nullptr when none waits. Under the gate.
LineBlock* OldestFilled(LineMaking& making) {
    LineBlock* oldest = nullptr;
    for (LineBlock& block : making.Blocks) {
        if (block.State == BlockState::Filled &&
            (oldest == nullptr || block.Sequence < oldest->Sequence)) {
            oldest = &block;
        }
    }
    return oldest;
}

// Takes the oldest filled block, does its work outside the gate and says so; waits at the gate
// instead when no block is filled. Entered and left under the gate.
void MakeOldestOrWait(LineMaking& making, SignalLineTable& table) {
    LineBlock* block = OldestFilled(making);
    if (block == nullptr) {
        platform::WaitAtGate(making.Gate);
        return;
    }
    block->State = BlockState::Making;
    platform::LeaveGate(making.Gate);
    DoBlockWork(making, *block, table);
    platform::EnterGate(making.Gate);
    block->State = BlockState::Made;
    platform::WakeGate(making.Gate);
}

// A maker's thread: works on the filled blocks until the making stops.
void RunMaker(void* record) {
    LineMaker& maker = *static_cast<LineMaker*>(record);
    LineMaking& making = *maker.Making;
    platform::EnterGate(making.Gate);
    while (!making.Stopping) MakeOldestOrWait(making, maker.Table);
    platform::LeaveGate(making.Gate);
}

SignalLineTable NoTable(double peak) {
    return SignalLineTable{.Peak = SignalDivisor(peak), .Lines = nullptr, .Values = nullptr};
}

bool CreateBlocks(LineMaking& making, std::size_t count, BlockWork work) {
    const bool text = work != BlockWork::Peak;
    const bool values = work == BlockWork::Values;
    making.Blocks.assign(count, LineBlock{.Frames = EmptyArray(ElementType::UnsignedByte),
                                          .Count = 0,
                                          .Text = nullptr,
                                          .Length = 0,
                                          .Values = nullptr,
                                          .Largest = 0,
                                          .NotANumber = -1,
                                          .Sequence = 0,
                                          .State = BlockState::Free});
    for (LineBlock& block : making.Blocks) {
        block.Frames =
            CreateArray(ElementType::UnsignedByte, making.BlockFrames * making.Header.FrameBytes);
        const auto frames = static_cast<std::size_t>(making.BlockFrames);
        if (text) block.Text = new (std::nothrow) char[frames * LongestLine + SignalLineRoom];
        if (values) block.Values = new (std::nothrow) double[frames];
        if (block.Frames.Storage == nullptr || (text && block.Text == nullptr) ||
            (values && block.Values == nullptr)) {
            return false;
        }
    }
    return true;
}

// Starts the makers; those that cannot start are dropped, and without any the writer makes
// every block.
void StartMakers(LineMaking& making) {
    std::size_t started = 0;
    for (LineMaker& maker : making.Makers) {
        if (!platform::StartThread(maker.Thread, RunMaker, &maker)) break;
        ++started;
    }
    // The makers already running keep their places; only the list's end is cut.
    for (std::size_t i = started; i < making.Makers.size(); ++i) {
        ReleaseSignalLineTable(making.Makers[i].Table);
    }
    making.Makers.erase(making.Makers.begin() + static_cast<std::ptrdiff_t>(started),
                        making.Makers.end());
}

}  // namespace

bool BeginLineMaking(LineMaking& making, const WaveHeader& header, BlockWork work, double peak,
                     int threads, std::int32_t frameLimit) {
    making.Header = header;
    // A short file's blocks are no longer than the file: they are made and cleared for each one.
    const auto frames =
        static_cast<std::int32_t>(std::clamp<std::int64_t>(header.SampleCount, 1, MaxBlockFrames));
    making.BlockFrames = std::max(
        1, std::min({frameLimit, MaxBlockFrames, MaxBlockBytes / header.FrameBytes, frames}));
    making.Makers.clear();
    making.Table = NoTable(peak);
    making.Peak = SignalWholeDivisor(peak);
    making.Work = work;
    making.Tabled = Tabled(header.Form);
    making.Gate = nullptr;
    making.NextFill = 0;
    making.NextWrite = 0;
    making.Stopping = false;
    const bool tables = making.Tabled && work != BlockWork::Peak;
    const std::int64_t blocks =
        (std::int64_t{header.SampleCount} + making.BlockFrames - 1) / making.BlockFrames;
    const int wanted = threads != AutomaticThreads
                           ? threads
                           : std::min(platform::ProcessorCount(), DefaultThreadLimit);
    // The writer is one of the threads: it makes blocks too while the oldest is not ready.
    const int threadsUsed =
        blocks > 1 ? static_cast<int>(std::min<std::int64_t>(wanted, blocks)) : 1;
    if (!CreateBlocks(making,
                      threadsUsed > 1 ? BlocksPerThread * static_cast<std::size_t>(threadsUsed) : 1,
                      work)) {
        return false;
    }
    const bool values = work == BlockWork::Values;
    if (tables && !CreateSignalLineTable(making.Table, peak, values)) return false;
    if (threadsUsed == 1) return true;
    making.Gate = platform::CreateGate();
    if (making.Gate == nullptr) return false;
    making.Makers.assign(static_cast<std::size_t>(threadsUsed - 1),
                         LineMaker{.Making = &making, .Table = NoTable(peak), .Thread = {}});
    for (LineMaker& maker : making.Makers) {
        if (tables && !CreateSignalLineTable(maker.Table, peak, values)) return false;
    }
    StartMakers(making);
    return true;
}

LineBlock* BlockToFill(LineMaking& making) {
    // Blocks are filled and written in turn: the next one is free once the block that used
    // its place before has been written.
    if (making.NextFill - making.NextWrite >= static_cast<std::int64_t>(making.Blocks.size())) {
        return nullptr;
    }
    return &BlockAt(making, making.NextFill);
}

void HandOver(LineMaking& making, LineBlock& block, std::int32_t count) {
    block.Count = count;
    block.Sequence = making.NextFill++;
    if (making.Makers.empty()) {
        DoBlockWork(making, block, making.Table);
        block.State = BlockState::Made;
        return;
    }
    platform::EnterGate(making.Gate);
    block.State = BlockState::Filled;
    platform::WakeGate(making.Gate);
    platform::LeaveGate(making.Gate);
}

const LineBlock& OldestMade(LineMaking& making) {
    LineBlock& block = BlockAt(making, making.NextWrite);
    if (making.Makers.empty()) return block;
    platform::EnterGate(making.Gate);
    // Rather than only wait, the writer makes filled blocks itself, as one of the threads.
    while (block.State != BlockState::Made) MakeOldestOrWait(making, making.Table);
    platform::LeaveGate(making.Gate);
    return block;
}

void BlockWritten(LineMaking& making) {
    LineBlock& block = BlockAt(making, making.NextWrite++);
    if (making.Makers.empty()) {
        block.State = BlockState::Free;
        return;
    }
    platform::EnterGate(making.Gate);
    block.State = BlockState::Free;
    platform::LeaveGate(making.Gate);
}

void EndLineMaking(LineMaking& making) {
    if (!making.Makers.empty()) {
        platform::EnterGate(making.Gate);
        making.Stopping = true;
        platform::WakeGate(making.Gate);
        platform::LeaveGate(making.Gate);
    }
    for (LineMaker& maker : making.Makers) {
        platform::JoinThread(maker.Thread);
        ReleaseSignalLineTable(maker.Table);
    }
    making.Makers.clear();
    ReleaseSignalLineTable(making.Table);
    for (LineBlock& block : making.Blocks) {
        ReleaseArray(block.Frames);
        delete[] block.Text;
        delete[] block.Values;
    }
    making.Blocks.clear();
    platform::DestroyGate(making.Gate);
    making.Gate = nullptr;
}
