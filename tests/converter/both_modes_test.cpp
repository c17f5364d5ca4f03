// Every file meets the same verdict in the screen program and in the command-line mode, and
// a file both convert gets the same signal file to the byte.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>

#include "converter/header_check.h"
#include "converter/streamed_conversion.h"
#include "screen/conversion.h"
#include "screen/messages.h"
#include "tests/support/converter_fixture.h"
#include "tests/support/lock_holder.h"

namespace {

using BothModesTest = ConverterTest;

enum class Mode { Screen, CommandLine };

struct Result {
    std::string Verdict;  // the refusal, or the outcome's number
    std::string Signal;   // the signal file's bytes after the run
};

// Samples spread over the whole range, more than one streamed chunk of them.
std::string ManySamples(int bytesPerSample, int count) {
    std::string out;
    std::uint32_t state = 12345;
    for (int i = 0; i < count * bytesPerSample; ++i) {
        state = state * 1103515245u + 12345u;
        out.push_back(static_cast<char>(state >> 16));
    }
    return out;
}

WaveLayout WithDataSize(WaveLayout layout, std::int32_t size) {
    layout.OwnDataSize = true;
    layout.DataSize = size;
    return layout;
}

Result RunIn(Mode mode, const std::string& wave) {
    WaveHeader header{};
    HeaderVerdict verdict = CheckWaveHeader(wave, header);
    Result result{std::string(RefusalMessage(verdict.Code)), {}};
    if (verdict.Code == HeaderCode::Accepted) {
        ConversionFailure failure;
        ConversionOutcome outcome = mode == Mode::Screen ? ConvertToSignalFile(wave, header)
                                                         : ConvertStreamed(wave, header, failure);
        result.Verdict = std::to_string(static_cast<int>(outcome));
    }
    if (std::filesystem::is_regular_file(SignalFileName(wave))) {
        result.Signal = ReadWholeFile(SignalFileName(wave));
    }
    return result;
}

TEST_F(BothModesTest, SameVerdictsAndSameBytes) {
    WaveLayout notWave = MonoLayout(16, Samples16({1}));
    WaveLayout notPcm = notWave;
    notPcm.FormatTag = 3;
    WaveLayout stereo = notWave;
    stereo.Channels = 2;
    WaveLayout twelveBit = MonoLayout(12, Samples16({1}));
    WaveLayout loose24 = MonoLayout(24, "\1\2\3");
    loose24.BlockAlignment = 4;
    WaveLayout tagged = MonoLayout(16, Samples16({2, -4}));
    tagged.ChunksBeforeData = Chunk("LIST", "INFOISFTsome tool 1.0");

    struct Case {
        const char* Why;
        const char* Wave;
        std::string Bytes;  // the wave file; none when empty
    } const cases[] = {
        {"8-bit", "eight.wav", BuildWave(MonoLayout(8, std::string("\x00\x80\xFF\x40", 4)))},
        {"16-bit over several chunks", "sixteen.wav",
         BuildWave(MonoLayout(16, ManySamples(2, 150001)))},
        {"24-bit over several chunks", "twenty4.wav",
         BuildWave(MonoLayout(24, ManySamples(3, 70001)))},
        {"8-bit missing bytes are -128", "short8.wav",
         BuildWave(WithDataSize(MonoLayout(8, "\xC0"), 70000))},
        {"16-bit missing bytes past a chunk", "short16.wav",
         BuildWave(WithDataSize(MonoLayout(16, ManySamples(2, 66000)), 140000))},
        {"all zero", "zero.wav", BuildWave(MonoLayout(16, Samples16({0, 0})))},
        {"data behind a LIST chunk", "tagged.wav", BuildWave(tagged)},
        {"no samples", "none.wav", BuildWave(MonoLayout(16, ""))},
        {"negative count", "negative.wav", BuildWave(WithDataSize(MonoLayout(16, "\1\2"), -4))},
        {"too large", "big.wav", BuildWave(WithDataSize(MonoLayout(16, "\1\2"), 0x7FFFFFF0))},
        {"not a Wave file", "text.wav", "plain text, long enough to be read as a header......"},
        {"not PCM", "float.wav", BuildWave(notPcm)},
        {"not mono", "stereo.wav", BuildWave(stereo)},
        {"not 8, 16 or 24 bits", "twelve.wav", BuildWave(twelveBit)},
        {"24 bits not packed", "loose.wav", BuildWave(loose24)},
        {"would overwrite itself", "itself.sig", BuildWave(MonoLayout(16, Samples16({1})))},
        {"missing", "missing.wav", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Why);
        Result results[2];
        for (Mode mode : {Mode::Screen, Mode::CommandLine}) {
            for (const auto& entry : std::filesystem::directory_iterator(".")) {
                std::filesystem::remove_all(entry.path());
            }
            if (!c.Bytes.empty()) WriteWholeFile(c.Wave, c.Bytes);
            if (SignalFileName(c.Wave) != c.Wave) WriteWholeFile(SignalFileName(c.Wave), "old");
            results[static_cast<int>(mode)] = RunIn(mode, c.Wave);
        }
        EXPECT_EQ(results[0].Verdict, results[1].Verdict);
        EXPECT_TRUE(results[0].Signal == results[1].Signal);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."),
                                std::filesystem::directory_iterator()),
                  (c.Bytes.empty() ? 0 : 1) + (SignalFileName(c.Wave) != c.Wave ? 1 : 0))
            << "a temporary file was left";
    }
}

