#include "files/input_copy.h"

#include <algorithm>
#include <new>

#include "files/file_error.h"
#include "files/file_system.h"
#include "files/replacement_file.h"
#include "files/replacement_system.h"

namespace {

constexpr std::uint64_t NoLimit = UINT64_MAX;

// Reads from standard input and writes into the copy until the input ends (the copy is then
// whole) or limit bytes were copied. The file error number of the first failure, else 0;
// readFailed tells a failed read from a failed write.
std::uint8_t CopyBytes(InputCopy& copy, char* buffer, std::uint64_t limit, bool& readFailed) {
    const SystemFile input = StandardInputFile();
    for (std::uint64_t copied = 0; copied < limit;) {
        const auto asked = static_cast<std::size_t>(
            std::min<std::uint64_t>(ReplacementBufferSize, limit - copied));
        std::size_t arrived = 0;
        if (std::uint8_t error = ReadStandardInput(input, buffer, asked, &arrived); error != 0) {
            readFailed = true;
            return error;
        }
        if (arrived == 0) {
            copy.Whole = true;
            return 0;
        }
        for (std::size_t done = 0; done < arrived;) {
            std::size_t taken = 0;
            std::uint8_t error =
                WriteSystemFile(copy.Handle, buffer + done, arrived - done, &taken);
            if (error == 0 && taken == 0) error = DiskFull;
            if (error != 0) return error;
            done += taken;
        }
        copied += arrived;
    }
    return 0;
}

// Copies up to limit more bytes; a copy that is whole is closed, and a failed one removed.
void ContinueCopy(InputCopy& copy, std::uint64_t limit) {
    bool readFailed = false;
    char* buffer = new (std::nothrow) char[ReplacementBufferSize];
    copy.Error = buffer == nullptr ? NoMemory : CopyBytes(copy, buffer, limit, readFailed);
    delete[] buffer;
    if (copy.Handle != -1 && (copy.Whole || copy.Error != 0)) {
        const std::uint8_t closed = CloseSystemFile(copy.Handle);
        copy.Handle = -1;
        if (copy.Error == 0) copy.Error = closed;
    }
    if (copy.Error == 0) return;
    copy.Cause = FailureCause(copy.Error);
    // A copy that could not be made or written is the temporary folder's failure, not the
    // input's: it is named, so that TMPDIR can be set elsewhere.
    if (!readFailed && copy.Error != NoMemory && !copy.Folder.empty()) {
        copy.Cause += ": " + copy.Folder;
    }
    RemoveInputCopy(copy);
}

}  // namespace

InputCopy BeginInputCopy(std::uint64_t headBytes) {
    InputCopy copy{.Path = {}, .Error = 0, .Cause = {}, .Whole = false, .Handle = -1, .Folder = {}};
    copy.Error = CreateTemporaryForInput(&copy.Folder, &copy.Path, &copy.Handle);
    if (copy.Error != 0) {
        copy.Cause = FailureCause(copy.Error);
        if (copy.Error != NoMemory && !copy.Folder.empty()) copy.Cause += ": " + copy.Folder;
        if (copy.Handle != -1) CloseSystemFile(copy.Handle);
        copy.Handle = -1;
        RemoveInputCopy(copy);
        return copy;
    }
    ContinueCopy(copy, headBytes);
    return copy;
}

void FinishInputCopy(InputCopy& copy) {
    if (copy.Error == 0 && !copy.Whole) ContinueCopy(copy, NoLimit);
}

InputCopy CopyStandardInput() {
    InputCopy copy = BeginInputCopy(NoLimit);
    FinishInputCopy(copy);
    return copy;
}

bool InputIsFile(std::string_view path) {
    return StandardInputIsFile(std::string(path).c_str());
}

void RemoveInputCopy(InputCopy& copy) {
    if (copy.Handle != -1) CloseSystemFile(copy.Handle);
    copy.Handle = -1;
    if (!copy.Path.empty()) RemoveTemporary(copy.Path);
    copy.Path.clear();
}
