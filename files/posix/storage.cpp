#include "files/storage.h"

#include <cstdlib>

// calloc gives the zero-filled block at once.
void* ObtainZeroFilled(std::size_t count, std::size_t size) {
    return std::calloc(count, size);
}

void ReleaseZeroFilled(void* storage) {
    std::free(storage);
}
