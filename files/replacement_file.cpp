#include "files/replacement_file.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "files/file_error.h"
#include "files/file_system.h"
#include "files/replacement_system.h"

namespace {

constexpr SystemFile NoFile = -1;

// The name as the system takes it; the channels' rules for a name hold here too, but their
// limit on its length: a folder and a name may make a longer path, which no channel opens.
bool UsableName(std::string_view name) {
    return !name.empty() &&
           name.find_first_of(std::string_view("*?\0", 3)) == std::string_view::npos;
}

// A replacement file with nothing written yet, into handle when one is given.
ReplacementFile NothingWritten(SystemFile handle) {
    return ReplacementFile{.FinalPath = {},
                           .TemporaryPath = {},
                           .Handle = handle,
                           .Held = NoFile,
                           .Borrowed = false,
                           .Buffer = nullptr,
                           .Used = 0,
                           .Drained = 0,
                           .Error = 0,
                           .Cause = {},
                           .FailedPath = {}};
}

void CloseIfOpen(SystemFile& handle) {
    if (handle != NoFile) CloseSystemFile(handle);
    handle = NoFile;
}

// Keeps the first failure, with its cause and the path it happened to (none for a write).
void Fail(ReplacementFile& file, std::uint8_t error, const std::string& path = {}) {
    if (file.Error != 0) return;
    file.Error = error;
    file.Cause = FailureCause(error);
    file.FailedPath = path;
}

// From here on the bytes go into the held file itself, emptied first.
std::uint8_t WriteInPlace(ReplacementFile& file) {
    if (std::uint8_t error = SeekSystemFile(file.Held, 0); error != 0) return error;
    if (std::uint8_t error = CutSystemFile(file.Held, 0); error != 0) return error;
    file.Handle = file.Held;
    file.Held = NoFile;
    return 0;
}

// Anything that is no regular file is written straight into, as an output channel would.
std::uint8_t OpenStraight(ReplacementFile& file) {
    ChannelKind kind = ChannelKind::DiskFile;
    return OpenSystemFile(file.FinalPath.c_str(), OpenMode::Output, &file.Handle, &kind);
}

// The file that is there now is held for writing, as the output channel would hold it, until
// it is replaced: one that cannot be written, or that another program holds, is not replaced.
// A missing file is fine.
std::uint8_t HoldPresentFile(ReplacementFile& file) {
    const std::uint8_t held = HoldSystemFile(file.FinalPath.c_str(), &file.Held);
    return held == FileNotFound ? 0 : held;
}

// A temporary file beside the final one, with the held file's owner and permissions.
std::uint8_t MakeTemporary(ReplacementFile& file) {
    std::uint8_t made = CreateTemporaryBeside(file.FinalPath, &file.TemporaryPath, &file.Handle);
    if (made == 0 && file.Held != NoFile) made = CopyOwnerAndPermissions(file.Held, file.Handle);
    return made;
}

void DropTemporary(ReplacementFile& file) {
    CloseIfOpen(file.Handle);
    if (!file.TemporaryPath.empty()) RemoveTemporary(file.TemporaryPath);
    file.TemporaryPath.clear();
}

// Opens what the bytes go into: a temporary file beside a file that can be replaced whole,
// the held file itself when it cannot, the name itself for anything that is no regular file.
void OpenTarget(ReplacementFile& file, const char* name) {
    ReplacementWay way = ReplacementWay::Straight;
    if (std::uint8_t error = ChooseReplacementWay(name, &way, &file.FinalPath); error != 0) {
        Fail(file, error, name);
        return;
    }
    const std::string& path = file.FinalPath;
    if (way == ReplacementWay::Straight) {
        if (std::uint8_t error = OpenStraight(file); error != 0) Fail(file, error, path);
        return;
    }
    if (std::uint8_t error = HoldPresentFile(file); error != 0) {
        Fail(file, error, path);
        return;
    }
    if (way == ReplacementWay::ThroughTemporary || file.Held == NoFile) {
        const std::uint8_t made = MakeTemporary(file);
        if (made == 0) return;
        if (file.Held == NoFile) {
            Fail(file, made, path);
            return;
        }
        // No temporary file here (a folder the user cannot write to): written in place.
        DropTemporary(file);
    }
    if (std::uint8_t error = WriteInPlace(file); error != 0) Fail(file, error, path);
}

// For a file that cannot be renamed over (a sticky folder, a mount point): the complete
// temporary file's bytes are copied into the held file, emptied first.
std::uint8_t CopyIntoHeld(ReplacementFile& file) {
    SystemFile source = NoFile;
    ChannelKind kind = ChannelKind::DiskFile;
    if (std::uint8_t error =
            OpenSystemFile(file.TemporaryPath.c_str(), OpenMode::Binary, &source, &kind);
        error != 0) {
        return error;
    }
    std::uint8_t error = WriteInPlace(file);
    while (error == 0) {
        std::size_t arrived = 0;
        error = ReadSystemFile(source, file.Buffer, ReplacementBufferSize, &arrived);
        if (error != 0 || arrived == 0) break;
        file.Used = arrived;
        DrainReplacementBuffer(file);
        error = file.Error;
    }
    CloseSystemFile(source);
    if (error == 0) {
        error = CloseSystemFile(file.Handle);
        file.Handle = NoFile;
    }
    return error;
}

}  // namespace

