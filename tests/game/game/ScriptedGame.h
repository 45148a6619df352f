// ScriptedGame.h: a game process's input script, played through the headless pass in the
// test's own process. The game is deterministic, so the pass tells on which frame the
// process will reach a point of the game, and the script can be timed to it.
#pragma once

#include <algorithm>
#include <cstdint>

#include "GameRules.h"
#include "GameRun.h"
#include "GameTypes.h"

// The replay bytes a game started at present `firstFrame` reads from `script`: stage frame
// k (from 1) is present firstFrame + k - 1 and sees the keys of the presents before it;
// its byte is 32 + k.
inline void FillReplayFromScript(const gamerun::Script& script, int firstFrame) {
    std::fill(std::begin(ReplayBuffer), std::end(ReplayBuffer), 0);
    for (int k = 1; 32 + k < kReplayBytes; k++)
        ReplayBuffer[32 + k] = static_cast<uint8_t>(script.PadBits(firstFrame + k - 2));
}

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
