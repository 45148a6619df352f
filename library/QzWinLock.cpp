// QzWinLock.cpp: the library lock, recursive and strictly first-come. Any thread.
//
// Rules:
// - The owner may enter again; each enter is paired with one leave.
// - Once the lock is free and someone is queued, only the thread in slot 0 may take it;
//   everybody else, the thread that has just released it included, queues behind.
// - Which thread to wake is decided, and its event set, inside the critical section, so
//   the queue cannot move between the decision and the wake-up. A thread that wakes and
//   is not granted waits again in its own entry; no thread is ever queued twice.
// - A waiting thread's event is reset inside the critical section before it decides
//   again, so a wake-up decided after that decision cannot be lost.
// - Creation is serialised by one static mutex and the created flag is set last, so two
//   first callers never race; destroying and creating again works.
#include "QzWinLock.h"

#include <mutex>

namespace {

// Serialises creation and destruction of every lock.
std::mutex g_lockCreation;

bool IsCreated(const LibraryLockState* lock) { return __atomic_load_n(&lock->created, __ATOMIC_ACQUIRE) != 0; }

void EnsureCreated(LibraryLockState* lock, int capacity) {
    if (IsCreated(lock)) return;
    std::lock_guard<std::mutex> hold(g_lockCreation);
    if (lock->created) return;
    for (int i = 0; i < capacity; i++) {
        lock->queue[i].threadId = 0;
        if (lock->queue[i].event == nullptr) lock->queue[i].event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    InitializeCriticalSection(&lock->section);
    lock->recursionCount = 0;
    lock->locked = 0;
    lock->owner = kLockNoOwner;
    lock->queueLength = 0;
    __atomic_store_n(&lock->created, 1, __ATOMIC_RELEASE);
}

int FindEntry(const LibraryLockState* lock, DWORD id) {
    for (int i = 0; i < lock->queueLength; i++)
        if (lock->queue[i].threadId == id) return i;
    return -1;
}

// Takes the entry at pos out: later entries move down one slot with their events, and
// the freed event goes to the slot that became free at the end.
void RemoveEntry(LibraryLockState* lock, int pos) {
    HANDLE freed = lock->queue[pos].event;
    for (int i = pos; i < lock->queueLength - 1; i++) lock->queue[i] = lock->queue[i + 1];
    lock->queue[lock->queueLength - 1].threadId = 0;
    lock->queue[lock->queueLength - 1].event = freed;
    lock->queueLength--;
}

void WakeFirst(LibraryLockState* lock) {
    if (lock->queueLength > 0 && lock->queue[0].event != nullptr) SetEvent(lock->queue[0].event);
}

// Decides, inside the critical section, whether the caller (at pos in the queue, or -1)
// gets the lock; when it does, it owns it on return.
bool TryGrant(LibraryLockState* lock, DWORD id, int pos) {
    bool granted = false;
    if (lock->locked && lock->owner == id) {
        granted = true;
    } else if (!lock->locked && lock->queueLength == 0) {
        granted = true;
    } else if (!lock->locked && pos == 0) {
        granted = true;
        RemoveEntry(lock, 0);
    }
    if (granted) {
        lock->locked = 1;
        lock->owner = id;
        lock->recursionCount++;
    }
    return granted;
}

// Puts the caller at the end of the queue with a fresh (not signalled) event. Returns
// its slot, or -1 when the queue is full.
int Queue(LibraryLockState* lock, int capacity, DWORD id) {
    if (lock->queueLength >= capacity) return -1;
    int pos = lock->queueLength;
    LockQueueSlot& slot = lock->queue[pos];
    slot.threadId = id;
    // A slot whose event could not be made at creation gets another chance; without one
    // its thread polls instead of waiting.
    if (slot.event == nullptr)
        slot.event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    else
        ResetEvent(slot.event);
    lock->queueLength++;
    return pos;
}

// The one enter protocol; quitFlag null: the application's form, which never gives up.
int EnterLock(LibraryLockState* lock, int capacity, const int* quitFlag) {
    auto quitting = [quitFlag] { return quitFlag != nullptr && __atomic_load_n(quitFlag, __ATOMIC_ACQUIRE) == 1; };
    DWORD id = GetCurrentThreadId();
    bool queued = false;
    for (;;) {
        EnterCriticalSection(&lock->section);
        int pos = queued ? FindEntry(lock, id) : -1;
        if (pos >= 0) {
            if (quitting()) {
                RemoveEntry(lock, pos);
                if (pos == 0 && !lock->locked) WakeFirst(lock);
                LeaveCriticalSection(&lock->section);
                return -1;
            }
            if (lock->queue[pos].event != nullptr) ResetEvent(lock->queue[pos].event);
        }
        if (TryGrant(lock, id, pos)) {
            LeaveCriticalSection(&lock->section);
            return 0;
        }
        if (pos < 0) {
            pos = Queue(lock, capacity, id);
            if (pos < 0) {
                // Full: retry every millisecond until a slot is free.
                LeaveCriticalSection(&lock->section);
                if (quitting()) return -1;
                Sleep(1);
                continue;
            }
            queued = true;
        }
        HANDLE event = lock->queue[pos].event;
        LeaveCriticalSection(&lock->section);

        if (event == nullptr) {
            Sleep(1);
            continue;
        }
        DWORD result;
        if (quitFlag == nullptr) {
            result = WaitForSingleObject(event, INFINITE);
        } else {
            // Slices, so that the quit flag is seen within a second.
            result = WaitForSingleObject(event, 0);
            while (result == WAIT_TIMEOUT && !quitting()) result = WaitForSingleObject(event, 1000);
        }
        if (result == WAIT_FAILED) Sleep(1);
    }
}

}  // namespace

void EnterLockCore(LibraryLockState* lock, int capacity) {
    EnsureCreated(lock, capacity);
    EnterLock(lock, capacity, nullptr);
}

int EnterLockCoreForMessageThread(LibraryLockState* lock, int capacity, const int* quitFlag) {
    // The start-up that started the message thread has already made the lock.
    if (!IsCreated(lock)) return -1;
    return EnterLock(lock, capacity, quitFlag);
}

void LeaveLockCore(LibraryLockState* lock, bool yieldAfterWake) {
    if (!IsCreated(lock)) return;
    DWORD id = GetCurrentThreadId();
    EnterCriticalSection(&lock->section);
    // Only the owner gives a level back; anything else would free the lock under it.
    if (!lock->locked || lock->owner != id || lock->recursionCount <= 0) {
        LeaveCriticalSection(&lock->section);
        return;
    }
    bool woke = false;
    if (lock->recursionCount == 1) {
        lock->locked = 0;
        lock->owner = kLockNoOwner;
        if (lock->queueLength > 0) {
            WakeFirst(lock);
            woke = true;
        }
    }
    lock->recursionCount--;
    LeaveCriticalSection(&lock->section);
    if (woke && yieldAfterWake) Sleep(0);
}

int DestroyLockCore(LibraryLockState* lock, int capacity, bool onlyWhenIdle) {
    std::lock_guard<std::mutex> hold(g_lockCreation);
    if (!lock->created) return 0;
    if (onlyWhenIdle) {
        EnterCriticalSection(&lock->section);
        bool busy = lock->queueLength > 0;
        LeaveCriticalSection(&lock->section);
        if (busy) return 0;
    }
    __atomic_store_n(&lock->created, 0, __ATOMIC_RELEASE);
    for (int i = 0; i < capacity; i++) {
        if (lock->queue[i].event != nullptr) {
            CloseHandle(lock->queue[i].event);
            lock->queue[i].event = nullptr;
        }
        lock->queue[i].threadId = 0;
    }
    DeleteCriticalSection(&lock->section);
    return 1;
}

LockSnapshot ReadLockState(LibraryLockState* lock) {
    LockSnapshot snapshot{};
    if (!IsCreated(lock)) {
        snapshot.owner = lock->owner;
        return snapshot;
    }
    EnterCriticalSection(&lock->section);
    snapshot.created = 1;
    snapshot.locked = lock->locked;
    snapshot.owner = lock->owner;
    snapshot.recursionCount = lock->recursionCount;
    snapshot.queueLength = lock->queueLength;
    for (int i = 0; i < lock->queueLength && i < 16; i++) snapshot.queued[i] = lock->queue[i].threadId;
    LeaveCriticalSection(&lock->section);
    return snapshot;
}

// ---- the library's lock --------------------------------------------------------------------

void EnterLibraryLock() { EnterLockCore(&g_windowSystem.lock, kLibraryLockSlots); }

void LeaveLibraryLock() { LeaveLockCore(&g_windowSystem.lock, true); }

int EnterLibraryLockForMessageThread(const int* quitFlag) {
    return EnterLockCoreForMessageThread(&g_windowSystem.lock, kLibraryLockSlots, quitFlag);
}

void LeaveLibraryLockForMessageThread() { LeaveLockCore(&g_windowSystem.lock, false); }

int DestroyLibraryLock(bool onlyWhenIdle) { return DestroyLockCore(&g_windowSystem.lock, kLibraryLockSlots, onlyWhenIdle); }
