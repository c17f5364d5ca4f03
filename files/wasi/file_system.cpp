// The channels' system steps over the page's files (files/wasi/page_files.h). There is one
// folder, the root: a name with a folder part names nothing. Exclusive access is the one
// handle a file may have; a second open of a file gives AccessRefused, and so does a read of
// a made file or a write to the page's. A made file is written from start to end only: a
// write elsewhere, or a cut, fails as a device that cannot move would.
#include "files/file_system.h"

#include <algorithm>
#include <string_view>

#include "files/file_error.h"
#include "files/wasi/page_files.h"

namespace {

// A missing name: FileNotFound in the root, PathNotFound where the folder is missing too.
std::uint8_t MissingNameError(std::string_view path) {
    return path.find('/') == std::string_view::npos ? FileNotFound : PathNotFound;
}

bool IsRoot(std::string_view path) {
    return path == "." || path == "./" || path == "/";
}

}  // namespace

std::uint8_t OpenSystemFile(const char* path, OpenMode mode, SystemFile* handle,
                            ChannelKind* kind) {
    const std::string_view name = path;
    if (IsRoot(name)) return AccessRefused;  // a folder is no file to open
    PageFile* file = FindPageFile(name);
    if (mode == OpenMode::Output) {
        if (file != nullptr && file->Open) return AccessRefused;
        if (file == nullptr && name.find('/') != std::string_view::npos) return PathNotFound;
        file = MakePageFile(name);
    }
    if (file == nullptr) return MissingNameError(name);
    if (file->FromPage && file->Size < 0) return AccessRefused;  // as a folder is on a disk
    if (file->Open || (mode != OpenMode::Output && !file->FromPage)) return AccessRefused;
    *handle = OpenPageFile(*file);
    *kind = ChannelKind::DiskFile;
    return 0;
}

std::uint8_t OpenSystemStream(const char* path, SystemFile* handle) {
    ChannelKind kind;
    return OpenSystemFile(path, OpenMode::Binary, handle, &kind);
}

std::uint8_t ReadSystemFile(SystemFile handle, void* target, std::size_t count,
                            std::size_t* arrived) {
    *arrived = 0;
    PageFile* file = HandleFile(handle);
    if (file == nullptr) return BadFileHandle;
    if (!file->FromPage) return AccessRefused;
    std::int64_t& pointer = *HandlePointer(handle);
    const std::int64_t left = std::max<std::int64_t>(file->Size - pointer, 0);
    const auto taken = static_cast<std::size_t>(std::min<std::int64_t>(left, count));
    if (taken > 0 && !ReadPage(*file, pointer, target, taken)) return DeviceIoError;
    pointer += static_cast<std::int64_t>(taken);
    *arrived = taken;
    return 0;
}

std::uint8_t WriteSystemFile(SystemFile handle, const void* source, std::size_t count,
                             std::size_t* taken) {
    *taken = 0;
    PageFile* file = HandleFile(handle);
    if (file == nullptr) return BadFileHandle;
    if (file->FromPage) return AccessRefused;
    std::int64_t& pointer = *HandlePointer(handle);
    if (pointer != file->Size) return DeviceIoError;
    if (count > 0) WritePage(*file, source, count);
    pointer += static_cast<std::int64_t>(count);
    *taken = count;
    return 0;
}

std::uint8_t SeekSystemFile(SystemFile handle, std::int64_t offset) {
    std::int64_t* pointer = HandlePointer(handle);
    if (pointer == nullptr) return BadFileHandle;
    if (offset < 0) return BadSystemName;
    *pointer = offset;
    return 0;
}

std::uint8_t CutSystemFile(SystemFile handle, std::int64_t offset) {
    PageFile* file = HandleFile(handle);
    if (file == nullptr) return BadFileHandle;
    return offset == file->Size ? 0 : DeviceIoError;
}

std::uint8_t CloseSystemFile(SystemFile handle) {
    return ClosePageFile(handle) ? 0 : BadFileHandle;
}

bool SameSystemFile(const char* a, const char* b) {
    const PageFile* first = FindPageFile(a);
    return first != nullptr && first == FindPageFile(b);
}

std::uint8_t HoldSystemFile(const char* path, SystemFile* handle) {
    PageFile* file = FindPageFile(path);
    if (file == nullptr) return MissingNameError(path);
    if (file->Open) return AccessRefused;
    *handle = OpenPageFile(*file);
    return 0;
}

std::uint8_t StampSystemFile(SystemFile handle, FileStamp* stamp) {
    const PageFile* file = HandleFile(handle);
    if (file == nullptr) return BadFileHandle;
    *stamp = FileStamp{file->Size, {file->Version, 0, file->Version, 0}};
    return 0;
}

std::uint8_t StampSystemPath(const char* path, FileStamp* stamp) {
    const PageFile* file = FindPageFile(path);
    if (file == nullptr) return MissingNameError(path);
    *stamp = FileStamp{file->Size, {file->Version, 0, file->Version, 0}};
    return 0;
}

std::string_view FailureCause(std::uint8_t error) {
    return ErrorMeaning(error);
}

bool IsSystemFolder(const char* path) {
    return IsRoot(path);
}

const char* const FolderSeparators = "/";
