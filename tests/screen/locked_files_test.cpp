// Files that another process holds locked, with a whole-file lock or a record lock: the wave
// file is refused as not found, and a signal file in use elsewhere is reported as not written
// and left whole, not emptied.
#include "converter/header_check.h"
#include "screen/conversion.h"
#include "tests/support/converter_fixture.h"
#include "tests/support/lock_holder.h"

namespace {

class LockedFileTest : public ConverterTest, public ::testing::WithParamInterface<LockKind> {};

std::string SmallWave() {
    WaveLayout layout;
    layout.Samples = Samples16({4, -8});
    return BuildWave(layout);
}

TEST_P(LockedFileTest, LockedWaveFileIsNotFoundUntilItsHolderLetsGo) {
    WriteWholeFile("held.wav", SmallWave());
    LockHolder holder{};
    ASSERT_TRUE(HoldLock("held.wav", holder, GetParam()));
    WaveHeader header{};
    const HeaderVerdict verdict = CheckWaveHeader("held.wav", header);
    ReleaseLock(holder);
    EXPECT_EQ(verdict.Code, HeaderCode::NotFound);

    ASSERT_EQ(CheckWaveHeader("held.wav", header).Code, HeaderCode::Accepted);
    EXPECT_EQ(ConvertToSignalFile("held.wav", header), ConversionOutcome::Finished);
    EXPECT_EQ(ReadWholeFile("held.sig"), ".5\r\n-1\r\n");
}

TEST_P(LockedFileTest, SignalFileInUseElsewhereIsReportedAndKeptWhole) {
    WriteWholeFile("busy.wav", SmallWave());
    WriteWholeFile("busy.sig", "someone else's");
    LockHolder holder{};
    ASSERT_TRUE(HoldLock("busy.sig", holder, GetParam()));
    WaveHeader header{};
    ASSERT_EQ(CheckWaveHeader("busy.wav", header).Code, HeaderCode::Accepted);
    const ConversionOutcome outcome = ConvertToSignalFile("busy.wav", header);
    ReleaseLock(holder);
    EXPECT_EQ(outcome, ConversionOutcome::WriteFailed);
    EXPECT_EQ(ReadWholeFile("busy.sig"), "someone else's");
}

INSTANTIATE_TEST_SUITE_P(EitherLock, LockedFileTest,
                         ::testing::Values(LockKind::WholeFile, LockKind::Record),
                         [](const ::testing::TestParamInfo<LockKind>& info) {
                             return info.param == LockKind::Record ? "Record" : "WholeFile";
                         });

}  // namespace
