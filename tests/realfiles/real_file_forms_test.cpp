// The forms only --any-pcm reads, as sox and ffmpeg write them: RF64, Wave64, A-law and µ-law.
// Each gives, byte for byte, the signal file of its RIFF twin of plain samples, which ffmpeg
// makes, and the twin's signal file is sox's decoding; without the option each is refused
// with the option named.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "converter/companded_samples.h"
#include "tests/e2e/child_process.h"
#include "tests/realfiles/real_tools.h"
#include "tests/support/wave_files.h"

namespace {

constexpr int Patience = 20000;

ChildResult Norvistrand(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), NORVISTRAND_BINARY);
    return RunChild(arguments, Patience);
}

std::vector<std::string> Ffmpeg(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"ffmpeg", "-nostdin", "-loglevel", "error", "-y"});
    return arguments;
}

// A sine and a second one, from ffmpeg's generator.
std::vector<std::string> FfmpegTone(const std::string& rate, int channels,
                                    const std::vector<std::string>& output) {
    std::vector<std::string> command =
        Ffmpeg({"-f", "lavfi", "-i",
                "aevalsrc=exprs='0.4*sin(2*PI*440*t)+0.3*sin(2*PI*1234.5*t)':s=" + rate + ":d=0.2",
                "-ac", std::to_string(channels)});
    command.insert(command.end(), output.begin(), output.end());
    return command;
}

std::vector<std::string> SoxTone(const std::vector<std::string>& output) {
    std::vector<std::string> command = {"sox", "-R", "-D", "-r", "8000", "-n"};
    command.insert(command.end(), output.begin(), output.end());
    command.insert(command.end(), {"synth", "0.2", "sine", "440", "gain", "-n", "-1"});
    return command;
}

struct FormCase {
    const char* Why;
    std::string Name;
    std::vector<std::string> Command;  // makes the file Name
    std::string TwinCodec;             // ffmpeg's codec of the twin's plain samples
    std::string Form;                  // the report line's form
    std::string Unread;                // the refusal without --any-pcm
    bool Stereo = false;               // the second channel is read
};

const std::string NotWave = "This is not a Wave file (";
const std::string NotPcm = "This is not a PCM format Wave file (";

