#include "files/storage.h"

#include <windows.h>

// GMEM_ZEROINIT without GMEM_MOVEABLE is fixed memory: the handle is the block's address.
void* ObtainZeroFilled(std::size_t count, std::size_t size) {
    return GlobalAlloc(GMEM_ZEROINIT, count * size);
}

void ReleaseZeroFilled(void* storage) {
    GlobalFree(storage);
}
