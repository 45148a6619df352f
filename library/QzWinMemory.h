// QzWinMemory.h: the tracked allocator. Every heap block of the library's own code
// carries a header with its size, source file, line and id, and sits in one list of
// live blocks that the library dumps to the log at its end, so leaks show there.
// No lock of its own: callers hold the library lock.
#pragma once

#include "QzWinState.h"

// The caller's bytes, 16-byte aligned, or null (heap exhausted, or a size below 0 or
// above INT_MAX - kAllocHeaderSize). file may be null; line is kept as 16 bits.
void* AllocMemory(int size, const char* file, int line);
void* AllocZeroedMemory(int size, const char* file, int line);
// 0 for null, and for a pointer that is not a live tracked block or whose header is
// damaged (logged; nothing is freed); else HeapFree's result.
int FreeMemory(void* block);
int DumpAllocations();  // -1

int CheckAllAllocHeaders();                 // 0, or -1 at the first damaged header
int CheckAllocHeader(AllocHeader* header);  // 0, or -1 (logged) when the guard differs
void RefreshAllocGuard(AllocHeader* header);
int LogAllocRecord(AllocHeader* header);  // -1
int LogAllocTotal();                      // -1

void* AllocProcessHeap(int bytes);
int FreeProcessHeap(void* block);
