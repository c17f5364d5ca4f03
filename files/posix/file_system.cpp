// The channels' system steps over POSIX. Exclusive access is an exclusive flock, taken
// without waiting but for a few short retries; a file held by another process or another
// channel of ours gives AccessRefused, and so does one that another process holds with a
// record lock (fcntl or lockf).
#include "files/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <ctime>

#include "files/file_error.h"
#include "files/posix/system_calls.h"

namespace {

// The test open reads this many bytes from the start to prove the file can be read.
constexpr std::size_t TestReadSize = 128;

// The most one read call hands out on Linux: 2 GiB less one page.
constexpr std::size_t MostBytesPerRead = 0x7FFFF000;

// Every open: never wait for a FIFO's other end or a device, never take a controlling terminal,
// never pass the descriptor to a program started later.
constexpr int OpenFlags = O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

int Descriptor(SystemFile handle) {
    return static_cast<int>(handle);
}

SystemCallResult OpenName(const char* path, int flags) {
    return FileSystemCall({.Kind = SystemCallKind::Open, .Path = path, .Flags = flags});
}

// Errors of file systems that offer no locks at all; the file is used unlocked there rather
// than not at all.
bool NoLocksHere(int error) {
    return error == ENOLCK || error == EINVAL || error == EOPNOTSUPP;
}

// The system lets a lock go with the last reference to its open file, and a program that looks
// at our descriptors (a process monitor reading /proc) holds such a reference for a moment: a
// lock of ours may then outlive the close that should have ended it, and refuse our very next
// open of the file. So a refused lock is asked for again, after waits of 0.1 ms doubling up to
// about 100 ms in all; a file that another program holds stays refused.
constexpr int LockRetries = 10;
constexpr long FirstLockWaitNanoseconds = 100'000;

SystemCallResult LockPatiently(int handle) {
    SystemCallResult locked = FileSystemCall({.Kind = SystemCallKind::Lock, .Descriptor = handle});
    long wait = FirstLockWaitNanoseconds;
    for (int retry = 0; retry < LockRetries && Failed(locked) && locked.Errno == EWOULDBLOCK;
         ++retry) {
        const timespec pause{.tv_sec = 0, .tv_nsec = wait};
        nanosleep(&pause, nullptr);
        wait *= 2;
        locked = FileSystemCall({.Kind = SystemCallKind::Lock, .Descriptor = handle});
    }
    return locked;
}

// The exclusive lock, taken without waiting but for the short retries above: held by another
// process or by another channel of ours, it gives AccessRefused. A file on which another
// process holds a record lock of any kind, on any part of it, gives it too: the test asks who
// would block a write lock over the whole file, which works on a descriptor opened for reading
// alone.
std::uint8_t LockExclusively(int handle) {
    SystemCallResult locked = LockPatiently(handle);
    if (Failed(locked) && !NoLocksHere(locked.Errno)) {
        return locked.ErrorNumber;
    }
    struct flock record {};
    record.l_type = F_WRLCK;
    record.l_whence = SEEK_SET;
    record.l_start = 0;
    record.l_len = 0;  // to the end of the file, however long it grows
    SystemCallResult tested = FileSystemCall(
        {.Kind = SystemCallKind::TestRecord, .Descriptor = handle, .Record = &record});
    if (Failed(tested) && !NoLocksHere(tested.Errno)) {
        return tested.ErrorNumber;
    }
    if (!Failed(tested) && record.l_type != F_UNLCK) {
        NoteFailure({-1, EWOULDBLOCK, AccessRefused});
        return AccessRefused;
    }
    return 0;
}

// From here on reads and writes wait as ordinary ones do.
std::uint8_t ClearNonBlocking(int handle) {
    SystemCallResult flags =
        FileSystemCall({.Kind = SystemCallKind::GetFlags, .Descriptor = handle});
    if (Failed(flags)) {
        return flags.ErrorNumber;
    }
    SystemCallResult set = FileSystemCall({.Kind = SystemCallKind::SetFlags,
                                           .Descriptor = handle,
                                           .Flags = static_cast<int>(flags.Value) & ~O_NONBLOCK});
    return set.ErrorNumber;
}

// The exclusive lock, then ordinary waiting reads and writes.
std::uint8_t LockForUse(int handle) {
    if (std::uint8_t error = LockExclusively(handle); error != 0) {
        return error;
    }
    return ClearNonBlocking(handle);
}

std::uint8_t SeekHandle(int handle, std::int64_t offset) {
    return FileSystemCall({.Kind = SystemCallKind::Seek, .Descriptor = handle, .Offset = offset})
        .ErrorNumber;
}

// The mode's steps after the descriptor is obtained. Returns the error number, 0 on success.
std::uint8_t PrepareOpened(int handle, OpenMode mode, ChannelKind* kind) {
    struct stat status;
    SystemCallResult looked =
        FileSystemCall({.Kind = SystemCallKind::Status, .Descriptor = handle, .Status = &status});
    if (Failed(looked)) {
        return looked.ErrorNumber;
    }
    *kind = S_ISREG(status.st_mode) ? ChannelKind::DiskFile : ChannelKind::Device;
    // Only a regular file passes the test open: reading a FIFO, a terminal or a device could
    // wait for ever or take the keyboard's bytes.
    if (mode == OpenMode::Test && *kind == ChannelKind::Device) {
        return AccessRefused;
    }
    // A folder opens for reading alone, but it is no file to read.
    if (S_ISDIR(status.st_mode)) {
        NoteFailure({-1, EISDIR, AccessRefused});
        return AccessRefused;
    }
    if (std::uint8_t error = LockForUse(handle); error != 0) {
        return error;
    }
    switch (mode) {
        case OpenMode::Test: {
            unsigned char start[TestReadSize];
            return FileSystemCall({.Kind = SystemCallKind::ReadAt,
                                   .Descriptor = handle,
                                   .Target = start,
                                   .Count = sizeof start,
                                   .Offset = 0})
                .ErrorNumber;
        }
        case OpenMode::Binary:
            // A device too; one that refuses the move fails the open.
            return SeekHandle(handle, 0);
        case OpenMode::Output:
            if (*kind == ChannelKind::Device) {
                return 0;
            }
            // Emptied only now, under the lock, so a file held by someone else is left whole.
            if (std::uint8_t error = SeekHandle(handle, 0); error != 0) {
                return error;
            }
            return FileSystemCall(
                       {.Kind = SystemCallKind::Truncate, .Descriptor = handle, .Offset = 0})
                .ErrorNumber;
    }
    return BadSystemName;
}

// Opens the path in the mode and prepares it. On failure returns the error number; a
// descriptor obtained on the way is then still in *handle.
std::uint8_t OpenPath(const char* path, OpenMode mode, int* handle, ChannelKind* kind) {
    SystemCallResult opened{};
    switch (mode) {
        case OpenMode::Test:
            opened = OpenName(path, O_RDONLY | OpenFlags);
            // A socket or a device node without a driver is no file to test either.
            if (Failed(opened) && opened.ErrorNumber == DeviceUnavailable) {
                return AccessRefused;
            }
            break;
        case OpenMode::Binary:
            opened = OpenName(path, O_RDONLY | OpenFlags);
            break;
        case OpenMode::Output:
            // No O_TRUNC: the file is emptied once the lock is held.
            opened = OpenName(path, O_WRONLY | O_CREAT | OpenFlags);
            break;
    }
    if (Failed(opened)) {
        return opened.ErrorNumber;
    }
    *handle = static_cast<int>(opened.Value);
    return PrepareOpened(*handle, mode, kind);
}

}  // namespace

