#pragma once
// The one gate every file system call of the module goes through. It reads errno at once after
// a call that failed, makes an interrupted call again (close excepted), and maps a failure to
// the program's error number. A write to a pipe nobody reads or past the file-size limit fails
// with its error instead of ending the process by SIGPIPE or SIGXFSZ.
#include <fcntl.h>
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>

enum class SystemCallKind {
    Open,        // open(Path, Flags, Mode): the umask applies to a created file
    PathStatus,  // stat(Path, Status)
    LinkStatus,  // lstat(Path, Status)
    Resolve,     // realpath(Path, Target), Target holding PATH_MAX bytes; 0 on success
    ReadLink,    // readlink(Path, Target, Count): the length of what a link holds
    Rename,      // rename(Path, NewPath)
    Remove,      // unlink(Path)
    Status,      // fstat(Descriptor, Status)
    Lock,        // flock(Descriptor, LOCK_EX | LOCK_NB): exclusive, never waits
    TestRecord,  // fcntl(Descriptor, F_OFD_GETLK, Record): who would block that record lock
    GetFlags,    // fcntl(Descriptor, F_GETFL)
    SetFlags,    // fcntl(Descriptor, F_SETFL, Flags)
    Seek,        // lseek(Descriptor, Offset, SEEK_SET)
    Read,        // read(Descriptor, Target, Count)
    ReadAt,      // pread(Descriptor, Target, Count, Offset)
    Truncate,    // ftruncate(Descriptor, Offset)
    ChangeMode,  // fchmod(Descriptor, Flags)
    SetOwner,    // fchown(Descriptor, Owner, Group)
    Close,       // close(Descriptor): never repeated, the descriptor is gone either way
};

// One call and its arguments; the fields its kind does not use are left alone.
struct SystemCall {
    SystemCallKind Kind;
    const char* Path = nullptr;     // NUL-terminated
    const char* NewPath = nullptr;  // NUL-terminated
    int Descriptor = -1;
    int Flags = 0;
    void* Target = nullptr;   // where a read puts its bytes
    std::size_t Count = 0;    // bytes
    std::int64_t Offset = 0;  // bytes from the start of the file
    struct stat* Status = nullptr;
    struct flock* Record = nullptr;
    uid_t Owner = static_cast<uid_t>(-1);  // -1 leaves it as it is
    gid_t Group = static_cast<gid_t>(-1);
    mode_t Mode = 0666;  // the permissions a created file is given, less the umask
};

struct SystemCallResult {
    std::int64_t Value;        // what the call returned; -1 when it failed
    int Errno;                 // 0 when it succeeded
    std::uint8_t ErrorNumber;  // the program's number for Errno; 0 when it succeeded
};

SystemCallResult FileSystemCall(const SystemCall& call);

// write(descriptor, source, count) through the same gate, without the general call's record:
// every line of a signal file takes two of these.
SystemCallResult WriteThroughGate(int descriptor, const void* source, std::size_t count);

inline bool Failed(const SystemCallResult& result) {
    return result.Value == -1;
}

// The last call through the gate that failed, or the failure noted since; Value 0 before any.
SystemCallResult LastFailure();

// Notes a failure found without a failing call (a lock held elsewhere), so that LastFailure
// tells it.
void NoteFailure(const SystemCallResult& failure);

// The program's number for a system error, by meaning. A missing name (ENOENT) is
// FileNotFound when its folder exists, else PathNotFound; path may be null.
std::uint8_t FileErrorForErrno(int error, const char* path);
