// QzApiCore.cpp: the entry points of start-up, messages, window settings, time, keyboard
// and pads.
#include "QzApi.h"
#include "QzApiCall.h"
#include "QzInput.h"
#include "QzWinLock.h"
#include "QzWinMessage.h"
#include "QzWinStartup.h"
#include "QzWinTime.h"
#include "QzWinWindow.h"

int ApiInitializeLibrary() { return UnderLibraryLock([] { return InitializeLibrary(); }); }

int ApiTerminateLibrary() {
    int result = UnderLibraryLock([] { return TerminateLibrary(); });
    DestroyLibraryLock(false);
    return result;
}

int ApiProcessMessage() { return UnderLibraryLock([] { return ProcessMessage(); }); }
int ApiChangeWindowMode(int flag) { return UnderLibraryLock([=] { return ChangeWindowMode(flag); }); }
int ApiSetWindowCaption(const char* text) { return UnderLibraryLock([=] { return SetWindowCaption(text); }); }
int ApiSetWindowResizableFlag(int flag) { return UnderLibraryLock([=] { return SetWindowResizableFlag(flag); }); }
int ApiGetMillisecondTime(int unused) { return UnderLibraryLock([=] { return GetMillisecondTime(unused); }); }
int ApiGetKeyPressFlag(int code) { return UnderLibraryLock([=] { return GetKeyPressFlag(code); }); }
int ApiGetPadInputBits(int type) { return UnderLibraryLock([=] { return GetPadInputBits(type); }); }
