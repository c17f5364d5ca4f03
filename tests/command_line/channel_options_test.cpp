// Every channel in one run, a peak common to all channels, and a mix: each file the program
// writes is checked against its twin, the signal file of a mono file holding the same samples.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/child_process.h"
#include "tests/support/wave_builder.h"
#include "tests/support/wave_files.h"

namespace {

constexpr int Patience = 20000;
constexpr int Frames = 5000;  // more than one block of the widest frames (8 x 4 bytes)

ChildResult Norvistrand(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), NORVISTRAND_BINARY);
    return RunChild(arguments, Patience);
}

struct Form {
    const char* Name;
    std::int16_t Tag;  // 1 PCM, 3 float
    std::int16_t Bits;
};

constexpr Form Forms[] = {
    {"8 bits", 1, 8}, {"16 bits", 1, 16}, {"24 bits", 1, 24}, {"32 bits", 1, 32}, {"float", 3, 32}};

// Channel k's sample i: a different level in each channel, the channel's extremes included.
double SampleOf(const Form& form, int k, int i) {
    const double full = form.Tag == 3 ? 1.0 : std::ldexp(1.0, form.Bits - 1);
    const double level = full / (k + 1);
    const int step = (i * 7919 + k * 104729) % 2001 - 1000;  // -1000 to 1000
    if (form.Tag == 3) return std::ldexp(std::round(step * level * 16), -14);
    return std::max(-full, std::min(full - 1, std::round(step * level / 1000)));
}

// The bytes of a value as a file of the form holds it: integers of the form's bits, floats of
// 32 or 64 bits.
std::string Bytes(double value, std::int16_t tag, std::int16_t bits) {
    std::string out;
    if (tag == 3 && bits == 32) {
        const float single = static_cast<float>(value);
        std::uint32_t pattern = 0;
        std::memcpy(&pattern, &single, 4);
        PutLittleEndian(out, pattern, 4);
    } else if (tag == 3) {
        std::uint64_t pattern = 0;
        std::memcpy(&pattern, &value, 8);
        PutLittleEndian(out, pattern, 8);
    } else if (bits == 8) {
        out.push_back(static_cast<char>(static_cast<int>(value) + 128));
    } else {
        PutLittleEndian(out, static_cast<std::uint64_t>(static_cast<std::int64_t>(value)),
                        bits / 8);
    }
    return out;
}

std::string WaveOf(std::int16_t tag, std::int16_t bits, int channels, const std::string& samples) {
    std::string wave = CanonicalWave(static_cast<std::uint16_t>(channels), bits, samples);
    wave[20] = static_cast<char>(tag);
    return wave;
}

// The signal file of a mono file of these values, written in the form given.
std::string TwinLines(const std::vector<double>& values, std::int16_t tag, std::int16_t bits) {
    std::string samples;
    for (double v : values) samples += Bytes(v, tag, bits);
    WriteWholeFile("twin.wav", WaveOf(tag, bits, 1, samples));
    std::filesystem::remove("twin.sig");
    EXPECT_EQ(Norvistrand({"-q", "--any-pcm", "twin.wav"}).ExitStatus, 0);
    return ReadWholeFile("twin.sig");
}

std::string LessLastLine(const std::string& lines) {
    const std::size_t end = lines.rfind("\r\n", lines.size() - 3);
    return lines.substr(0, end == std::string::npos ? 0 : end + 2);
}

class ChannelOptionsTest : public ::testing::Test {
protected:
    void SetUp() override { Folder = EnterScratchFolder(); }
    void TearDown() override { LeaveScratchFolder(Folder); }
    ScratchFolder Folder;
};

