// PlayLoop.h: the game and stage set-ups, one pass of the frame loop, and the state
// changes the stage drawing makes before and after it draws.
//
// A headless frame is RunFrameUpdate, then (where the window's loop ends its frame and
// reads its keys) FinishFrame. RunHeadlessFrame does both.
#pragma once

#include <cstdint>

// Game loop steps 3 and 5-7: seed 1, the rule set, the per-game reset, the practice values.
void SetupGame();
// Stage loop steps 1-3 and 5: lists cleared, per-stage values, the player placed.
void SetupStage();

// Frame loop steps 1-4: the counters, the freeze, every updater, the boss timer.
void UpdateFrameLogic();
// Steps 1-4 and the state changes of the stage drawing (step 5).
void RunFrameUpdate();
// Step 8: the stage ends 200 frames after the tally begins; past the last stage the game
// ends with result 2.
void FinishFrame();
void RunHeadlessFrame();

// The stage drawing's state changes. Before it draws, while the field is shown: the view's
// pan and the band scan that stops the scroll at the end marker.
void ApplyStageStateBeforeDraw();
// After it draws: shot frame 0 becomes 1 and the clear count runs; in the tally, the
// time-over branch, the unlock, the bonus on clearCount 201 and the count.
void ApplyStageStateAfterDraw();

// The tally's unlock decision: stage + 1 becomes the unlocked stage of this rule set and
// level. The file is written by UnlockSaver when one is installed.
void RecordUnlock();
extern void (*UnlockSaver)();
