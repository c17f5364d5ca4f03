// Times the whole conversion of 16-bit mono files against its floor: a loop that writes the
// very same lines with the same two writes per line and does nothing else. Each run happens
// in a child process, so its peak memory is its own.
//
//   conversion_bench [sample counts...]      (default: 1000000 10000000)
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_support.h"

namespace {

constexpr int Repetitions = 5;

// The floor: the signal file's own lines, each written as item and line end.
int WriteFloorInChild(const std::string& signal, const std::string& target) {
    std::ifstream in(signal, std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::pair<std::size_t, std::size_t>> lines;
    for (std::size_t start = 0; start < all.size();) {
        std::size_t end = all.find("\r\n", start);
        lines.emplace_back(start, end - start);
        start = end + 2;
    }
    auto began = std::chrono::steady_clock::now();
    int fd = open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return 1;
    for (const auto& [at, length] : lines) {
        if (write(fd, all.data() + at, length) != static_cast<ssize_t>(length)) return 1;
        if (write(fd, "\r\n", 2) != 2) return 1;
    }
    close(fd);
    // Report only the writing, not the reading of the lines.
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    std::FILE* out = std::fopen((target + ".seconds").c_str(), "w");
    std::fprintf(out, "%.6f\n", seconds);
    std::fclose(out);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::int32_t> counts{1000000, 10000000};
    if (argc > 1) {
        counts.clear();
        for (int i = 1; i < argc; ++i) counts.push_back(std::atoi(argv[i]));
    }
    char folder[] = "/tmp/norvistrand-bench-XXXXXX";
    if (mkdtemp(folder) == nullptr) return 1;
    const std::string wave = std::string(folder) + "/bench.wav";
    const std::string signal = std::string(folder) + "/bench.sig";
    const std::string floor = std::string(folder) + "/floor.txt";

    std::printf("%12s %12s %12s %8s %14s %14s\n", "samples", "convert s", "floor s", "ratio",
                "peak MB", "arrays MB");
    int failures = 0;
    for (std::int32_t n : counts) {
        if (!WriteWave(wave, n, 16)) return 1;
        // System call times wander on a shared machine: the fastest of a few alternating
        // runs of each stands for it.
        Run conversion{1e30, 0, true};
        Run floorRun{1e30, 0, true};
        double floorSeconds = 1e30;
        for (int repetition = 0; repetition < Repetitions; ++repetition) {
            Run converted = InChild([&] { return ConvertInChild(wave); });
            Run floored = InChild([&] { return WriteFloorInChild(signal, floor); });
            double seconds = 0;
            if (std::FILE* in = std::fopen((floor + ".seconds").c_str(), "r")) {
                if (std::fscanf(in, "%lf", &seconds) != 1) seconds = 0;
                std::fclose(in);
            }
            conversion.Seconds = std::min(conversion.Seconds, converted.Seconds);
            conversion.PeakKilobytes = std::max(conversion.PeakKilobytes, converted.PeakKilobytes);
            conversion.Ok = conversion.Ok && converted.Ok;
            floorRun.Ok = floorRun.Ok && floored.Ok;
            floorSeconds = std::min(floorSeconds, seconds);
        }
        double arraysMegabytes = n * (2.0 + 8.0) / 1e6;
        std::printf("%12d %12.3f %12.3f %8.3f %14.1f %14.1f%s\n", n, conversion.Seconds,
                    floorSeconds, floorSeconds > 0 ? conversion.Seconds / floorSeconds : 0.0,
                    conversion.PeakKilobytes * 1024 / 1e6, arraysMegabytes,
                    conversion.Ok && floorRun.Ok ? "" : "  (FAILED)");
        failures += conversion.Ok && floorRun.Ok ? 0 : 1;
    }
    std::string cleanup = std::string("rm -rf '") + folder + "'";
    return std::system(cleanup.c_str()) == 0 && failures == 0 ? 0 : 1;
}