// For each form and channel count: every channel's file against --channel=K and against its
// mono twin, the same with a common peak, and the mix against the mono file of the sums.
TEST_F(ChannelOptionsTest, EachChannelCommonPeakAndMixMatchTheirMonoTwins) {
    for (const Form& form : Forms) {
        for (int channels = 2; channels <= 8; ++channels) {
            SCOPED_TRACE(std::string(form.Name) + ", " + std::to_string(channels) + " channels");
            std::vector<std::vector<double>> values(static_cast<std::size_t>(channels));
            std::vector<double> sums(Frames, 0.0);
            std::string samples;
            double common = 0;
            for (int i = 0; i < Frames; ++i) {
                for (int k = 0; k < channels; ++k) {
                    const double v = SampleOf(form, k, i);
                    values[static_cast<std::size_t>(k)].push_back(v);
                    sums[static_cast<std::size_t>(i)] += v;
                    samples += Bytes(v, form.Tag, form.Bits);
                    if (std::fabs(v) >= std::fabs(common)) common = v;
                }
            }
            WriteWholeFile("take.wav", WaveOf(form.Tag, form.Bits, channels, samples));
            ASSERT_EQ(
                Norvistrand({"-q", "--any-pcm", "-T3", "--channel=all", "take.wav"}).ExitStatus, 0);
            std::vector<std::string> each;
            for (int k = 1; k <= channels; ++k) {
                each.push_back(ReadWholeFile("take." + std::to_string(k) + ".sig"));
            }
            ASSERT_EQ(Norvistrand({"-q", "--any-pcm", "--common-peak", "--channel=all", "take.wav"})
                          .ExitStatus,
                      0);
            for (int k = 1; k <= channels; ++k) {
                SCOPED_TRACE("channel " + std::to_string(k));
                const auto& own = values[static_cast<std::size_t>(k - 1)];
                EXPECT_EQ(each[static_cast<std::size_t>(k - 1)],
                          TwinLines(own, form.Tag, form.Bits));
                std::vector<double> withPeak = own;
                withPeak.push_back(common);
                EXPECT_EQ(ReadWholeFile("take." + std::to_string(k) + ".sig"),
                          LessLastLine(TwinLines(withPeak, form.Tag, form.Bits)));
                // Only the last channel through the one-channel run: the rest cost time alone.
                if (k != channels) continue;
                ASSERT_EQ(
                    Norvistrand({"-q", "--any-pcm", "--channel=" + std::to_string(k), "take.wav"})
                        .ExitStatus,
                    0);
                EXPECT_EQ(ReadWholeFile("take.sig"), each.back());
            }
            // Sums of 8 and 16 bits fit 16 and 32 bits; wider ones are exact as doubles.
            ASSERT_EQ(Norvistrand({"-q", "--any-pcm", "--mix", "take.wav"}).ExitStatus, 0);
            const bool narrow = form.Tag == 1 && form.Bits <= 16;
            EXPECT_EQ(ReadWholeFile("take.sig"),
                      TwinLines(sums, narrow ? 1 : 3,
                                narrow ? static_cast<std::int16_t>(form.Bits * 2) : 64));
        }
    }
}

// 1 + 2^-60 - 1 is 2^-60 in the extended format, where doubles would give 0.
TEST_F(ChannelOptionsTest, AMixOfFloatsAddsInTheExtendedFormat) {
    std::string samples;
    for (double v : {1.0, std::ldexp(1.0, -60), -1.0, 0.5, 0.0, 0.0}) samples += Bytes(v, 3, 64);
    WriteWholeFile("take.wav", WaveOf(3, 64, 3, samples));
    ASSERT_EQ(Norvistrand({"-q", "--any-pcm", "--mix", "take.wav"}).ExitStatus, 0);
    EXPECT_EQ(ReadWholeFile("take.sig"), TwinLines({std::ldexp(1.0, -60), 0.5}, 3, 64));
}

