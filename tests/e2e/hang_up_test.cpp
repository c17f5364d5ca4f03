// The terminal goes away while the program waits for a key, at the prompt with a name half
// typed or at the very end: the program ends, whether the hang-up signal ends it or, with
// that signal ignored, the dead keyboard does.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/e2e/screen_texts.h"
#include "tests/e2e/wrapped_program.h"
#include "tests/support/wave_files.h"

namespace {

constexpr int EndLimitMilliseconds = 5000;

struct HangUpCase {
    const char* Name;                  // the case as the test list names it
    const char* Prelude;               // shell commands run before the program starts
    const char* Typed;                 // the keys typed before the terminal goes
    std::string Shown;                 // a row that stands on the screen once they are taken
    std::vector<std::string> Command;  // the tmux command that takes the terminal away
};

// The case by its name, in test listings.
void PrintTo(const HangUpCase& hangUp, std::ostream* out) {
    *out << hangUp.Name;
}

}  // namespace

class HangUpTest : public WrappedProgramTest, public ::testing::WithParamInterface<HangUpCase> {};

TEST_P(HangUpTest, ProgramEndsWhenItsTerminalGoes) {
    const HangUpCase& hangUp = GetParam();
    Start(hangUp.Prelude);
    WaveLayout layout;
    layout.Samples = Samples16({1, -1});
    WriteWholeFile(PathInFolder(Session, "take1.wav"), BuildWave(layout));
    ASSERT_TRUE(WaitForRow(Session, 12, Prompt)) << Session.Problem;
    ASSERT_TRUE(SendBytes(Session, hangUp.Typed)) << Session.Problem;
    int top = 0;
    ASSERT_TRUE(WaitForLines(Session, {hangUp.Shown}, top)) << Session.Problem;
    ASSERT_TRUE(RunsExecutable(ProgramPid, NORVISTRAND_BINARY)) << "pid " << ProgramPid;

    ASSERT_TRUE(RunSessionCommand(Session, hangUp.Command)) << Session.Problem;
    EXPECT_TRUE(WaitUntilEnded(ProgramPid, EndLimitMilliseconds))
        << "the program still runs " << EndLimitMilliseconds << " ms after its terminal went";
}

INSTANTIATE_TEST_SUITE_P(
    TerminalGone, HangUpTest,
    ::testing::Values(
        HangUpCase{"ServerKilledMidPrompt", "", "half", PromptWith("half"), {"kill-server"}},
        HangUpCase{
            "PaneKilledMidPrompt", "", "half", PromptWith("half"), {"kill-pane", "-t", "=e2e:"}},
        HangUpCase{"ServerKilledMidPromptWithHangUpIgnored",
                   "trap '' HUP",
                   "half",
                   PromptWith("half"),
                   {"kill-server"}},
        HangUpCase{"ServerKilledAtTheLastKeyWithHangUpIgnored",
                   "trap '' HUP",
                   "take1.wav\r",
                   PressAnyKey,
                   {"kill-server"}}),
    [](const ::testing::TestParamInfo<HangUpCase>& info) { return std::string(info.param.Name); });
