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

std::uint8_t TakeFileError() {
    std::uint8_t number = FileErrorNumber;
    FileErrorNumber = 0;
    return number;
}
