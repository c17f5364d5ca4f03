// The channels' system steps over Windows files. Exclusive access is the share mode 0 of every
// open: while a channel holds a file, no other open of it succeeds (error 32, mapped to
// AccessRefused).
#include "files/file_system.h"

#include <windows.h>

#include <algorithm>

#include "files/file_error.h"
#include "files/windows/system_calls.h"

namespace {

// The test open reads this many bytes from the start to prove the file can be read.
constexpr DWORD TestReadSize = 128;

// One system read or write moves at most this many bytes; the channels never ask for more.
constexpr std::size_t LargestTransfer = 0xFFFFFFFF;

void* AsHandle(SystemFile handle) {
    return reinterpret_cast<void*>(handle);
}

bool Succeeded(const WindowsCallResult& result) {
    return result.LastError == 0;
}

// An open is judged by its handle alone: the warning that comes with a handle (the
// already-exists report of OPEN_ALWAYS on an existing file) is no failure.
bool GaveHandle(const WindowsCallResult& opened) {
    return opened.Value != reinterpret_cast<std::uintptr_t>(INVALID_HANDLE_VALUE);
}

std::uint8_t RefusalNumber(const WindowsCallResult& opened) {
    return opened.ErrorNumber != 0 ? opened.ErrorNumber : BadSystemName;
}

WindowsCallResult OpenName(const char* path, DWORD access, DWORD disposition) {
    return WindowsFileCall({.Kind = WindowsCallKind::Open,
                            .Path = path,
                            .Access = access,
                            .Disposition = disposition});
}

std::uint8_t SeekHandle(void* handle, std::int64_t offset) {
    return WindowsFileCall({.Kind = WindowsCallKind::Seek, .Handle = handle, .Offset = offset})
        .ErrorNumber;
}

std::uint8_t EndHere(void* handle) {
    return WindowsFileCall({.Kind = WindowsCallKind::EndHere, .Handle = handle}).ErrorNumber;
}

void CloseQuietly(void* handle) {
    WindowsFileCall({.Kind = WindowsCallKind::Close, .Handle = handle});
}

// The mode's steps after the handle is obtained. Returns the error number, 0 on success.
std::uint8_t PrepareOpened(void* handle, OpenMode mode, ChannelKind* kind) {
    // A failure to tell the kind fails nothing: the object then counts as a device.
    WindowsCallResult type = WindowsFileCall({.Kind = WindowsCallKind::FileType, .Handle = handle});
    *kind = Succeeded(type) && type.Value == FILE_TYPE_DISK ? ChannelKind::DiskFile
                                                            : ChannelKind::Device;
    switch (mode) {
        case OpenMode::Test: {
            // Only a disk file passes the test open: reading the console ("CON", "CONIN$"), a
            // pipe or a device could wait for ever or take the keyboard's keys.
            if (*kind == ChannelKind::Device) {
                return AccessRefused;
            }
            if (std::uint8_t error = SeekHandle(handle, 0); error != 0) {
                return error;
            }
            unsigned char start[TestReadSize];
            return WindowsFileCall({.Kind = WindowsCallKind::Read,
                                    .Handle = handle,
                                    .Target = start,
                                    .Count = sizeof start})
                .ErrorNumber;
        }
        case OpenMode::Binary:
            // A device too; one that refuses the move fails the open.
            return SeekHandle(handle, 0);
        case OpenMode::Output:
            if (*kind == ChannelKind::Device) {
                return 0;
            }
            if (std::uint8_t error = SeekHandle(handle, 0); error != 0) {
                return error;
            }
            return EndHere(handle);
    }
    return BadSystemName;
}

}  // namespace

std::uint8_t OpenSystemFile(const char* path, OpenMode mode, SystemFile* handle,
                            ChannelKind* kind) {
    WindowsCallResult opened{};
    switch (mode) {
        case OpenMode::Test:
            opened = OpenName(path, GENERIC_READ, OPEN_EXISTING);
            break;
        case OpenMode::Binary:
            opened = OpenName(path, GENERIC_READ, OPEN_EXISTING);
            break;
        case OpenMode::Output:
            opened = OpenName(path, GENERIC_WRITE, OPEN_ALWAYS);
            break;
    }
    if (!GaveHandle(opened)) {
        return RefusalNumber(opened);
    }
    void* obtained = reinterpret_cast<void*>(opened.Value);
    if (std::uint8_t error = PrepareOpened(obtained, mode, kind); error != 0) {
        // The open's own failure is the one reported.
        CloseQuietly(obtained);
        return error;
    }
    *handle = static_cast<SystemFile>(opened.Value);
    return 0;
}

std::uint8_t ReadSystemFile(SystemFile handle, void* target, std::size_t count,
                            std::size_t* arrived) {
    WindowsCallResult got =
        WindowsFileCall({.Kind = WindowsCallKind::Read,
                         .Handle = AsHandle(handle),
                         .Target = target,
                         .Count = static_cast<std::uint32_t>(std::min(count, LargestTransfer))});
    *arrived = Succeeded(got) ? static_cast<std::size_t>(got.Value) : 0;
    return got.ErrorNumber;
}

