// GameLoop.cpp: start-up after the library, the game, stage and frame loops, the end of a
// frame, and shutdown.
//
// One thread, one frame at a time: every frame is drawn and takes at least 17 ms, and a
// slow frame slows the game down; nothing is skipped.
#include "GameLoop.h"

#include <cstdint>

#include "FrontEnd.h"
#include "GameRules.h"
#include "GameTypes.h"
#include "PlayLoop.h"
#include "SaveFiles.h"
#include "SoundSetup.h"
#include "SpriteTables.h"
#include "StageDrawing.h"
#include "QzApi.h"

int EndFrame() {
    if (ApiProcessMessage() == -1) {
        GameState.quitRequest = 1;
        GameState.stageEnd = 1;
        GameState.quit = 1;
        GameState.stage = 0;
        return -1;
    }
    ApiPresentScreen();
    ApiSelectDrawTarget(-2);
    ApiClearDrawTarget();
    // The clock wraps every 49.7 days: the difference in 32 bits stays right across it.
    const uint32_t previous = static_cast<uint32_t>(GameState.frameClock);
    while (static_cast<uint32_t>(ApiGetMillisecondTime(0)) - previous <= 16) {
    }
    GameState.frameClock = ApiGetMillisecondTime(0);
    return 0;
}

bool QuitAsked() { return ApiGetKeyPressFlag(kKeyEscape) != 0 || GameState.quitRequest == 1; }

// Ends the stage and the game at once; the game loop then looks at Esc and the window.
static void AbandonStage() {
    GameState.stageEnd = 1;
    GameState.stage = 0;
}

void RunStageLoop() {
    while (GameState.stage > 0) {
        SetupStage();
        const int stage = GameState.stage;
        SwitchMusic(stage <= 3 ? 1 : stage <= 6 ? 2 : 3);
        LoadBackgroundSet(stage);
        while (GameState.stageEnd != 1) {
            UpdateFrameLogic();
            if (GameState.stage > 0) DrawStage();
            if (EndFrame() < 0) break;
            if (QuitAsked() || ApiGetKeyPressFlag(kKeySpace)) {
                AbandonStage();
                break;
            }
            FinishFrame();
        }
    }
}

static bool IndexesTables() {
    return GameState.mode >= 0 && GameState.mode < 2 && GameState.level >= 0 && GameState.level < 5;
}

void SaveGameResult() {
    const bool ended = GameState.result == 1 || GameState.result == 2;
    if (GameState.playMode != 0 || !ended || !IndexesTables() ||
        HiScoreTable[GameState.mode][GameState.level] >= GameState.score)
        return;
    HiScoreTable[GameState.mode][GameState.level] = GameState.score;
    SaveHiScore();
    SaveReplay();
}

void RunGameLoop() {
    while (GameState.quit == 0) {
        GameState.menuState = 0;
        RunFrontEnd();
        if (QuitAsked()) break;
        if (GameState.quit == 0) PlayEffect(kSoundBak3);
        SetupGame();
        RunStageLoop();
        if (QuitAsked()) break;
        SaveGameResult();
        if (GameState.result == 1 || (GameState.result == 2 && GameState.playMode != 0))
            ShowGameOver();
        else if (GameState.result == 2)
            ShowEnding();
    }
}

int RunGame() {
    ApiSetScreenMode(640, 480, 32, 60);
    CutStartupSheets();
    LoadHiScoreTable();
    LoadUnlockTable();
    BuildSinCosTables();
    // The list-pointer records are constant initialised beside the lists.
    PrimeMenuLatches();
    GameState.level = 1;
    UnlockSaver = SaveUnlock;
    SetupSound();
    RunGameLoop();
    ApiDeleteAllGraphs(0);
    if (GameState.soundMode != 0) ApiDeleteAllSounds(0);
    ApiTerminateLibrary();
    return 0;
}
