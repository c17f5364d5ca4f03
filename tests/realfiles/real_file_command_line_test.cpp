// The command-line mode over the files the tools write: extensible files, files written to a
// pipe and a file cut short are refused or warned about with the option that reads them named,
// and read with it as sox reads them; what no option reads stays refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "converter/wave_header.h"
#include "tests/e2e/child_process.h"
#include "tests/realfiles/real_tools.h"
#include "tests/support/wave_files.h"

namespace {

constexpr int Patience = 20000;

ChildResult Norvistrand(std::vector<std::string> arguments, const std::string& name) {
    arguments.insert(arguments.begin(), NORVISTRAND_BINARY);
    arguments.push_back(name);
    return RunChild(arguments, Patience);
}

// The command line's text of a screen message: less its blanks and "ERROR - ".
std::string Text(const std::string& message) {
    return message.substr(message.find(" - ") + 3);
}

// The copy sox decodes as the program reads the file. sox refuses valid bits below the
// container: its copy says they are the container's. 24 bits in 4-byte slots, the top byte the
// sign's extension, are the same values as 32-bit samples. One channel of several: sox's own
// copy of that channel.
std::string ForSox(const RealFileCase& realFile) {
    std::string bytes = ReadWholeFile(realFile.Name);
    if (realFile.FormatTag == static_cast<std::int16_t>(0xFFFE)) bytes.replace(38, 2, bytes, 34, 2);
    if (realFile.FormatTag == 1 && bytes[34] == 24 && bytes[32] == 4) bytes[34] = 32;
    const std::string copy = "sox-" + realFile.Name;
    WriteWholeFile(copy, bytes);
    const auto asked = std::find(realFile.Reading.begin(), realFile.Reading.end(), "--channel");
    if (asked == realFile.Reading.end()) return copy;
    std::string problem;
    std::string ignored;
    EXPECT_TRUE(RunTool({"sox", copy, "one-" + copy, "remix", *(asked + 1)}, ignored, problem))
        << problem;
    return "one-" + copy;
}

void CheckCommandLine(const RealFileCase& realFile) {
    const std::string line = "norvistrand: " + realFile.Name + ": ";
    if (realFile.Reading.empty()) {
        // Refused however it is read.
        ChildResult run = Norvistrand({"--extensible", "--data-to-end"}, realFile.Name);
        EXPECT_EQ(run.ExitStatus, 1);
        EXPECT_EQ(run.Errors, line + Text(realFile.Refusal) + "\n");
        return;
    }
    ChildResult unread = Norvistrand({}, realFile.Name);
    EXPECT_EQ(unread.Errors, line + realFile.Unread + "\n");
    EXPECT_EQ(unread.ExitStatus, realFile.Unread.rfind("warning: ", 0) == 0 ? 0 : 1);

    ChildResult read = Norvistrand(realFile.Reading, realFile.Name);
    EXPECT_EQ(read.ExitStatus, 0) << read.Errors;
    EXPECT_EQ(read.Errors, "");
    std::vector<double> decoded;
    std::string problem;
    ASSERT_TRUE(DecodeWithSox(ForSox(realFile), decoded, problem)) << problem;
    EXPECT_EQ(CompareWithDecoding(ReadWholeFile(SignalFileName(realFile.Name)), decoded), "");
}

TEST(RealFileCommandLineTest, EachFileIsReadWithTheOptionItsMessageNames) {
    ScratchFolder folder = EnterScratchFolder();
    for (const RealFileCase& realFile : RealFileCases()) {
        if (realFile.Reading.empty() && realFile.Refusal.empty()) continue;  // read alike
        SCOPED_TRACE(realFile.Why);
        std::string problem;
        ASSERT_TRUE(MakeRealFile(realFile, realFile.Name, problem)) << problem;
        ASSERT_EQ(FormatTagOf(ReadWholeFile(realFile.Name)), realFile.FormatTag);
        CheckCommandLine(realFile);
    }
    LeaveScratchFolder(folder);
}

}  // namespace
