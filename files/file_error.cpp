#include "files/file_error.h"

#include <cassert>

#include "files/channels.h"

namespace {

// 0 means no error; a failure sets it and it stays until taken.
std::uint8_t FileErrorNumber = 0;

}  // namespace

void SetFileError(std::uint8_t number) {
    assert(number != 0);
    FileErrorNumber = number;
}

std::string_view ErrorMeaning(std::uint8_t number) {
    switch (number) {
        case NoMemory:
            return "out of memory";
        case DiskFull:
            return "no space left on device";
        case FileNotFound:
            return "no such file";
        case PathNotFound:
            return "no such folder";
        case TooManyFiles:
            return "too many open files";
        case AccessRefused:
            return "permission denied";
        case DeviceNotReady:
        case DeviceUnavailable:
            return "no such device";
        case DeviceIoError:
            return "input/output error";
        case DeviceWriteShort:
            return "short write";
        case RenameAcrossDisks:
            return "on another disk";
        case BadFileName:
        case BadSystemName:
            return "not a usable name";
        default:
            return "system error";
    }
}

[[gnu::hot]] std::uint8_t TakeFileError() {
    std::uint8_t number = FileErrorNumber;
    FileErrorNumber = 0;
    return number;
}
