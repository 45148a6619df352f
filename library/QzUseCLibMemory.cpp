// QzUseCLibMemory.cpp: the library's byte fill, copy, move and compare.
// A count of 0 or less touches nothing. Pure functions; no state.
#include <cstring>

#include "QzUseCLib.h"

void* FillBytes(void* dst, int value, int count) {
    if (count > 0) std::memset(dst, value & 0xFF, static_cast<size_t>(count));
    return dst;
}

// Callers never pass areas that overlap with dst above src; memmove keeps even that
// case from being undefined.
void* CopyBytes(void* dst, const void* src, int count) {
    if (count > 0) std::memmove(dst, src, static_cast<size_t>(count));
    return dst;
}

void* MoveBytes(void* dst, const void* src, int count) {
    if (count > 0 && dst != src) std::memmove(dst, src, static_cast<size_t>(count));
    return dst;
}

int CompareBytes(const void* a, const void* b, int count) {
    if (count <= 0) return 0;
    return std::memcmp(a, b, static_cast<size_t>(count)) == 0 ? 0 : 1;
}
