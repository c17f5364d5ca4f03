#pragma once
// The passes over the samples in blocks: one thread (the writer) fills each block with the
// frames that come next and takes the blocks back in order, while N threads, the writer among
// them whenever the oldest block is not ready yet, work on them: find each block's largest
// magnitude (the first pass), or make its lines as well (the second). A block's lines depend
// on nothing but its samples and the peak, so the bytes are the same for every N. With one
// thread the writer works on each block as it hands it over. Memory is bounded by the blocks:
// two for each thread, so a thread finds the next block ready while the writer writes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "converter/signal_line_table.h"
#include "converter/wave_header.h"
#include "files/typed_array.h"
#include "platform/threads.h"

inline constexpr std::int32_t MaxBlockFrames = 32768;              // fewer for wide frames
inline constexpr std::int32_t MaxBlockBytes = 4 * MaxBlockFrames;  // of frames
inline constexpr int AutomaticThreads = 0;  // the machine's processors, for a file long enough
inline constexpr int DefaultThreadLimit = 8;
inline constexpr int ThreadLimit = 16;  // the most -T takes: the peak stays under 64 MiB

enum class BlockState { Free, Filled, Making, Made };

// The first pass finds the peak; the second makes the lines, or the values they read back as.
enum class BlockWork { Peak, Lines, Values };

struct LineBlock {
    TypedArray Frames;        // bytes of the making's BlockFrames frames, as the file holds them
    std::int32_t Count;       // how many frames the block holds
    char* Text;               // the lines of those samples, with room for one more line; none
                              // for the peak
    std::size_t Length;       // bytes of Text made
    double* Values;           // Values: what each line reads back as; else none
    double Largest;           // the largest magnitude among the samples
    std::int32_t NotANumber;  // the first sample (from 0) that is no finite number; or -1
    std::int64_t Sequence;    // the block's place among the blocks handed over, from 0
    BlockState State;         // changed under the gate
};

struct LineMaking;

// One thread that makes lines, with its own table of 8- and 16-bit lines.
struct LineMaker {
    LineMaking* Making;
    SignalLineTable Table;  // empty for other resolutions
    platform::WorkerThread Thread;
};

struct LineMaking {
    WaveHeader Header;              // how the frames hold the samples
    std::int32_t BlockFrames;       // frames a block holds: MaxBlockFrames, or fewer for wide ones
    std::vector<LineBlock> Blocks;  // used in turn: block Sequence sits at Sequence % size
    std::vector<LineMaker> Makers;  // the threads besides the writer
    SignalLineTable Table;          // the writer's table
    WholeDivisor Peak;
    BlockWork Work;
    bool Tabled;  // 8- and 16-bit, A-law and µ-law samples: a line is a copy of a table's line
    platform::ThreadGate* Gate;
    std::int64_t NextFill;   // the Sequence of the next block handed over
    std::int64_t NextWrite;  // the Sequence of the next block to write
    bool Stopping;           // the makers leave
};

// Prepares the blocks for the header's frames and starts the makers: threads as many as
// asked, or for AutomaticThreads the processors (at most DefaultThreadLimit), the writer
// counted; never more than the file has blocks, and the writer alone for a file of one block.
// A maker that cannot start leaves its share to the others and the writer. The peak is what the
// lines divide by. False when memory is short; the making must be ended either way. making stays
// where it is until then. A block holds no more than frameLimit frames.
bool BeginLineMaking(LineMaking& making, const WaveHeader& header, BlockWork work, double peak,
                     int threads, std::int32_t frameLimit = MaxBlockFrames);

// The block to fill with the samples that come next, or nullptr while every block is in use.
LineBlock* BlockToFill(LineMaking& making);

// The block holds count frames now: a maker does the work on it.
void HandOver(LineMaking& making, LineBlock& block, std::int32_t count);

// The oldest block handed over and not yet written, once its work is done; meanwhile the
// writer works on the blocks that wait for a thread. At least one block must be waiting to be
// written.
const LineBlock& OldestMade(LineMaking& making);

// The oldest block is written: it is free for new samples.
void BlockWritten(LineMaking& making);

// Stops the makers, waits for them, and frees everything.
void EndLineMaking(LineMaking& making);
