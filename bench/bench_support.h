#pragma once
// What the benchmarks share: making a mono Wave file of pseudo-random samples, running work in
// a child process (so its peak memory is its own), and the screen program's conversion.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "console/screen.h"
#include "converter/header_check.h"
#include "platform/console_api.h"
#include "screen/conversion.h"
#include "tests/support/wave_builder.h"

struct Run {
    double Seconds;
    long PeakKilobytes;
    bool Ok;
};

// A mono 16- or 24-bit file of n samples at 44100 Hz. The samples are the top bits of a
// linear congruential sequence: every 16-bit value turns up, and 24-bit values spread over
// the whole range, in no tidy order. Written a block at a time, so the writer stays small.
inline bool WriteWave(const std::string& path, std::int32_t samples, int bits) {
    const std::uint32_t bytesPerSample = static_cast<std::uint32_t>(bits / 8);
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(samples) * bytesPerSample;
    WaveLayout layout;
    layout.SampleRate = 44100;
    layout.BlockAlignment = static_cast<std::int16_t>(bytesPerSample);
    layout.BitsPerSample = static_cast<std::int16_t>(bits);
    layout.OwnDataSize = true;
    layout.DataSize = static_cast<std::int32_t>(dataBytes);
    const std::string header = BuildWave(layout);
    std::vector<unsigned char> block(header.begin(), header.end());
    // The samples follow the header, so the RIFF size counts them too.
    for (int i = 0; i < 4; ++i)
        block[4 + i] = static_cast<unsigned char>((36 + dataBytes) >> (8 * i));
    auto put = [&](std::uint32_t value, int count) {
        for (int i = 0; i < count; ++i)
            block.push_back(static_cast<unsigned char>(value >> (8 * i)));
    };

    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) return false;
    bool ok = true;
    std::uint32_t state = 12345;
    for (std::int32_t i = 0; i < samples; ++i) {
        state = state * 1103515245u + 12345u;
        put(state >> (32 - bits), bits / 8);
        if (block.size() >= 65536) {
            ok = ok && std::fwrite(block.data(), 1, block.size(), out) == block.size();
            block.clear();
        }
    }
    ok = ok && std::fwrite(block.data(), 1, block.size(), out) == block.size();
    return std::fclose(out) == 0 && ok;
}

// Waits for the child and gives its time since began, its peak memory and whether it exited 0.
inline Run AwaitChild(pid_t child, std::chrono::steady_clock::time_point began) {
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child) return Run{0, 0, false};
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    return Run{seconds, usage.ru_maxrss, WIFEXITED(status) && WEXITSTATUS(status) == 0};
}

// Runs work() in a forked child; its return value is the child's exit status.
template <typename Work>
Run InChild(Work work) {
    auto began = std::chrono::steady_clock::now();
    pid_t child = fork();
    if (child == 0) _exit(work());
    return AwaitChild(child, began);
}

// The screen program's conversion of wave, without a screen; meant for a child process.
inline int ConvertInChild(const std::string& wave) {
    platform::ResetConsole(81, 30);
    PrepareConsole();
    WaveHeader header{};
    if (CheckWaveHeader(wave, header).Code != HeaderCode::Accepted) return 2;
    return ConvertToSignalFile(wave, header) == ConversionOutcome::Finished ? 0 : 1;
}