[[gnu::hot]] std::uint8_t WriteSystemFile(SystemFile handle, const void* source, std::size_t count,
                                          std::size_t* taken) {
    WindowsCallResult written =
        WindowsFileCall({.Kind = WindowsCallKind::Write,
                         .Handle = AsHandle(handle),
                         .Source = source,
                         .Count = static_cast<std::uint32_t>(std::min(count, LargestTransfer))});
    *taken = Succeeded(written) ? static_cast<std::size_t>(written.Value) : 0;
    return written.ErrorNumber;
}

std::uint8_t SeekSystemFile(SystemFile handle, std::int64_t offset) {
    return SeekHandle(AsHandle(handle), offset);
}

// The file pointer stands at offset: reads and writes move it exactly as the channel's
// offset moves.
std::uint8_t CutSystemFile(SystemFile handle, std::int64_t) {
    return EndHere(AsHandle(handle));
}

std::uint8_t CloseSystemFile(SystemFile handle) {
    return WindowsFileCall({.Kind = WindowsCallKind::Close, .Handle = AsHandle(handle)})
        .ErrorNumber;
}

// The same file is the same volume and the same file index, however the names are written
// (letter case, short names, "..").
bool SameSystemFile(const char* a, const char* b) {
    BY_HANDLE_FILE_INFORMATION first{};
    BY_HANDLE_FILE_INFORMATION second{};
    const char* paths[2] = {a, b};
    BY_HANDLE_FILE_INFORMATION* information[2] = {&first, &second};
    for (int i = 0; i < 2; ++i) {
        WindowsCallResult opened =
            WindowsFileCall({.Kind = WindowsCallKind::Identify, .Path = paths[i]});
        if (!GaveHandle(opened)) {
            return false;
        }
        void* handle = reinterpret_cast<void*>(opened.Value);
        WindowsCallResult looked = WindowsFileCall({.Kind = WindowsCallKind::Information,
                                                    .Handle = handle,
                                                    .Information = information[i]});
        CloseQuietly(handle);
        if (!Succeeded(looked)) {
            return false;
        }
    }
    return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
}

// A device name ("NUL", "COM1") opens too: only a disk file is held.
std::uint8_t HoldSystemFile(const char* path, SystemFile* handle) {
    WindowsCallResult opened = OpenName(path, GENERIC_WRITE, OPEN_EXISTING);
    if (!GaveHandle(opened)) {
        return RefusalNumber(opened);
    }
    void* obtained = reinterpret_cast<void*>(opened.Value);
    WindowsCallResult type =
        WindowsFileCall({.Kind = WindowsCallKind::FileType, .Handle = obtained});
    if (Succeeded(type) && type.Value != FILE_TYPE_DISK) {
        CloseQuietly(obtained);
        return AccessRefused;
    }
    *handle = static_cast<SystemFile>(opened.Value);
    return 0;
}

// Windows keeps no time of a change of the file's attributes here: the last write's time
// stands in both places.
std::uint8_t StampSystemFile(SystemFile handle, FileStamp* stamp) {
    BY_HANDLE_FILE_INFORMATION information{};
    WindowsCallResult looked = WindowsFileCall({.Kind = WindowsCallKind::Information,
                                                .Handle = AsHandle(handle),
                                                .Information = &information});
    if (!Succeeded(looked)) {
        return looked.ErrorNumber;
    }
    const auto written = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(information.ftLastWriteTime.dwHighDateTime) << 32) |
        information.ftLastWriteTime.dwLowDateTime);
    const auto size = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(information.nFileSizeHigh) << 32) | information.nFileSizeLow);
    *stamp = FileStamp{size, {written, 0, written, 0}};
    return 0;
}

std::uint8_t OpenSystemStream(const char* path, SystemFile* handle) {
    WindowsCallResult opened = OpenName(path, GENERIC_READ, OPEN_EXISTING);
    if (!GaveHandle(opened)) {
        return RefusalNumber(opened);
    }
    *handle = static_cast<SystemFile>(opened.Value);
    return 0;
}

// Opened for no access at all, so that no program's hold on the file stands in the way.
std::uint8_t StampSystemPath(const char* path, FileStamp* stamp) {
    WindowsCallResult opened = WindowsFileCall({.Kind = WindowsCallKind::Identify, .Path = path});
    if (!GaveHandle(opened)) {
        return RefusalNumber(opened);
    }
    const auto handle = static_cast<SystemFile>(opened.Value);
    const std::uint8_t error = StampSystemFile(handle, stamp);
    CloseQuietly(AsHandle(handle));
    return error;
}

std::string_view FailureCause(std::uint8_t error) {
    return ErrorMeaning(error);
}

bool IsSystemFolder(const char* path) {
    WindowsCallResult looked = WindowsFileCall({.Kind = WindowsCallKind::Attributes, .Path = path});
    const auto attributes = static_cast<DWORD>(looked.Value);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// A backslash first: the one a joined path gets.
const char* const FolderSeparators = "\\/:";
