// QzApiCore.h: the core entry points of the library. Each takes the library lock, runs
// one library operation with its arguments unchanged, releases the lock and returns the
// operation's result; ApiTerminateLibrary then destroys the lock, which the next entry
// point creates again. Any thread. This header includes no platform header: the game
// reaches the library through it.
#pragma once

int ApiInitializeLibrary();          // 0, or -1
int ApiTerminateLibrary();           // 0
int ApiProcessMessage();             // 0, or -1 once the window is gone
int ApiChangeWindowMode(int flag);   // 1 window mode, 0 full screen
int ApiSetWindowCaption(const char* text);
int ApiSetWindowResizableFlag(int flag);
