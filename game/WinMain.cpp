// WinMain.cpp: the program's entry, called by the platform's main. It names the window,
// asks whether to run full screen, starts the library and hands over to the game.
#include "GameLoop.h"
#include "GameTypes.h"
#include "QzApi.h"
#include "QzApiDialog.h"

extern "C" int WinMain(void* instance, void* prevInstance, char* cmdLine, int showCmd) {
    (void)instance;
    (void)prevInstance;
    (void)cmdLine;
    (void)showCmd;
    ApiSetWindowCaption("ZARNOVIK");
    GameState.quitRequest = 0;
    if (MessageBoxA(nullptr, "FULL SCREEN GO", "フルスクリーンで起動しますか？", MB_YESNO | MB_ICONQUESTION) != IDYES) {
        ApiChangeWindowMode(1);
        ApiSetWindowResizableFlag(1);
    }
    if (ApiInitializeLibrary() == -1) return -1;
    return RunGame();
}