ReplacementFile UnopenedReplacement() {
    return NothingWritten(NoFile);
}

void BeginReplacement(ReplacementFile& file, std::string_view name) {
    file = NothingWritten(NoFile);
    if (!UsableName(name)) {
        Fail(file, name.find('\0') != std::string_view::npos ? BadSystemName : BadFileName);
        return;
    }
    file.Buffer = new (std::nothrow) char[ReplacementBufferSize];
    if (file.Buffer == nullptr) {
        Fail(file, NoMemory);
        return;
    }
    std::string path(name);
    OpenTarget(file, path.c_str());
    if (file.Error != 0) AbandonReplacement(file);
}

void BeginStandardOutput(ReplacementFile& file) {
    file = NothingWritten(StandardOutputFile());
    file.Borrowed = true;
    file.Buffer = new (std::nothrow) char[ReplacementBufferSize];
    if (file.Buffer == nullptr) Fail(file, NoMemory);
}

namespace {

// Writes the bytes to the file, going on after partial writes; a failure is the file's.
void WriteOut(ReplacementFile& file, const char* bytes, std::size_t size) {
    std::size_t done = 0;
    while (file.Error == 0 && done < size) {
        std::size_t taken = 0;
        std::uint8_t error =
            file.Borrowed ? WriteStandardOutput(file.Handle, bytes + done, size - done, &taken)
                          : WriteSystemFile(file.Handle, bytes + done, size - done, &taken);
        if (error == 0 && taken == 0) error = DiskFull;
        if (error != 0) Fail(file, error);
        done += taken;
    }
    file.Drained += done;
}

}  // namespace

void DrainReplacementBuffer(ReplacementFile& file) {
    WriteOut(file, file.Buffer, file.Used);
    file.Used = 0;
}

void AppendToReplacement(ReplacementFile& file, std::string_view bytes) {
    // A buffer's worth or more goes out from where it is, after what the buffer holds.
    if (bytes.size() >= ReplacementBufferSize && file.Error == 0) {
        DrainReplacementBuffer(file);
        WriteOut(file, bytes.data(), bytes.size());
        return;
    }
    while (!bytes.empty() && file.Error == 0) {
        if (file.Used == ReplacementBufferSize) DrainReplacementBuffer(file);
        const std::size_t piece = std::min(bytes.size(), ReplacementBufferSize - file.Used);
        std::memcpy(file.Buffer + file.Used, bytes.data(), piece);
        file.Used += piece;
        bytes.remove_prefix(piece);
    }
}

std::uint8_t CompleteReplacement(ReplacementFile& file) {
    if (file.Error == 0) DrainReplacementBuffer(file);
    if (file.Error != 0) {
        AbandonReplacement(file);
        return file.Error;
    }
    std::uint8_t closed = file.Borrowed ? 0 : CloseSystemFile(file.Handle);
    file.Handle = NoFile;
    if (closed != 0) {
        Fail(file, closed);
        AbandonReplacement(file);
        return file.Error;
    }
    return 0;
}

std::uint8_t PutReplacementInPlace(ReplacementFile& file) {
    if (!file.TemporaryPath.empty()) {
        std::uint8_t error = PutTemporaryInPlace(file.TemporaryPath, file.FinalPath, &file.Held);
        const bool copy = error != 0 && file.Held != NoFile;
        if (copy) error = CopyIntoHeld(file);
        if (error != 0) {
            Fail(file, error, file.FinalPath);
            AbandonReplacement(file);
            return file.Error;
        }
        if (copy) RemoveTemporary(file.TemporaryPath);
        file.TemporaryPath.clear();
    }
    AbandonReplacement(file);  // releases the hold and the buffer; nothing is left to remove
    return 0;
}

std::uint8_t FinishReplacement(ReplacementFile& file) {
    const std::uint8_t completed = CompleteReplacement(file);
    return completed != 0 ? completed : PutReplacementInPlace(file);
}

void AbandonReplacement(ReplacementFile& file) {
    if (file.Borrowed) file.Handle = NoFile;
    CloseIfOpen(file.Handle);
    if (!file.TemporaryPath.empty()) RemoveTemporary(file.TemporaryPath);
    file.TemporaryPath.clear();
    CloseIfOpen(file.Held);
    delete[] file.Buffer;
    file.Buffer = nullptr;
    file.Used = 0;
}
