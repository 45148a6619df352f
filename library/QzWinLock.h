// QzWinLock.h: the library lock. One recursive lock serialises the whole library
// between the application's thread and the library's message thread, handing over in
// strict first-come order: a thread that finds it taken queues and sleeps on the event
// of its queue slot until the releasing thread wakes the first in line.
//
// The core works on any LibraryLockState with a queue capacity of its own (at most
// kLibraryLockSlots), so that tests can fill a small queue; the library's lock is the
// one in WindowSystemState with the full capacity.
#pragma once

#include "QzWinState.h"

// ---- the library's lock ------------------------------------------------------------------
void EnterLibraryLock();
void LeaveLibraryLock();
// The message thread's forms: they never create the lock, wait in 1000-ms slices and
// give up when *quitFlag becomes 1 (then -1, not owning the lock; else 0, owning it).
// The release does not yield.
int EnterLibraryLockForMessageThread(const int* quitFlag);
void LeaveLibraryLockForMessageThread();
// Closes the events and the critical section. With onlyWhenIdle, nothing is destroyed
// while a thread is queued (the fatal path, where the message thread may be waiting).
// Returns 1 when destroyed, 0 otherwise (not created, or still in use).
int DestroyLibraryLock(bool onlyWhenIdle);

// ---- the core ------------------------------------------------------------------------------
void EnterLockCore(LibraryLockState* lock, int capacity);
int EnterLockCoreForMessageThread(LibraryLockState* lock, int capacity, const int* quitFlag);
// Gives one level back. A leave by a thread that does not own the lock, or at count 0,
// is ignored. yieldAfterWake: Sleep(0) after waking the next thread.
void LeaveLockCore(LibraryLockState* lock, bool yieldAfterWake);
int DestroyLockCore(LibraryLockState* lock, int capacity, bool onlyWhenIdle);

// A consistent copy of the lock's fields, read under its critical section.
struct LockSnapshot {
    int created;
    int locked;
    DWORD owner;
    int recursionCount;
    int queueLength;
    DWORD queued[16];  // the ids in the first sixteen slots
};
LockSnapshot ReadLockState(LibraryLockState* lock);
