#include "files/channels.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <vector>

#include "files/busy_lock.h"
#include "files/file_error.h"
#include "files/system_calls.h"

namespace {

// Only the first 255 bytes of a name are used.
constexpr std::size_t NameLimit = 255;
// The test open reads this many bytes from the start to prove the file can be read.
constexpr std::size_t TestReadSize = 128;

constexpr std::uint8_t NoMemory = 7;
constexpr std::uint8_t NotOpen = 52;  // also a negative channel number at the open
constexpr std::uint8_t WrongModeOrKind = 54;
constexpr std::uint8_t AlreadyOpen = 55;
constexpr std::uint8_t DeviceWriteShort = 57;
constexpr std::uint8_t DiskFull = 61;
constexpr std::uint8_t BadPosition = 63;
constexpr std::uint8_t BadName = 64;
constexpr std::uint8_t Refused = 70;
constexpr std::uint8_t NoSuchDevice = 68;
constexpr std::uint8_t BadSystemName = 75;

// The open channels, at most one per number. Guarded, with everything each channel operation
// does, by TableLock.
std::vector<FileChannel> Channels;
BusyLock TableLock;

// Every open: never wait for a FIFO's other end or a device, never take a controlling terminal,
// never pass the descriptor to a program started later.
constexpr int OpenFlags = O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

FileChannel* FindChannel(std::int16_t number) {
    for (FileChannel& channel : Channels) {
        if (channel.Number == number) {
            return &channel;
        }
    }
    return nullptr;
}

void ForgetChannel(std::int16_t number) {
    for (auto at = Channels.begin(); at != Channels.end(); ++at) {
        if (at->Number == number) {
            Channels.erase(at);
            return;
        }
    }
}

// The bytes of a name that reach the system: the first 255, unchanged.
std::string_view UsedName(std::string_view name) {
    return name.substr(0, std::min(name.size(), NameLimit));
}

// The used name as the system takes it, ended by a zero byte. A name holding a zero byte of
// its own cannot be given to the system whole: false.
bool MakeSystemName(std::string_view used, char (&path)[NameLimit + 1]) {
    if (used.find('\0') != std::string_view::npos) {
        return false;
    }
    std::memcpy(path, used.data(), used.size());
    path[used.size()] = '\0';
    return true;
}

SystemCallResult OpenName(const char* path, int flags) {
    return FileSystemCall({.Kind = SystemCallKind::Open, .Path = path, .Flags = flags});
}

// Errors of file systems that offer no locks at all; the file is used unlocked there rather
// than not at all.
bool NoLocksHere(int error) {
    return error == ENOLCK || error == EINVAL || error == EOPNOTSUPP;
}

// The exclusive lock, taken without waiting: held by another process or by another channel
// of ours, it gives 70.
std::uint8_t LockExclusively(int handle) {
    SystemCallResult locked = FileSystemCall({.Kind = SystemCallKind::Lock, .Descriptor = handle});
    if (Failed(locked) && !NoLocksHere(locked.Errno)) {
        return locked.ErrorNumber;
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

std::uint8_t SeekHandle(int handle, std::int64_t offset) {
    return FileSystemCall({.Kind = SystemCallKind::Seek, .Descriptor = handle, .Offset = offset})
        .ErrorNumber;
}

// The mode's steps after the descriptor is obtained. Returns the error number, 0 on success.
std::uint8_t PrepareOpened(FileChannel& channel) {
    struct stat status;
    SystemCallResult looked = FileSystemCall(
        {.Kind = SystemCallKind::Status, .Descriptor = channel.Handle, .Status = &status});
    if (Failed(looked)) {
        return looked.ErrorNumber;
    }
    channel.Kind = S_ISREG(status.st_mode) ? ChannelKind::DiskFile : ChannelKind::Device;
    // Only a regular file passes the test open: reading a FIFO, a terminal or a device could
    // wait for ever or take the keyboard's bytes.
    if (channel.Mode == OpenMode::Test && channel.Kind == ChannelKind::Device) {
        return Refused;
    }
    if (std::uint8_t error = LockExclusively(channel.Handle); error != 0) {
        return error;
    }
    if (std::uint8_t error = ClearNonBlocking(channel.Handle); error != 0) {
        return error;
    }
    switch (channel.Mode) {
        case OpenMode::Test: {
            unsigned char start[TestReadSize];
            return FileSystemCall({.Kind = SystemCallKind::ReadAt,
                                   .Descriptor = channel.Handle,
                                   .Target = start,
                                   .Count = sizeof start,
                                   .Offset = 0})
                .ErrorNumber;
        }
        case OpenMode::Binary:
            // A device too; one that refuses the move fails the open.
            return SeekHandle(channel.Handle, 0);
        case OpenMode::Output:
            if (channel.Kind == ChannelKind::Device) {
                return 0;
            }
            // Emptied only now, under the lock, so a file held by someone else is left whole.
            if (std::uint8_t error = SeekHandle(channel.Handle, 0); error != 0) {
                return error;
            }
            return FileSystemCall({.Kind = SystemCallKind::Truncate,
                                   .Descriptor = channel.Handle,
                                   .Offset = 0})
                .ErrorNumber;
    }
    return BadSystemName;
}

// Opens the path in the channel's mode and prepares it. On failure returns the error number;
// a descriptor obtained on the way is then still in channel.Handle.
std::uint8_t OpenPath(const char* path, FileChannel& channel) {
    SystemCallResult opened{};
    switch (channel.Mode) {
        case OpenMode::Test:
            opened = OpenName(path, O_RDONLY | OpenFlags);
            // A socket or a device node without a driver is no file to test either.
            if (Failed(opened) && opened.ErrorNumber == NoSuchDevice) {
                return Refused;
            }
            break;
        case OpenMode::Binary:
            // A refusal of read and write is forgotten when reading alone is granted.
            opened = OpenName(path, O_RDWR | O_CREAT | OpenFlags);
            if (Failed(opened)) {
                opened = OpenName(path, O_RDONLY | O_CREAT | OpenFlags);
            }
            break;
        case OpenMode::Output:
            // No O_TRUNC: the file is emptied once the lock is held.
            opened = OpenName(path, O_WRONLY | O_CREAT | OpenFlags);
            break;
    }
    if (Failed(opened)) {
        return opened.ErrorNumber;
    }
    channel.Handle = static_cast<int>(opened.Value);
    return PrepareOpened(channel);
}

// The channel if it is open; otherwise sets 52 and gives null.
FileChannel* OpenChannelOrFail(std::int16_t number) {
    FileChannel* channel = FindChannel(number);
    if (channel == nullptr) {
        SetFileError(NotOpen);
    }
    return channel;
}

void WriteToChannel(std::int16_t number, const void* bytes, std::size_t count) {
    BusyLockHold hold(TableLock);
    FileChannel* channel = OpenChannelOrFail(number);
    if (channel == nullptr) {
        return;
    }
    if (channel->Mode != OpenMode::Output) {
        SetFileError(WrongModeOrKind);
        return;
    }
    SystemCallResult written = FileSystemCall({.Kind = SystemCallKind::Write,
                                               .Descriptor = channel->Handle,
                                               .Source = bytes,
                                               .Count = count});
    if (Failed(written)) {
        SetFileError(written.ErrorNumber);
        return;
    }
    bool disk = channel->Kind == ChannelKind::DiskFile;
    if (static_cast<std::size_t>(written.Value) < count) {
        SetFileError(disk ? DiskFull : DeviceWriteShort);
    }
    if (disk) {
        channel->Offset += written.Value;
    }
}

}  // namespace

void OpenChannel(std::int16_t channel, std::string_view name, OpenMode mode) {
    BusyLockHold hold(TableLock);
    std::string_view used = UsedName(name);
    if (used.empty() || used.find_first_of("*?") != std::string_view::npos) {
        SetFileError(BadName);
        return;
    }
    if (channel < 0) {
        SetFileError(NotOpen);
        return;
    }
    if (FindChannel(channel) != nullptr) {
        SetFileError(AlreadyOpen);
        return;
    }
    // Room in the table first, so nothing can fail once the file is open.
    try {
        Channels.reserve(Channels.size() + 1);
    } catch (const std::bad_alloc&) {
        SetFileError(NoMemory);
        return;
    } catch (const std::length_error&) {
        SetFileError(NoMemory);
        return;
    }
    char path[NameLimit + 1];
    if (!MakeSystemName(used, path)) {
        SetFileError(BadSystemName);  // a malformed name, as the system would call it
        return;
    }

    FileChannel opened{channel, -1, ChannelKind::Device, mode, 0};
    std::uint8_t error = OpenPath(path, opened);
    if (error != 0) {
        if (opened.Handle != -1) {
            // The open's own failure is the one reported.
            FileSystemCall({.Kind = SystemCallKind::Close, .Descriptor = opened.Handle});
        }
        SetFileError(error);
        return;
    }
    Channels.push_back(opened);
}

void CloseChannel(std::int16_t channel) {
    BusyLockHold hold(TableLock);
    FileChannel* found = FindChannel(channel);
    if (found == nullptr) {
        return;
    }
    FileChannel closing = *found;
    ForgetChannel(channel);

    std::uint8_t firstError = 0;
    if (closing.Mode == OpenMode::Output && closing.Kind == ChannelKind::DiskFile) {
        // Whatever lies past the last byte written is not part of the output.
        firstError = FileSystemCall({.Kind = SystemCallKind::Truncate,
                                     .Descriptor = closing.Handle,
                                     .Offset = closing.Offset})
                         .ErrorNumber;
    }
    std::uint8_t closeError =
        FileSystemCall({.Kind = SystemCallKind::Close, .Descriptor = closing.Handle}).ErrorNumber;
    if (firstError == 0) {
        firstError = closeError;
    }
    if (firstError != 0) {
        SetFileError(firstError);
    }
}

ByteString ReadBytes(std::int16_t channel, std::int32_t n) {
    BusyLockHold hold(TableLock);
    FileChannel* found = OpenChannelOrFail(channel);
    if (found == nullptr) {
        return {};
    }
    if (found->Mode != OpenMode::Binary) {
        SetFileError(WrongModeOrKind);
        return {};
    }
    if (n <= 0) {
        return {};
    }
    ByteString bytes;
    try {
        bytes.resize(static_cast<std::size_t>(n));
    } catch (const std::bad_alloc&) {
        SetFileError(NoMemory);
        return {};
    } catch (const std::length_error&) {
        SetFileError(NoMemory);
        return {};
    }
    SystemCallResult got = FileSystemCall({.Kind = SystemCallKind::Read,
                                           .Descriptor = found->Handle,
                                           .Target = bytes.data(),
                                           .Count = bytes.size()});
    if (Failed(got)) {
        SetFileError(got.ErrorNumber);
        return {};
    }
    // Fewer bytes than asked for means the end of the file lies inside the range: no error.
    bytes.resize(static_cast<std::size_t>(got.Value));
    found->Offset += got.Value;
    return bytes;
}

void SeekChannel(std::int16_t channel, std::int64_t p) {
    BusyLockHold hold(TableLock);
    FileChannel* found = OpenChannelOrFail(channel);
    if (found == nullptr) {
        return;
    }
    if (found->Kind == ChannelKind::Device) {
        SetFileError(WrongModeOrKind);
        return;
    }
    // A position below 1 goes to the system as -1, which refuses it; the offset stays.
    std::int64_t offset = p >= 1 ? p - 1 : -1;
    if (std::uint8_t error = SeekHandle(found->Handle, offset); error != 0) {
        SetFileError(error);
        return;
    }
    found->Offset = offset;
}

std::int32_t ReadArray(std::int16_t channel, std::int64_t p, TypedArray& array, std::int32_t n) {
    BusyLockHold hold(TableLock);
    FileChannel* found = OpenChannelOrFail(channel);
    if (found == nullptr) {
        return 0;
    }
    if (found->Mode != OpenMode::Binary || found->Kind == ChannelKind::Device) {
        SetFileError(WrongModeOrKind);
        return 0;
    }
    if (p < 1) {
        SetFileError(BadPosition);
        return 0;
    }
    if (std::uint8_t error = SeekHandle(found->Handle, p - 1); error != 0) {
        SetFileError(error);
        return 0;
    }
    found->Offset = p - 1;

    // Both counts as unsigned 32-bit numbers, so a negative n asks for the whole array.
    std::uint32_t available = array.Storage != nullptr ? array.Count : 0;
    std::uint32_t k = std::min(static_cast<std::uint32_t>(n), available);
    std::size_t total = static_cast<std::size_t>(k) * array.ElementSize;
    if (total == 0) {
        return 0;
    }
    SystemCallResult got = FileSystemCall({.Kind = SystemCallKind::Read,
                                           .Descriptor = found->Handle,
                                           .Target = array.Storage,
                                           .Count = total});
    if (Failed(got)) {
        SetFileError(got.ErrorNumber);
        return 0;
    }
    // A short read ends inside the file's last bytes: the rest of the range reads as zeros.
    std::size_t arrived = static_cast<std::size_t>(got.Value);
    std::memset(array.Storage + arrived, 0, total - arrived);
    found->Offset += got.Value;
    return static_cast<std::int32_t>(arrived / array.ElementSize);
}

void WriteItem(std::int16_t channel, std::string_view text) {
    WriteToChannel(channel, text.data(), text.size());
}

void EndLine(std::int16_t channel) {
    static constexpr char LineEnd[2] = {13, 10};
    WriteToChannel(channel, LineEnd, sizeof LineEnd);
}

bool SameFile(std::string_view a, std::string_view b) {
    struct stat first;
    struct stat second;
    const std::string_view names[2] = {a, b};
    struct stat* statuses[2] = {&first, &second};
    for (int i = 0; i < 2; ++i) {
        // The names as an open would use them.
        std::string_view used = UsedName(names[i]);
        char path[NameLimit + 1];
        if (used.empty() || !MakeSystemName(used, path)) {
            return false;
        }
        SystemCallResult looked = FileSystemCall(
            {.Kind = SystemCallKind::PathStatus, .Path = path, .Status = statuses[i]});
        if (Failed(looked)) {
            return false;
        }
    }
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}
