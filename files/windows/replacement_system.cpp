// The replacement file's system steps over Windows. The temporary file is a file of a fresh
// name in the folder of the file it replaces, so the rename never crosses volumes. It is open
// with deletion shared: until it is renamed or removed, a console control handler (Ctrl+C,
// Ctrl+Break, the window closing, logoff, shutdown) marks it for deletion, and it goes when the
// process ends as the event would have ended it.
#include "files/replacement_system.h"

#include <windows.h>

#include <atomic>
#include <cstring>

#include "files/file_error.h"
#include "files/windows/system_calls.h"

namespace {

constexpr int NamesToTry = 100;

// The temporary files the control handler must remove (standard input's copy and a signal
// file's temporary file): each one's path, and whether it is noted. A path is written only
// while its Pending is false. The handler runs on a thread of its own.
struct PendingFile {
    char Path[MAX_PATH + 64];
    std::atomic<bool> Pending;
};
PendingFile PendingFiles[2];
bool HandlerInstalled = false;

// The number for a failed call, which has one even when the system set no error value.
std::uint8_t FailureNumber(const WindowsCallResult& result) {
    return result.ErrorNumber != 0 ? result.ErrorNumber : BadSystemName;
}

std::uint8_t RemoveFile(const char* path) {
    WindowsCallResult removed = WindowsFileCall({.Kind = WindowsCallKind::Remove, .Path = path});
    return removed.Value != 0 ? 0 : FailureNumber(removed);
}

// FALSE passes the event on, so the process still ends as it would have.
BOOL WINAPI RemovePendingThenEnd(DWORD) {
    for (PendingFile& file : PendingFiles) {
        if (file.Pending) RemoveFile(file.Path);
    }
    return FALSE;
}

void SetPending(const std::string& path) {
    if (path.size() >= sizeof PendingFiles[0].Path) return;  // the create fails for it anyway
    for (PendingFile& file : PendingFiles) {
        if (file.Pending) continue;
        std::memcpy(file.Path, path.c_str(), path.size() + 1);
        file.Pending = true;
        return;
    }
}

void ClearPending(const std::string& path) {
    for (PendingFile& file : PendingFiles) {
        if (file.Pending && path == file.Path) file.Pending = false;
    }
}

// The folder part of path, with its separator or drive colon; empty for the current folder.
std::string FolderOf(const std::string& path) {
    std::size_t end = path.find_last_of("\\/");
    if (end == std::string::npos && path.size() >= 2 && path[1] == ':') end = 1;
    return end == std::string::npos ? std::string() : path.substr(0, end + 1);
}

bool IsDiskFile(const char* name) {
    WindowsCallResult opened = WindowsFileCall({.Kind = WindowsCallKind::Identify, .Path = name});
    if (opened.Value == reinterpret_cast<std::uintptr_t>(INVALID_HANDLE_VALUE)) {
        return true;  // the hold on it, taken next, tells what is wrong
    }
    void* handle = reinterpret_cast<void*>(opened.Value);
    WindowsCallResult type = WindowsFileCall({.Kind = WindowsCallKind::FileType, .Handle = handle});
    WindowsFileCall({.Kind = WindowsCallKind::Close, .Handle = handle});
    return type.LastError != 0 || type.Value == FILE_TYPE_DISK;
}

}  // namespace

// A link (any reparse point) is written straight into, as an output channel would: the link
// stays a link, though what it leads to is then not replaced whole.
std::uint8_t ChooseReplacementWay(const char* name, ReplacementWay* way, std::string* finalPath) {
    *finalPath = name;
    *way = ReplacementWay::Straight;
    WindowsCallResult looked = WindowsFileCall({.Kind = WindowsCallKind::Attributes, .Path = name});
    const auto attributes = static_cast<DWORD>(looked.Value);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (looked.LastError != ERROR_FILE_NOT_FOUND && looked.LastError != ERROR_PATH_NOT_FOUND) {
            return FailureNumber(looked);
        }
        *way = ReplacementWay::ThroughTemporary;  // a new file; a missing folder fails later
        return 0;
    }
    if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) return 0;
    // A device name ("NUL", "COM1") has attributes too.
    if (IsDiskFile(name)) *way = ReplacementWay::ThroughTemporary;
    return 0;
}

std::uint8_t CreateTemporaryBeside(const std::string& finalPath, std::string* temporaryPath,
                                   SystemFile* handle) {
    static unsigned serial = 0;
    const std::string folder = FolderOf(finalPath);
    if (!HandlerInstalled) HandlerInstalled = SetConsoleCtrlHandler(RemovePendingThenEnd, TRUE);
    WindowsCallResult opened{};
    for (int attempt = 0; attempt < NamesToTry; ++attempt) {
        *temporaryPath = folder + ".norvistrand-" + std::to_string(GetCurrentProcessId()) + "-" +
                         std::to_string(serial++) + ".tmp";
        // The path is noted first, so no event can come between the file and its note.
        SetPending(*temporaryPath);
        opened =
            WindowsFileCall({.Kind = WindowsCallKind::CreateNew, .Path = temporaryPath->c_str()});
        if (opened.Value != reinterpret_cast<std::uintptr_t>(INVALID_HANDLE_VALUE)) {
            *handle = static_cast<SystemFile>(opened.Value);
            return 0;
        }
        ClearPending(*temporaryPath);
        if (opened.LastError != ERROR_FILE_EXISTS && opened.LastError != ERROR_ALREADY_EXISTS) {
            break;
        }
    }
    temporaryPath->clear();
    return FailureNumber(opened);
}

