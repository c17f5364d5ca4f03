#include "tests/e2e/tmux_session.h"

#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/e2e/child_process.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int PollMilliseconds = 30;
constexpr int WaitLimitMilliseconds = 5000;
constexpr int TmuxCallLimitMilliseconds = 5000;
constexpr const char* SessionTarget = "=e2e:";
constexpr const char* StartChannel = "norvistrand-e2e-start";

Clock::time_point DeadlineFromNow(int milliseconds) {
    return Clock::now() + std::chrono::milliseconds(milliseconds);
}

void Pause() {
    std::this_thread::sleep_for(std::chrono::milliseconds(PollMilliseconds));
}

// Runs one tmux client against the given server; its standard output goes to `output`.
bool RunTmux(TmuxSession& session, const std::string& socket,
             const std::vector<std::string>& arguments, std::string& output) {
    std::vector<std::string> command = {session.Tmux, "-S", socket, "-f", "/dev/null"};
    command.insert(command.end(), arguments.begin(), arguments.end());
    ChildResult result = RunChild(command, TmuxCallLimitMilliseconds);
    output = result.Output;
    if (result.Ran && result.ExitStatus == 0) return true;
    std::string shown;
    for (const std::string& part : arguments) shown += " " + part;
    session.Problem = "tmux" + shown + " failed (status " + std::to_string(result.ExitStatus) +
                      "): " + result.Errors;
    return false;
}

bool RunTmux(TmuxSession& session, const std::vector<std::string>& arguments, std::string& output) {
    return RunTmux(session, session.Socket, arguments, output);
}

bool RunTmux(TmuxSession& session, const std::vector<std::string>& arguments) {
    std::string ignored;
    return RunTmux(session, arguments, ignored);
}

// One format of display-message, its trailing line feed removed.
bool AskTmux(TmuxSession& session, const std::string& socket, const std::string& format,
             std::string& answer) {
    if (!RunTmux(session, socket, {"display-message", "-p", "-t", SessionTarget, format}, answer)) {
        return false;
    }
    while (!answer.empty() && (answer.back() == '\n' || answer.back() == '\r')) answer.pop_back();
    return true;
}

bool AskTmux(TmuxSession& session, const std::string& format, std::string& answer) {
    return AskTmux(session, session.Socket, format, answer);
}

int ParseNumber(const std::string& text) {
    return std::atoi(text.c_str());
}

// Gone, or a zombie that nobody has reaped yet.
bool ProcessGone(int pid) {
    if (kill(pid, 0) != 0 && errno == ESRCH) return true;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    std::size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z';
}

// Whether pid still runs the executable `path` (so a pid that was reused is left alone).
bool RunsExecutable(int pid, const std::string& path) {
    std::error_code failed;
    std::filesystem::path running =
        std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", failed);
    if (failed) return false;
    return std::filesystem::equivalent(running, path, failed) && !failed;
}

// Ends a process we started that runs `path`: waits a moment for it to go by itself, then
// kills it.
void EndProcess(int pid, const std::string& path) {
    if (pid <= 0) return;
    Clock::time_point deadline = DeadlineFromNow(1000);
    while (!ProcessGone(pid) && Clock::now() < deadline) Pause();
    if (!ProcessGone(pid) && RunsExecutable(pid, path)) kill(pid, SIGKILL);
}

// Each byte as one two-digit argument of send-keys -H.
void AppendHexBytes(const std::string& bytes, std::vector<std::string>& into) {
    static const char digits[] = "0123456789abcdef";
    for (unsigned char byte : bytes) {
        into.push_back(std::string{digits[byte >> 4], digits[byte & 0x0F]});
    }
}

std::string ScreenNow(TmuxSession& session) {
    std::vector<std::string> rows;
    std::string problem = session.Problem;
    if (!CaptureRows(session, rows)) return "(screen could not be read)\n";
    session.Problem = problem;
    return DescribeRows(rows);
}

// The screen's rows and whether the program has ended, from one tmux call, so a wait can
// stop as soon as the screen can no longer change. `ended` describes the end ("" while the
// program runs).
bool LookAtScreen(TmuxSession& session, std::vector<std::string>& rows, std::string& ended) {
    std::string output;
    if (!RunTmux(session,
                 {"capture-pane", "-p", "-t", SessionTarget, ";", "display-message", "-p", "-t",
                  SessionTarget, "#{pane_dead} #{pane_dead_status}"},
                 output)) {
        return false;
    }
    while (!output.empty() && output.back() == '\n') output.pop_back();
    std::size_t lastLine = output.rfind('\n');
    std::string life = lastLine == std::string::npos ? output : output.substr(lastLine + 1);
    rows =
        SplitRows(lastLine == std::string::npos ? "" : output.substr(0, lastLine + 1), ScreenRows);
    ended = life.rfind("1", 0) == 0 ? "the program ended (pane_dead, status: " + life + ")" : "";
    return true;
}

