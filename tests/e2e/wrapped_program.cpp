#include "tests/e2e/wrapped_program.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/e2e/child_process.h"

namespace {

constexpr int TmuxCallLimitMilliseconds = 5000;
constexpr const char* FolderPrefix = "/tmp/norvistrand-wrap-";

// The state letter of /proc/<pid>/stat, or 0 when there is no such process.
char ProcessState(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    std::size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() ? line[close + 2] : 0;
}

// Single quotes around a path, for the script's text.
std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace

bool WriteWrapper(const std::string& prelude, const std::string& program, ProgramWrapper& wrapper,
                  std::string& problem) {
    std::string pattern = std::string(FolderPrefix) + "XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        problem = "could not make a temporary folder for the wrapper";
        return false;
    }
    wrapper.Folder = pattern;
    wrapper.Script = wrapper.Folder + "/run-program";
    std::ofstream(wrapper.Script) << "#!/bin/sh\n"
                                  << prelude << "\nexec " << Quoted(program) << "\n";
    if (chmod(wrapper.Script.c_str(), 0755) != 0) {
        problem = "could not make the wrapper executable";
        return false;
    }
    return true;
}

void RemoveWrapper(ProgramWrapper& wrapper) {
    if (wrapper.Folder.rfind(FolderPrefix, 0) == 0) {
        std::error_code ignored;
        std::filesystem::remove_all(wrapper.Folder, ignored);
    }
    wrapper = ProgramWrapper{};
}

bool RunSessionCommand(TmuxSession& session, const std::vector<std::string>& arguments) {
    std::vector<std::string> command = {session.Tmux, "-S", session.Socket, "-f", "/dev/null"};
    command.insert(command.end(), arguments.begin(), arguments.end());
    ChildResult result = RunChild(command, TmuxCallLimitMilliseconds);
    if (result.Ran && result.ExitStatus == 0) return true;
    session.Problem = "tmux " + arguments[0] + " failed (status " +
                      std::to_string(result.ExitStatus) + "): " + result.Errors;
    return false;
}

bool RunsExecutable(int pid, const std::string& path) {
    std::error_code failed;
    std::filesystem::path running =
        std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", failed);
    if (failed) return false;
    return std::filesystem::equivalent(running, path, failed) && !failed;
}

bool WaitUntilEnded(int pid, int milliseconds) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        const bool gone = kill(pid, 0) != 0 && errno == ESRCH;
        const char state = ProcessState(pid);
        if (gone || state == 0 || state == 'Z') return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
}
