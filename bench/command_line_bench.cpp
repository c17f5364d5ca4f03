// Times the command-line mode against its floor: writing the very bytes of its signal file from
// memory in 64 KB writes. A 16-bit file with the default threads, and a 24-bit file with one,
// two, four and eight threads (as many as the machine has) and the default; each run of the
// program (a child: fork, exec, wait4, no shell) is followed by a run of its file's floor, and
// the fastest of several of each stands for it, with the spread a shared machine gave them.
// The signal files must be the same bytes for every thread count. Before that, the mode's
// signal files of smaller 8-, 16- and 24-bit files are checked against the screen program's
// conversion, byte for byte; afterwards --npy is timed against the signal file, and the cost of
// one 24-bit line's text in process. First of all, while the bench is small, a file of any
// length: the time a sample at 1,500,000,000 samples against that at 10,000,000, and the peak.
//
//   command_line_bench [PROGRAM [SAMPLES]]
//
// PROGRAM defaults to the norvistrand built beside the bench folder; SAMPLES to 10,000,000.
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "converter/sample_decoding.h"
#include "converter/signal_line.h"

namespace {

constexpr int Repetitions = 5;
constexpr std::int32_t DefaultSamples = 10000000;
constexpr std::int32_t CheckedSamples = 500000;  // the screen program's pace: about 2 s each

// The program built with the bench: build/norvistrand beside build/bench/.
std::string ProgramBesideBench() {
    char self[4096];
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return "norvistrand";
    std::string path(self, static_cast<std::size_t>(length));
    std::string folder = path.substr(0, path.rfind('/'));
    for (const std::string& candidate : {folder + "/../norvistrand", folder + "/norvistrand"}) {
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return "norvistrand";
}

// Runs the command (searched on PATH) with no terminal input and its output discarded.
Run RunCommand(const std::vector<std::string>& command) {
    std::vector<char*> arguments;
    for (const std::string& argument : command)
        arguments.push_back(const_cast<char*>(argument.c_str()));
    arguments.push_back(nullptr);
    auto began = std::chrono::steady_clock::now();
    pid_t child = fork();
    if (child == 0) {
        int quiet = open("/dev/null", O_RDWR);
        dup2(quiet, STDIN_FILENO);
        dup2(quiet, STDOUT_FILENO);
        dup2(quiet, STDERR_FILENO);
        execvp(arguments[0], arguments.data());
        _exit(127);
    }
    return AwaitChild(child, began);
}

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Whether the command-line mode writes the screen program's very bytes for a file of this
// resolution.
bool SameBytes(const std::string& program, const std::string& folder, int bits) {
    const std::string wave = folder + "/check" + std::to_string(bits) + ".wav";
    const std::string signal = folder + "/check" + std::to_string(bits) + ".sig";
    const std::string screens = signal + ".screen";
    if (!WriteWave(wave, CheckedSamples, bits)) return false;
    if (!InChild([&] { return ConvertInChild(wave); }).Ok) return false;
    if (std::rename(signal.c_str(), screens.c_str()) != 0) return false;
    if (!RunCommand({program, "-q", wave}).Ok) return false;
    const std::string expected = Contents(screens);
    return !expected.empty() && expected == Contents(signal);
}

struct Timing {
    double Fastest = 1e30;
    double Slowest = 0;
    long PeakKilobytes = 0;
    bool Ok = true;
};

void Take(Timing& timing, const Run& run) {
    timing.Fastest = std::min(timing.Fastest, run.Seconds);
    timing.Slowest = std::max(timing.Slowest, run.Seconds);
    timing.PeakKilobytes = std::max(timing.PeakKilobytes, run.PeakKilobytes);
    timing.Ok = timing.Ok && run.Ok;
}

double Mebibytes(long kilobytes) {
    return static_cast<double>(kilobytes) / 1024;
}

constexpr std::size_t FloorWrite = 64 * 1024;

// The floor: bytes written from memory into a new file at path in 64 KB writes, with the file's
// opening and closing; the seconds, or a failed run.
Run WriteFloor(const std::string& bytes, const std::string& path) {
    const auto began = std::chrono::steady_clock::now();
    const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    bool ok = file >= 0;
    for (std::size_t at = 0; ok && at < bytes.size(); at += FloorWrite) {
        const std::size_t piece = std::min(FloorWrite, bytes.size() - at);
        ok = write(file, bytes.data() + at, piece) == static_cast<ssize_t>(piece);
    }
    ok = file >= 0 && close(file) == 0 && ok;
    return Run{std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count(), 0,
               ok};
}

// One way of running the program on one file; threads 0 is the default.
struct Setting {
    int Bits;
    int Threads;
    Timing Program;
    Timing Floor;
    bool SameBytes = true;  // the signal file was the first run's of the file, every time
};

Setting MakeSetting(int bits, int threads) {
    return Setting{.Bits = bits, .Threads = threads, .Program = {}, .Floor = {}, .SameBytes = true};
}

std::vector<std::string> Command(const std::string& program, const std::string& wave, int threads) {
    if (threads == 0) return {program, "-q", wave};
    return {program, "-q", "-T", std::to_string(threads), wave};
}

std::string ThreadsName(int threads) {
    return threads == 0 ? "default" : std::to_string(threads);
}

// Every setting run once for its peak memory while the bench itself is small (a child's peak
// counts what it shared with the bench before its exec), then in turn, each run followed by its
// file's floor, repetitions times over. False when a file could not be made.
bool TimeSettings(const std::string& program, const std::string& folder, std::int32_t samples,
                  std::vector<Setting>& settings) {
    auto wave = [&](const Setting& setting) {
        return folder + "/bench" + std::to_string(setting.Bits) + ".wav";
    };
    auto signal = [&](const Setting& setting) {
        return folder + "/bench" + std::to_string(setting.Bits) + ".sig";
    };
    for (Setting& setting : settings) {
        if (access(wave(setting).c_str(), R_OK) != 0 &&
            !WriteWave(wave(setting), samples, setting.Bits)) {
            return false;
        }
        Take(setting.Program, RunCommand(Command(program, wave(setting), setting.Threads)));
    }
    std::string signals[25];  // by bits: the signal file of the default
    for (const Setting& setting : settings) {
        if (signals[setting.Bits].empty()) {
            RunCommand({program, "-q", wave(setting)});
            signals[setting.Bits] = Contents(signal(setting));
        }
    }
    for (int repetition = 0; repetition < Repetitions; ++repetition) {
        for (Setting& setting : settings) {
            const std::string& expected = signals[setting.Bits];
            // Both write a new file: no old one is left to pass for the program's output.
            std::remove(signal(setting).c_str());
            Run run = RunCommand(Command(program, wave(setting), setting.Threads));
            run.PeakKilobytes = 0;  // the bench holds the signal files now
            Take(setting.Program, run);
            setting.SameBytes =
                setting.SameBytes && !expected.empty() && Contents(signal(setting)) == expected;
            std::remove((folder + "/floor.sig").c_str());
            Take(setting.Floor, WriteFloor(expected, folder + "/floor.sig"));
        }
    }
    return true;
}

// The array file against the signal file of the same wave file, run in turn: --npy makes every
// line as the signal file does and reads it back. Its time over the lines' time, or 0 for a
// failed run.
double NpyRatio(const std::string& program, const std::string& folder, int bits) {
    const std::string wave = folder + "/bench" + std::to_string(bits) + ".wav";
    Timing lines;
    Timing values;
    for (int repetition = 0; repetition < Repetitions; ++repetition) {
        Take(lines, RunCommand({program, "-q", wave}));
        Take(values, RunCommand({program, "-q", "--npy", wave}));
    }
    return lines.Ok && values.Ok ? values.Fastest / lines.Fastest : 0;
}

std::string LoadAverage() {
    std::string load = Contents("/proc/loadavg");
    return load.substr(0, load.find(' ', load.find(' ', load.find(' ') + 1) + 1));
}

struct LineCost {
    double CpuNanoseconds;  // the process's processor time: what others' work cannot inflate
    double WallNanoseconds;
};

double ProcessorSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The text of one 24-bit line with its line end, timed over the samples of the same
// pseudo-random sequence: as the command line makes it (the short road of whole samples), and
// by the general road.
LineCost TimeLineText(std::int32_t samples, bool general) {
    std::vector<std::int32_t> values(static_cast<std::size_t>(samples));
    std::uint32_t state = 12345;
    double peak = 0;
    for (std::int32_t& value : values) {
        state = state * 1103515245u + 12345u;
        value = static_cast<std::int32_t>(state) >> 8;  // bit 23 of the sample is its sign
        TakePeak(value, peak);
    }
    LineCost fastest{1e30, 1e30};
    std::vector<char> text(static_cast<std::size_t>(samples) * LongestSignalLine + SignalLineRoom);
    std::size_t checksum = 0;
    const WholeDivisor divisor = SignalWholeDivisor(peak);
    for (int repetition = 0; repetition < Repetitions; ++repetition) {
        const double cpuBegan = ProcessorSeconds();
        const auto began = std::chrono::steady_clock::now();
        char* at = text.data();
        for (std::int32_t value : values) {
            if (general) {
                const NumberText line = WithLineEnd(SignalLine(value, divisor.General));
                std::memcpy(at, line.Text, sizeof line.Text);
                at += line.Length;
            } else {
                at += PutSignalLine(at, value, divisor);
            }
        }
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        checksum += static_cast<std::size_t>(at - text.data()) + static_cast<unsigned char>(at[-3]);
        fastest.CpuNanoseconds =
            std::min(fastest.CpuNanoseconds, (ProcessorSeconds() - cpuBegan) * 1e9 / samples);
        fastest.WallNanoseconds = std::min(fastest.WallNanoseconds, wall * 1e9 / samples);
    }
    if (checksum == 0) std::printf("(no text)\n");  // keeps the lines from being optimised away
    return fastest;
}

// An 8-bit mono file of n samples that holds a hole between its first and last: made in no
// time, and read at the pace of the file system's zeros.
bool WriteHollowWave(const std::string& path, std::int64_t samples) {
    WaveLayout layout;
    layout.BitsPerSample = 8;
    layout.BlockAlignment = 1;
    layout.Samples = "\xFF";
    layout.OwnDataSize = true;
    layout.DataSize = static_cast<std::int32_t>(samples);
    const std::string head = BuildWave(layout);
    const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const auto lastAt = static_cast<off_t>(head.size()) + samples - 2;
    bool ok =
        file >= 0 && write(file, head.data(), head.size()) == static_cast<ssize_t>(head.size());
    ok = ok && pwrite(file, "\x01", 1, lastAt) == 1;
    return file >= 0 && close(file) == 0 && ok;
}

// The seconds a sample of a file of n samples, its lines to /dev/null: the fastest of the
// runs, and the largest peak. In memory where the system has such a folder, whose holes read
// as fast at any length; a disk's file system reads a long one slower for its page cache.
Timing TimeHollow(const std::string& program, const std::string& folder, std::int64_t samples,
                  int runs) {
    const std::string wave = (access("/dev/shm", W_OK) == 0 ? std::string("/dev/shm") : folder) +
                             "/hollow" + std::to_string(getpid()) + ".wav";
    Timing timing;
    timing.Ok = WriteHollowWave(wave, samples);
    for (int run = 0; timing.Ok && run < runs; ++run) {
        Take(timing, RunCommand({program, "-q", "-c", wave}));
    }
    std::remove(wave.c_str());
    timing.Fastest /= static_cast<double>(samples);
    return timing;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string program = argc > 1 ? argv[1] : ProgramBesideBench();
    const std::int32_t samples = argc > 2 ? std::atoi(argv[2]) : DefaultSamples;
    char folder[] = "/tmp/norvistrand-bench-XXXXXX";
    if (mkdtemp(folder) == nullptr || samples <= 0) return 1;
    std::printf("program: %s\nload average before: %s\n", program.c_str(), LoadAverage().c_str());

    int failures = 0;
    constexpr std::int64_t LongSamples = 1500000000;
    const Timing shortFile = TimeHollow(program, folder, samples, Repetitions);
    const Timing longFile = TimeHollow(program, folder, LongSamples, 2);
    failures += shortFile.Ok && longFile.Ok ? 0 : 1;
    std::printf(
        "any length: %.2f ns a sample at %lld samples against %.2f ns at %d: %.2fx (limit 1.5); "
        "peak %.1f MiB (limit 64)\n",
        longFile.Fastest * 1e9, static_cast<long long>(LongSamples), shortFile.Fastest * 1e9,
        samples, longFile.Fastest / shortFile.Fastest, Mebibytes(longFile.PeakKilobytes));

    std::printf("same bytes as the screen program (%d samples):", CheckedSamples);
    for (int bits : {8, 16, 24}) {
        const bool same = SameBytes(program, folder, bits);
        std::printf(" %d-bit %s", bits, same ? "yes" : "NO");
        failures += same ? 0 : 1;
    }

    const long cores = sysconf(_SC_NPROCESSORS_ONLN);
    std::vector<Setting> settings{MakeSetting(16, 0)};
    for (int threads : {1, 2, 4, 8}) {
        if (threads == 1 || threads <= cores) settings.push_back(MakeSetting(24, threads));
    }
    settings.push_back(MakeSetting(24, 0));
    if (!TimeSettings(program, folder, samples, settings)) return 1;

    std::printf(
        "\n\n%d samples; seconds: fastest of %d alternating runs (fastest-slowest); %ld "
        "cores\n",
        samples, Repetitions, cores);
    std::printf("%4s %8s %21s %21s %8s %11s %9s\n", "bits", "threads", "norvistrand -q",
                "floor (64 KB writes)", "ratio", "against one", "peak MiB");
    double oneThread = 0;
    double twoThreads = 0;
    double sixteenBit = 0;
    long peak = 0;
    bool same = true;
    for (const Setting& setting : settings) {
        const double ratio = setting.Program.Fastest / setting.Floor.Fastest;
        if (setting.Bits == 24 && setting.Threads == 1) oneThread = setting.Program.Fastest;
        if (setting.Bits == 24 && setting.Threads == 2) twoThreads = setting.Program.Fastest;
        if (setting.Bits == 16) sixteenBit = ratio;
        peak = std::max(peak, setting.Program.PeakKilobytes);
        same = same && setting.SameBytes;
        const bool ok = setting.Program.Ok && setting.Floor.Ok;
        failures += ok ? 0 : 1;
        std::printf("%4d %8s %7.3f (%5.3f-%5.3f) %7.3f (%5.3f-%5.3f) %7.2fx %11s %9.1f%s\n",
                    setting.Bits, ThreadsName(setting.Threads).c_str(), setting.Program.Fastest,
                    setting.Program.Fastest, setting.Program.Slowest, setting.Floor.Fastest,
                    setting.Floor.Fastest, setting.Floor.Slowest, ratio,
                    setting.Bits == 24 && oneThread > 0
                        ? std::to_string(setting.Program.Fastest / oneThread).substr(0, 5).c_str()
                        : "",
                    Mebibytes(setting.Program.PeakKilobytes), ok ? "" : "  (FAILED)");
    }
    failures += same ? 0 : 1;
    std::printf("same bytes for every thread count: %s\n\n", same ? "yes" : "NO");
    std::printf("16-bit, default threads: %.2fx the floor (aim under 2.5)\n", sixteenBit);
    std::printf("24-bit, one thread: %.2fx the floor (aim under 12)\n",
                oneThread / settings[1].Floor.Fastest);
    if (twoThreads > 0) {
        std::printf("24-bit, two threads: %.2f of one thread's time (aim under 0.62)\n",
                    twoThreads / oneThread);
    }
    std::printf("peak memory: %.1f MiB (aim under 64)\n", Mebibytes(peak));
    for (int bits : {16, 24}) {
        const double ratio = NpyRatio(program, folder, bits);
        failures += ratio > 0 ? 0 : 1;
        std::printf("%d-bit, --npy: %.2fx the signal file's time (aim under 1.5)\n", bits, ratio);
    }
    std::printf("load average after: %s\n", LoadAverage().c_str());

    const LineCost road = TimeLineText(samples, false);
    const LineCost general = TimeLineText(samples, true);
    std::printf(
        "\n24-bit line text with its end, fastest of %d: %.1f ns per line of processor time "
        "(%.1f ns wall clock); by the general road %.1f ns (%.1f ns)\n",
        Repetitions, road.CpuNanoseconds, road.WallNanoseconds, general.CpuNanoseconds,
        general.WallNanoseconds);

    return RunCommand({"rm", "-rf", folder}).Ok && failures == 0 ? 0 : 1;
}