TEST(RealFileFormsTest, EachFormGivesTheSignalFileOfItsRiffTwin) {
    ScratchFolder folder = EnterScratchFolder();
    const FormCase cases[] = {
        {"ffmpeg, RF64 always, 16-bit", "rf16.wav",
         FfmpegTone("44100", 1, {"-c:a", "pcm_s16le", "-rf64", "always", "rf16.wav"}), "pcm_s16le",
         "16 bits", NotWave + "RF64 file; --any-pcm reads it)"},
        {"ffmpeg, RF64 always, 24-bit", "rf24.wav",
         FfmpegTone("48000", 1, {"-c:a", "pcm_s24le", "-rf64", "always", "rf24.wav"}), "pcm_s24le",
         "24 bits", NotWave + "RF64 file; --any-pcm reads it)"},
        {"ffmpeg, RF64 always, 16-bit stereo", "rfstereo.wav",
         FfmpegTone("22050", 2, {"-c:a", "pcm_s16le", "-rf64", "always", "rfstereo.wav"}),
         "pcm_s16le", "16 bits", NotWave + "RF64 file; --any-pcm reads it)", true},
        {"sox, Wave64", "sox.w64", SoxTone({"-b", "16", "-c", "1", "sox.w64"}), "pcm_s16le",
         "16 bits", NotWave + "Wave64 file; --any-pcm reads it)"},
        {"ffmpeg, Wave64", "ffmpeg.w64",
         FfmpegTone("16000", 1, {"-c:a", "pcm_s16le", "ffmpeg.w64"}), "pcm_s16le", "16 bits",
         NotWave + "Wave64 file; --any-pcm reads it)"},
        {"sox, A-law", "soxalaw.wav", SoxTone({"-e", "a-law", "-c", "1", "soxalaw.wav"}),
         "pcm_s16le", "8-bit A-law", NotPcm + "8-bit A-law; --any-pcm reads it)"},
        {"sox, µ-law", "soxulaw.wav", SoxTone({"-e", "u-law", "-c", "1", "soxulaw.wav"}),
         "pcm_s16le", "8-bit µ-law", NotPcm + "8-bit µ-law; --any-pcm reads it)"},
        {"ffmpeg, A-law stereo", "ffalaw.wav",
         FfmpegTone("8000", 2, {"-c:a", "pcm_alaw", "ffalaw.wav"}), "pcm_s16le", "8-bit A-law",
         NotPcm + "8-bit A-law, 2 channels; --any-pcm --channel N reads one)", true},
        {"ffmpeg, µ-law stereo", "ffulaw.wav",
         FfmpegTone("8000", 2, {"-c:a", "pcm_mulaw", "ffulaw.wav"}), "pcm_s16le", "8-bit µ-law",
         NotPcm + "8-bit µ-law, 2 channels; --any-pcm --channel N reads one)", true},
    };
    for (const FormCase& c : cases) {
        SCOPED_TRACE(c.Why);
        std::string problem;
        std::string ignored;
        ASSERT_TRUE(RunTool(c.Command, ignored, problem)) << problem;
        const bool stereo = c.Stereo;
        // The twin holds the channel read, as plain RIFF samples.
        std::vector<std::string> twin = Ffmpeg({"-i", c.Name, "-c:a", c.TwinCodec});
        if (stereo) twin.insert(twin.end(), {"-af", "pan=mono|c0=c1"});
        twin.insert(twin.end(), {"-rf64", "never", "-f", "wav", "twin.wav"});
        ASSERT_TRUE(RunTool(twin, ignored, problem)) << problem;

        const ChildResult unread = Norvistrand({c.Name});
        EXPECT_EQ(unread.ExitStatus, 1);
        EXPECT_EQ(unread.Errors, "norvistrand: " + c.Name + ": " + c.Unread + "\n");
        std::vector<std::string> reading = {"--any-pcm", "-o", "case.sig", c.Name};
        if (stereo) reading.insert(reading.begin(), {"--channel", "2"});
        const ChildResult read = Norvistrand(reading);
        EXPECT_EQ(read.ExitStatus, 0) << read.Errors;
        EXPECT_NE(read.Output.find(": " + c.Form + ", "), std::string::npos) << read.Output;
        ASSERT_EQ(Norvistrand({"--any-pcm", "-q", "twin.wav"}).ExitStatus, 0);
        EXPECT_TRUE(ReadWholeFile("case.sig") == ReadWholeFile("twin.sig"));
        std::vector<double> decoded;
        ASSERT_TRUE(DecodeWithSox("twin.wav", decoded, problem)) << problem;
        EXPECT_EQ(CompareWithDecoding(ReadWholeFile("twin.sig"), decoded), "");
    }
    LeaveScratchFolder(folder);
}

// sox's and ffmpeg's decoding of a file of every A-law and every µ-law code are the tables.
TEST(RealFileFormsTest, SoxAndFfmpegDecodeEveryCodeToTheTablesValues) {
    ScratchFolder folder = EnterScratchFolder();
    std::string codes;
    for (int code = 0; code < 256; ++code) codes.push_back(static_cast<char>(code));
    for (const bool aLaw : {true, false}) {
        SCOPED_TRACE(aLaw ? "A-law" : "µ-law");
        WaveLayout layout;
        layout.FormatTag = aLaw ? 6 : 7;
        layout.BitsPerSample = 8;
        layout.BlockAlignment = 1;
        layout.Samples = codes;
        WriteWholeFile("codes.wav", BuildWave(layout));
        std::string expected;
        for (int code = 0; code < 256; ++code) {
            const auto byte = static_cast<std::uint8_t>(code);
            PutLittleEndian(
                expected, static_cast<std::uint16_t>(aLaw ? ALawValue(byte) : MuLawValue(byte)), 2);
        }
        std::string problem;
        std::string ignored;
        ASSERT_TRUE(RunTool(
            {"sox", "codes.wav", "-t", "raw", "-e", "signed-integer", "-b", "16", "sox.raw"},
            ignored, problem))
            << problem;
        ASSERT_TRUE(
            RunTool(Ffmpeg({"-i", "codes.wav", "-f", "s16le", "-c:a", "pcm_s16le", "ffmpeg.raw"}),
                    ignored, problem))
            << problem;
        EXPECT_TRUE(ReadWholeFile("sox.raw") == expected);
        EXPECT_TRUE(ReadWholeFile("ffmpeg.raw") == expected);
    }
    LeaveScratchFolder(folder);
}

}  // namespace
