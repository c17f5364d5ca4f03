#include "platform/ending_signals.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/terminal/raw_mode.h"

namespace platform {

namespace {

// Every signal whose default action ends the process, but the faults of the program itself;
// the real-time signals, whose default ends it too, are added where they are used.
constexpr int EndingSignals[] = {
    SIGINT,  SIGTERM,   SIGHUP,  SIGQUIT, SIGXCPU, SIGALRM, SIGUSR1,
    SIGUSR2, SIGVTALRM, SIGPROF, SIGPOLL, SIGPWR,  SIGPIPE, SIGXFSZ,
};

constexpr int WriteFailureSignals[] = {SIGPIPE, SIGXFSZ};

// Read by the handler, so a path is written only while its Noted is 0.
struct NotedFile {
    char Path[PATH_MAX + 64];
    volatile sig_atomic_t Noted;
};
NotedFile FilesToRemove[NotedFilesLimit];

bool AtDefault(int signalNumber) {
    struct sigaction present {};
    return sigaction(signalNumber, nullptr, &present) == 0 && present.sa_handler == SIG_DFL;
}

extern "C" void PutRightThenEnd(int signalNumber) {
    const int savedErrno = errno;
    LeaveRawMode();
    for (const NotedFile& file : FilesToRemove) {
        if (file.Noted != 0) unlink(file.Path);
    }
    // The signal is blocked while its handler runs: it ends the process on return.
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
    errno = savedErrno;
}

// While the handler runs, every other ending signal waits.
void InstallHandler(int signalNumber) {
    if (!AtDefault(signalNumber)) return;
    struct sigaction action {};
    action.sa_handler = PutRightThenEnd;
    sigemptyset(&action.sa_mask);
    for (int other : EndingSignals) sigaddset(&action.sa_mask, other);
    for (int other = SIGRTMIN; other <= SIGRTMAX; ++other) sigaddset(&action.sa_mask, other);
    sigaction(signalNumber, &action, nullptr);
}

}  // namespace

void KeepWriteFailuresFromEndingProcess() {
    for (int signalNumber : WriteFailureSignals) {
        if (!AtDefault(signalNumber)) continue;
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        sigaction(signalNumber, &ignore, nullptr);
    }
}

void HandleEndingSignals() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    for (int signalNumber : EndingSignals) InstallHandler(signalNumber);
    for (int signalNumber = SIGRTMIN; signalNumber <= SIGRTMAX; ++signalNumber) {
        InstallHandler(signalNumber);
    }
}

bool NoteFileToRemove(const char* path) {
    const std::size_t length = std::strlen(path);
    for (NotedFile& file : FilesToRemove) {
        if (file.Noted != 0) continue;
        if (length >= sizeof file.Path) return false;
        std::memcpy(file.Path, path, length + 1);
        file.Noted = 1;
        return true;
    }
    return false;
}

void ForgetFileToRemove(const char* path) {
    for (NotedFile& file : FilesToRemove) {
        if (file.Noted != 0 && std::strcmp(file.Path, path) == 0) file.Noted = 0;
    }
}

}  // namespace platform
