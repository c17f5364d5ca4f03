// Files as sox and ffmpeg really write them, through the header check, the report and the
// conversion, checked against soxi and sox's own decoding of the same files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "converter/header_check.h"
#include "screen/conversion.h"
#include "screen/messages.h"
#include "screen/report.h"
#include "tests/realfiles/real_tools.h"
#include "tests/support/converter_fixture.h"

namespace {

using RealFileTest = ConverterTest;

// The report rows as they should read for soxi's figures.
std::vector<std::string> ReportFor(std::int64_t bits, std::int64_t rate, std::int64_t samples) {
    return {"         FILE DATA    Resolution   " + std::to_string(bits) + " bits",
            "                      Sample rate  " + std::to_string(rate) + " Hz",
            "                      Length       " + std::to_string(samples) + " samples"};
}

// An accepted file: the report's figures are soxi's, the signal file is sox's decoding over
// its peak, and the peak is where the tool was told to put it.
void CheckAccepted(const RealFileCase& realFile, const WaveHeader& header,
                   const std::vector<std::string>& report) {
    std::string problem;
    std::int64_t bits = 0;
    std::int64_t rate = 0;
    std::int64_t samples = 0;
    ASSERT_TRUE(AskSoxi(realFile.Name, "-b", bits, problem)) << problem;
    ASSERT_TRUE(AskSoxi(realFile.Name, "-r", rate, problem)) << problem;
    ASSERT_TRUE(AskSoxi(realFile.Name, "-s", samples, problem)) << problem;
    EXPECT_EQ(header.BitsPerSample, bits);
    EXPECT_EQ(header.SampleRate, rate);
    EXPECT_EQ(header.SampleCount, samples);
    EXPECT_EQ(report, ReportFor(bits, rate, samples));

    std::vector<double> decoded;
    ASSERT_TRUE(DecodeWithSox(realFile.Name, decoded, problem)) << problem;
    EXPECT_EQ(static_cast<std::int64_t>(decoded.size()), samples);
    if (realFile.PeakLevel > 0) {
        double peak = 0;
        for (double sample : decoded) peak = std::fmax(peak, std::fabs(sample));
        EXPECT_NEAR(peak, realFile.PeakLevel, realFile.PeakTolerance) << "the tool's peak";
    }
    std::string signalName = SignalFileName(realFile.Name);
    EXPECT_EQ(CompareWithDecoding(ReadWholeFile(signalName), decoded), "");
}

TEST_F(RealFileTest, EachToolFileIsConvertedAsSoxReadsItOrRefused) {
    for (const RealFileCase& realFile : RealFileCases()) {
        // The screen program's reading of these is the streamed file's test below.
        if (SizeIsNoCount(realFile)) continue;
        SCOPED_TRACE(realFile.Why);
        std::string problem;
        ASSERT_TRUE(MakeRealFile(realFile, realFile.Name, problem)) << problem;
        const std::string bytes = ReadWholeFile(realFile.Name);
        // Should a tool change what it writes, this says which expectation to revisit.
        ASSERT_EQ(FormatTagOf(bytes), realFile.FormatTag) << "the tool's format tag";
        const std::size_t list = bytes.find("LIST");
        EXPECT_EQ(list != std::string::npos && list < bytes.find("data"), realFile.ListChunk);

        platform::ResetConsole(81, 30);
        PrepareConsole();
        WaveHeader header{};
        HeaderVerdict verdict = CheckWaveHeader(realFile.Name, header);
        EXPECT_EQ(RefusalMessage(verdict.Code), realFile.Refusal);
        if (verdict.Code != HeaderCode::Accepted) continue;

        WriteReport(header);
        std::vector<std::string> report = {Row(1), Row(2), Row(3)};
        EXPECT_EQ(ConvertToSignalFile(realFile.Name, header), ConversionOutcome::Finished);
        CheckAccepted(realFile, header, report);
        EXPECT_EQ(ReadWholeFile(realFile.Name), bytes) << "the wave file changed";
    }
}

// Written to a pipe, ffmpeg cannot go back to fill in its sizes and leaves them 0xFFFFFFFF.
// The data size is taken as written, -1, which gives N = 0: "Job finished" with an empty
// signal file, though sox finds samples in the file.
TEST_F(RealFileTest, StreamedFileWithUnknownSizesGivesAnEmptySignalFile) {
    std::string bytes;
    std::string problem;
    ASSERT_TRUE(RunTool({"ffmpeg", "-nostdin", "-loglevel", "error", "-f", "lavfi", "-i",
                         "sine=f=440:r=22050:d=0.1", "-c:a", "pcm_s16le", "-f", "wav", "pipe:1"},
                        bytes, problem))
        << problem;
    const std::size_t data = bytes.find("data");
    ASSERT_NE(data, std::string::npos);
    ASSERT_EQ(bytes.substr(data + 4, 4), "\xFF\xFF\xFF\xFF") << "ffmpeg filled in the size";
    WriteWholeFile("streamed.wav", bytes);
    WriteWholeFile("streamed.sig", "old");

    WaveHeader header{};
    ASSERT_EQ(CheckWaveHeader("streamed.wav", header).Code, HeaderCode::Accepted);
    EXPECT_EQ(header.DataSize, -1);
    EXPECT_EQ(header.SampleCount, 0);
    EXPECT_EQ(ConvertToSignalFile("streamed.wav", header), ConversionOutcome::Finished);
    EXPECT_EQ(ReadWholeFile("streamed.sig"), "");
    std::vector<double> decoded;
    ASSERT_TRUE(DecodeWithSox("streamed.wav", decoded, problem)) << problem;
    EXPECT_GT(decoded.size(), 2000u);
}

}  // namespace
