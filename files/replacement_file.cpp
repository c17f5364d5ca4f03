#include "files/replacement_file.h"

#include <algorithm>
#include <new>

#include "files/file_error.h"
#include "files/file_system.h"
#include "files/replacement_system.h"

namespace {

constexpr SystemFile NoFile = -1;

// The name as the system takes it; the channels' rules for a name hold here too.
bool UsableName(std::string_view name) {
    return !name.empty() && name.size() <= ChannelNameLimit &&
           name.find_first_of(std::string_view("*?\0", 3)) == std::string_view::npos;
}

void CloseIfOpen(SystemFile& handle) {
    if (handle != NoFile) CloseSystemFile(handle);
    handle = NoFile;
}

void Fail(ReplacementFile& file, std::uint8_t error) {
    if (file.Error == 0) file.Error = error;
}

// Opens what the bytes go into: a temporary file beside a file that can be replaced whole, the
// name itself for anything else.
std::uint8_t OpenTarget(ReplacementFile& file, const char* name) {
    ReplacementWay way = ReplacementWay::Straight;
    if (std::uint8_t error = ChooseReplacementWay(name, &way, &file.FinalPath); error != 0) {
        return error;
    }
    ChannelKind kind = ChannelKind::DiskFile;
    if (way == ReplacementWay::Straight) {
        return OpenSystemFile(file.FinalPath.c_str(), OpenMode::Output, &file.Handle, &kind);
    }
    // The file that is there now is held, as any channel holds its file, until it is replaced:
    // one that another program holds is not replaced.
    std::uint8_t held = OpenSystemFile(file.FinalPath.c_str(), OpenMode::Test, &file.Held, &kind);
    const bool missing = held == FileNotFound || held == PathNotFound;
    if (held != 0 && !missing) return held;  // a missing file is fine
    if (std::uint8_t error =
            CreateTemporaryBeside(file.FinalPath, &file.TemporaryPath, &file.Handle);
        error != 0) {
        return error;
    }
    if (file.Held != NoFile) return CopyPermissions(file.Held, file.Handle);
    return 0;
}

}  // namespace

void BeginReplacement(ReplacementFile& file, std::string_view name) {
    file = ReplacementFile{{}, {}, NoFile, NoFile, false, nullptr, 0, 0};
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
    if (std::uint8_t error = OpenTarget(file, path.c_str()); error != 0) {
        Fail(file, error);
        AbandonReplacement(file);
    }
}

void BeginStandardOutput(ReplacementFile& file) {
    file = ReplacementFile{{}, {}, StandardOutputFile(), NoFile, true, nullptr, 0, 0};
    file.Buffer = new (std::nothrow) char[ReplacementBufferSize];
    if (file.Buffer == nullptr) Fail(file, NoMemory);
}

void DrainReplacementBuffer(ReplacementFile& file) {
    std::size_t done = 0;
    while (file.Error == 0 && done < file.Used) {
        std::size_t taken = 0;
        std::uint8_t error =
            file.Borrowed
                ? WriteStandardOutput(file.Handle, file.Buffer + done, file.Used - done, &taken)
                : WriteSystemFile(file.Handle, file.Buffer + done, file.Used - done, &taken);
        if (error == 0 && taken == 0) error = DiskFull;
        if (error != 0) Fail(file, error);
        done += taken;
    }
    file.Used = 0;
}

void AppendToReplacement(ReplacementFile& file, std::string_view bytes) {
    while (!bytes.empty() && file.Error == 0) {
        if (file.Used == ReplacementBufferSize) DrainReplacementBuffer(file);
        const std::size_t piece = std::min(bytes.size(), ReplacementBufferSize - file.Used);
        std::memcpy(file.Buffer + file.Used, bytes.data(), piece);
        file.Used += piece;
        bytes.remove_prefix(piece);
    }
}

std::uint8_t FinishReplacement(ReplacementFile& file) {
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
    if (!file.TemporaryPath.empty()) {
        if (std::uint8_t error =
                PutTemporaryInPlace(file.TemporaryPath, file.FinalPath, &file.Held);
            error != 0) {
            Fail(file, error);
            AbandonReplacement(file);
            return file.Error;
        }
        file.TemporaryPath.clear();
    }
    AbandonReplacement(file);  // releases the hold and the buffer; nothing is left to remove
    return 0;
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
