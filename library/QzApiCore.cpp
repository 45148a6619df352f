// QzApiCore.cpp: the core entry points (see the header).
#include "QzApiCore.h"

#include "QzWinLock.h"
#include "QzWinMessage.h"
#include "QzWinStartup.h"
#include "QzWinWindow.h"

namespace {

// The convention every entry point follows.
template <typename Operation>
int UnderLibraryLock(Operation operation) {
    EnterLibraryLock();
    int result = operation();
    LeaveLibraryLock();
    return result;
}

}  // namespace

int ApiInitializeLibrary() { return UnderLibraryLock([] { return InitializeLibrary(); }); }

int ApiTerminateLibrary() {
    int result = UnderLibraryLock([] { return TerminateLibrary(); });
    DestroyLibraryLock(false);
    return result;
}

int ApiProcessMessage() { return UnderLibraryLock([] { return ProcessMessage(); }); }
int ApiChangeWindowMode(int flag) { return UnderLibraryLock([flag] { return ChangeWindowMode(flag); }); }
int ApiSetWindowCaption(const char* text) { return UnderLibraryLock([text] { return SetWindowCaption(text); }); }
int ApiSetWindowResizableFlag(int flag) { return UnderLibraryLock([flag] { return SetWindowResizableFlag(flag); }); }
