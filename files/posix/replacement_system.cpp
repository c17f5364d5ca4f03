// The replacement file's system steps over POSIX. The temporary file is a hidden file in the
// folder of the file it replaces, so the rename never crosses file systems; until it is renamed
// or removed, a handler of SIGINT, SIGTERM, SIGHUP and SIGQUIT removes it before the process
// ends as the signal would have ended it.
#include "files/replacement_system.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "files/file_error.h"
#include "files/posix/system_calls.h"

namespace {

constexpr int TemporaryOpenFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC;
constexpr int NamesToTry = 100;

// The temporary file a signal must remove: its path, and whether there is one. The path is
// written only while Pending is 0.
char PendingPath[PATH_MAX + 64];
volatile sig_atomic_t Pending = 0;
bool HandlersInstalled = false;
constexpr int EndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

extern "C" void RemovePendingThenEnd(int signalNumber) {
    if (Pending != 0) unlink(PendingPath);
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

// Only signals that would end the process as they stand get the handler: one that is ignored
// (nohup) or handled by someone else keeps its disposition.
void InstallHandlers() {
    if (HandlersInstalled) return;
    HandlersInstalled = true;
    for (int signalNumber : EndingSignals) {
        struct sigaction present {};
        if (sigaction(signalNumber, nullptr, &present) != 0 || present.sa_handler != SIG_DFL) {
            continue;
        }
        struct sigaction removing {};
        removing.sa_handler = RemovePendingThenEnd;
        sigemptyset(&removing.sa_mask);
        for (int other : EndingSignals) sigaddset(&removing.sa_mask, other);
        sigaction(signalNumber, &removing, nullptr);
    }
}

void SetPending(const std::string& path) {
    Pending = 0;
    if (path.size() >= sizeof PendingPath) return;  // cannot happen: see the name's make-up
    std::memcpy(PendingPath, path.c_str(), path.size() + 1);
    Pending = 1;
}

// The folder part of path, with its slash; empty for a name in the current folder.
std::string FolderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

SystemCallResult StatusOf(SystemCallKind kind, const char* name, struct stat* status) {
    return FileSystemCall({.Kind = kind, .Path = name, .Status = status});
}

}  // namespace

std::uint8_t ChooseReplacementWay(const char* name, ReplacementWay* way, std::string* finalPath) {
    *finalPath = name;
    *way = ReplacementWay::Straight;
    struct stat status;
    SystemCallResult looked = StatusOf(SystemCallKind::LinkStatus, name, &status);
    if (Failed(looked)) {
        if (looked.Errno != ENOENT) return looked.ErrorNumber;
        *way = ReplacementWay::ThroughTemporary;  // a new file; a missing folder fails later
        return 0;
    }
    if (S_ISREG(status.st_mode)) {
        *way = ReplacementWay::ThroughTemporary;
        return 0;
    }
    if (!S_ISLNK(status.st_mode)) return 0;
    // A link: the file it leads to is the one replaced, so the link itself stays.
    if (Failed(StatusOf(SystemCallKind::PathStatus, name, &status)) || !S_ISREG(status.st_mode)) {
        return 0;
    }
    char resolved[PATH_MAX];
    SystemCallResult found =
        FileSystemCall({.Kind = SystemCallKind::Resolve, .Path = name, .Target = resolved});
    if (Failed(found)) return found.ErrorNumber;
    *finalPath = resolved;
    *way = ReplacementWay::ThroughTemporary;
    return 0;
}

std::uint8_t CreateTemporaryBeside(const std::string& finalPath, std::string* temporaryPath,
                                   SystemFile* handle) {
    static unsigned serial = 0;
    const std::string folder = FolderOf(finalPath);
    if (folder.size() >= PATH_MAX) return BadSystemName;
    InstallHandlers();
    SystemCallResult opened{};
    for (int attempt = 0; attempt < NamesToTry; ++attempt) {
        *temporaryPath = folder + ".norvistrand-" + std::to_string(getpid()) + "-" +
                         std::to_string(serial++) + ".tmp";
        // The path is noted first, so no signal can come between the file and its note.
        SetPending(*temporaryPath);
        opened = FileSystemCall({.Kind = SystemCallKind::Open,
                                 .Path = temporaryPath->c_str(),
                                 .Flags = TemporaryOpenFlags});
        if (!Failed(opened)) {
            *handle = opened.Value;
            return 0;
        }
        Pending = 0;
        if (opened.Errno != EEXIST) break;
    }
    temporaryPath->clear();
    return opened.ErrorNumber;
}

std::uint8_t CopyPermissions(SystemFile from, SystemFile to) {
    struct stat status;
    SystemCallResult looked = FileSystemCall(
        {.Kind = SystemCallKind::Status, .Descriptor = static_cast<int>(from), .Status = &status});
    if (Failed(looked)) return looked.ErrorNumber;
    return FileSystemCall({.Kind = SystemCallKind::ChangeMode,
                           .Descriptor = static_cast<int>(to),
                           .Flags = static_cast<int>(status.st_mode & 07777)})
        .ErrorNumber;
}

// The replaced file stays held through the rename: POSIX renames over an open file.
std::uint8_t PutTemporaryInPlace(const std::string& temporaryPath, const std::string& finalPath,
                                 SystemFile*) {
    std::uint8_t error = FileSystemCall({.Kind = SystemCallKind::Rename,
                                         .Path = temporaryPath.c_str(),
                                         .NewPath = finalPath.c_str()})
                             .ErrorNumber;
    if (error == 0) Pending = 0;
    return error;
}

std::uint8_t RemoveTemporary(const std::string& temporaryPath) {
    std::uint8_t error =
        FileSystemCall({.Kind = SystemCallKind::Remove, .Path = temporaryPath.c_str()}).ErrorNumber;
    Pending = 0;
    return error;
}

SystemFile StandardOutputFile() {
    IgnoreWriteSignals();
    return STDOUT_FILENO;
}

std::uint8_t WriteStandardOutput(SystemFile handle, const void* source, std::size_t count,
                                 std::size_t* taken) {
    SystemCallResult written = FileSystemCall({.Kind = SystemCallKind::Write,
                                               .Descriptor = static_cast<int>(handle),
                                               .Source = source,
                                               .Count = count});
    *taken = Failed(written) ? 0 : static_cast<std::size_t>(written.Value);
    return written.Errno == EPIPE ? NoReader : written.ErrorNumber;
}
