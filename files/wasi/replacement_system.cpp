// The replacement file's system steps over the page's files. Every name is replaced through
// a temporary file beside it, renamed over it once complete, as on POSIX; no signal can end
// the module half-way, so there is nothing to remove on one.
#include "files/replacement_system.h"

#include "files/file_error.h"
#include "files/file_system.h"
#include "files/wasi/page_files.h"
#include "platform/standard_streams.h"

namespace {

// The handle standard output stands under; the page's files have positive ones.
constexpr SystemFile StandardOutputHandle = 0;
constexpr SystemFile NoInputHandle = -1;

// The folder part of path, with its slash; empty for a name in the root.
std::string FolderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

std::uint8_t ChooseReplacementWay(const char* name, ReplacementWay* way, std::string* finalPath) {
    *finalPath = name;
    *way = IsSystemFolder(name) ? ReplacementWay::Straight : ReplacementWay::ThroughTemporary;
    return 0;
}

std::uint8_t CreateTemporaryBeside(const std::string& finalPath, std::string* temporaryPath,
                                   SystemFile* handle) {
    static unsigned serial = 0;
    ChannelKind kind = ChannelKind::DiskFile;
    *temporaryPath = FolderOf(finalPath) + ".norvistrand-" + std::to_string(serial++) + ".tmp";
    std::uint8_t error = OpenSystemFile(temporaryPath->c_str(), OpenMode::Output, handle, &kind);
    if (error != 0) temporaryPath->clear();
    return error;
}

// The page's files have no owner and no permissions.
std::uint8_t CopyOwnerAndPermissions(SystemFile, SystemFile) {
    return 0;
}

// The replaced file stays held through the rename, as on POSIX.
std::uint8_t PutTemporaryInPlace(const std::string& temporaryPath, const std::string& finalPath,
                                 SystemFile*) {
    return RenamePageFile(temporaryPath, finalPath) ? 0 : FileNotFound;
}

std::uint8_t RemoveTemporary(const std::string& temporaryPath) {
    RemovePageFile(temporaryPath);
    return 0;
}

// The page gives no standard input: it reads as empty, and its copy lies in the root.
std::uint8_t CreateTemporaryForInput(std::string*, std::string* temporaryPath, SystemFile* handle) {
    return CreateTemporaryBeside("input", temporaryPath, handle);
}

SystemFile StandardInputFile() {
    return NoInputHandle;
}

// The page hands over files by name only: standard input is never one of them.
bool StandardInputIsFile(const char*) {
    return false;
}

std::uint8_t ReadStandardInput(SystemFile, void*, std::size_t, std::size_t* arrived) {
    *arrived = 0;
    return 0;
}

SystemFile StandardOutputFile() {
    return StandardOutputHandle;
}

std::uint8_t WriteStandardOutput(SystemFile, const void* source, std::size_t count,
                                 std::size_t* taken) {
    const bool written =
        platform::WriteToStream(platform::StandardStream::Output,
                                std::string_view(static_cast<const char*>(source), count));
    *taken = written ? count : 0;
    return written ? 0 : NoReader;
}