// The second server for CaptureViewedCells, started fresh for one capture and killed after,
// so the main session stays unattached (its bell flag keeps working).
struct Viewer {
    std::string Socket;
    int ServerPid;
};

bool StartViewer(TmuxSession& session, Viewer& viewer) {
    viewer.Socket = session.Folder + "/viewer.socket";
    viewer.ServerPid = 0;
    std::string env = FindExecutable("env");
    if (env.empty()) {
        session.Problem = "env was not found on PATH";
        return false;
    }
    // Options first, in the same client call, so the pane's client starts on a terminal
    // without bce and with the whole 81 x 30 for the session's window.
    const std::string columns = std::to_string(ScreenColumns);
    const std::string rows = std::to_string(ScreenRows);
    // One tmux command per line.
    // clang-format off
    const std::vector<std::string> startAttached = {
        "start-server", ";",
        "set", "-g", "default-terminal", "screen-256color", ";",
        "set", "-g", "status", "off", ";",
        "new-session", "-d", "-s", "e2e", "-x", columns, "-y", rows, "--",
            env, "-u", "TMUX", session.Tmux, "-S", session.Socket,
            "attach-session", "-r", "-t", SessionTarget};
    // clang-format on
    std::string ignored;
    if (!RunTmux(session, viewer.Socket, startAttached, ignored)) {
        return false;
    }
    std::string pid;
    if (!AskTmux(session, viewer.Socket, "#{pid}", pid)) return false;
    viewer.ServerPid = ParseNumber(pid);
    return RunTmux(session, viewer.Socket, {"set", "-g", "window-size", "manual"}, ignored);
}

void StopViewer(TmuxSession& session, Viewer& viewer) {
    std::string problem = session.Problem;
    std::string ignored;
    RunTmux(session, viewer.Socket, {"kill-server"}, ignored);
    EndProcess(viewer.ServerPid, session.Tmux);
    session.Problem = problem;
}

}  // namespace

bool StartSession(TmuxSession& session, const std::string& program) {
    session = TmuxSession{"", "", "", "", 0, 0, ""};
    session.Program = program;
    session.Tmux = FindExecutable("tmux");
    if (session.Tmux.empty()) {
        session.Problem =
            "tmux was not found on PATH. The end-to-end tests run the program in a real "
            "terminal and need tmux (Debian: apt-get install tmux).";
        return false;
    }
    if (access(program.c_str(), X_OK) != 0) {
        session.Problem = "the program " + program + " is missing or not executable";
        return false;
    }
    char pattern[] = "/tmp/norvistrand-e2e-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        session.Problem = "could not make a temporary folder";
        return false;
    }
    session.Folder = pattern;
    session.Socket = session.Folder + "/tmux.socket";

    // The pane waits on a channel before it becomes the program, so nothing is drawn before
    // the window is set up. Paths reach the shell as arguments, never as script text.
    const std::string env = FindExecutable("env");
    if (env.empty()) {
        session.Problem = "env was not found on PATH";
        return false;
    }
    const std::string holdThenRun =
        "\"$1\" -S \"$2\" wait-for \"$3\" && exec \"$4\" -i TERM=xterm-256color \"$5\"";
    const std::string columns = std::to_string(ScreenColumns);
    const std::string rows = std::to_string(ScreenRows);
    // The command, then the script's arguments $0 to $5.
    // clang-format off
    const std::vector<std::string> startHeld = {
        "new-session", "-d", "-s", "e2e", "-x", columns, "-y", rows, "-c", session.Folder, "--",
            "/bin/sh", "-c", holdThenRun,
            "sh", session.Tmux, session.Socket, StartChannel, env, program};
    // clang-format on
    if (!RunTmux(session, startHeld)) {
        return false;
    }
    // Set once the session exists: set earlier, the server would have nothing to keep it.
    // clang-format off
    const std::vector<std::string> options = {
        "set", "-g", "window-size", "manual", ";",
        "set", "-g", "status", "off", ";",
        "set", "-g", "remain-on-exit", "on", ";",
        "set", "-g", "remain-on-exit-format", "", ";",
        "set", "-as", "terminal-overrides", ",*:bce@"};
    // clang-format on
    if (!RunTmux(session, options)) {
        return false;
    }
    std::string answer;
    if (!AskTmux(session, "#{pid} #{pane_pid} #{pane_width} #{pane_height}", answer)) {
        return false;
    }
    int width = 0;
    int height = 0;
    if (std::sscanf(answer.c_str(), "%d %d %d %d", &session.ServerPid, &session.ProgramPid, &width,
                    &height) != 4 ||
        width != ScreenColumns || height != ScreenRows) {
        session.Problem = "unexpected pane (pid, pane pid, width, height): " + answer;
        return false;
    }
    return RunTmux(session, {"wait-for", "-S", StartChannel});
}

