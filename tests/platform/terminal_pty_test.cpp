// The terminal layer on a real pseudo-terminal: a child process takes it as its controlling
// terminal and attaches; the test plays the terminal on the other side. Every wait is
// bounded; a child that does not finish in time is killed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <string>

#include "platform/console_api.h"
#include "platform/terminal/terminal.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto Patience = std::chrono::seconds(5);

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

struct Terminal {
    int Master;
    std::string SlaveName;
};

Terminal OpenPseudoTerminal() {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return {-1, ""};
    const char* name = ptsname(master);
    return {master, name != nullptr ? name : ""};
}

// In the child: a session of its own with the pseudo-terminal as its controlling terminal
// and as standard input, output and error.
void BecomeTerminalSession(const Terminal& terminal) {
    setsid();
    const int slave = open(terminal.SlaveName.c_str(), O_RDWR);
    if (slave < 0) _exit(90);
    dup2(slave, STDIN_FILENO);
    dup2(slave, STDOUT_FILENO);
    dup2(slave, STDERR_FILENO);
    if (slave > STDERR_FILENO) close(slave);
    // The parent's end is the terminal's other side: the child must not hold it open.
    close(terminal.Master);
}

void Tell(int pipe, char message) {
    while (write(pipe, &message, 1) < 0) {
    }
}

// Reads up to count bytes from descriptor until the deadline; returns what came.
std::string ReadFor(int descriptor, std::size_t count, Clock::time_point deadline) {
    std::string got;
    while (got.size() < count) {
        pollfd ready{descriptor, POLLIN, 0};
        if (poll(&ready, 1, MillisecondsLeft(deadline)) <= 0) break;
        char buffer[256];
        const ssize_t n = read(descriptor, buffer, std::min(sizeof buffer, count - got.size()));
        if (n <= 0) break;
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
}

// Waits for the child to end, killing it if it takes too long; returns its wait status.
int Reap(pid_t child) {
    const auto deadline = Clock::now() + Patience;
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (Clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            ADD_FAILURE() << "child did not end in time";
            return status;
        }
        usleep(1000);
    }
    return status;
}

bool InRawMode(const termios& mode) {
    return (mode.c_lflag & (ECHO | ICANON | ISIG)) == 0 && (mode.c_iflag & (ICRNL | IXON)) == 0;
}

TEST(TerminalOnPseudoTerminal, RawModeIsPutBackWhenTheProcessIsTerminated) {
    const Terminal terminal = OpenPseudoTerminal();
    ASSERT_GE(terminal.Master, 0);
    int report[2];
    ASSERT_EQ(pipe(report), 0);

    // The mode before is read before the child starts: the child may be in raw mode at once.
    const int slave = open(terminal.SlaveName.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    termios before{};
    ASSERT_EQ(tcgetattr(slave, &before), 0);
    ASSERT_FALSE(InRawMode(before));

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(report[0]);
        close(slave);
        BecomeTerminalSession(terminal);
        platform::ResetConsole(4, 2);
        Tell(report[1], platform::AttachTerminal() ? 'A' : 'F');
        for (;;) pause();  // until SIGTERM
    }
    close(report[1]);

    EXPECT_EQ(ReadFor(report[0], 1, Clock::now() + Patience), "A");
    termios during{};
    ASSERT_EQ(tcgetattr(slave, &during), 0);
    EXPECT_TRUE(InRawMode(during));

    kill(child, SIGTERM);
    const int status = Reap(child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    termios after{};
    ASSERT_EQ(tcgetattr(slave, &after), 0);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    // The keypad went to application mode at attach and back to normal on the way out.
    const std::string sent = "\x1b=\x1b[0m\x1b[H\x1b[2J\x1b>";
    EXPECT_EQ(ReadFor(terminal.Master, sent.size(), Clock::now() + Patience), sent);

    close(slave);
    close(report[0]);
    close(terminal.Master);
}

// What a terminal handed to the link receives: the application keypad and the clear at attach,
// then one frame that carries the queued title (made safe), the bell and the cells.
TEST(TerminalOnPseudoTerminal, FlushSendsRequestsBellsAndCells) {
    const Terminal terminal = OpenPseudoTerminal();
    ASSERT_GE(terminal.Master, 0);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Handed over, with no controlling terminal at all.
        close(terminal.Master);
        const int keyboard = open(terminal.SlaveName.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        platform::ResetConsole(3, 1);
        if (keyboard < 0 || !platform::AttachTerminalTo(keyboard, dup(keyboard))) _exit(91);
        platform::SetTerminalTitle("T\x01");
        platform::MessageBeep(0);
        platform::TheConsole().Cells[0].Char = 'h';
        platform::TheConsole().Cells[1].Char = 'i';
        platform::FlushScreen();
        _exit(0);
    }

    const std::string expected = std::string("\x1b=\x1b[0m\x1b[H\x1b[2J") + "\x1b]0;T?\a" + "\a" +
                                 "\x1b[0m\x1b[2J\x1b[1;1H\x1b[37;40mhi \x1b[1;1H\x1b[?25h";
    EXPECT_EQ(ReadFor(terminal.Master, expected.size(), Clock::now() + Patience), expected);
    const int status = Reap(child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    close(terminal.Master);
}

// Keys typed on the terminal become records (a lone Escape once nothing follows it), and
// closing the terminal counts as the keyboard gone.
TEST(TerminalOnPseudoTerminal, TypedKeysBecomeRecordsAndAHangUpIsNoticed) {
    const Terminal terminal = OpenPseudoTerminal();
    ASSERT_GE(terminal.Master, 0);
    int report[2];
    ASSERT_EQ(pipe(report), 0);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(report[0]);
        // The hang-up would end a session leader; this test wants to see it noticed.
        signal(SIGHUP, SIG_IGN);
        BecomeTerminalSession(terminal);
        platform::ResetConsole(4, 2);
        Tell(report[1], platform::AttachTerminal() ? 'A' : 'F');
        std::deque<platform::InputRecord>& input = platform::TheConsole().Input;
        const auto deadline = Clock::now() + Patience;
        while (input.size() < 4 && Clock::now() < deadline) {
            platform::PumpKeyboard();
            usleep(1000);
        }
        for (const platform::InputRecord& record : input) {
            Tell(report[1], static_cast<char>(record.KeyEvent.AsciiChar));
            Tell(report[1], static_cast<char>(record.KeyEvent.VirtualScanCode));
        }
        Tell(report[1], '.');
        while (!platform::KeyboardGone() && Clock::now() < deadline + Patience) {
            platform::PumpKeyboard();
            usleep(1000);
        }
        Tell(report[1], platform::KeyboardGone() ? 'G' : 'N');
        _exit(0);
    }
    close(report[1]);

    ASSERT_EQ(ReadFor(report[0], 1, Clock::now() + Patience), "A");
    const std::string typed = "a\r\x1b[A\x1b";
    ASSERT_EQ(write(terminal.Master, typed.data(), typed.size()),
              static_cast<ssize_t>(typed.size()));
    const std::string records =
        std::string("a\x1e") + "\r\x1c" + std::string(1, '\0') + "\x48" + "\x1b\x01" + ".";
    EXPECT_EQ(ReadFor(report[0], records.size(), Clock::now() + Patience), records);

    close(terminal.Master);
    EXPECT_EQ(ReadFor(report[0], 1, Clock::now() + 2 * Patience), "G");
    const int status = Reap(child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    close(report[0]);
}

}  // namespace
