#include "files/windows/system_calls.h"

#include <windows.h>

#include "files/busy_lock.h"
#include "files/file_error.h"

namespace {

// Guards the gate.
BusyLock GateLock;

// SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX: a missing disk, an unready drive or a
// missing file is an ordinary failure, never a dialog.
constexpr UINT QuietErrorMode = 32769;
static_assert(QuietErrorMode == (SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX));

std::uintptr_t AsValue(HANDLE handle) {
    return reinterpret_cast<std::uintptr_t>(handle);
}

std::uintptr_t MakeCall(const WindowsCall& call) {
    HANDLE handle = static_cast<HANDLE>(call.Handle);
    DWORD done = 0;
    switch (call.Kind) {
        case WindowsCallKind::Open:
            // Share mode 0: no other program opens the file while we hold it.
            return AsValue(CreateFileA(call.Path, call.Access, 0, nullptr, call.Disposition,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
        case WindowsCallKind::Identify:
            // No access asked, every sharing allowed: this disturbs no holder of the file, and
            // a folder opens too.
            return AsValue(
                CreateFileA(call.Path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        case WindowsCallKind::FileType:
            return GetFileType(handle);
        case WindowsCallKind::Read:
            ReadFile(handle, call.Target, call.Count, &done, nullptr);
            return done;
        case WindowsCallKind::Write:
            WriteFile(handle, call.Source, call.Count, &done, nullptr);
            return done;
        case WindowsCallKind::Seek: {
            LONG high = static_cast<LONG>(call.Offset >> 32);
            return SetFilePointer(handle, static_cast<LONG>(call.Offset & 0xFFFFFFFF), &high,
                                  FILE_BEGIN);
        }
        case WindowsCallKind::EndHere:
            return SetEndOfFile(handle);
        case WindowsCallKind::Close:
            return CloseHandle(handle);
        case WindowsCallKind::Information:
            return GetFileInformationByHandle(
                handle, static_cast<BY_HANDLE_FILE_INFORMATION*>(call.Information));
        case WindowsCallKind::Attributes:
            return GetFileAttributesA(call.Path);
        case WindowsCallKind::CreateNew:
            // Deletion is shared so that a removal can mark the file while it is still open:
            // it then goes when the last handle closes.
            return AsValue(CreateFileA(call.Path, GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                                       CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        case WindowsCallKind::Rename:
            return MoveFileExA(call.Path, call.NewPath, MOVEFILE_REPLACE_EXISTING);
        case WindowsCallKind::Remove:
            return DeleteFileA(call.Path);
    }
    SetLastError(ERROR_INVALID_FUNCTION);
    return 0;
}

}  // namespace

std::uint8_t FileErrorForSystemError(std::uint32_t lastError) {
    switch (lastError) {
        case ERROR_NOT_ENOUGH_MEMORY:  // 8
        case ERROR_OUTOFMEMORY:        // 14
            return NoMemory;
        case ERROR_INVALID_HANDLE:  // 6
        case ERROR_BAD_FORMAT:      // 11
        case ERROR_INVALID_ACCESS:  // 12
        case ERROR_INVALID_DATA:    // 13
        case ERROR_BAD_COMMAND:     // 22
        case ERROR_BAD_LENGTH:      // 24
            return BadFileHandle;
        case ERROR_FILE_NOT_FOUND:  // 2
        case ERROR_NO_MORE_FILES:   // 18
            return FileNotFound;
        case ERROR_HANDLE_DISK_FULL:  // 39
        case ERROR_DISK_FULL:         // 112
            return DiskFull;
        case ERROR_HANDLE_EOF:  // 38
            return PastEndOfFile;
        case ERROR_TOO_MANY_OPEN_FILES:  // 4
            return TooManyFiles;
        case ERROR_INVALID_DRIVE:  // 15
        case ERROR_BAD_UNIT:       // 20
            return DeviceUnavailable;
        case ERROR_ACCESS_DENIED:            // 5
        case ERROR_WRITE_PROTECT:            // 19
        case ERROR_SHARING_VIOLATION:        // 32
        case ERROR_LOCK_VIOLATION:           // 33
        case ERROR_SHARING_BUFFER_EXCEEDED:  // 36
            return AccessRefused;
        case ERROR_NOT_READY:  // 21
            return DeviceNotReady;
        case ERROR_CRC:               // 23
        case ERROR_SEEK:              // 25
        case ERROR_NOT_DOS_DISK:      // 26
        case ERROR_SECTOR_NOT_FOUND:  // 27
        case ERROR_OUT_OF_PAPER:      // 28
        case ERROR_WRITE_FAULT:       // 29
        case ERROR_READ_FAULT:        // 30
        case ERROR_GEN_FAILURE:       // 31
        case ERROR_WRONG_DISK:        // 34
            return DeviceIoError;
        case ERROR_NOT_SAME_DEVICE:  // 17
            return RenameAcrossDisks;
        case ERROR_PATH_NOT_FOUND:  // 3
            return PathNotFound;
        case ERROR_ARENA_TRASHED:    // 7
        case ERROR_INVALID_BLOCK:    // 9
        case ERROR_BAD_ENVIRONMENT:  // 10
            return SystemDamaged;
        default:
            // ERROR_INVALID_FUNCTION (1), ERROR_CURRENT_DIRECTORY (16), 35, 37 and everything
            // from 40 up but 112, ERROR_INVALID_NAME (123) and ERROR_NEGATIVE_SEEK (131) among
            // them.
            return BadSystemName;
    }
}

[[gnu::hot]] WindowsCallResult WindowsFileCall(const WindowsCall& call) {
    BusyLockHold hold(GateLock);
    UINT previousMode = SetErrorMode(QuietErrorMode);
    SetLastError(0);

    std::uintptr_t value = MakeCall(call);

    DWORD lastError = GetLastError();
    SetErrorMode(previousMode);

    WindowsCallResult result{value, lastError, 0};
    if (lastError != 0) {
        result.ErrorNumber = FileErrorForSystemError(lastError);
    }
    return result;
}
