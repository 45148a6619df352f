// QzApiCall.h: the one convention of the entry points, written once so that none can
// forget to release the lock.
#pragma once

#include "QzWinLock.h"

// Holds the library lock for its lifetime.
class LibraryLockHold {
public:
    LibraryLockHold() { EnterLibraryLock(); }
    ~LibraryLockHold() { LeaveLibraryLock(); }
    LibraryLockHold(const LibraryLockHold&) = delete;
    LibraryLockHold& operator=(const LibraryLockHold&) = delete;
};

// Takes the library lock, runs the operation, releases the lock and hands back the
// operation's result untouched, whatever its type.
template <typename Operation>
auto UnderLibraryLock(Operation operation) {
    LibraryLockHold hold;
    return operation();
}
