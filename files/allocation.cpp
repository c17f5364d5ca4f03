#include "files/allocation.h"

bool ResizeBytes(ByteString& bytes, std::size_t size) {
#if defined(__cpp_exceptions)
    try {
        bytes.resize(size);
        return true;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    SetFileError(NoMemory);
    return false;
#else
    bytes.resize(size);
    return true;
#endif
}
