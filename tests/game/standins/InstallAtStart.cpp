// InstallAtStart.cpp: the game with the tests' stand-in behaviours, for the record-then-
// REPLAY run. The link wraps WinMain (-Wl,--wrap=WinMain): the platform's main calls this
// first, which puts the stand-ins into their dispatch entries, after every static
// initialiser (the game's own fill of the tables among them), then runs the game.
#include "StandIns.h"

extern "C" int __real_WinMain(void* instance, void* prevInstance, char* cmdLine, int showCmd);

extern "C" int __wrap_WinMain(void* instance, void* prevInstance, char* cmdLine, int showCmd) {
    InstallStandIns();
    return __real_WinMain(instance, prevInstance, cmdLine, showCmd);
}