// Nothing to copy: a new file takes the folder's inherited access and owner, as the replaced
// file did when it was made, and a read-only file is never replaced, since the hold for
// writing on it is refused.
std::uint8_t CopyOwnerAndPermissions(SystemFile, SystemFile) {
    return 0;
}

// Windows renames over no file that is open without deletion shared, ours included: the hold
// on the replaced file goes first.
std::uint8_t PutTemporaryInPlace(const std::string& temporaryPath, const std::string& finalPath,
                                 SystemFile* held) {
    if (*held != -1) {
        WindowsFileCall({.Kind = WindowsCallKind::Close, .Handle = reinterpret_cast<void*>(*held)});
        *held = -1;
    }
    WindowsCallResult renamed = WindowsFileCall({.Kind = WindowsCallKind::Rename,
                                                 .Path = temporaryPath.c_str(),
                                                 .NewPath = finalPath.c_str()});
    if (renamed.Value == 0) return FailureNumber(renamed);
    ClearPending(temporaryPath);
    return 0;
}

std::uint8_t RemoveTemporary(const std::string& temporaryPath) {
    std::uint8_t error = RemoveFile(temporaryPath.c_str());
    ClearPending(temporaryPath);
    return error;
}

std::uint8_t CreateTemporaryForInput(std::string* folder, std::string* temporaryPath,
                                     SystemFile* handle) {
    char named[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof named, named);
    if (length == 0 || length > MAX_PATH) return BadSystemName;
    *folder = std::string(named, length);
    return CreateTemporaryBeside(*folder + "input", temporaryPath, handle);
}

// ReadFile on the handle itself takes the bytes as they are: no C runtime text mode between.
SystemFile StandardInputFile() {
    return reinterpret_cast<SystemFile>(GetStdHandle(STD_INPUT_HANDLE));
}

bool StandardInputIsFile(const char* path) {
    BY_HANDLE_FILE_INFORMATION input{};
    BY_HANDLE_FILE_INFORMATION named{};
    void* const handle = GetStdHandle(STD_INPUT_HANDLE);
    const WindowsCallResult type =
        WindowsFileCall({.Kind = WindowsCallKind::FileType, .Handle = handle});
    if (type.LastError != 0 || type.Value != FILE_TYPE_DISK ||
        WindowsFileCall(
            {.Kind = WindowsCallKind::Information, .Handle = handle, .Information = &input})
                .LastError != 0) {
        return false;
    }
    const WindowsCallResult opened =
        WindowsFileCall({.Kind = WindowsCallKind::Identify, .Path = path});
    if (opened.Value == reinterpret_cast<std::uintptr_t>(INVALID_HANDLE_VALUE)) return false;
    void* const file = reinterpret_cast<void*>(opened.Value);
    const bool looked =
        WindowsFileCall(
            {.Kind = WindowsCallKind::Information, .Handle = file, .Information = &named})
            .LastError == 0;
    WindowsFileCall({.Kind = WindowsCallKind::Close, .Handle = file});
    return looked && input.dwVolumeSerialNumber == named.dwVolumeSerialNumber &&
           input.nFileIndexHigh == named.nFileIndexHigh &&
           input.nFileIndexLow == named.nFileIndexLow;
}

std::uint8_t ReadStandardInput(SystemFile handle, void* target, std::size_t count,
                               std::size_t* arrived) {
    WindowsCallResult got = WindowsFileCall({.Kind = WindowsCallKind::Read,
                                             .Handle = reinterpret_cast<void*>(handle),
                                             .Target = target,
                                             .Count = static_cast<std::uint32_t>(count)});
    *arrived = got.LastError == 0 ? static_cast<std::size_t>(got.Value) : 0;
    if (got.LastError == ERROR_BROKEN_PIPE || got.LastError == ERROR_HANDLE_EOF) return 0;
    return got.LastError == 0 ? 0 : FailureNumber(got);
}

SystemFile StandardOutputFile() {
    return reinterpret_cast<SystemFile>(GetStdHandle(STD_OUTPUT_HANDLE));
}

std::uint8_t WriteStandardOutput(SystemFile handle, const void* source, std::size_t count,
                                 std::size_t* taken) {
    WindowsCallResult written =
        WindowsFileCall({.Kind = WindowsCallKind::Write,
                         .Handle = reinterpret_cast<void*>(handle),
                         .Source = source,
                         .Count = static_cast<std::uint32_t>(count)});  // a buffer's worth
    *taken = written.LastError == 0 ? static_cast<std::size_t>(written.Value) : 0;
    if (written.LastError == ERROR_BROKEN_PIPE || written.LastError == ERROR_NO_DATA)
        return NoReader;
    return written.LastError == 0 ? 0 : FailureNumber(written);
}
