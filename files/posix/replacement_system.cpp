// The replacement file's system steps over POSIX. The temporary file is a hidden file in the
// folder of the file it replaces, so the rename never crosses file systems; until it is renamed
// or removed, a signal that ends the process removes it first (platform/ending_signals.h).
#include "files/replacement_system.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "files/file_error.h"
#include "files/file_system.h"
#include "files/posix/system_calls.h"
#include "platform/ending_signals.h"

namespace {

constexpr int TemporaryOpenFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC;
constexpr int NamesToTry = 100;

// Most links followed from a link to a missing file, as the system follows at most 40.
constexpr int LinksToFollow = 40;

// The folder part of path, with its slash; empty for a name in the current folder.
std::string FolderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

SystemCallResult StatusOf(SystemCallKind kind, const char* name, struct stat* status) {
    return FileSystemCall({.Kind = kind, .Path = name, .Status = status});
}

// A regular file of one name is replaced whole; one of more names is written in place.
ReplacementWay WayForRegular(const struct stat& status) {
    return status.st_nlink > 1 ? ReplacementWay::InPlace : ReplacementWay::ThroughTemporary;
}

// The missing name that the link chain starting at link leads to, each link's text taken from
// its own folder. Fails with the system's error, or BadSystemName for a chain without end.
std::uint8_t MissingTarget(const std::string& link, std::string* target) {
    std::string path = link;
    for (int followed = 0; followed < LinksToFollow; ++followed) {
        char text[PATH_MAX];
        SystemCallResult read = FileSystemCall({.Kind = SystemCallKind::ReadLink,
                                                .Path = path.c_str(),
                                                .Target = text,
                                                .Count = sizeof text});
        if (Failed(read)) return read.ErrorNumber;
        if (static_cast<std::size_t>(read.Value) >= sizeof text) return BadSystemName;
        const std::string leadsTo(text, static_cast<std::size_t>(read.Value));
        path = leadsTo.starts_with('/') ? leadsTo : FolderOf(path) + leadsTo;
        struct stat status;
        SystemCallResult looked = StatusOf(SystemCallKind::LinkStatus, path.c_str(), &status);
        if (Failed(looked)) {
            if (looked.Errno != ENOENT) return looked.ErrorNumber;
            *target = path;
            return 0;
        }
        if (!S_ISLNK(status.st_mode)) return BadSystemName;
    }
    return BadSystemName;
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
        *way = WayForRegular(status);
        return 0;
    }
    if (!S_ISLNK(status.st_mode)) return 0;
    // A link: the file it leads to is the one replaced, so the link itself stays. One that
    // leads nowhere gets its file through a temporary file too, beside the missing name.
    SystemCallResult followed = StatusOf(SystemCallKind::PathStatus, name, &status);
    if (Failed(followed) && followed.Errno == ENOENT) {
        if (std::uint8_t error = MissingTarget(*finalPath, finalPath); error != 0) return error;
        *way = ReplacementWay::ThroughTemporary;
        return 0;
    }
    if (Failed(followed) || !S_ISREG(status.st_mode)) return 0;
    char resolved[PATH_MAX];
    SystemCallResult found =
        FileSystemCall({.Kind = SystemCallKind::Resolve, .Path = name, .Target = resolved});
    if (Failed(found)) return found.ErrorNumber;
    *finalPath = resolved;
    *way = WayForRegular(status);
    return 0;
}

namespace {

// A fresh temporary file beside finalPath, created with the permissions of mode.
std::uint8_t CreateTemporaryWithMode(const std::string& finalPath, std::string* temporaryPath,
                                     SystemFile* handle, mode_t mode) {
    static unsigned serial = 0;
    const std::string folder = FolderOf(finalPath);
    if (folder.size() >= PATH_MAX) return BadSystemName;
    platform::HandleEndingSignals();
    SystemCallResult opened{};
    for (int attempt = 0; attempt < NamesToTry; ++attempt) {
        *temporaryPath = folder + ".norvistrand-" + std::to_string(getpid()) + "-" +
                         std::to_string(serial++) + ".tmp";
        // The path is noted first, so no signal can come between the file and its note.
        platform::NoteFileToRemove(temporaryPath->c_str());
        opened = FileSystemCall({.Kind = SystemCallKind::Open,
                                 .Path = temporaryPath->c_str(),
                                 .Flags = TemporaryOpenFlags,
                                 .Mode = mode});
        if (!Failed(opened)) {
            *handle = opened.Value;
            return 0;
        }
        platform::ForgetFileToRemove(temporaryPath->c_str());
        if (opened.Errno != EEXIST) break;
    }
    temporaryPath->clear();
    return opened.ErrorNumber;
}

}  // namespace

