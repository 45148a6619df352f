// WinMain.cpp: the program's entry, called by the platform's main. Until the game's own
// start-up exists it opens the library's window, pumps its messages until the window is
// closed, and ends the library, making each call as an entry point.
#include "QzApi.h"

extern "C" int WinMain(void* instance, void* prevInstance, char* cmdLine, int showCmd) {
    (void)instance;
    (void)prevInstance;
    (void)cmdLine;
    (void)showCmd;
    ApiChangeWindowMode(1);
    if (ApiInitializeLibrary() == -1) return -1;
    while (ApiProcessMessage() != -1) {
    }
    ApiTerminateLibrary();
    return 0;
}
