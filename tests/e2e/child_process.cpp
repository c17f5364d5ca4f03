#include "tests/e2e/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// The environment for the child: ours, less the variables that would tie a tmux client to
// the tmux this test might itself be running in.
std::vector<std::string> ChildEnvironment() {
    std::vector<std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, "TMUX=", 5) == 0 || std::strncmp(*entry, "TMUX_PANE=", 10) == 0) {
            continue;
        }
        variables.push_back(*entry);
    }
    return variables;
}

std::vector<char*> PointersTo(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Appends what the descriptor has ready; false at end of file or on error.
bool DrainInto(int fd, std::string& into) {
    char buffer[4096];
    for (;;) {
        ssize_t count = read(fd, buffer, sizeof buffer);
        if (count > 0) {
            into.append(buffer, static_cast<std::size_t>(count));
            return true;
        }
        if (count < 0 && errno == EINTR) continue;
        return false;
    }
}

void CloseIfOpen(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

}  // namespace

std::string FindExecutable(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        std::string folder = folders.substr(start, end - start);
        if (!folder.empty()) {
            std::string candidate = folder + "/" + name;
            if (access(candidate.c_str(), X_OK) == 0) return candidate;
        }
        start = end + 1;
    }
    return "";
}

ChildResult RunChild(const std::vector<std::string>& arguments, int timeoutMilliseconds) {
    ChildResult result{false, -1, "", ""};
    std::vector<std::string> argumentTexts = arguments;
    std::vector<std::string> environmentTexts = ChildEnvironment();
    std::vector<char*> argv = PointersTo(argumentTexts);
    std::vector<char*> envp = PointersTo(environmentTexts);

    int outputPipe[2];
    int errorPipe[2];
    if (pipe2(outputPipe, O_CLOEXEC) != 0) {
        result.Errors = std::string("pipe failed: ") + std::strerror(errno);
        return result;
    }
    if (pipe2(errorPipe, O_CLOEXEC) != 0) {
        result.Errors = std::string("pipe failed: ") + std::strerror(errno);
        close(outputPipe[0]);
        close(outputPipe[1]);
        return result;
    }

    pid_t pid = fork();
    if (pid == 0) {
        // Child: only async-signal-safe calls from here to execve.
        int nothing = open("/dev/null", O_RDONLY);
        if (nothing >= 0) dup2(nothing, STDIN_FILENO);
        dup2(outputPipe[1], STDOUT_FILENO);
        dup2(errorPipe[1], STDERR_FILENO);
        execve(argv[0], argv.data(), envp.data());
        static const char message[] = "exec failed\n";
        ssize_t ignored = write(STDERR_FILENO, message, sizeof message - 1);
        (void)ignored;
        _exit(127);
    }
    close(outputPipe[1]);
    close(errorPipe[1]);
    int outputFd = outputPipe[0];
    int errorFd = errorPipe[0];
    if (pid < 0) {
        result.Errors = std::string("fork failed: ") + std::strerror(errno);
        CloseIfOpen(outputFd);
        CloseIfOpen(errorFd);
        return result;
    }

    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
    // Read both pipes until the child has closed them (a server it forks does not keep them).
    while ((outputFd >= 0 || errorFd >= 0) && MillisecondsLeft(deadline) > 0) {
        pollfd watched[2];
        nfds_t count = 0;
        if (outputFd >= 0) watched[count++] = pollfd{outputFd, POLLIN, 0};
        if (errorFd >= 0) watched[count++] = pollfd{errorFd, POLLIN, 0};
        int ready = poll(watched, count, MillisecondsLeft(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) break;
        for (nfds_t i = 0; i < count; ++i) {
            if (watched[i].revents == 0) continue;
            bool isOutput = watched[i].fd == outputFd;
            if (!DrainInto(watched[i].fd, isOutput ? result.Output : result.Errors)) {
                CloseIfOpen(isOutput ? outputFd : errorFd);
            }
        }
    }
    CloseIfOpen(outputFd);
    CloseIfOpen(errorFd);

    int status = 0;
    for (;;) {
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
        if (done < 0 && errno != EINTR) {
            result.Errors += "waitpid failed";
            return result;
        }
        if (MillisecondsLeft(deadline) == 0) {
            kill(pid, SIGKILL);
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            result.Errors += "\n(killed after " + std::to_string(timeoutMilliseconds) + " ms)";
            return result;
        }
        usleep(2000);
    }
    result.Ran = true;
    result.ExitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}
