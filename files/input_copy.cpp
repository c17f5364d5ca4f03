#include "files/input_copy.h"

#include <new>

#include "files/file_error.h"
#include "files/file_system.h"
#include "files/replacement_file.h"
#include "files/replacement_system.h"

namespace {

// Reads from standard input and writes into the copy until the input ends. The file error
// number of the first failure, else 0; readFailed tells a failed read from a failed write.
std::uint8_t CopyBytes(SystemFile copy, char* buffer, bool& readFailed) {
    const SystemFile input = StandardInputFile();
    for (;;) {
        std::size_t arrived = 0;
        if (std::uint8_t error = ReadStandardInput(input, buffer, ReplacementBufferSize, &arrived);
            error != 0) {
            readFailed = true;
            return error;
        }
        if (arrived == 0) return 0;
        for (std::size_t done = 0; done < arrived;) {
            std::size_t taken = 0;
            std::uint8_t error = WriteSystemFile(copy, buffer + done, arrived - done, &taken);
            if (error == 0 && taken == 0) error = DiskFull;
            if (error != 0) return error;
            done += taken;
        }
    }
}

}  // namespace

InputCopy CopyStandardInput() {
    InputCopy copy{.Path = {}, .Error = 0, .Cause = {}};
    SystemFile handle = -1;
    std::string folder;
    bool readFailed = false;
    copy.Error = CreateTemporaryForInput(&folder, &copy.Path, &handle);
    if (copy.Error == 0) {
        char* buffer = new (std::nothrow) char[ReplacementBufferSize];
        copy.Error = buffer == nullptr ? NoMemory : CopyBytes(handle, buffer, readFailed);
        delete[] buffer;
    }
    if (handle != -1) {
        const std::uint8_t closed = CloseSystemFile(handle);
        if (copy.Error == 0) copy.Error = closed;
    }
    if (copy.Error != 0) {
        copy.Cause = FailureCause(copy.Error);
        // A copy that could not be made or written is the temporary folder's failure, not the
        // input's: it is named, so that TMPDIR can be set elsewhere.
        if (!readFailed && copy.Error != NoMemory && !folder.empty()) copy.Cause += ": " + folder;
        RemoveInputCopy(copy);
    }
    return copy;
}

void RemoveInputCopy(InputCopy& copy) {
    if (!copy.Path.empty()) RemoveTemporary(copy.Path);
    copy.Path.clear();
}
