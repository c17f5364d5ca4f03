// The fuzz target: each input is judged as a Wave file under the screen program's reading and
// each of the command line's (extensible, to the end of the file, any PCM, and the first two,
// the last and one past the last channel of a file of several), from its bytes in memory. The
// outcome is held against what the bytes say it must be; any difference aborts, so the fuzzer
// reports the input. The input is also a file in a scratch folder, new for each input: the
// check by its name must judge as the bytes were judged, and an accepted file is converted
// from it, by the screen program (on a fresh in-memory console, after its report) and by the
// command line's streamed conversion, which must give the same bytes. The scratch folder lies
// in memory (/dev/shm) where the system has one, so no input costs a disk write.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "console/screen.h"
#include "converter/header_check.h"
#include "converter/streamed_conversion.h"
#include "converter/wave_header.h"
#include "files/channels.h"
#include "platform/console_api.h"
#include "screen/conversion.h"
#include "screen/report.h"
#include "tests/fuzz/container_oracle.h"

namespace {

// Inputs are 4 KB at most (-max_len), but a header may promise far more samples than the file
// holds: the program then converts zero-filled samples, one line each, from arrays of up to
// 4 GB. Even a count too large for the sample buffer still has its raw array of up to 2 GB
// created before the conversion gives up, which costs seconds under the address sanitizer.
// Past the samples an input can hold (4,052 of 8 bits) and a zero-filled rest, such inputs
// reach no new code, so their conversion is skipped here; the header check still runs on them.
constexpr std::int64_t MaxConvertedSamples = 4096;

constexpr std::int64_t CanonicalSampleStart = 44;
constexpr std::int64_t FirstChunkOffset = 12;
// A signal value has 15 significant digits, rounded once on the 16th.
constexpr double ValueTolerance = 1e-14;

struct ScratchFiles {
    std::string Folder;
    std::string WaveName;    // the input, as the typed name
    std::string SignalName;  // where the program puts the signal file
};

ScratchFiles Scratch;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "wave_fuzz: invariant broken: %s\n", what);
    std::abort();
}

void Require(bool holds, const char* what) {
    if (!holds) Fail(what);
}

void RemoveScratchFolder() {
    unlink(Scratch.WaveName.c_str());
    unlink(Scratch.SignalName.c_str());
    rmdir(Scratch.Folder.c_str());
}

