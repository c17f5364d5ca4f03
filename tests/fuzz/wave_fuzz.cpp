// The fuzz target: each input becomes a Wave file in a scratch folder and goes through what
// the program does with a typed name: the header check and, on acceptance, the report and the
// conversion, on a fresh in-memory console; then the command-line mode's streamed conversion,
// which must give the same bytes. The outcome is held against what the input's bytes say it
// must be; any difference aborts, so the fuzzer reports the input. The scratch folder lies in
// memory (/dev/shm) where the system has one, so no input costs a disk write.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "command_line/streamed_conversion.h"
#include "console/screen.h"
#include "converter/header_check.h"
#include "files/channels.h"
#include "platform/console_api.h"
#include "screen/conversion.h"
#include "screen/report.h"

namespace {

// Inputs are a few kilobytes at most (-max_len), but a header may promise far more samples
// than the file holds: the program then converts zero-filled samples, one line each, from
// arrays of up to 4 GB. Even a count too large for the sample buffer still has its raw array
// of up to 2 GB created before the conversion gives up, which costs seconds under the address
// sanitizer. Past a few thousand samples such inputs reach no new code, so their conversion
// is skipped here; the header check still runs on them.
constexpr std::int64_t MaxConvertedSamples = 8192;

constexpr std::int16_t WaveChannel = 1;
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

void WriteInput(const std::uint8_t* data, std::size_t size) {
    int handle = open(Scratch.WaveName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
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

// Sample i as the conversion must decode it, missing bytes read as 0.
double ExpectedSample(const Input& in, const WaveHeader& header, std::int64_t i) {
    switch (header.BitsPerSample) {
        case 8:
            return static_cast<double>(in.Byte(header.SampleStart + i)) - 128;
        case 16:
            return in.Int16(header.SampleStart + 2 * i);
        default: {
            std::int64_t at = header.SampleStart + 3 * i;
            std::int32_t v = in.Byte(at) | (in.Byte(at + 1) << 8) | (in.Byte(at + 2) << 16);
            return v > 8388607 ? v - 16777216 : v;
        }
    }
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
void CheckSignalFile(const Input& in, const WaveHeader& header, const std::string& bytes) {
    // N of 0 or below: no line at all.
    const std::int64_t n = header.SampleCount > 0 ? header.SampleCount : 0;
    std::vector<double> samples(static_cast<std::size_t>(n));
    double peak = 0;
    for (std::int64_t i = 0; i < n; ++i) {
        samples[i] = ExpectedSample(in, header, i);
        peak = std::fmax(peak, std::fabs(samples[i]));
    }

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
        Require(std::fabs(value - expected) <= ValueTolerance * std::fabs(expected),
                "a line's value is not the sample over the peak");
    }
    Require(at == bytes.size(), "more than N lines, or bytes after the last line end");
    Require(peak == 0 || sawPeakLine, "no line is 1 or -1 though a sample is not 0");
}

// Channel 1 is closed and no lock of ours is left on the wave file: it opens again.
void CheckChannelFree(const char* what) {
    TakeFileError();
    OpenChannel(WaveChannel, Scratch.WaveName, OpenMode::Test);
    Require(TakeFileError() == 0, what);
    CloseChannel(WaveChannel);
}

void RunOne(const Input& in) {
    platform::ResetConsole(81, 30);
    PrepareConsole();
    CloseChannel(WaveChannel);
    TakeFileError();

    WaveHeader header{};
    HeaderVerdict verdict = CheckWaveHeader(Scratch.WaveName, header);
    const HeaderCode expected = ExpectedVerdict(in);
    if (verdict.Code != HeaderCode::Accepted) {
        Require(verdict.Code == expected, "refused with another verdict, or not to be refused");
        CheckChannelFree("a refusal left the wave file open or locked");
        return;
    }
    Require(expected == HeaderCode::Accepted, "accepted a file that is to be refused");
    CheckHeader(in, header);
    WriteReport(header);

    if (header.SampleCount > MaxConvertedSamples) {
        CloseChannel(WaveChannel);
        TakeFileError();
        return;
    }

    ConversionOutcome outcome = ConvertToSignalFile(Scratch.WaveName, header);
    Require(outcome == ConversionOutcome::Finished, "the conversion did not finish");
    std::string bytes;
    Require(ReadSignalFile(bytes), "no signal file");
    CheckSignalFile(in, header, bytes);
    CheckChannelFree("the conversion left the wave file open or locked");

    unlink(Scratch.SignalName.c_str());
    Require(CheckWaveHeader(Scratch.WaveName, header).Code == HeaderCode::Accepted,
            "accepted only once");
    ProgressDisplay quiet{false, {}, {}, -1};
    std::string cause;
    outcome = ConvertStreamed(Scratch.WaveName, header, quiet, cause);
    Require(outcome == ConversionOutcome::Finished, "the streamed conversion did not finish");
    std::string streamed;
    Require(ReadSignalFile(streamed), "no signal file from the streamed conversion");
    Require(streamed == bytes, "the streamed conversion wrote other bytes");
    CheckChannelFree("the streamed conversion left the wave file open or locked");
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
    RunOne(Input{data, size});
    CloseChannel(WaveChannel);
    TakeFileError();
    unlink(Scratch.WaveName.c_str());
    unlink(Scratch.SignalName.c_str());
    return 0;
}
