// The header check and the conversion over the Windows file layer: the signal file's bytes
// for each resolution, the refusals, and what Windows names mean for them. The tests run
// without a console: every screen operation is then refused by the system and draws nothing.
#include <gtest/gtest.h>

#include <string>

#include "converter/header_check.h"
#include "files/channels.h"
#include "screen/conversion.h"
#include "screen/messages.h"
#include "tests/support/wave_builder.h"
#include "tests/windows/support/scratch_folder.h"

namespace {

class ConverterTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { FreeConsole(); }
    void SetUp() override {
        Folder = EnterScratchFolder();
        ASSERT_FALSE(Folder.Path.empty());
        CloseChannel(1);
        TakeFileError();
    }
    void TearDown() override {
        CloseChannel(1);
        TakeFileError();
        LeaveScratchFolder(Folder);
    }
    ScratchFolder Folder;
};

// Checks the file, converts it and returns the outcome; the test reads the signal file.
ConversionOutcome Convert(const std::string& name, const std::string& wave) {
    WriteWholeFile(name, wave);
    WaveHeader header{};
    HeaderVerdict verdict = CheckWaveHeader(name, header);
    EXPECT_EQ(verdict.Code, HeaderCode::Accepted);
    if (verdict.Code != HeaderCode::Accepted) return ConversionOutcome::ReadFailed;
    return ConvertToSignalFile(name, header);
}

TEST_F(ConverterTest, WritesEachSampleOverThePeakOneLineEach) {
    struct Case {
        const char* Why;
        std::string Wave;
        const char* Lines;
    } const cases[] = {
        {"8-bit offset by 128", CanonicalWave(1, 8, std::string("\x00\x80\xFF", 3)),
         "-1\r\n0\r\n.9921875\r\n"},
        {"16-bit most negative is the peak", CanonicalWave(1, 16, Samples16({-32768, 16384, 0})),
         "-1\r\n.5\r\n0\r\n"},
        {"16-bit mixed", CanonicalWave(1, 16, Samples16({0, 1000, -32768, 32767, 12345, -1, 7})),
         "0\r\n.030517578125\r\n-1\r\n.999969482421875\r\n.376739501953125\r\n"
         "-.000030517578125\r\n.000213623046875\r\n"},
        {"24-bit 00 00 80 is the most negative",
         CanonicalWave(1, 24, std::string("\x00\x00\x80\x00\x00\x40", 6)), "-1\r\n.5\r\n"},
        {"24-bit FF FF 7F and FF FF FF",
         CanonicalWave(1, 24, std::string("\xFF\xFF\x7F\xFF\xFF\xFF", 6)),
         "1\r\n-1.19209303761638E-7\r\n"},
        {"all zero: every quotient is 0 / 0", CanonicalWave(1, 16, Samples16({0, 0, 0})),
         "0\r\n0\r\n0\r\n"},
        {"thirds", CanonicalWave(1, 16, Samples16({1, 3, -2})),
         ".333333333333333\r\n1\r\n-.666666666666667\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Why);
        WriteWholeFile("take1.sig", std::string(10000, 'x'));  // replaced whole
        EXPECT_EQ(Convert("take1.wav", c.Wave), ConversionOutcome::Finished);
        EXPECT_EQ(ReadWholeFile("take1.sig"), c.Lines);
        EXPECT_EQ(ReadWholeFile("take1.wav"), c.Wave);
    }
}

TEST_F(ConverterTest, TheHeaderCheckFillsTheHeader) {
    WriteWholeFile("take1.wav", CanonicalWave(1, 16, Samples16(std::vector<std::int16_t>(8000))));
    WaveHeader header{};
    HeaderVerdict verdict = CheckWaveHeader("take1.wav", header);
    ASSERT_EQ(verdict.Code, HeaderCode::Accepted);
    EXPECT_EQ(header.BitsPerSample, 16);
    EXPECT_EQ(header.SampleRate, 8000);
    EXPECT_EQ(header.SampleCount, 8000);
    EXPECT_EQ(header.Duration, 1000);
    EXPECT_EQ(header.SampleStart, 44);
}

TEST_F(ConverterTest, RefusalsSayWhy) {
    WriteWholeFile("text.wav", "This is no sound at all, but it is long enough to be read.");
    WriteWholeFile("stereo.wav", CanonicalWave(2, 16, Samples16({1, 2, 3, 4})));
    // On Windows letter case does not tell files apart: the signal file of TAKE1.SIG would be
    // the wave file itself.
    WriteWholeFile("take1.SIG", CanonicalWave(1, 16, Samples16({1, 2})));
    struct Case {
        const char* Name;
        std::string_view Message;
    } const cases[] = {
        {"absent.wav", "   ERROR - Specified file not found"},
        {"", "   ERROR - Specified file not found"},
        {"text.wav", "   ERROR - This is not a Wave file"},
        {"stereo.wav", "   ERROR - This is not a mono Wave file"},
        {"take1.SIG", "   ERROR - The signal file would overwrite this Wave file"},
    };
    for (const Case& c : cases) {
        WaveHeader header{};
        HeaderVerdict verdict = CheckWaveHeader(c.Name, header);
        EXPECT_EQ(RefusalMessage(verdict.Code), c.Message) << c.Name;
        // The channel is free again for the next attempt.
        OpenChannel(1, "text.wav", OpenMode::Test);
        EXPECT_EQ(TakeFileError(), 0) << c.Name;
        CloseChannel(1);
    }
}

TEST_F(ConverterTest, ASignalFileHeldByAnotherProgramFailsTheWrite) {
    WriteWholeFile("take1.sig", "held");
    HANDLE held = CreateFileA("take1.sig", GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Convert("take1.wav", CanonicalWave(1, 16, Samples16({1, 2}))),
              ConversionOutcome::WriteFailed);
    CloseHandle(held);
    EXPECT_EQ(ReadWholeFile("take1.sig"), "held");
}

}  // namespace