void StopSession(TmuxSession& session) {
    bool programLeft = false;
    if (!session.Socket.empty()) {
        std::string problem = session.Problem;
        std::string ignored;
        ProgramRunning(session, programLeft);
        RunTmux(session, {"kill-server"}, ignored);
        session.Problem = problem;
    }
    EndProcess(session.ServerPid, session.Tmux);
    // The program ends on its terminal's hang-up; should it not, it goes too.
    if (programLeft) EndProcess(session.ProgramPid, session.Program);
    if (session.Folder.rfind("/tmp/norvistrand-e2e-", 0) == 0) {
        std::error_code ignored;
        std::filesystem::remove_all(session.Folder, ignored);
    }
    session.ServerPid = 0;
    session.ProgramPid = 0;
    session.Socket.clear();
    session.Folder.clear();
}

std::string PathInFolder(const TmuxSession& session, const std::string& name) {
    return session.Folder + "/" + name;
}

bool SendBytes(TmuxSession& session, const std::string& bytes) {
    if (bytes.empty()) return true;
    std::vector<std::string> arguments = {"send-keys", "-t", SessionTarget, "-H"};
    AppendHexBytes(bytes, arguments);
    return RunTmux(session, arguments);
}

bool SendKeyNames(TmuxSession& session, const std::vector<std::string>& names) {
    std::vector<std::string> arguments = {"send-keys", "-t", SessionTarget};
    arguments.insert(arguments.end(), names.begin(), names.end());
    return RunTmux(session, arguments);
}

bool CaptureRows(TmuxSession& session, std::vector<std::string>& rows) {
    std::string capture;
    if (!RunTmux(session, {"capture-pane", "-p", "-t", SessionTarget}, capture)) return false;
    rows = SplitRows(capture, ScreenRows);
    return true;
}

bool CaptureCells(TmuxSession& session, ScreenCells& screen) {
    std::string capture;
    if (!RunTmux(session, {"capture-pane", "-e", "-p", "-t", SessionTarget}, capture)) {
        return false;
    }
    screen = ParseCapture(capture, ScreenColumns, ScreenRows);
    return true;
}

bool CaptureViewedCells(TmuxSession& session, ScreenCells& screen) {
    Viewer viewer;
    if (!StartViewer(session, viewer)) {
        StopViewer(session, viewer);
        return false;
    }
    // The viewer has caught up once its text matches the session's.
    bool caughtUp = false;
    std::vector<std::string> wanted;
    std::vector<std::string> seen;
    Clock::time_point deadline = DeadlineFromNow(WaitLimitMilliseconds);
    while (!caughtUp && Clock::now() < deadline) {
        std::string capture;
        if (!CaptureRows(session, wanted) ||
            !RunTmux(session, viewer.Socket, {"capture-pane", "-p", "-t", SessionTarget},
                     capture)) {
            StopViewer(session, viewer);
            return false;
        }
        seen = SplitRows(capture, ScreenRows);
        caughtUp = seen == wanted;
        if (!caughtUp) Pause();
    }
    std::string capture;
    bool captured =
        caughtUp && RunTmux(session, viewer.Socket,
                            {"capture-pane", "-e", "-p", "-N", "-t", SessionTarget}, capture);
    StopViewer(session, viewer);
    if (!caughtUp) {
        session.Problem = "the viewing client never showed the screen; it shows:\n" +
                          DescribeRows(seen) + "while the screen is:\n" + DescribeRows(wanted);
        return false;
    }
    if (!captured) return false;
    screen = ParseCapture(capture, ScreenColumns, ScreenRows);
    return true;
}

bool CursorPosition(TmuxSession& session, int& column, int& row) {
    std::string answer;
    if (!AskTmux(session, "#{cursor_x} #{cursor_y}", answer)) return false;
    int x = 0;
    int y = 0;
    if (std::sscanf(answer.c_str(), "%d %d", &x, &y) != 2) {
        session.Problem = "unexpected cursor answer: " + answer;
        return false;
    }
    column = x + 1;
    row = y + 1;
    return true;
}