// A new file each time, never one that a reader of an earlier input may still hold.
void WriteInput(const std::uint8_t* data, std::size_t size) {
    unlink(Scratch.WaveName.c_str());
    int handle = open(Scratch.WaveName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    Require(handle >= 0, "the input file cannot be created");
    std::size_t done = 0;
    while (done < size) {
        ssize_t wrote = write(handle, data + done, size - done);
        Require(wrote > 0, "the input file cannot be written");
        done += static_cast<std::size_t>(wrote);
    }
    close(handle);
}

// The signal file's bytes, or false when there is none.
bool ReadSignalFile(std::string& bytes) {
    bytes.clear();
    int handle = open(Scratch.SignalName.c_str(), O_RDONLY | O_CLOEXEC);
    if (handle < 0) return false;
    char buffer[65536];
    for (;;) {
        ssize_t got = read(handle, buffer, sizeof buffer);
        Require(got >= 0, "the signal file cannot be read");
        if (got == 0) break;
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    close(handle);
    return true;
}

// The input as the file module reads it: bytes past the end count as 0.
struct Input {
    const std::uint8_t* Data;
    std::size_t Size;

    std::uint8_t Byte(std::int64_t offset) const {
        if (offset < 0 || static_cast<std::uint64_t>(offset) >= Size) return 0;
        return Data[offset];
    }
    std::int16_t Int16(std::int64_t offset) const {
        return static_cast<std::int16_t>(Byte(offset) | (Byte(offset + 1) << 8));
    }
    std::int32_t Int32(std::int64_t offset) const {
        std::uint32_t value = 0;
        for (int i = 3; i >= 0; --i) value = (value << 8) | Byte(offset + i);
        return static_cast<std::int32_t>(value);
    }
    // A short read never matches.
    bool Holds(std::int64_t offset, std::string_view text) const {
        if (offset < 0 || static_cast<std::uint64_t>(offset) + text.size() > Size) return false;
        return std::memcmp(Data + offset, text.data(), text.size()) == 0;
    }
};

// What the header fields call for under a reading: the verdict, and on acceptance where each
// sample of the channel read lies in its frame and how its bytes give its value.
struct ExpectedReading {
    HeaderCode Code;
    SampleForm Form;
    std::int64_t FrameBytes;
    std::int64_t ValueOffset;
    bool Plain;  // format tag 1: the canonical places stand in for a missing data chunk
};

// The sub-format GUID at 44-59: PCM (first byte 1) or IEEE float (3).
bool SubFormatIs(const Input& in, std::uint8_t first) {
    return in.Byte(44) == first &&
           in.Holds(45, std::string_view(
                            "\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 15));
}

ExpectedReading ExpectedFor(const Input& in, const HeaderReading& reading) {
    ExpectedReading expected{HeaderCode::Accepted, SampleForm::Unsigned8, 0, 0, false};
    const auto refuse = [&expected](HeaderCode code) {
        expected.Code = code;
        return expected;
    };
    if (!in.Holds(0, "RIFF") || !in.Holds(8, "WAVE")) return refuse(HeaderCode::NotWave);
    const std::int16_t tag = in.Int16(20);
    const std::int64_t channels = in.Byte(22);
    const std::int16_t align = in.Int16(32);
    const std::int16_t bits = in.Int16(34);
    const std::int16_t valid = in.Int16(38);
    const bool anyPcm = reading.AnyPcm;
    const bool extensible = tag == -2 && in.Int32(16) >= 40 && valid >= 1 && valid <= bits;
    const bool pcm = tag == 1 || (extensible && SubFormatIs(in, 1));
    const bool real = tag == 3 || (extensible && SubFormatIs(in, 3));
    const bool aLaw = tag == 6 || (extensible && SubFormatIs(in, 6));
    const bool muLaw = tag == 7 || (extensible && SubFormatIs(in, 7));
    expected.Plain = tag == 1;
    if (!(tag == 1 || (pcm && (reading.Extensible || anyPcm)) ||
          ((real || aLaw || muLaw) && anyPcm))) {
        return refuse(HeaderCode::NotPcm);
    }
    if (real && bits != 32 && bits != 64) return refuse(HeaderCode::NotPcm);
    if ((aLaw || muLaw) && bits != 8) return refuse(HeaderCode::NotPcm);
    const std::int64_t channel = reading.Channel == 0 ? 1 : reading.Channel;
    if (reading.Channel == 0 && channels != 1) return refuse(HeaderCode::NotMono);
    if (channel > channels) return refuse(HeaderCode::NoSuchChannel);
    std::int64_t slot = bits / 8;
    std::int64_t at = 0;
    if (real) {
        expected.Form = bits == 32 ? SampleForm::Float32 : SampleForm::Float64;
    } else if (aLaw || muLaw) {
        expected.Form = aLaw ? SampleForm::ALaw8 : SampleForm::MuLaw8;
    } else {
        if (bits != 8 && bits != 16 && bits != 24 && !(bits == 32 && anyPcm)) {
            return refuse(HeaderCode::BadResolution);
        }
        if (bits == 24 && align != 3 * channels) {
            if (!(anyPcm && tag == 1 && align == 4 * channels))
                return refuse(HeaderCode::NotPacked);
            slot = 4;
        }
        expected.Form = bits == 8    ? SampleForm::Unsigned8
                        : bits == 16 ? SampleForm::Signed16
                        : bits == 24 ? SampleForm::Signed24
                                     : SampleForm::Signed32;
        if (bits == 32 && tag == -2 && valid <= 24) {
            expected.Form = SampleForm::Signed24;
            at = 1;
        }
    }
    expected.FrameBytes = slot * channels;
    expected.ValueOffset = (channel - 1) * slot + at;
    return expected;
}

// The verdict that the header fields at their fixed offsets call for.
HeaderCode ExpectedVerdict(const Input& in) {
    if (!in.Holds(0, "RIFF") || !in.Holds(8, "WAVE")) return HeaderCode::NotWave;
    if (in.Int16(20) != 1) return HeaderCode::NotPcm;
    if (in.Byte(22) != 1) return HeaderCode::NotMono;
    std::int16_t bits = in.Int16(34);
    if (bits != 8 && bits != 16 && bits != 24) return HeaderCode::BadResolution;
    if (bits == 24 && in.Int16(32) != 3) return HeaderCode::NotPacked;
    return HeaderCode::Accepted;
}

struct DataPlace {
    std::int64_t Start;     // byte offset of the first sample
    std::int32_t DataSize;  // the size field that counts the samples
};

// The canonical data chunk header at 36, else the first "data" chunk whose whole 8-byte
// header lies in the file, found by walking the chunks from offset 12, else the canonical
// reading.
DataPlace ExpectedDataPlace(const Input& in) {
    if (in.Holds(36, "data")) return DataPlace{CanonicalSampleStart, in.Int32(40)};
    for (std::int64_t offset = FirstChunkOffset;
         static_cast<std::uint64_t>(offset) + 8 <= in.Size;) {
        if (in.Holds(offset, "data")) return DataPlace{offset + 8, in.Int32(offset + 4)};
        auto size = static_cast<std::uint32_t>(in.Int32(offset + 4));
        offset += 8 + static_cast<std::int64_t>(size) + (size & 1);
    }
    return DataPlace{CanonicalSampleStart, in.Int32(40)};
}

// numerator / denominator (above 0) rounded to nearest, ties to even.
std::int64_t RoundedQuotient(std::int64_t numerator, std::int64_t denominator) {
    std::int64_t quotient = numerator / denominator;
    std::int64_t remainder = numerator % denominator;
    if (remainder < 0) {
        quotient -= 1;
        remainder += denominator;
    }
    if (2 * remainder > denominator || (2 * remainder == denominator && (quotient & 1) != 0)) {
        quotient += 1;
    }
    return quotient;
}

void CheckHeader(const Input& in, const WaveHeader& header) {
    Require(header.FormatTag == 1, "accepted format tag is not 1");
    Require(header.ChannelCount == 1, "accepted channel count is not 1");
    Require(header.SampleRate == in.Int32(24), "sample rate is not bytes 24-27");
    Require(header.BlockAlignment == in.Int16(32), "block alignment is not bytes 32-33");
    Require(header.BitsPerSample == in.Int16(34), "bits per sample is not bytes 34-35");
    DataPlace place = ExpectedDataPlace(in);
    Require(header.SampleStart == place.Start, "samples start elsewhere than the data chunk");
    Require(header.DataSize == place.DataSize, "data size is not the data chunk's size field");
    std::int64_t n = RoundedQuotient(std::int64_t{header.DataSize} * 8, header.BitsPerSample);
    Require(header.SampleCount == n, "N is not data size x 8 / bits, rounded to even");
    if (header.SampleRate == 0) {
        Require(header.Duration == 0, "a rate of 0 gives a duration other than 0");
    } else {
        double exact = static_cast<double>(n) * 1000 / header.SampleRate;
        Require(std::fabs(static_cast<double>(header.Duration) - exact) <= 1,
                "duration is not N / rate x 1000");
    }
}

// G.711's A-law and mu-law codes as the 16-bit values they stand for, by the standard's bit
// rules: the sign bit, a segment of three bits and a step of four.
int ALawValue(std::uint8_t code) {
    const int a = code ^ 0x55;
    const int segment = (a & 0x70) >> 4;
    int magnitude = ((a & 0x0F) << 4) + 8;
    if (segment > 0) magnitude = (magnitude + 0x100) << (segment - 1);
    return (a & 0x80) != 0 ? magnitude : -magnitude;
}

int MuLawValue(std::uint8_t code) {
    const int u = ~code & 0xFF;
    const int magnitude = ((((u & 0x0F) << 3) + 0x84) << ((u & 0x70) >> 4)) - 0x84;
    return (u & 0x80) != 0 ? -magnitude : magnitude;
}

// The value stored in the form at the offset, missing bytes read as 0.
double ValueAt(const Input& in, std::int64_t at, SampleForm form) {
    switch (form) {
        case SampleForm::Unsigned8:
            return static_cast<double>(in.Byte(at)) - 128;
        case SampleForm::Signed16:
            return in.Int16(at);
        case SampleForm::Signed24: {
            std::int32_t v = in.Byte(at) | (in.Byte(at + 1) << 8) | (in.Byte(at + 2) << 16);
            return v > 8388607 ? v - 16777216 : v;
        }
        case SampleForm::Signed32:
            return in.Int32(at);
        case SampleForm::ALaw8:
            return ALawValue(in.Byte(at));
        case SampleForm::MuLaw8:
            return MuLawValue(in.Byte(at));
        case SampleForm::Float32: {
            const auto bits = static_cast<std::uint32_t>(in.Int32(at));
            float value = 0;
            std::memcpy(&value, &bits, sizeof value);
            return value;
        }
        case SampleForm::Float64: {
            const std::uint64_t bits = static_cast<std::uint32_t>(in.Int32(at)) |
                                       std::uint64_t{static_cast<std::uint32_t>(in.Int32(at + 4))}
                                           << 32;
            double value = 0;
            std::memcpy(&value, &bits, sizeof value);
            return value;
        }
    }
    return 0;
}

// Sample i of the channel read, as the conversion must decode it.
double ExpectedSample(const Input& in, const WaveHeader& header, const ExpectedReading& reading,
                      std::int64_t i) {
    return ValueAt(in, header.SampleStart + i * reading.FrameBytes + reading.ValueOffset,
                   reading.Form);
}

// One line's text: only the characters of the file form, no "0" before the point, the whole
// text a number.
double LineValue(const std::string& line) {
    Require(!line.empty(), "an empty line");
    Require(line.find_first_not_of("0123456789.-+E") == std::string::npos,
            "a line holds a character outside the number form");
    Require(line == "0" || (line.rfind("0", 0) != 0 && line.rfind("-0", 0) != 0),
            "a line has a 0 before the point");
    char* end = nullptr;
    double value = std::strtod(line.c_str(), &end);
    Require(end == line.c_str() + line.size(), "a line is not a number");
    Require(std::isfinite(value) && value >= -1 && value <= 1, "a value lies outside [-1, 1]");
    return value;
}

// N lines ended by CR LF, each the sample over the peak; the peak's lines exactly "1" or "-1",
// and all lines "0" when every sample is 0.
void CheckSignalFile(const std::vector<double>& samples, const std::string& bytes) {
    const auto n = static_cast<std::int64_t>(samples.size());
    double peak = 0;
    for (double sample : samples) peak = std::fmax(peak, std::fabs(sample));

    std::size_t at = 0;
    bool sawPeakLine = false;
    for (std::int64_t i = 0; i < n; ++i) {
        std::size_t end = bytes.find("\r\n", at);
        Require(end != std::string::npos, "fewer lines than N, or a line without CR LF");
        std::string line = bytes.substr(at, end - at);
        at = end + 2;
        Require(line.find_first_of("\r\n") == std::string::npos, "a stray CR or LF in a line");
        double value = LineValue(line);
        if (peak == 0) {
            Require(line == "0", "a file of zero samples has a line other than 0");
            continue;
        }
        double expected = samples[i] / peak;
        if (std::fabs(samples[i]) == peak) {
            Require(line == (samples[i] > 0 ? "1" : "-1"), "the peak's line is not 1 or -1");
            sawPeakLine = true;
        }
        // Below the doubles' normal range a value keeps fewer digits than the line shows.
        Require(std::fabs(value - expected) <= ValueTolerance * std::fabs(expected) + 1e-300,
                "a line's value is not the sample over the peak");
    }
    Require(at == bytes.size(), "more than N lines, or bytes after the last line end");
    Require(peak == 0 || sawPeakLine, "no line is 1 or -1 though a sample is not 0");
}

// Channel 1 is closed and no lock of ours is left on the wave file: it opens again. The
// failure's words tell which system error stood in the way.
void CheckChannelFree(const char* what) {
    TakeFileError();
    OpenChannel(WaveChannel, Scratch.WaveName, OpenMode::Test);
    const std::uint8_t error = TakeFileError();
    CloseChannel(WaveChannel);
    if (error != 0) {
        std::fprintf(stderr, "wave_fuzz: the wave file does not open again: file error %d, %s\n",
                     error, std::string(FailureCause(error)).c_str());
        Fail(what);
    }
}

// The samples of the channel read, N of them (none for N of 0 or below); the number from 1 of
// the first that is not a finite number, or 0.
std::vector<double> ExpectedSamples(const Input& in, const WaveHeader& header,
                                    const ExpectedReading& reading, std::int64_t& notANumber) {
    const std::int64_t n = header.SampleCount > 0 ? header.SampleCount : 0;
    std::vector<double> samples(static_cast<std::size_t>(n));
    notANumber = 0;
    for (std::int64_t i = 0; i < n; ++i) {
        samples[i] = ExpectedSample(in, header, reading, i);
        if (notANumber == 0 && !std::isfinite(samples[i])) notANumber = i + 1;
    }
    return samples;
}

// One input's run. Its readings judge the same bytes, and many of them find the same samples
// in the same places: a conversion depends on nothing else, so each such header is converted
// and held against the bytes once.
struct InputRun {
    Input In;
    std::vector<WaveHeader> Converted;
};

bool SameSamples(const WaveHeader& a, const WaveHeader& b) {
    return a.Form == b.Form && a.FrameBytes == b.FrameBytes && a.ValueOffset == b.ValueOffset &&
           a.SampleStart == b.SampleStart && a.SampleCount == b.SampleCount;
}

// True the first time these samples come up in the input's run.
bool FirstTime(InputRun& run, const WaveHeader& header) {
    for (const WaveHeader& converted : run.Converted) {
        if (SameSamples(converted, header)) return false;
    }
    run.Converted.push_back(header);
    return true;
}

// The header check of the input's bytes under a reading: no channel, no file.
HeaderVerdict CheckBytes(const Input& in, WaveHeader& header, const HeaderReading& reading) {
    const std::string_view bytes(reinterpret_cast<const char*>(in.Data), in.Size);
    return CheckWaveBytes(bytes, header, reading);
}

bool SameHeader(const WaveHeader& a, const WaveHeader& b) {
    return a.FormatTag == b.FormatTag && a.ChannelCount == b.ChannelCount &&
           a.SampleRate == b.SampleRate && a.BlockAlignment == b.BlockAlignment &&
           a.BitsPerSample == b.BitsPerSample && a.DataSize == b.DataSize &&
           a.Duration == b.Duration && SameSamples(a, b);
}

bool SameVerdict(const HeaderVerdict& a, const HeaderVerdict& b) {
    const HeldFormat& f = a.Format;
    const HeldFormat& g = b.Format;
    const NeededOptions& m = a.Needed;
    const NeededOptions& n = b.Needed;
    return a.Code == b.Code && a.FileError == b.FileError && a.GivenSamples == b.GivenSamples &&
           a.HeldSamples == b.HeldSamples && f.FormatTag == g.FormatTag &&
           f.Encoding == g.Encoding && f.ChannelCount == g.ChannelCount &&
           f.BitsPerSample == g.BitsPerSample && f.BlockAlignment == g.BlockAlignment &&
           m.Extensible == n.Extensible && m.DataToEnd == n.DataToEnd && m.AnyPcm == n.AnyPcm &&
           m.Channel == n.Channel;
}

// The header check of the wave file by its name, as the front ends make it, must judge as the
// bytes were judged; on acceptance channel 1 stays open on the file, and a refusal leaves it
// free.
void CheckFileAlike(const HeaderVerdict& verdict, const WaveHeader& header,
                    const HeaderReading& reading) {
    CloseChannel(WaveChannel);
    TakeFileError();
    WaveHeader read{};
    const HeaderVerdict judged = CheckWaveHeader(Scratch.WaveName, read, reading);
    Require(SameVerdict(judged, verdict) && SameHeader(read, header),
            "the file's check and the check of its bytes differ");
    if (judged.Code != HeaderCode::Accepted) {
        CheckChannelFree("a refusal left the wave file open or locked");
    }
}

// The streamed conversion of the accepted file on channel 1, into the signal file beside it.
ConversionOutcome ConvertReading(const WaveHeader& header, ConversionFailure& failure) {
    unlink(Scratch.SignalName.c_str());
    return ConvertStreamed(Scratch.WaveName, header, failure);
}

// The screen program's reading: the file's check as well as the bytes', whatever the verdict;
// an accepted file's report, and its conversion, which the streamed one must match byte for
// byte.
void RunScreenReading(InputRun& run) {
    const Input& in = run.In;
    platform::ResetConsole(81, 30);
    PrepareConsole();

    WaveHeader header{};
    const HeaderVerdict verdict = CheckBytes(in, header, {});
    CheckFileAlike(verdict, header, {});
    const HeaderCode expected = ExpectedVerdict(in);
    if (verdict.Code != HeaderCode::Accepted) {
        Require(verdict.Code == expected, "refused with another verdict, or not to be refused");
        return;
    }
    Require(expected == HeaderCode::Accepted, "accepted a file that is to be refused");
    CheckHeader(in, header);
    WriteReport(header);
    if (header.SampleCount > MaxConvertedSamples || !FirstTime(run, header)) {
        CloseChannel(WaveChannel);
        return;
    }

    unlink(Scratch.SignalName.c_str());
    ConversionOutcome outcome = ConvertToSignalFile(Scratch.WaveName, header);
    Require(outcome == ConversionOutcome::Finished, "the conversion did not finish");
    std::string bytes;
    Require(ReadSignalFile(bytes), "no signal file");
    std::int64_t notANumber = 0;
    CheckSignalFile(ExpectedSamples(in, header, ExpectedFor(in, {}), notANumber), bytes);
    CheckChannelFree("the conversion left the wave file open or locked");

    CheckFileAlike(verdict, header, {});
    ConversionFailure failure;
    outcome = ConvertReading(header, failure);
    Require(outcome == ConversionOutcome::Finished, "the streamed conversion did not finish");
    std::string streamed;
    Require(ReadSignalFile(streamed), "no signal file from the streamed conversion");
    Require(streamed == bytes, "the streamed conversion wrote other bytes");
    CheckChannelFree("the streamed conversion left the wave file open or locked");
}

// Where a reading finds the samples: as the screen program does for a plain PCM file, else
// only in a data chunk; false when there is none.
bool ExpectedPlaceFor(const Input& in, bool plain, DataPlace& place) {
    place = ExpectedDataPlace(in);
    if (plain) return true;
    for (std::int64_t offset = FirstChunkOffset;
         static_cast<std::uint64_t>(offset) + 8 <= in.Size;) {
        if (in.Holds(offset, "data")) {
            place = DataPlace{offset + 8, in.Int32(offset + 4)};
            return true;
        }
        auto size = static_cast<std::uint32_t>(in.Int32(offset + 4));
        offset += 8 + static_cast<std::int64_t>(size) + (size & 1);
    }
    return false;
}

// The data size a reading counts from: the size field (signed, or with AnyLength unsigned but
// for 0xFFFFFFFF), or with DataToEnd, where it is a placeholder or past the end, the whole
// frames up to the end of the file (without AnyLength, up to 2 GB of them).
std::int64_t ExpectedDataSize(const Input& in, const DataPlace& place, std::int64_t frame,
                              const HeaderReading& reading) {
    std::int64_t held = std::max<std::int64_t>(static_cast<std::int64_t>(in.Size) - place.Start, 0);
    held -= held % frame;
    const std::int32_t field = place.DataSize;
    const auto unsignedField = static_cast<std::uint32_t>(field);
    if (!reading.DataToEnd || !(field == 0 || field == -1 || unsignedField > held)) {
        return reading.AnyLength && field != -1 ? std::int64_t{unsignedField} : field;
    }
    return reading.AnyLength ? held : std::min<std::int64_t>(held, INT32_MAX - INT32_MAX % frame);
}

// The converted lines of an accepted reading against the samples the layout finds in the bytes.
void ConvertAndCheck(InputRun& run, const HeaderVerdict& verdict, const WaveHeader& header,
                     const HeaderReading& reading, const ExpectedReading& layout) {
    if (header.SampleCount > MaxConvertedSamples || !FirstTime(run, header)) return;
    std::int64_t notANumber = 0;
    const std::vector<double> samples = ExpectedSamples(run.In, header, layout, notANumber);
    CheckFileAlike(verdict, header, reading);
    ConversionFailure failure;
    const ConversionOutcome outcome = ConvertReading(header, failure);
    std::string bytes;
    if (notANumber != 0) {
        Require(outcome == ConversionOutcome::NotANumber && failure.Sample == notANumber,
                "a sample that is not a number is not refused as the first such");
        Require(!ReadSignalFile(bytes), "a file refused for a sample wrote a signal file");
    } else {
        Require(outcome == ConversionOutcome::Finished, "a reading's conversion did not finish");
        Require(ReadSignalFile(bytes), "no signal file from a reading");
        CheckSignalFile(samples, bytes);
    }
    CheckChannelFree("a reading's conversion left the wave file open or locked");
}

// RF64, BW64 and Wave64 files, which only --any-pcm reads.
bool OtherContainer(const Input& in) {
    const std::string_view bytes(reinterpret_cast<const char*>(in.Data), in.Size);
    return OtherContainerOf(bytes) != OtherContainerKind::None;
}

WaveContainer ContainerOfKind(OtherContainerKind kind) {
    switch (kind) {
        case OtherContainerKind::Rf64:
            return WaveContainer::Rf64;
        case OtherContainerKind::Bw64:
            return WaveContainer::Bw64;
        case OtherContainerKind::Wave64:
            return WaveContainer::Wave64;
        case OtherContainerKind::None:
            break;
    }
    return WaveContainer::Unknown;
}

// The data size a container's reading counts from, as far as the header's field holds it: the
// data chunk's, or with DataToEnd, where that is 0 or past the end, the whole frames up to it.
std::int64_t ExpectedContainerDataSize(const Input& in, const ContainerLayout& layout,
                                       std::int64_t frame, const HeaderReading& reading) {
    const bool toEnd = reading.DataToEnd;
    // Any length takes sizes whose count of bits is still a 64-bit integer; else 32-bit ones.
    const std::int64_t Largest = reading.AnyLength ? INT64_MAX / 8 : INT32_MAX;
    const auto size = static_cast<std::int64_t>(
        std::min<std::uint64_t>(layout.DataSize, static_cast<std::uint64_t>(Largest)));
    std::int64_t held =
        std::max<std::int64_t>(static_cast<std::int64_t>(in.Size) - layout.DataStart, 0);
    held -= held % frame;
    if (!toEnd || (size != 0 && size <= held)) return size;
    return std::min<std::int64_t>(held, Largest - Largest % frame);
}

// A reading of another container, held against the oracle's own walk of its chunks: the format
// payload it finds is judged as a RIFF file's, and the samples are those of its data chunk.
void RunContainerReading(InputRun& run, const HeaderReading& reading) {
    const Input& in = run.In;
    const ContainerLayout layout =
        ReadOtherContainer(std::string_view(reinterpret_cast<const char*>(in.Data), in.Size));
    WaveHeader header{};
    const HeaderVerdict verdict = CheckBytes(in, header, reading);
    Require(verdict.Format.Container == ContainerOfKind(layout.Kind),
            "a reading names another container");
    // Without a format chunk the head is empty, which is no Wave file.
    const auto* head = reinterpret_cast<const std::uint8_t*>(layout.FormatHead.data());
    const Input format{head, layout.FormatHead.size()};
    const ExpectedReading expected = ExpectedFor(format, reading);
    const HeaderCode code = expected.Code == HeaderCode::Accepted && !layout.DataFound
                                ? HeaderCode::NoDataChunk
                                : expected.Code;
    if (verdict.Code != HeaderCode::Accepted) {
        Require(verdict.Code == code, "a container refused with another verdict, or not to refuse");
        return;
    }
    Require(code == HeaderCode::Accepted, "a container accepted that is to be refused");
    Require(header.Form == expected.Form && header.FrameBytes == expected.FrameBytes &&
                header.ValueOffset == expected.ValueOffset &&
                header.FormatTag == format.Int16(20) && header.SampleRate == format.Int32(24) &&
                header.BitsPerSample == format.Int16(34),
            "a container's reading decodes other bytes than its format chunk says");
    Require(header.SampleStart == layout.DataStart, "a container's samples start elsewhere");
    const std::int64_t size = ExpectedContainerDataSize(in, layout, expected.FrameBytes, reading);
    Require(std::int64_t{header.DataSize} == size, "a container's data size is not its chunk's");
    Require(std::int64_t{header.SampleCount} == RoundedQuotient(size, expected.FrameBytes),
            "a container's N is not data size / frame bytes, rounded to even");
    ConvertAndCheck(run, verdict, header, reading, expected);
}

// One reading of the command line through the streamed conversion, held against the bytes.
void RunReading(InputRun& run, const HeaderReading& reading) {
    const Input& in = run.In;
    if (reading.AnyPcm && OtherContainer(in)) {
        RunContainerReading(run, reading);
        return;
    }
    WaveHeader header{};
    const HeaderVerdict verdict = CheckBytes(in, header, reading);
    const ExpectedReading expected = ExpectedFor(in, reading);
    DataPlace place{};
    const bool located =
        expected.Code != HeaderCode::Accepted || ExpectedPlaceFor(in, expected.Plain, place);
    const HeaderCode code = located ? expected.Code : HeaderCode::NoDataChunk;
    if (verdict.Code != HeaderCode::Accepted) {
        Require(verdict.Code == code, "a reading refused with another verdict, or not to refuse");
        return;
    }
    Require(code == HeaderCode::Accepted, "a reading accepted a file that is to be refused");
    Require(header.Form == expected.Form && header.FrameBytes == expected.FrameBytes &&
                header.ValueOffset == expected.ValueOffset,
            "a reading decodes other bytes than the format chunk says");
    Require(header.SampleStart == place.Start, "a reading's samples start elsewhere");
    const std::int64_t size = ExpectedDataSize(in, place, expected.FrameBytes, reading);
    Require(header.DataSize == size, "a reading's data size is not what the bytes say");
    Require(header.SampleCount == RoundedQuotient(size * 8, expected.FrameBytes * 8),
            "a reading's N is not data size / frame bytes, rounded to even");
    ConvertAndCheck(run, verdict, header, reading, expected);
}

// Every reading option; of a file of several channels, the first two, the last and one past
// it, where the reading's edges lie (the channels between decode as the second does, one slot
// further on).
void RunReadings(InputRun& run) {
    RunReading(run, {.Extensible = true});
    RunReading(run, {.DataToEnd = true});
    RunReading(run, {.AnyPcm = true});
    const int channels = run.In.Byte(22);
    int tried[] = {1, 2, channels, channels + 1};
    for (std::size_t i = 0; i < std::size(tried); ++i) {
        const int channel = tried[i];
        if (channel < 1 || std::find(tried, tried + i, channel) != tried + i) continue;
        RunReading(
            run,
            {.AnyPcm = true, .Channel = channel, .DataToEnd = channel % 2 == 0, .AnyLength = true});
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char inMemory[] = "/dev/shm/norvistrand-fuzz-XXXXXX";
    char onDisk[] = "/tmp/norvistrand-fuzz-XXXXXX";
    char* pattern = mkdtemp(inMemory) != nullptr ? inMemory : mkdtemp(onDisk);
    if (pattern == nullptr) Fail("no scratch folder");
    Scratch.Folder = pattern;
    Scratch.WaveName = Scratch.Folder + "/take.wav";
    Scratch.SignalName = Scratch.Folder + "/take.sig";
    std::atexit(RemoveScratchFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    WriteInput(data, size);
    InputRun run{.In = Input{data, size}, .Converted = {}};
    RunScreenReading(run);
    RunReadings(run);
    CloseChannel(WaveChannel);
    TakeFileError();
    unlink(Scratch.WaveName.c_str());
    unlink(Scratch.SignalName.c_str());
    return 0;
}
