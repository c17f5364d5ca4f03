#pragma once
// Each end-to-end test gets the program in its own tmux server and temporary folder, both
// removed after the test whatever its outcome.
#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/screen_checks.h"
#include "tests/e2e/tmux_session.h"

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(StartSession(Session, NORVISTRAND_BINARY)) << Session.Problem;
    }
    void TearDown() override { StopSession(Session); }

    TmuxSession Session{};
};

// Types a name at the prompt and presses Enter.
inline bool TypeLine(TmuxSession& session, const std::string& name) {
    return SendBytes(session, name + "\r");
}
