#pragma once
// The one gate every file system call of the module goes through on Windows. Around each call
// it switches the system's critical-error and open-file error boxes off (SetErrorMode 32769) and
// the previous mode back on, and clears the thread's last-error value before the call. A call has
// failed when the last-error value after it is not 0; FileErrorForSystemError gives the program's
// number for that value.
#include <cstdint>

enum class WindowsCallKind {
    Open,         // CreateFileA(Path, Access, 0, null, Disposition, FILE_ATTRIBUTE_NORMAL, null)
    Identify,     // CreateFileA(Path, 0, share all, null, OPEN_EXISTING, BACKUP_SEMANTICS, null)
    FileType,     // GetFileType(Handle)
    Read,         // ReadFile(Handle, Target, Count, &done, null)
    Write,        // WriteFile(Handle, Source, Count, &done, null)
    Seek,         // SetFilePointer(Handle, low part, &high part, FILE_BEGIN) of Offset
    EndHere,      // SetEndOfFile(Handle): the file ends at its file pointer
    Close,        // CloseHandle(Handle)
    Information,  // GetFileInformationByHandle(Handle, Information)
    Attributes,   // GetFileAttributesA(Path); the link itself, not what it leads to
    CreateNew,    // CreateFileA(Path, GENERIC_WRITE, FILE_SHARE_DELETE, null, CREATE_NEW,
                  //             FILE_ATTRIBUTE_NORMAL, null)
    Rename,       // MoveFileExA(Path, NewPath, MOVEFILE_REPLACE_EXISTING)
    Remove,       // DeleteFileA(Path)
};

// One call and its arguments; the fields its kind does not use are left alone.
struct WindowsCall {
    WindowsCallKind Kind;
    const char* Path = nullptr;     // NUL-terminated
    const char* NewPath = nullptr;  // NUL-terminated: the name a rename gives
    void* Handle = nullptr;         // a HANDLE
    std::uint32_t Access = 0;       // GENERIC_READ, GENERIC_WRITE or both
    std::uint32_t Disposition = 0;  // OPEN_EXISTING or OPEN_ALWAYS
    void* Target = nullptr;         // where a read puts its bytes
    const void* Source = nullptr;   // what a write takes
    std::uint32_t Count = 0;        // bytes
    std::int64_t Offset = 0;        // bytes from the start of the file
    void* Information = nullptr;    // a BY_HANDLE_FILE_INFORMATION
};

struct WindowsCallResult {
    std::uintptr_t Value;      // the handle an open gave, the file type, the bytes moved, or
                               // the call's own result
    std::uint32_t LastError;   // the thread's last-error value after the call; 0 when none
    std::uint8_t ErrorNumber;  // the program's number for LastError; 0 when LastError is 0
};

WindowsCallResult WindowsFileCall(const WindowsCall& call);

// The program's number for a system error value; every value without one of its own gives
// BadSystemName.
std::uint8_t FileErrorForSystemError(std::uint32_t lastError);
