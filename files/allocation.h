#pragma once
// Growing the module's strings and tables without exceptions: want of memory sets NoMemory and
// gives false, with the string or table as it was. A build without exceptions (the web page's
// module) cannot catch the want of memory: there it ends the module.
#include <cstddef>
#include <new>
#include <stdexcept>
#include <vector>

#include "files/byte_string.h"
#include "files/file_error.h"

// The string holds size bytes, new ones 0.
bool ResizeBytes(ByteString& bytes, std::size_t size);

// Room for one more item, so the next push_back cannot fail.
template <class Item>
bool ReserveOneMore(std::vector<Item>& items) {
#if defined(__cpp_exceptions)
    try {
        items.reserve(items.size() + 1);
        return true;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    SetFileError(NoMemory);
    return false;
#else
    items.reserve(items.size() + 1);
    return true;
#endif
}
