#include "files/posix/system_calls.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "files/busy_lock.h"
#include "files/file_error.h"

namespace {

// Guards the gate.
BusyLock GateLock;

// Longest folder part the missing-folder check looks at; longer ones count as present.
constexpr std::size_t FolderPartLimit = 4096;

// What LastFailure gives.
SystemCallResult LastFailed{0, 0, 0};

std::int64_t MakeCall(const SystemCall& call) {
    switch (call.Kind) {
        case SystemCallKind::Open:
            return open(call.Path, call.Flags, call.Mode);
        case SystemCallKind::PathStatus:
            return stat(call.Path, call.Status);
        case SystemCallKind::LinkStatus:
            return lstat(call.Path, call.Status);
        case SystemCallKind::Resolve:
            return realpath(call.Path, static_cast<char*>(call.Target)) != nullptr ? 0 : -1;
        case SystemCallKind::ReadLink:
            return readlink(call.Path, static_cast<char*>(call.Target), call.Count);
        case SystemCallKind::Rename:
            return rename(call.Path, call.NewPath);
        case SystemCallKind::Remove:
            return unlink(call.Path);
        case SystemCallKind::Status:
            return fstat(call.Descriptor, call.Status);
        case SystemCallKind::Lock:
            return flock(call.Descriptor, LOCK_EX | LOCK_NB);
        case SystemCallKind::TestRecord:
            return fcntl(call.Descriptor, F_OFD_GETLK, call.Record);
        case SystemCallKind::GetFlags:
            return fcntl(call.Descriptor, F_GETFL);
        case SystemCallKind::SetFlags:
            return fcntl(call.Descriptor, F_SETFL, call.Flags);
        case SystemCallKind::Seek:
            return lseek(call.Descriptor, call.Offset, SEEK_SET);
        case SystemCallKind::Read:
            return read(call.Descriptor, call.Target, call.Count);
        case SystemCallKind::ReadAt:
            return pread(call.Descriptor, call.Target, call.Count, call.Offset);
        case SystemCallKind::Truncate:
            return ftruncate(call.Descriptor, call.Offset);
        case SystemCallKind::ChangeMode:
            return fchmod(call.Descriptor, static_cast<mode_t>(call.Flags));
        case SystemCallKind::SetOwner:
            return fchown(call.Descriptor, call.Owner, call.Group);
        case SystemCallKind::Close:
            return close(call.Descriptor);
    }
    errno = EINVAL;
    return -1;
}

// Does the folder that would hold the path's last name exist? Trailing slashes belong to the
// last name; a name without a slash lies in the current folder.
bool FolderPartExists(const char* path) {
    std::size_t end = std::strlen(path);
    while (end > 1 && path[end - 1] == '/') {
        --end;
    }
    std::size_t slash = end;
    while (slash > 0 && path[slash - 1] != '/') {
        --slash;
    }
    if (slash == 0) {
        return true;
    }
    std::size_t folderEnd = slash;
    while (folderEnd > 1 && path[folderEnd - 1] == '/') {
        --folderEnd;
    }
    if (folderEnd >= FolderPartLimit) {
        return true;
    }
    char folder[FolderPartLimit];
    std::memcpy(folder, path, folderEnd);
    folder[folderEnd] = '\0';
    struct stat status;
    return stat(folder, &status) == 0;
}

// Each call sets errno when it gives -1, and only then is errno read: errno lives behind a
// library call, and every line of a signal file makes two writes.
int ErrorOf(std::int64_t value) {
    return value == -1 ? errno : 0;
}

// What a call gave, with a failure mapped to the program's number and remembered. A failure
// with errno 0 is unheard of; it maps to BadSystemName like any unknown error.
[[gnu::hot]] SystemCallResult CallOutcome(std::int64_t value, int error, const char* path) {
    SystemCallResult result{value, 0, 0};
    if (value == -1) {
        result.Errno = error;
        result.ErrorNumber = FileErrorForErrno(error, path);
        LastFailed = result;
    }
    return result;
}

}  // namespace

std::uint8_t FileErrorForErrno(int error, const char* path) {
    switch (error) {
        case ENOENT:
            return path != nullptr && !FolderPartExists(path) ? PathNotFound : FileNotFound;
        case ENOTDIR:
            return PathNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
        case EBUSY:
        case ETXTBSY:
        case EWOULDBLOCK:  // the exclusive lock is held elsewhere
            return AccessRefused;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:  // the file-size limit: no more room for this file
            return DiskFull;
        case EMFILE:
        case ENFILE:
            return TooManyFiles;
        case ENOMEM:
            return NoMemory;
        case EIO:
            return DeviceIoError;
        case EXDEV:
            return RenameAcrossDisks;
        case EBADF:  // no open descriptor: a bad file handle
            return BadFileHandle;
        case ESPIPE:  // a pipe or socket takes no move: a device in a mode that needs a file
            return WrongModeOrKind;
        case ENXIO:
        case ENODEV:
            return DeviceUnavailable;
        default:
            return BadSystemName;
    }
}

SystemCallResult LastFailure() {
    return LastFailed;
}

void NoteFailure(const SystemCallResult& failure) {
    LastFailed = failure;
}

SystemCallResult FileSystemCall(const SystemCall& call) {
    BusyLockHold hold(GateLock);

    std::int64_t value = 0;
    int error = 0;
    do {
        value = MakeCall(call);
        error = ErrorOf(value);
    } while (value == -1 && error == EINTR && call.Kind != SystemCallKind::Close);

    const bool named = call.Kind == SystemCallKind::Open ||
                       call.Kind == SystemCallKind::PathStatus ||
                       call.Kind == SystemCallKind::LinkStatus;
    return CallOutcome(value, error, named ? call.Path : nullptr);
}

[[gnu::hot]] SystemCallResult WriteThroughGate(int descriptor, const void* source,
                                               std::size_t count) {
    BusyLockHold hold(GateLock);
    std::int64_t value = 0;
    int error = 0;
    do {
        value = write(descriptor, source, count);
        error = ErrorOf(value);
    } while (value == -1 && error == EINTR);
    return CallOutcome(value, error, nullptr);
}