bool PaneFormat(TmuxSession& session, const std::string& format, std::string& answer) {
    return AskTmux(session, format, answer);
}

bool WaitForRow(TmuxSession& session, int row, const std::string& text) {
    std::vector<std::string> rows;
    std::string ended;
    Clock::time_point deadline = DeadlineFromNow(WaitLimitMilliseconds);
    for (;;) {
        if (!LookAtScreen(session, rows, ended)) return false;
        if (rows[static_cast<std::size_t>(row - 1)] == TrimRight(text)) return true;
        if (!ended.empty() || Clock::now() >= deadline) break;
        Pause();
    }
    session.Problem = "row " + std::to_string(row) + " never read \"" + text + "\"" +
                      (ended.empty() ? "" : "; " + ended) + "; the screen:\n" + DescribeRows(rows);
    return false;
}

bool WaitForLines(TmuxSession& session, const std::vector<std::string>& lines, int& topRow) {
    std::vector<std::string> rows;
    std::string ended;
    Clock::time_point deadline = DeadlineFromNow(WaitLimitMilliseconds);
    for (;;) {
        if (!LookAtScreen(session, rows, ended)) return false;
        for (int top = ScreenRows - static_cast<int>(lines.size()) + 1; top >= 1; --top) {
            bool match = true;
            for (std::size_t k = 0; k < lines.size() && match; ++k) {
                match = rows[static_cast<std::size_t>(top - 1) + k] == TrimRight(lines[k]);
            }
            if (match) {
                topRow = top;
                return true;
            }
        }
        if (!ended.empty() || Clock::now() >= deadline) break;
        Pause();
    }
    std::string wanted;
    for (const std::string& line : lines) wanted += "  |" + line + "\n";
    session.Problem = "these rows never stood together:\n" + wanted +
                      (ended.empty() ? "" : ended + "\n") + "the screen:\n" + DescribeRows(rows);
    return false;
}

bool WaitForCursor(TmuxSession& session, int column, int row) {
    std::string answer;
    int x = 0;
    int y = 0;
    int dead = 0;
    Clock::time_point deadline = DeadlineFromNow(WaitLimitMilliseconds);
    for (;;) {
        if (!AskTmux(session, "#{cursor_x} #{cursor_y} #{pane_dead}", answer)) return false;
        if (std::sscanf(answer.c_str(), "%d %d %d", &x, &y, &dead) != 3) {
            session.Problem = "unexpected cursor answer: " + answer;
            return false;
        }
        if (x + 1 == column && y + 1 == row) return true;
        if (dead == 1 || Clock::now() >= deadline) break;
        Pause();
    }
    session.Problem = "the cursor stayed at column " + std::to_string(x + 1) + ", row " +
                      std::to_string(y + 1) + " instead of column " + std::to_string(column) +
                      ", row " + std::to_string(row) + (dead == 1 ? " (the program ended)" : "") +
                      "; the screen:\n" + ScreenNow(session);
    return false;
}

bool ProgramRunning(TmuxSession& session, bool& running) {
    std::string answer;
    if (!AskTmux(session, "#{pane_dead}", answer)) return false;
    running = answer != "1";
    return true;
}

bool WaitForExit(TmuxSession& session, int& exitStatus) {
    std::string answer;
    Clock::time_point deadline = DeadlineFromNow(WaitLimitMilliseconds);
    Clock::time_point nudge = DeadlineFromNow(300);
    for (;;) {
        if (!AskTmux(session, "#{pane_dead} #{pane_dead_status}", answer)) return false;
        // The status can come after the dead flag: wait for both.
        if (answer.size() > 2 && answer.rfind("1 ", 0) == 0) {
            exitStatus = ParseNumber(answer.substr(2));
            return true;
        }
        if (Clock::now() >= deadline) break;
        // Some tmux builds notice a child's end only on the next SIGCHLD.
        if (Clock::now() >= nudge && session.ServerPid > 0) {
            kill(session.ServerPid, SIGCHLD);
            nudge = DeadlineFromNow(300);
        }
        Pause();
    }
    session.Problem = "the program did not end (pane_dead, pane_dead_status: \"" + answer +
                      "\"); the screen:\n" + ScreenNow(session);
    return false;
}

bool BellRang(TmuxSession& session, bool& rang) {
    std::string answer;
    if (!AskTmux(session, "#{window_bell_flag}", answer)) return false;
    rang = answer == "1";
    return true;
}