// Beside a file that is there, the temporary file starts readable by its owner alone: another
// user who opened it before CopyOwnerAndPermissions narrows it to a private file's would keep
// reading what is written into it.
std::uint8_t CreateTemporaryBeside(const std::string& finalPath, std::string* temporaryPath,
                                   SystemFile* handle) {
    // A missing file is no failure to remember for the words of a later one.
    const SystemCallResult lastFailure = LastFailure();
    struct stat status;
    const bool present = !Failed(StatusOf(SystemCallKind::PathStatus, finalPath.c_str(), &status));
    if (!present) NoteFailure(lastFailure);
    return CreateTemporaryWithMode(finalPath, temporaryPath, handle, present ? 0600 : 0666);
}

// The owner first, since a change of owner may clear the set-user and set-group bits. A user
// may give a file only a group of their own, and only root another owner: whatever is refused
// stays the new file's own.
std::uint8_t CopyOwnerAndPermissions(SystemFile from, SystemFile to) {
    struct stat status;
    SystemCallResult looked = FileSystemCall(
        {.Kind = SystemCallKind::Status, .Descriptor = static_cast<int>(from), .Status = &status});
    if (Failed(looked)) return looked.ErrorNumber;
    SystemCallResult owned = FileSystemCall({.Kind = SystemCallKind::SetOwner,
                                             .Descriptor = static_cast<int>(to),
                                             .Owner = status.st_uid,
                                             .Group = status.st_gid});
    if (Failed(owned)) {
        FileSystemCall({.Kind = SystemCallKind::SetOwner,
                        .Descriptor = static_cast<int>(to),
                        .Group = status.st_gid});
    }
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
    if (error == 0) platform::ForgetFileToRemove(temporaryPath.c_str());
    return error;
}

std::uint8_t RemoveTemporary(const std::string& temporaryPath) {
    std::uint8_t error =
        FileSystemCall({.Kind = SystemCallKind::Remove, .Path = temporaryPath.c_str()}).ErrorNumber;
    platform::ForgetFileToRemove(temporaryPath.c_str());
    return error;
}

std::uint8_t CreateTemporaryForInput(std::string* folder, std::string* temporaryPath,
                                     SystemFile* handle) {
    const char* named = std::getenv("TMPDIR");
    if (named == nullptr || *named == '\0') named = "/tmp";
    *folder = named;
    if (!folder->ends_with('/')) *folder += '/';
    // Created readable by its owner alone, so that no one can open it before the change below.
    if (std::uint8_t error =
            CreateTemporaryWithMode(*folder + "input", temporaryPath, handle, 0600);
        error != 0) {
        return error;
    }
    // What was piped in is no one else's business.
    return FileSystemCall({.Kind = SystemCallKind::ChangeMode,
                           .Descriptor = static_cast<int>(*handle),
                           .Flags = 0600})
        .ErrorNumber;
}

SystemFile StandardInputFile() {
    return STDIN_FILENO;
}

bool StandardInputIsFile(const char* path) {
    struct stat input;
    struct stat named;
    if (Failed(FileSystemCall(
            {.Kind = SystemCallKind::Status, .Descriptor = STDIN_FILENO, .Status = &input})) ||
        Failed(StatusOf(SystemCallKind::PathStatus, path, &named))) {
        return false;
    }
    return S_ISREG(input.st_mode) && input.st_dev == named.st_dev && input.st_ino == named.st_ino;
}

std::uint8_t ReadStandardInput(SystemFile handle, void* target, std::size_t count,
                               std::size_t* arrived) {
    return ReadSystemFile(handle, target, count, arrived);
}

SystemFile StandardOutputFile() {
    return STDOUT_FILENO;
}

std::uint8_t WriteStandardOutput(SystemFile handle, const void* source, std::size_t count,
                                 std::size_t* taken) {
    SystemCallResult written = WriteThroughGate(static_cast<int>(handle), source, count);
    *taken = Failed(written) ? 0 : static_cast<std::size_t>(written.Value);
    return written.Errno == EPIPE ? NoReader : written.ErrorNumber;
}
