// kernel/heap.cpp: the process heap over the C heap. Any thread.
#include <cstdlib>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "kernel/diag.h"

namespace {
// The heap handle only identifies the process heap; it names no kernel object.
int g_processHeapTag;
constexpr SIZE_T kLargestBlock = 0x7FFF0000;

// Blocks of up to 64 MiB stay in the heap once freed, as a Windows heap keeps its
// segments: loading a sound or picture allocates and frees blocks of megabytes, and
// the C heap's default maps each anew, paying a page fault per 4 KiB every time (a
// minute of PCM took 90 ms to load, nearly all of it in faults).
#if defined(__GLIBC__)
const bool g_heapTuned = [] {
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    return true;
}();
#endif
}  // namespace

HANDLE GetProcessHeap() { return &g_processHeapTag; }

LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
    if (heap != &g_processHeapTag) return kernel::Fail(ERROR_INVALID_HANDLE, LPVOID(nullptr));
    if (kernel::ConsumeFault("HeapAlloc")) return kernel::Fail(ERROR_NOT_ENOUGH_MEMORY, LPVOID(nullptr));
    // No block of a 32-bit program's heap can be this large; refusing it here also keeps
    // the sanitizers' allocator from ending the process over an absurd size.
    if (bytes > kLargestBlock) return kernel::Fail(ERROR_NOT_ENOUGH_MEMORY, LPVOID(nullptr));
    // A zero-byte block is still a distinct block, as on Windows.
    void* block = (flags & HEAP_ZERO_MEMORY) ? std::calloc(1, bytes ? bytes : 1) : std::malloc(bytes ? bytes : 1);
    if (!block) return kernel::Fail(ERROR_NOT_ENOUGH_MEMORY, LPVOID(nullptr));
    return block;
}

BOOL HeapFree(HANDLE heap, DWORD, LPVOID memory) {
    if (heap != &g_processHeapTag) return kernel::Fail(ERROR_INVALID_HANDLE, FALSE);
    std::free(memory);
    return TRUE;
}