std::uint8_t OpenSystemFile(const char* path, OpenMode mode, SystemFile* handle,
                            ChannelKind* kind) {
    int opened = -1;
    std::uint8_t error = OpenPath(path, mode, &opened, kind);
    if (error != 0) {
        if (opened != -1) {
            // The open's own failure is the one reported.
            FileSystemCall({.Kind = SystemCallKind::Close, .Descriptor = opened});
        }
        return error;
    }
    *handle = opened;
    return 0;
}

std::uint8_t OpenSystemStream(const char* path, SystemFile* handle) {
    SystemCallResult opened = OpenName(path, O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (Failed(opened)) {
        return opened.ErrorNumber;
    }
    const int descriptor = static_cast<int>(opened.Value);
    struct stat status;
    SystemCallResult looked = FileSystemCall(
        {.Kind = SystemCallKind::Status, .Descriptor = descriptor, .Status = &status});
    std::uint8_t error = Failed(looked) ? looked.ErrorNumber : 0;
    if (error == 0 && S_ISDIR(status.st_mode)) {
        NoteFailure({-1, EISDIR, AccessRefused});
        error = AccessRefused;
    }
    if (error != 0) {
        FileSystemCall({.Kind = SystemCallKind::Close, .Descriptor = descriptor});
        return error;
    }
    *handle = descriptor;
    return 0;
}

// One system read. Linux hands out at most MostBytesPerRead per read call, so only when
// exactly that many came, and more were asked for, does a larger array take further calls.
std::uint8_t ReadSystemFile(SystemFile handle, void* target, std::size_t count,
                            std::size_t* arrived) {
    *arrived = 0;
    for (;;) {
        SystemCallResult got = FileSystemCall({.Kind = SystemCallKind::Read,
                                               .Descriptor = Descriptor(handle),
                                               .Target = static_cast<char*>(target) + *arrived,
                                               .Count = count - *arrived});
        if (Failed(got)) {
            return got.ErrorNumber;
        }
        *arrived += static_cast<std::size_t>(got.Value);
        if (static_cast<std::size_t>(got.Value) != MostBytesPerRead || *arrived == count) {
            return 0;
        }
    }
}

[[gnu::hot]] std::uint8_t WriteSystemFile(SystemFile handle, const void* source, std::size_t count,
                                          std::size_t* taken) {
    SystemCallResult written = WriteThroughGate(Descriptor(handle), source, count);
    *taken = Failed(written) ? 0 : static_cast<std::size_t>(written.Value);
    return written.ErrorNumber;
}

std::uint8_t SeekSystemFile(SystemFile handle, std::int64_t offset) {
    return SeekHandle(Descriptor(handle), offset);
}

std::uint8_t CutSystemFile(SystemFile handle, std::int64_t offset) {
    return FileSystemCall({.Kind = SystemCallKind::Truncate,
                           .Descriptor = Descriptor(handle),
                           .Offset = offset})
        .ErrorNumber;
}

std::uint8_t CloseSystemFile(SystemFile handle) {
    return FileSystemCall({.Kind = SystemCallKind::Close, .Descriptor = Descriptor(handle)})
        .ErrorNumber;
}

bool SameSystemFile(const char* a, const char* b) {
    struct stat first;
    struct stat second;
    const char* paths[2] = {a, b};
    struct stat* statuses[2] = {&first, &second};
    for (int i = 0; i < 2; ++i) {
        SystemCallResult looked = FileSystemCall(
            {.Kind = SystemCallKind::PathStatus, .Path = paths[i], .Status = statuses[i]});
        if (Failed(looked)) {
            return false;
        }
    }
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

std::uint8_t HoldSystemFile(const char* path, SystemFile* handle) {
    SystemCallResult opened = OpenName(path, O_WRONLY | OpenFlags);
    if (Failed(opened)) {
        return opened.ErrorNumber;
    }
    const int held = static_cast<int>(opened.Value);
    struct stat status;
    SystemCallResult looked =
        FileSystemCall({.Kind = SystemCallKind::Status, .Descriptor = held, .Status = &status});
    std::uint8_t error = Failed(looked) ? looked.ErrorNumber : 0;
    if (error == 0 && !S_ISREG(status.st_mode)) {
        error = AccessRefused;
    }
    if (error == 0) {
        error = LockForUse(held);
    }
    if (error != 0) {
        FileSystemCall({.Kind = SystemCallKind::Close, .Descriptor = held});
        return error;
    }
    *handle = held;
    return 0;
}

namespace {

FileStamp StampOf(const struct stat& status) {
    return FileStamp{status.st_size,
                     {status.st_mtim.tv_sec, status.st_mtim.tv_nsec, status.st_ctim.tv_sec,
                      status.st_ctim.tv_nsec}};
}

}  // namespace

std::uint8_t StampSystemFile(SystemFile handle, FileStamp* stamp) {
    struct stat status;
    SystemCallResult looked = FileSystemCall(
        {.Kind = SystemCallKind::Status, .Descriptor = Descriptor(handle), .Status = &status});
    if (Failed(looked)) {
        return looked.ErrorNumber;
    }
    *stamp = StampOf(status);
    return 0;
}

std::uint8_t StampSystemPath(const char* path, FileStamp* stamp) {
    struct stat status;
    SystemCallResult looked =
        FileSystemCall({.Kind = SystemCallKind::PathStatus, .Path = path, .Status = &status});
    if (Failed(looked)) {
        return looked.ErrorNumber;
    }
    *stamp = StampOf(status);
    return 0;
}

std::string_view FailureCause(std::uint8_t error) {
    const SystemCallResult last = LastFailure();
    if (last.ErrorNumber != error) {
        return ErrorMeaning(error);
    }
    switch (last.Errno) {
        case EACCES:
        case EPERM:
            return "permission denied";
        case EROFS:
            return "read-only file system";
        case EISDIR:
            return "a folder";
        case EBUSY:
        case ETXTBSY:
            return "busy";
        case EWOULDBLOCK:
            return "held by another program";
        case ENOSPC:
            return "no space left on device";
        case EDQUOT:
            return "disk quota exceeded";
        case EFBIG:
            return "file too large";
        case ELOOP:
            return "too many levels of symbolic links";
        case ENAMETOOLONG:
            return "name too long";
        case EPIPE:  // a FIFO whose reader has gone
            return "broken pipe";
        case ENOTDIR:
            return "not a folder";
        case EBADF:  // a standard stream that was closed
            return "bad file descriptor";
        default:
            return ErrorMeaning(error);
    }
}

bool IsSystemFolder(const char* path) {
    struct stat status;
    SystemCallResult looked =
        FileSystemCall({.Kind = SystemCallKind::PathStatus, .Path = path, .Status = &status});
    return !Failed(looked) && S_ISDIR(status.st_mode);
}

const char* const FolderSeparators = "/";
