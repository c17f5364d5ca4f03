#pragma once
// The check of a typed name: is it a mono PCM Wave file of 8, 16 or 24 bits? On acceptance
// the wave channel stays open on it in binary mode and the header is filled; on refusal it is
// closed. The verdict is a code and the facts behind it; each front end words them.
#include <cstdint>
#include <string_view>

#include "converter/wave_container.h"
#include "converter/wave_header.h"

// The channel the header check reads the wave file on, and leaves open on an accepted one for
// its conversion.
inline constexpr std::int16_t WaveChannel = 1;

// The verdicts, in the order the checks are made. Each reading option lets through what it
// reads; the rest is refused as the screen program refuses it.
enum class HeaderCode {
    Accepted,
    NotFound,        // the name cannot be opened and read
    NotWave,         // no "RIFF" ... "WAVE"; RF64, BW64 or Wave64 unless read; no format chunk
    NotPcm,          // the format tag is not PCM (nor a format the options read)
    NotMono,         // more or fewer channels than one, where no channel is asked for
    NoSuchChannel,   // the channel asked for lies past the file's channel count
    BadResolution,   // bits per sample other than 8, 16 or 24 (or those the options read)
    NotPacked,       // 24-bit samples in other than 3 bytes (or 4, where those are read)
    NoDataChunk,     // a format only the options read, without a data chunk to find its samples
    WouldOverwrite,  // the signal file would be the wave file itself
};

// How the format chunk says the samples are stored.
enum class SampleEncoding {
    Unread,           // the check stopped before the format tag
    Pcm,              // format tag 1
    ExtensiblePcm,    // format tag 0xFFFE whose sub-format is PCM
    Float,            // format tag 3, IEEE float
    ExtensibleFloat,  // format tag 0xFFFE whose sub-format is IEEE float
    ALaw,             // format tag 6, or 0xFFFE whose sub-format is A-law
    MuLaw,            // format tag 7, or 0xFFFE whose sub-format is µ-law
    Other,            // any other format tag
};

// What the file holds, as far as the check read it; 0 for the fields it did not reach. Where
// options the reading did not give would read the file, all of them.
struct HeldFormat {
    WaveContainer Container;      // the container the file's first bytes name
    std::int16_t FormatTag;       // bytes 20-21
    SampleEncoding Encoding;      // what the format tag (and an extensible sub-format) says
    std::uint16_t ChannelCount;   // byte 22, the channel count's low byte, or bytes 22-23
    std::int16_t BitsPerSample;   // bytes 34-35
    std::int16_t BlockAlignment;  // bytes 32-33
};

// The reading options beyond the plain PCM header, one flag each: in a verdict, the ones not
// given that would read a refused file, or all the samples of an accepted one.
struct NeededOptions {
    bool Extensible;  // extensible PCM read as PCM
    bool DataToEnd;   // the samples up to the end of the file, whatever the data size says
    bool AnyPcm;      // 32-bit, 24-bit in 4-byte slots, float, A-law or µ-law samples, or a
                      // container other than RIFF
    bool Channel;     // one channel of several
};

struct HeaderVerdict {
    HeaderCode Code;
    std::uint8_t FileError;     // NotFound: why the test open failed; else 0
    HeldFormat Format;          // what the format chunk says, as far as it was read
    std::int64_t GivenSamples;  // accepted: the sample count (of frames) the header's own data
                                // size gives, read to the end or not; else 0
    std::int64_t HeldSamples;   // accepted and counted: whole frames from the first to the end of
                                // the file; else -1
    bool SamplesLeftOut;        // accepted and counted: the data size is a placeholder or runs
                                // past the end, and its count leaves out samples the file holds
    NeededOptions Needed;
};

// How far the check reads beyond the plain PCM header. The screen program uses the defaults.
struct HeaderReading {
    bool Extensible = false;   // a format tag of 0xFFFE whose sub-format is PCM is read as PCM
    bool AnyPcm = false;       // also 32-bit, float, A-law and µ-law samples, 24 bits in 4-byte
                               // slots, and RF64, BW64 and Wave64 files; implies Extensible
    std::int32_t Channel = 0;  // the channel read, from 1, of a file of as many or more; 0: the
                               // file must be mono
    bool DataToEnd = false;    // a data size of 0 or 0xFFFFFFFF, or one past the end of the file,
                               // gives the whole samples from the first to the end of the file
    bool WholeChannelCount = false;  // the channel count is bytes 22-23; else byte 22 alone, so
                                     // a count of 257 reads as 1
    bool CountHeld = false;          // count the samples the file holds, into the verdict
    bool AnyLength = false;  // a RIFF data size of 2 GB to 4 GB is that many bytes, and reading to
                             // the end takes every frame: no count held to a sample buffer
    std::string_view SignalName = {};  // the signal file to be written; empty: the one beside
    bool NoSignalFile = false;         // the lines go elsewhere: there is no signal file to compare
};

// The check of a typed name: the test open (a name that cannot be opened and read is not
// found), then the file's head is read once through the wave channel and judged; chunks beyond
// the head are read through the channel. Refuses a file its signal file would overwrite.
HeaderVerdict CheckWaveHeader(std::string_view name, WaveHeader& header,
                              const HeaderReading& reading = {});

// The same judgement of a whole file given as its bytes, with no channel and no file system:
// no test open (so never NotFound), and no comparison with the signal file (so never
// WouldOverwrite; SignalName and NoSignalFile are not looked at). Bytes past the end read as 0,
// as the channel's reads give them. Accepted with the same header and verdict the name of a
// file holding these bytes gets.
HeaderVerdict CheckWaveBytes(std::string_view fileBytes, WaveHeader& header,
                             const HeaderReading& reading = {});
