// Times the command-line mode against sox writing its text form of the same file, for 16- and
// 24-bit mono files of many samples, and reports the mode's peak memory. Both programs run as
// children (fork, exec, wait4: no shell), alternating, and the fastest of three runs stands for
// each; the spread shows how much a shared machine disturbed them. Before that, the mode's
// signal files of smaller 8-, 16- and 24-bit files are checked against the screen program's
// conversion, byte for byte, and afterwards the cost of one 24-bit line's text is timed in
// process.
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
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "converter/sample_decoding.h"
#include "converter/signal_line.h"

namespace {

constexpr int Repetitions = 3;
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

// Times both programs on one file; false when a run failed.
bool Compare(const std::string& program, const std::string& folder, std::int32_t samples, int bits,
             double aim) {
    const std::string wave = folder + "/bench" + std::to_string(bits) + ".wav";
    const std::string text = folder + "/bench" + std::to_string(bits) + ".dat";
    if (!WriteWave(wave, samples, bits)) return false;
    Timing ours;
    Timing sox;
    for (int repetition = 0; repetition < Repetitions; ++repetition) {
        Take(ours, RunCommand({program, "-q", wave}));
        Take(sox, RunCommand({"sox", wave, "-t", "dat", text}));
    }
    const bool ok = ours.Ok && sox.Ok;
    std::printf("%4d %10d %8.3f (%5.3f-%5.3f) %8.3f (%5.3f-%5.3f) %7.1fx %6.0fx %9.1f %9.1f%s\n",
                bits, samples, ours.Fastest, ours.Fastest, ours.Slowest, sox.Fastest, sox.Fastest,
                sox.Slowest, ok ? sox.Fastest / ours.Fastest : 0.0, aim,
                Mebibytes(ours.PeakKilobytes), Mebibytes(sox.PeakKilobytes),
                ours.Ok ? (sox.Ok ? "" : "  (sox FAILED)") : "  (FAILED)");
    std::remove(text.c_str());
    return ok;
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

// The text of one 24-bit line, timed over the samples of the same pseudo-random sequence.
LineCost TimeLineText(std::int32_t samples) {
    std::vector<std::int32_t> values(static_cast<std::size_t>(samples));
    std::uint32_t state = 12345;
    double peak = 0;
    for (std::int32_t& value : values) {
        state = state * 1103515245u + 12345u;
        value = static_cast<std::int32_t>(state) >> 8;  // bit 23 of the sample is its sign
        TakePeak(value, peak);
    }
    LineCost fastest{1e30, 1e30};
    std::size_t checksum = 0;
    const ExtendedDivisor divisor = SignalDivisor(peak);
    for (int repetition = 0; repetition < Repetitions; ++repetition) {
        const double cpuBegan = ProcessorSeconds();
        const auto began = std::chrono::steady_clock::now();
        for (std::int32_t value : values) {
            NumberText line = SignalLine(value, divisor);
            checksum +=
                static_cast<std::size_t>(line.Length) + static_cast<unsigned char>(line.Text[1]);
        }
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        fastest.CpuNanoseconds =
            std::min(fastest.CpuNanoseconds, (ProcessorSeconds() - cpuBegan) * 1e9 / samples);
        fastest.WallNanoseconds = std::min(fastest.WallNanoseconds, wall * 1e9 / samples);
    }
    if (checksum == 0) std::printf("(no text)\n");  // keeps the lines from being optimised away
    return fastest;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string program = argc > 1 ? argv[1] : ProgramBesideBench();
    const std::int32_t samples = argc > 2 ? std::atoi(argv[2]) : DefaultSamples;
    char folder[] = "/tmp/norvistrand-bench-XXXXXX";
    if (mkdtemp(folder) == nullptr || samples <= 0) return 1;
    std::printf("program: %s\n", program.c_str());

    int failures = 0;
    std::printf("same bytes as the screen program (%d samples):", CheckedSamples);
    for (int bits : {8, 16, 24}) {
        const bool same = SameBytes(program, folder, bits);
        std::printf(" %d-bit %s", bits, same ? "yes" : "NO");
        failures += same ? 0 : 1;
    }
    std::printf(
        "\n\nseconds: fastest of %d alternating runs (fastest-slowest); peak memory in MiB\n",
        Repetitions);
    std::printf("%4s %10s %23s %23s %8s %7s %9s %9s\n", "bits", "samples", "norvistrand -q",
                "sox -t dat", "ratio", "aim", "ours MiB", "sox MiB");
    failures += Compare(program, folder, samples, 16, 10) ? 0 : 1;
    failures += Compare(program, folder, samples, 24, 4) ? 0 : 1;
    const LineCost cost = TimeLineText(samples);
    std::printf(
        "\n24-bit line text (quotient and file form), fastest of %d: %.1f ns per line of "
        "processor time (%.1f ns wall clock), aim under 60\n",
        Repetitions, cost.CpuNanoseconds, cost.WallNanoseconds);

    return RunCommand({"rm", "-rf", folder}).Ok && failures == 0 ? 0 : 1;
}
