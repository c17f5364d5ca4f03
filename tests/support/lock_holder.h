#pragma once
// Another process that holds a file open under an exclusive lock until the test lets go, as
// another program using the file would: a whole-file lock (flock) or a record lock (lockf
// over the whole file). Every wait is bounded.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

inline constexpr int LockPatienceMilliseconds = 5000;

enum class LockKind { WholeFile, Record };

struct LockHolder {
    int Pid;      // 0 when none was started
    int Release;  // write end of a pipe the holder waits on; closing it lets go; -1 when none
};

// Lets go and reaps the holder, killing it should it not end in time.
inline void ReleaseLock(LockHolder& holder) {
    if (holder.Release >= 0) close(holder.Release);
    holder.Release = -1;
    if (holder.Pid <= 0) return;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(LockPatienceMilliseconds);
    int status = 0;
    while (waitpid(holder.Pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(holder.Pid, SIGKILL);
            waitpid(holder.Pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    holder.Pid = 0;
}

// Starts the holder and waits until it has the lock; false when it could not get it (the
// holder is then gone). The pipes are closed on exec, so no program a test starts can keep
// the holder waiting.
inline bool HoldLock(const std::string& path, LockHolder& holder,
                     LockKind kind = LockKind::WholeFile) {
    holder = LockHolder{0, -1};
    int ready[2];
    int release[2];
    if (pipe2(ready, O_CLOEXEC) != 0) return false;
    if (pipe2(release, O_CLOEXEC) != 0) {
        close(ready[0]);
        close(ready[1]);
        return false;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        close(ready[0]);
        close(release[1]);
        const bool record = kind == LockKind::Record;
        const int file = open(path.c_str(), record ? O_RDWR : O_RDONLY);
        if (file < 0 || (record ? lockf(file, F_LOCK, 0) : flock(file, LOCK_EX)) != 0) _exit(1);
        const char locked = 'L';
        if (write(ready[1], &locked, 1) != 1) _exit(2);
        char ignored;
        while (read(release[0], &ignored, 1) > 0) {
        }
        _exit(0);  // the lock goes with the process
    }
    close(ready[1]);
    close(release[0]);
    holder = LockHolder{pid > 0 ? pid : 0, release[1]};
    pollfd answer{ready[0], POLLIN, 0};
    char got = 0;
    const bool locked = pid > 0 && poll(&answer, 1, LockPatienceMilliseconds) == 1 &&
                        read(ready[0], &got, 1) == 1 && got == 'L';
    close(ready[0]);
    if (!locked) ReleaseLock(holder);
    return locked;
}
