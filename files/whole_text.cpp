#include "files/whole_text.h"

#include "files/channels.h"
#include "files/file_error.h"
#include "files/file_system.h"
#include "files/replacement_system.h"

namespace {

constexpr std::size_t ChunkSize = 64 * 1024;

enum class Source { File, StandardInput };

std::uint8_t ReadChunk(Source source, SystemFile handle, char* target, std::size_t* arrived) {
    return source == Source::StandardInput ? ReadStandardInput(handle, target, ChunkSize, arrived)
                                           : ReadSystemFile(handle, target, ChunkSize, arrived);
}

// Reads until the end; the failure's number, else 0.
std::uint8_t ReadAll(Source source, SystemFile handle, std::string& bytes) {
    for (;;) {
        const std::size_t before = bytes.size();
        bytes.resize(before + ChunkSize);
        std::size_t arrived = 0;
        const std::uint8_t error = ReadChunk(source, handle, bytes.data() + before, &arrived);
        bytes.resize(before + arrived);
        if (error != 0) return error;
        if (arrived == 0) return 0;
    }
}

WholeText Failure(std::uint8_t error) {
    return WholeText{.Bytes = {}, .Error = error, .Cause = std::string(FailureCause(error))};
}

}  // namespace

WholeText ReadWholeText(std::string_view path) {
    const std::string name(path);
    if (name.empty() || name.find('\0') != std::string::npos) return Failure(BadFileName);
    SystemFile handle = -1;
    if (std::uint8_t error = OpenSystemStream(name.c_str(), &handle); error != 0) {
        return Failure(error);
    }
    WholeText text{.Bytes = {}, .Error = 0, .Cause = {}};
    const std::uint8_t error = ReadAll(Source::File, handle, text.Bytes);
    CloseSystemFile(handle);
    return error != 0 ? Failure(error) : text;
}

WholeText ReadWholeStandardInput() {
    WholeText text{.Bytes = {}, .Error = 0, .Cause = {}};
    const std::uint8_t error = ReadAll(Source::StandardInput, StandardInputFile(), text.Bytes);
    return error != 0 ? Failure(error) : text;
}
