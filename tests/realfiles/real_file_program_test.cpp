// Files from ffmpeg typed at the real program's prompt in a real terminal: its 24-bit file
// refused, its 16-bit file with a LIST chunk reported as soxi reports it and converted as sox
// decodes it.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/e2e/program_fixture.h"
#include "tests/e2e/screen_texts.h"
#include "tests/realfiles/real_tools.h"
#include "tests/support/wave_files.h"

TEST_F(ProgramTest, ToolFilesAreRefusedOrConvertedByTheProgram) {
    std::string problem;
    const std::string refused = PathInFolder(Session, "ffmpeg24.wav");
    const std::string accepted = PathInFolder(Session, "ffmpeg16.wav");
    const RealFileCase* refusedCase = RealFileCaseNamed("ffmpeg24.wav");
    const RealFileCase* acceptedCase = RealFileCaseNamed("ffmpeg16.wav");
    ASSERT_TRUE(refusedCase != nullptr && acceptedCase != nullptr);
    ASSERT_TRUE(MakeRealFile(*refusedCase, refused, problem)) << problem;
    ASSERT_TRUE(MakeRealFile(*acceptedCase, accepted, problem)) << problem;
    std::int64_t rate = 0;
    std::int64_t samples = 0;
    ASSERT_TRUE(AskSoxi(accepted, "-r", rate, problem)) << problem;
    ASSERT_TRUE(AskSoxi(accepted, "-s", samples, problem)) << problem;
    std::vector<double> decoded;
    ASSERT_TRUE(DecodeWithSox(accepted, decoded, problem)) << problem;

    ASSERT_TRUE(WaitForRow(Session, 12, Prompt)) << Session.Problem;
    ASSERT_TRUE(TypeLine(Session, "ffmpeg24.wav")) << Session.Problem;
    int top = 0;
    ASSERT_TRUE(WaitForLines(Session, {PromptWith("ffmpeg24.wav"), NotPcm, "", Prompt}, top))
        << Session.Problem;

    ASSERT_TRUE(TypeLine(Session, "ffmpeg16.wav")) << Session.Problem;
    ASSERT_TRUE(WaitForLines(
        Session,
        {OutputFileRow("ffmpeg16.sig"), "", "", Processing, "", "", JobFinished, PressAnyKey}, top))
        << Session.Problem;
    std::vector<std::string> rows;
    ASSERT_TRUE(CaptureRows(Session, rows)) << Session.Problem;
    const auto row = [&rows](int number) { return rows[static_cast<std::size_t>(number - 1)]; };
    EXPECT_EQ(row(top - 5), "         FILE DATA    Resolution   16 bits") << DescribeRows(rows);
    EXPECT_EQ(row(top - 4), "                      Sample rate  " + std::to_string(rate) + " Hz");
    EXPECT_EQ(row(top - 3),
              "                      Length       " + std::to_string(samples) + " samples");

    EXPECT_EQ(CompareWithDecoding(ReadWholeFile(PathInFolder(Session, "ffmpeg16.sig")), decoded),
              "");
    ASSERT_TRUE(SendBytes(Session, "q")) << Session.Problem;
    int status = -1;
    ASSERT_TRUE(WaitForExit(Session, status)) << Session.Problem;
    EXPECT_EQ(status, 0);
}
