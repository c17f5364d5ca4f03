// A wave file that another process holds locked is refused as not found, untouched; once
// the other process lets go, the same name is converted.
#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/program_fixture.h"
#include "tests/e2e/screen_texts.h"
#include "tests/support/lock_holder.h"
#include "tests/support/wave_files.h"

TEST_F(ProgramTest, LockedWaveFileIsRefusedUntilItsHolderLetsGo) {
    WaveLayout layout;
    layout.Samples = Samples16({-300, 150, 0});
    const std::string wave = BuildWave(layout);
    const std::string path = PathInFolder(Session, "held.wav");
    WriteWholeFile(path, wave);

    LockHolder holder{};
    ASSERT_TRUE(HoldLock(path, holder)) << "the other process could not lock the file";

    ASSERT_TRUE(WaitForRow(Session, 12, Prompt)) << Session.Problem;
    ASSERT_TRUE(TypeLine(Session, "held.wav")) << Session.Problem;
    int top = 0;
    const bool refused = WaitForLines(Session, {PromptWith("held.wav"), NotFound, "", Prompt}, top);
    ReleaseLock(holder);
    ASSERT_TRUE(refused) << Session.Problem;
    EXPECT_EQ(ReadWholeFile(path), wave) << "the locked file changed";

    ASSERT_TRUE(TypeLine(Session, "held.wav")) << Session.Problem;
    ASSERT_TRUE(WaitForLines(Session, {JobFinished, PressAnyKey}, top)) << Session.Problem;
    EXPECT_EQ(ReadWholeFile(PathInFolder(Session, "held.sig")), "-1\r\n.5\r\n0\r\n");
    EXPECT_EQ(ReadWholeFile(path), wave) << "the input changed";
}
