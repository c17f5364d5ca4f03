// The real program on a pseudo-terminal that this test plays: ended by a hang-up or another
// ending signal while it waits at the prompt, it leaves the terminal in the mode it found.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto Patience = std::chrono::seconds(5);

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Reads what the program draws until `wanted` has appeared in it at or after `from`, or the
// deadline passes.
bool ReadUntil(int master, const std::string& wanted, std::string& drawn, std::size_t from = 0) {
    const Clock::time_point deadline = Clock::now() + Patience;
    while (drawn.find(wanted, from) == std::string::npos) {
        pollfd ready{master, POLLIN, 0};
        if (poll(&ready, 1, MillisecondsLeft(deadline)) <= 0) return false;
        char buffer[4096];
        const ssize_t count = read(master, buffer, sizeof buffer);
        if (count <= 0) return false;
        drawn.append(buffer, static_cast<std::size_t>(count));
    }
    return true;
}

// Waits for the child to end, killing it if it takes too long; false when it had to be killed.
bool Reap(pid_t child, int& status) {
    const Clock::time_point deadline = Clock::now() + Patience;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (Clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return false;
        }
        usleep(1000);
    }
    return true;
}

// In the child: a session of its own on the pseudo-terminal, then the program, in `folder`
// with only TERM in its environment.
[[noreturn]] void RunProgramOn(const char* slaveName, int master, const std::string& folder) {
    setsid();
    const int slave = open(slaveName, O_RDWR);
    if (slave < 0) _exit(90);
    dup2(slave, STDIN_FILENO);
    dup2(slave, STDOUT_FILENO);
    dup2(slave, STDERR_FILENO);
    if (slave > STDERR_FILENO) close(slave);
    close(master);
    if (chdir(folder.c_str()) != 0) _exit(91);
    char program[] = NORVISTRAND_BINARY;
    char term[] = "TERM=xterm-256color";
    char* arguments[] = {program, nullptr};
    char* environment[] = {term, nullptr};
    execve(program, arguments, environment);
    _exit(92);
}

bool InRawMode(const termios& mode) {
    return (mode.c_lflag & (ECHO | ICANON | ISIG)) == 0;
}

}  // namespace

class EndingSignalTest : public ::testing::TestWithParam<int> {};

TEST_P(EndingSignalTest, TerminalModeIsPutBackWhenTheSignalEndsTheProgramAtThePrompt) {
    const int signalNumber = GetParam();
    char pattern[] = "/tmp/norvistrand-pty-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string folder = pattern;
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string slaveName = ptsname(master);
    // The test's own view of the terminal's mode, never its controlling terminal.
    const int slave = open(slaveName.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(slave, 0);
    termios before{};
    ASSERT_EQ(tcgetattr(slave, &before), 0);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) RunProgramOn(slaveName.c_str(), master, folder);

    std::string drawn;
    const bool prompted = ReadUntil(master, "Name of Wave file?", drawn);
    // A name half typed; its last letter drawn means the program has taken all of it.
    const std::size_t promptEnd = drawn.size();
    const bool echoed =
        prompted && write(master, "half", 4) == 4 && ReadUntil(master, "f", drawn, promptEnd);
    termios during{};
    tcgetattr(slave, &during);
    kill(child, signalNumber);
    int status = 0;
    const bool ended = Reap(child, status);
    termios after{};
    const int looked = tcgetattr(slave, &after);
    close(slave);
    close(master);
    std::filesystem::remove_all(folder);

    ASSERT_TRUE(echoed) << "the prompt or the echo never came; drawn:\n" << drawn;
    EXPECT_TRUE(InRawMode(during));
    ASSERT_TRUE(ended) << "the program did not end on signal " << signalNumber;
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signalNumber) << "status " << status;
    ASSERT_EQ(looked, 0);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_oflag, before.c_oflag);
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(after.c_cc[VMIN], before.c_cc[VMIN]);
    EXPECT_EQ(after.c_cc[VTIME], before.c_cc[VTIME]);
}

INSTANTIATE_TEST_SUITE_P(HangUpAndTheLike, EndingSignalTest,
                         ::testing::Values(SIGHUP, SIGTERM, SIGINT),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(sigabbrev_np(info.param));
                         });