// The report lines, with the names under -d and of a mono file, and the usage errors.
TEST_F(ChannelOptionsTest, ReportsItsFilesAndRefusesWhatItCannotDo) {
    std::string stereo;
    for (int i = 0; i < 100; ++i) stereo += Bytes(i - 50, 1, 16) + Bytes(50 - i, 1, 16);
    WriteWholeFile("take1.wav", WaveOf(1, 16, 2, stereo));
    WriteWholeFile("mono.wav", WaveOf(1, 16, 1, stereo));
    std::filesystem::create_directory("out");
    const std::string line = "take1.wav: 16 bits, 8000 Hz, 100 samples, 12 milliseconds";
    struct Case {
        std::vector<std::string> Arguments;
        std::string Output;
        std::string Error;  // a usage error's line
    } const cases[] = {
        {{"--channel=all", "take1.wav"}, line + " -> take1.1.sig, take1.2.sig\n", ""},
        {{"--channel=all", "-d", "out", "take1.wav"},
         line + " -> out/take1.1.sig, out/take1.2.sig\n",
         ""},
        {{"--channel=all", "--npy", "mono.wav"},
         "mono.wav: 16 bits, 8000 Hz, 200 samples, 25 milliseconds -> mono.1.npy\n",
         ""},
        {{"--mix", "take1.wav"}, line + ", mix of 2 channels -> take1.sig\n", ""},
        {{"--channel=all", "-c", "take1.wav"},
         "",
         "--channel=all writes a file for each channel, so -c has no use with it"},
        {{"--channel=all", "-o", "x.sig", "take1.wav"},
         "",
         "--channel=all names its files itself, so -o has no use with it"},
        {{"--channel=all", "-"},
         "",
         "--channel=all writes beside a file, so it cannot read standard input"},
        {{"--mix", "--channel=2", "take1.wav"},
         "",
         "--mix sums every channel, so --channel has no use with it"},
        {{"--common-peak", "take1.wav"},
         "",
         "--common-peak divides channels read with --channel, so it needs it"},
        {{"--channel=al", "take1.wav"}, "", "not a channel number 'al'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Arguments[0] + " " + c.Arguments[1]);
        const ChildResult run = Norvistrand(c.Arguments);
        EXPECT_EQ(run.ExitStatus, c.Error.empty() ? 0 : 2);
        EXPECT_EQ(run.Output, c.Output);
        if (!c.Error.empty()) {
            EXPECT_EQ(run.Errors, "norvistrand: " + c.Error +
                                      "\nTry 'norvistrand --help' for more information.\n");
        }
    }
    EXPECT_EQ(ReadWholeFile("out/take1.2.sig"), ReadWholeFile("take1.2.sig"));
}

// A full disk at the third channel: the old files stay as they were, and no temporary is left.
// -u then looks at every channel's file.
TEST_F(ChannelOptionsTest, AFailedChannelChangesNoFile) {
    std::string samples;
    for (int i = 0; i < 3000; ++i) {
        for (int k = 0; k < 4; ++k) samples += Bytes((i * (k + 3)) % 2000 - 1000, 1, 16);
    }
    WriteWholeFile("take.wav", WaveOf(1, 16, 4, samples));
    for (const char* old : {"take.1.sig", "take.2.sig", "take.4.sig"})
        WriteWholeFile(old, "old\r\n");
    std::filesystem::create_symlink("/dev/full", "take.3.sig");
    const ChildResult run = Norvistrand({"--channel=all", "take.wav"});
    EXPECT_EQ(run.ExitStatus, 1);
    EXPECT_NE(run.Errors.find("take.wav: The signal file could not be written"), std::string::npos)
        << run.Errors;
    // The wave file and the four signal files: no temporary beside them.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 5);
    for (const char* old : {"take.1.sig", "take.2.sig", "take.4.sig"}) {
        EXPECT_EQ(ReadWholeFile(old), "old\r\n") << old;
    }

    std::filesystem::remove("take.3.sig");
    ASSERT_EQ(Norvistrand({"-q", "--channel=all", "take.wav"}).ExitStatus, 0);
    EXPECT_EQ(Norvistrand({"-u", "--channel=all", "take.wav"}).Output, "");
    std::filesystem::remove("take.4.sig");
    EXPECT_NE(Norvistrand({"-u", "--channel=all", "take.wav"}).Output, "");
}

}  // namespace
