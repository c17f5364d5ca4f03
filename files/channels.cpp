#include "files/channels.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "files/allocation.h"
#include "files/busy_lock.h"
#include "files/file_error.h"
#include "files/file_system.h"

namespace {

constexpr std::size_t NameLimit = ChannelNameLimit;

// The open channels, at most one per number. Guarded, with everything each channel operation
// does, by TableLock.
std::vector<FileChannel> Channels;
BusyLock TableLock;

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

// The channel if it is open; otherwise sets ChannelNotOpen and gives null.
FileChannel* OpenChannelOrFail(std::int16_t number) {
    FileChannel* channel = FindChannel(number);
    if (channel == nullptr) {
        SetFileError(ChannelNotOpen);
    }
    return channel;
}

[[gnu::hot]] void WriteToChannel(std::int16_t number, const void* bytes, std::size_t count) {
    BusyLockHold hold(TableLock);
    FileChannel* channel = OpenChannelOrFail(number);
    if (channel == nullptr) {
        return;
    }
    if (channel->Mode != OpenMode::Output) {
        SetFileError(WrongModeOrKind);
        return;
    }
    std::size_t taken = 0;
    if (std::uint8_t error = WriteSystemFile(channel->Handle, bytes, count, &taken); error != 0) {
        SetFileError(error);
        return;
    }
    bool disk = channel->Kind == ChannelKind::DiskFile;
    if (taken < count) {
        SetFileError(disk ? DiskFull : DeviceWriteShort);
    }
    if (disk) {
        channel->Offset += static_cast<std::int64_t>(taken);
    }
}

}  // namespace

void OpenChannel(std::int16_t channel, std::string_view name, OpenMode mode) {
    BusyLockHold hold(TableLock);
    std::string_view used = UsedName(name);
    if (used.empty() || used.find_first_of("*?") != std::string_view::npos) {
        SetFileError(BadFileName);
        return;
    }
    if (channel < 0) {
        SetFileError(ChannelNotOpen);
        return;
    }
    if (FindChannel(channel) != nullptr) {
        SetFileError(ChannelAlreadyOpen);
        return;
    }
    // Room in the table first, so nothing can fail once the file is open.
    if (!ReserveOneMore(Channels)) {
        return;
    }
    char path[NameLimit + 1];
    if (!MakeSystemName(used, path)) {
        SetFileError(BadSystemName);  // a malformed name, as the system would call it
        return;
    }

    FileChannel opened{
        .Number = channel, .Handle = -1, .Kind = ChannelKind::Device, .Mode = mode, .Offset = 0};
    if (std::uint8_t error = OpenSystemFile(path, mode, &opened.Handle, &opened.Kind); error != 0) {
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
        firstError = CutSystemFile(closing.Handle, closing.Offset);
    }
    std::uint8_t closeError = CloseSystemFile(closing.Handle);
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
    if (!ResizeBytes(bytes, static_cast<std::size_t>(n))) {
        return {};
    }
    std::size_t arrived = 0;
    if (std::uint8_t error = ReadSystemFile(found->Handle, bytes.data(), bytes.size(), &arrived);
        error != 0) {
        SetFileError(error);
        return {};
    }
    // Fewer bytes than asked for means the end of the file lies inside the range: no error.
    bytes.resize(arrived);
    found->Offset += static_cast<std::int64_t>(arrived);
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
    if (std::uint8_t error = SeekSystemFile(found->Handle, offset); error != 0) {
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
    if (std::uint8_t error = SeekSystemFile(found->Handle, p - 1); error != 0) {
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
    std::size_t arrived = 0;
    if (std::uint8_t error = ReadSystemFile(found->Handle, array.Storage, total, &arrived);
        error != 0) {
        SetFileError(error);
        return 0;
    }
    // A short read ends inside the file's last bytes: the rest of the range reads as zeros.
    std::memset(array.Storage + arrived, 0, total - arrived);
    found->Offset += static_cast<std::int64_t>(arrived);
    return static_cast<std::int32_t>(arrived / array.ElementSize);
}

[[gnu::hot]] void WriteItem(std::int16_t channel, std::string_view text) {
    WriteToChannel(channel, text.data(), text.size());
}

[[gnu::hot]] void EndLine(std::int16_t channel) {
    static constexpr char LineEnd[2] = {13, 10};
    WriteToChannel(channel, LineEnd, sizeof LineEnd);
}

FileStamp StampChannel(std::int16_t channel) {
    BusyLockHold hold(TableLock);
    FileStamp stamp{};
    FileChannel* found = OpenChannelOrFail(channel);
    if (found == nullptr) return stamp;
    if (std::uint8_t error = StampSystemFile(found->Handle, &stamp); error != 0) {
        SetFileError(error);
        return FileStamp{};
    }
    return stamp;
}

bool SameFile(std::string_view a, std::string_view b) {
    // The names as an open would use them.
    std::string_view usedA = UsedName(a);
    std::string_view usedB = UsedName(b);
    char pathA[NameLimit + 1];
    char pathB[NameLimit + 1];
    if (usedA.empty() || usedB.empty() || !MakeSystemName(usedA, pathA) ||
        !MakeSystemName(usedB, pathB)) {
        return false;
    }
    return SameSystemFile(pathA, pathB);
}

std::int64_t ChannelLength(std::int16_t channel) {
    // A failed stamp is all zeros, which no open file has: its times are never 0.
    const FileStamp stamp = StampChannel(channel);
    return stamp == FileStamp{} ? -1 : stamp.Size;
}

bool SamePath(std::string_view a, std::string_view b) {
    const std::string_view zero("\0", 1);
    if (a.empty() || b.empty() || a.find(zero) != a.npos || b.find(zero) != b.npos) return false;
    return SameSystemFile(std::string(a).c_str(), std::string(b).c_str());
}

bool StampPath(std::string_view path, FileStamp& stamp) {
    const std::string name(path);
    if (name.empty() || name.find('\0') != std::string::npos) return false;
    return StampSystemPath(name.c_str(), &stamp) == 0;
}

bool IsFolder(std::string_view name) {
    const std::string path(name);
    return !path.empty() && path.find('\0') == std::string::npos && IsSystemFolder(path.c_str());
}

std::string InFolder(std::string_view folder, std::string_view name) {
    const std::size_t lastSeparator = name.find_last_of(FolderSeparators);
    if (lastSeparator != std::string_view::npos) name.remove_prefix(lastSeparator + 1);
    std::string path(folder);
    if (!path.empty() && path.find_last_of(FolderSeparators) != path.size() - 1) {
        path += FolderSeparators[0];
    }
    return path + std::string(name);
}
