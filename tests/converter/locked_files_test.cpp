// Files that another process holds locked: the wave file is refused as not found, and a
// signal file in use elsewhere is reported as not written and left whole, not emptied.
#include "converter/conversion.h"
#include "converter/header_check.h"
#include "tests/converter/converter_fixture.h"
#include "tests/support/lock_holder.h"

namespace {

using LockedFileTest = ConverterTest;

std::string SmallWave() {
    WaveLayout layout;
    layout.Samples = Samples16({4, -8});
    return BuildWave(layout);
}

TEST_F(LockedFileTest, LockedWaveFileIsNotFoundUntilItsHolderLetsGo) {
    WriteWholeFile("held.wav", SmallWave());
    LockHolder holder{};
    ASSERT_TRUE(HoldLock("held.wav", holder));
    WaveHeader header{};
    const HeaderVerdict verdict = CheckWaveHeader("held.wav", header);
    ReleaseLock(holder);
    EXPECT_EQ(verdict.Message, NotFoundMessage);

    ASSERT_TRUE(CheckWaveHeader("held.wav", header).Accepted);
    EXPECT_EQ(ConvertToSignalFile("held.wav", header), ConversionOutcome::Finished);
    EXPECT_EQ(ReadWholeFile("held.sig"), ".5\r\n-1\r\n");
}

TEST_F(LockedFileTest, SignalFileInUseElsewhereIsReportedAndKeptWhole) {
    WriteWholeFile("busy.wav", SmallWave());
    WriteWholeFile("busy.sig", "someone else's");
    LockHolder holder{};
    ASSERT_TRUE(HoldLock("busy.sig", holder));
    WaveHeader header{};
    ASSERT_TRUE(CheckWaveHeader("busy.wav", header).Accepted);
    const ConversionOutcome outcome = ConvertToSignalFile("busy.wav", header);
    ReleaseLock(holder);
    EXPECT_EQ(outcome, ConversionOutcome::WriteFailed);
    EXPECT_EQ(ReadWholeFile("busy.sig"), "someone else's");
}

}  // namespace