// A signal file that cannot be replaced, for its holder or its kind, is reported in both
// modes and left as it was.
TEST_F(BothModesTest, SignalFileThatCannotBeWrittenIsKept) {
    WriteWholeFile("held.wav", BuildWave(MonoLayout(16, Samples16({1, 2}))));
    for (Mode mode : {Mode::Screen, Mode::CommandLine}) {
        WriteWholeFile("held.sig", "someone else's");
        LockHolder holder{};
        ASSERT_TRUE(HoldLock("held.sig", holder));
        const Result result = RunIn(mode, "held.wav");
        ReleaseLock(holder);
        EXPECT_EQ(result.Verdict, std::to_string(static_cast<int>(ConversionOutcome::WriteFailed)));
        EXPECT_EQ(result.Signal, "someone else's");
    }
    ASSERT_EQ(mkdir("folder.sig", 0755), 0);
    WriteWholeFile("folder.wav", BuildWave(MonoLayout(16, Samples16({1, 2}))));
    for (Mode mode : {Mode::Screen, Mode::CommandLine}) {
        EXPECT_EQ(RunIn(mode, "folder.wav").Verdict,
                  std::to_string(static_cast<int>(ConversionOutcome::WriteFailed)));
    }
}

// As an unprivileged user, the modes agree whatever the permissions of the signal file and
// its folder.
TEST_F(BothModesTest, SameVerdictsWhateverThePermissions) {
    if (!RunsAsRoot()) GTEST_SKIP() << "needs root to set the files up and to drop to 65534";
    ASSERT_EQ(chmod(".", 0755), 0);
    struct Case {
        const char* Why;
        mode_t SignalMode;
        bool UsersOwn;  // the signal file belongs to the user, not to root
        mode_t FolderMode;
    } const cases[] = {
        {"read-only signal file", 0444, true, 0777},
        {"write-only signal file", 0200, true, 0777},
        {"folder the user cannot write to", 0666, false, 0755},
        {"sticky folder, another user's signal file", 0666, false, 01777},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Why);
        int verdicts[2];
        std::string signals[2];
        for (Mode mode : {Mode::Screen, Mode::CommandLine}) {
            const std::string folder = "m" + std::to_string(static_cast<int>(mode));
            std::filesystem::remove_all(folder);
            ASSERT_TRUE(std::filesystem::create_directory(folder));
            WriteWholeFile(folder + "/a.wav", BuildWave(MonoLayout(16, Samples16({3, -6}))));
            WriteWholeFile(folder + "/a.sig", "old");
            chmod((folder + "/a.wav").c_str(), 0644);
            if (c.UsersOwn) {
                ASSERT_EQ(chown((folder + "/a.sig").c_str(), UnprivilegedId, UnprivilegedId), 0);
            }
            chmod((folder + "/a.sig").c_str(), c.SignalMode);
            chmod(folder.c_str(), c.FolderMode);
            const pid_t child = fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                if (!DropToUnprivilegedUser() || chdir(folder.c_str()) != 0) _exit(99);
                _exit(std::stoi(RunIn(mode, "a.wav").Verdict));
            }
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            ASSERT_TRUE(WIFEXITED(status));
            verdicts[static_cast<int>(mode)] = WEXITSTATUS(status);
            signals[static_cast<int>(mode)] = ReadWholeFile(folder + "/a.sig");
            chmod(folder.c_str(), 0755);
        }
        EXPECT_EQ(verdicts[0], verdicts[1]);
        EXPECT_EQ(signals[0], signals[1]);
    }
}

// Both front ends frame one table of sentences; the screen's lines stay what they always were.
TEST(BothModesWords, TheScreenFramesEverySentenceAsBefore) {
    const struct {
        HeaderCode Code;
        std::string_view Message;
    } refusals[] = {
        {HeaderCode::Accepted, ""},
        {HeaderCode::NotFound, "   ERROR - Specified file not found"},
        {HeaderCode::NotWave, "   ERROR - This is not a Wave file"},
        {HeaderCode::NotPcm, "   ERROR - This is not a PCM format Wave file"},
        {HeaderCode::NotMono, "   ERROR - This is not a mono Wave file"},
        {HeaderCode::BadResolution, "   ERROR - This is not an 8-, 16- or 24-bit Wave file"},
        {HeaderCode::NotPacked, "   ERROR - 24-bit Wave files must be packed integer format"},
        {HeaderCode::WouldOverwrite, "   ERROR - The signal file would overwrite this Wave file"},
    };
    for (const auto& c : refusals) EXPECT_EQ(RefusalMessage(c.Code), c.Message);
    const struct {
        ConversionOutcome Outcome;
        std::string_view Message;
    } outcomes[] = {
        {ConversionOutcome::Finished, "   Job finished"},
        {ConversionOutcome::TooLarge, "   ERROR - This file is too large to convert"},
        {ConversionOutcome::ReadFailed, "   ERROR - The Wave file could not be read"},
        {ConversionOutcome::WriteFailed, "   ERROR - The signal file could not be written"},
    };
    for (const auto& c : outcomes) EXPECT_EQ(OutcomeMessage(c.Outcome), c.Message);
}

}  // namespace
