#pragma once
// The memory behind typed arrays, from the system: calloc and free on POSIX, GlobalAlloc with
// GMEM_ZEROINIT and GlobalFree on Windows (files/posix/storage.cpp, files/windows/storage.cpp).
#include <cstddef>

// Zero-filled storage for count elements of size bytes each; null when there is no memory.
void* ObtainZeroFilled(std::size_t count, std::size_t size);
// Gives back what ObtainZeroFilled gave.
void ReleaseZeroFilled(void* storage);
