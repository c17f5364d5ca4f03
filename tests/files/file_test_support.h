#pragma once
// Shared by the file module's tests: a fresh temporary folder per test, whole-file reads and
// writes, and child processes waited for with a bound.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "files/channels.h"
#include "tests/support/other_user.h"

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool UnderAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool UnderAddressSanitizer = true;
#else
inline constexpr bool UnderAddressSanitizer = false;
#endif
#else
inline constexpr bool UnderAddressSanitizer = false;
#endif

// Exit codes a child uses for its own troubles, apart from file error numbers (0-255 are all
// possible error numbers, but the module sets none of these).
inline constexpr int ChildSetupFailed = 250;
inline constexpr int ChildCheckFailed = 251;
inline constexpr int ChildLimitIgnored = 252;
// WaitForChild's answers when the child did not exit by itself.
inline constexpr int ChildTimedOut = -1000;

inline void WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The bytes 0, 1, 2, ... count - 1 (mod 256): each byte tells its own offset.
inline std::string CountingBytes(std::size_t count) {
    std::string bytes(count, '\0');
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<char>(i & 0xFF);
    }
    return bytes;
}

// The child's exit code; minus the signal number when a signal ended it; ChildTimedOut (and
// the child killed) when it is still running after about 20 seconds.
inline int WaitForChild(pid_t pid) {
    for (int tries = 0; tries < 2000; ++tries) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
        }
        usleep(10000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return ChildTimedOut;
}

// In a child: limits the address space to 1 GiB, so that large requests for memory fail. An
// emulator (qemu-user) accepts the limit but keeps it to itself; a child whose 2 GiB mapping
// still succeeds ends with ChildLimitIgnored, for the test to skip.
inline void LimitAddressSpace() {
    rlimit limit{std::size_t{1} << 30, RLIM_INFINITY};
    if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(ChildSetupFailed);
    void* probe =
        mmap(nullptr, std::size_t{1} << 31, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (probe != MAP_FAILED) _exit(ChildLimitIgnored);
}

// Opens the name on channel 1 in a child and gives the error number the open set, or
// ChildTimedOut when the open did not return.
inline int ErrorOfOpenInChild(const std::string& name, OpenMode mode) {
    pid_t pid = fork();
    if (pid == 0) {
        OpenChannel(1, name, mode);
        _exit(TakeFileError());
    }
    return WaitForChild(pid);
}

// A child holding a name open on its channel 1 until released.
struct HeldOpen {
    pid_t Pid;
    int Release;    // closing it lets the child close and end
    int OpenError;  // the error number of the child's open
};

inline HeldOpen HoldOpenInChild(const std::string& name, OpenMode mode) {
    int ready[2];
    int release[2];
    if (pipe(ready) != 0 || pipe(release) != 0) {
        return {-1, -1, ChildSetupFailed};
    }
    pid_t pid = fork();
    if (pid == 0) {
        close(ready[0]);
        close(release[1]);
        OpenChannel(1, name, mode);
        unsigned char error = TakeFileError();
        (void)!write(ready[1], &error, 1);
        unsigned char ignored;
        (void)!read(release[0], &ignored, 1);  // returns when the parent closes its end
        CloseChannel(1);
        _exit(0);
    }
    close(ready[1]);
    close(release[0]);
    unsigned char error = ChildSetupFailed;
    // The child's open never waits, so this read ends with its answer or with its end.
    (void)!read(ready[0], &error, 1);
    close(ready[0]);
    return {pid, release[1], error};
}

inline int LetGo(const HeldOpen& held) {
    close(held.Release);
    return WaitForChild(held.Pid);
}

// Each test gets its own folder, readable by the unprivileged user, and starts and ends with
// every channel it may use closed and the error number taken.
class FileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = SystemTemporaryFolder() + "/norvistrand-files-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        Folder = pattern;
        chmod(Folder.c_str(), 0755);
        TakeFileError();
    }

    void TearDown() override {
        for (std::int16_t channel = 0; channel < 4; ++channel) {
            CloseChannel(channel);
        }
        TakeFileError();
        std::error_code ignored;
        std::filesystem::remove_all(Folder, ignored);
    }

    std::string PathOf(const std::string& name) const { return Folder + "/" + name; }

    std::string Folder;
};
