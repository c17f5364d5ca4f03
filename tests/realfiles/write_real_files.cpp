// Writes Wave files into a folder for a build of the program on another machine to convert
// beside this one's (scripts/test_arm64.sh): every file of the real-file table, made by sox
// and ffmpeg, and a few built here whose samples and header figures keep the arithmetic busy:
// every 8- and 16-bit sample value, 24-bit samples under a peak that divides nothing evenly,
// data sizes that are no whole number of samples, and odd sample rates. Prints each name.
//   write_real_files <folder>
#include <cstdint>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "tests/realfiles/real_tools.h"
#include "tests/support/wave_files.h"

namespace {

// The same sequence on every run: a 64-bit linear congruential step.
std::uint64_t NextRandom(std::uint64_t& state) {
    state = state * 6364136223846793005u + 1442695040888963407u;
    return state >> 33;
}

std::string Wave(std::int16_t bits, std::int32_t rate, const std::string& samples) {
    WaveLayout layout;
    layout.BitsPerSample = bits;
    layout.BlockAlignment = static_cast<std::int16_t>(bits / 8);
    layout.SampleRate = rate;
    layout.Samples = samples;
    return BuildWave(layout);
}

// Every value of a sample of `bits` (8 or 16), in a shuffled order.
std::string EveryValue(int bits) {
    const int count = 1 << bits;
    std::vector<std::uint32_t> values(count);
    for (int i = 0; i < count; ++i) values[i] = static_cast<std::uint32_t>(i);
    std::uint64_t state = 8;
    for (int i = count - 1; i > 0; --i) {
        std::swap(values[i], values[NextRandom(state) % static_cast<std::uint64_t>(i + 1)]);
    }
    std::string samples;
    for (std::uint32_t value : values) PutLittleEndian(samples, value, bits / 8);
    return samples;
}

// `count` 24-bit samples in [-peak, peak], the first of them -peak.
std::string Spread24(int count, std::int32_t peak) {
    std::string samples;
    std::uint64_t state = 24;
    for (int i = 0; i < count; ++i) {
        const auto span = static_cast<std::uint64_t>(2 * peak + 1);
        const std::int64_t value =
            i == 0 ? -peak : static_cast<std::int64_t>(NextRandom(state) % span) - peak;
        PutLittleEndian(samples, static_cast<std::uint64_t>(value) & 0xFFFFFF, 3);
    }
    return samples;
}

struct BuiltFile {
    std::string Name;
    std::string Bytes;
};

std::vector<BuiltFile> BuiltFiles() {
    const std::string ramp = Spread24(3001, 5000011);
    return {
        {"every8.wav", Wave(8, 8000, EveryValue(8))},
        {"every16.wav", Wave(16, 44100, EveryValue(16))},
        {"spread24.wav", Wave(24, 96000, Spread24(200000, 5000011))},
        {"peak24.wav", Wave(24, 48000, Spread24(50000, 8388607))},
        // 1001 bytes of 16 bits: 500.5 samples, a tie; 3001 and 3002 bytes of 24 bits.
        {"tie16.wav", Wave(16, 7, ramp.substr(0, 1001))},
        {"third24.wav", Wave(24, 44101, ramp.substr(0, 3001))},
        {"twothirds24.wav", Wave(24, 3, ramp.substr(0, 3002))},
    };
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: write_real_files <folder>\n";
        return 2;
    }
    const std::string folder = argv[1];
    for (const RealFileCase& realFile : RealFileCases()) {
        std::string problem;
        if (!MakeRealFile(realFile, folder + "/" + realFile.Name, problem)) {
            std::cerr << realFile.Name << ": " << problem << "\n";
            return 1;
        }
        std::cout << realFile.Name << "\n";
    }
    for (const BuiltFile& built : BuiltFiles()) {
        WriteWholeFile(folder + "/" + built.Name, built.Bytes);
        std::cout << built.Name << "\n";
    }
    return 0;
}
