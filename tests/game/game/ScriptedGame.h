// ScriptedGame.h: a game process's input script, played through the headless pass in the
// test's own process. The game is deterministic, so the pass tells on which frame the
// process will reach a point of the game, and the script can be timed to it.
#pragma once

#include <cstdint>

#include "GameRules.h"
#include "GameRun.h"
#include "GameTypes.h"

// A game of NORMAL ORIGINAL from `stage`, playing ReplayBuffer back with sound off: the
// headless pass then calls no entry point. SetupGame comes next.
inline void StartHeadlessGame(int stage) {
    GameState = GameStateRecord{};
    GameState.soundMode = 0;
    GameState.playMode = 1;
    GameState.mode = 0;
    GameState.level = 1;
    GameState.stage = stage;
    BuildSinCosTables();
}
