#pragma once
// The program started through a small shell script, so a test can set what the program
// inherits (a file-size limit, an ignored hang-up signal) before the script becomes it; and
// the checks on the program's process that tests of its end need. Every wait is bounded.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>
#include <vector>

#include "tests/e2e/tmux_session.h"

struct ProgramWrapper {
    std::string Folder;  // temporary folder holding the script; "" when none was made
    std::string Script;  // the script's full path
};

// Writes an executable script: the prelude's shell commands, then exec of the program.
bool WriteWrapper(const std::string& prelude, const std::string& program, ProgramWrapper& wrapper,
                  std::string& problem);
void RemoveWrapper(ProgramWrapper& wrapper);

// One tmux command on the session's own server, e.g. {"kill-server"}.
bool RunSessionCommand(TmuxSession& session, const std::vector<std::string>& arguments);

// Whether the process runs the executable at path (a reused pid runs something else).
bool RunsExecutable(int pid, const std::string& path);

// Waits at most `milliseconds` until the process has ended: gone, or a zombie that nobody
// has reaped yet.
bool WaitUntilEnded(int pid, int milliseconds);

// Each test gets the program behind its own wrapper, in its own tmux server and folder; a
// program that outlives the test is killed by its pid.
class WrappedProgramTest : public ::testing::Test {
protected:
    // Starts the session; the test calls it first, with the prelude it needs.
    void Start(const std::string& prelude) {
        std::string problem;
        ASSERT_TRUE(WriteWrapper(prelude, NORVISTRAND_BINARY, Wrapper, problem)) << problem;
        ASSERT_TRUE(StartSession(Session, Wrapper.Script)) << Session.Problem;
        ProgramPid = Session.ProgramPid;
    }
    void TearDown() override {
        StopSession(Session);
        if (ProgramPid > 0 && !WaitUntilEnded(ProgramPid, 2000) &&
            RunsExecutable(ProgramPid, NORVISTRAND_BINARY)) {
            ADD_FAILURE() << "the program outlived its terminal";
            kill(ProgramPid, SIGKILL);
        }
        RemoveWrapper(Wrapper);
    }

    TmuxSession Session{};
    ProgramWrapper Wrapper{};
    int ProgramPid = 0;  // the pane's process, which becomes the program
};
