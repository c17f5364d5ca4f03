// The screen program with its standard streams redirected: the screen is drawn on whichever
// of them is still the terminal, and on the keyboard's terminal when neither is. The whole
// job runs there, and nothing of the screen reaches the redirected streams.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "tests/e2e/screen_texts.h"
#include "tests/e2e/wrapped_program.h"
#include "tests/support/wave_files.h"

namespace {

struct Redirection {
    const char* Name;     // the case as the test list names it
    const char* Prelude;  // the shell's redirection before it becomes the program
};

// The case by its name, in test listings.
void PrintTo(const Redirection& redirection, std::ostream* out) {
    *out << redirection.Name;
}

}  // namespace

class RedirectedStreamsTest : public WrappedProgramTest,
                              public ::testing::WithParamInterface<Redirection> {};

TEST_P(RedirectedStreamsTest, TheJobRunsOnTheTerminalAndTheStreamsStayEmpty) {
    Start(GetParam().Prelude);
    WaveLayout layout;
    layout.Samples = Samples16({16384, -8192});
    WriteWholeFile(PathInFolder(Session, "take1.wav"), BuildWave(layout));
    ASSERT_TRUE(WaitForRow(Session, 2, BannerTitle)) << Session.Problem;
    ASSERT_TRUE(WaitForRow(Session, 12, Prompt)) << Session.Problem;
    ASSERT_TRUE(SendBytes(Session, "take1.wav\r")) << Session.Problem;
    ASSERT_TRUE(WaitForRow(Session, 26, PressAnyKey)) << Session.Problem;
    EXPECT_EQ(ReadWholeFile(PathInFolder(Session, "take1.sig")), "1\r\n-.5\r\n");

    ASSERT_TRUE(SendBytes(Session, "q")) << Session.Problem;
    int status = -1;
    ASSERT_TRUE(WaitForExit(Session, status)) << Session.Problem;
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadWholeFile(PathInFolder(Session, "streams.log")), "");
}

INSTANTIATE_TEST_SUITE_P(Streams, RedirectedStreamsTest,
                         ::testing::Values(Redirection{"Output", "exec >streams.log"},
                                           Redirection{"Error", "exec 2>streams.log"},
                                           Redirection{"Both", "exec >streams.log 2>&1"}),
                         [](const ::testing::TestParamInfo<Redirection>& info) {
                             return std::string(info.param.Name);
                         });
