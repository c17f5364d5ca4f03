#include "files/allocation.h"

bool ResizeBytes(ByteString& bytes, std::size_t size) {
    try {
        bytes.resize(size);
        return true;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    SetFileError(NoMemory);
    return false;
}
