#pragma once
// The conversion for many files and long ones: the same signal file as the screen program
// writes, made in two passes over the samples (the peak first, then the lines) with memory
// that does not grow with the file, and put in place only once complete. The second pass goes
// a block at a time, so that a front end can show how far it got in between.
#include <cstdint>
#include <string>
#include <string_view>

#include "converter/conversion_outcome.h"
#include "converter/line_blocks.h"
#include "converter/signal_envelope.h"
#include "converter/wave_header.h"
#include "files/channels.h"
#include "files/replacement_file.h"

// What the second pass makes of the samples.
enum class SignalForm {
    Lines,   // the signal file's lines
    Npy,     // the values those lines read back as, in a NumPy array file (see npy_file.h)
    Memory,  // the same values, into memory the caller holds: no file is written
};

// Where the lines go: by default the signal file beside the wave file.
struct SignalTarget {
    std::string_view Path;  // the file to write instead; empty: the one beside
    bool StandardOutput;    // to standard output, with no file written
    SignalForm Form = SignalForm::Lines;
    double* Values = nullptr;  // Memory: room for the header's SampleCount values
    // The columns of the envelope gathered as the blocks are written; 0 gathers none.
    std::int32_t EnvelopeColumns = 0;
};

// What a failed conversion leaves for the front end to word; all zero and empty otherwise.
struct ConversionFailure {
    std::uint8_t Error;   // ReadFailed, WriteFailed: the file error number; 0 for a changed file
    std::string Path;     // WriteFailed: the path the failure happened to; empty for a write
    bool Changed;         // ReadFailed: the wave file changed between or during the passes
    bool LinesSent;       // lines went to standard output before the failure
    std::int64_t Sample;  // NotANumber: the first sample that is no finite number, from 1
};

// How a pass over the samples ended.
enum class PassOutcome { Completed, ReadFailed, Changed, NoMemory };

// The second pass under way.
struct SignalWriting {
    WaveHeader Header;
    FileStamp Before;  // the wave file as the first pass found it
    double Peak;
    SignalForm Form;
    double* Values;  // Memory: where the next block's values go
    bool Fits;       // the screen program could have held the samples; else nothing is written
    LineMaking Making;
    bool Blocks;  // Making was begun: it must be ended
    ReplacementFile Out;
    // Gathered from the blocks as they are written.
    SignalEnvelope Envelope;
    std::int64_t Filled;   // frames handed over to the makers
    std::int64_t Written;  // frames whose lines are written
    std::uint8_t ReadError;
    PassOutcome Outcome;
};

// Whether the header's samples are converted streamed: any count the wave file, open on
// channel 1, holds; past its end no more than the screen program's sample buffer would hold,
// since the lines there would be zeros the file never held.
bool StreamedCountFits(const WaveHeader& header);

// Channel 1 is open on the accepted wave file on entry. A count StreamedCountFits refuses is
// refused as too large. A float sample that is not a finite number fails the pass as
// NotANumber, before anything is written. On any failure channel 1 is closed; on success it
// stays open for the second pass, with before the file's stamp.
ConversionOutcome FindSignalPeak(const WaveHeader& header, int threads, FileStamp& before,
                                 double& peak, ConversionFailure& failure);

// Opens the target and prepares the second pass with the first pass's stamp and peak.
void BeginSignalWriting(SignalWriting& writing, std::string_view waveName, const WaveHeader& header,
                        const FileStamp& before, double peak, const SignalTarget& target,
                        int threads);

// Writes the next block of lines; false once every block is written or the pass failed.
bool WriteNextBlock(SignalWriting& writing);

// Ends the second pass and closes channel 1. The wave file must look as it did before the
// first pass: one changed in between (its size or times, or a sample above the peak) fails as
// ReadFailed and the old signal file stays.
ConversionOutcome FinishSignalWriting(SignalWriting& writing, ConversionFailure& failure);

// Both passes at once, with nothing shown meanwhile. The lines are made on threads (see
// line_blocks.h), the same bytes for every count.
ConversionOutcome ConvertStreamed(std::string_view waveName, const WaveHeader& header,
                                  ConversionFailure& failure, const SignalTarget& target = {},
                                  int threads = AutomaticThreads);

// The conversion from the second pass on, with the first pass's stamp of the wave file and
// the peak it found.
ConversionOutcome ConvertWithPeak(std::string_view waveName, const WaveHeader& header,
                                  const FileStamp& before, double peak, ConversionFailure& failure,
                                  const SignalTarget& target = {}, int threads = AutomaticThreads);
