// FrontEnd.h: the menus, the game-over screen and the ending.
#pragma once

// At start-up: an input held now (button 1 or a direction) does not act in the first menu
// until it has been released.
void PrimeMenuLatches();
// The title menu, LEVEL SELECTION and STAGE SELECT, one frame at a time. Returns with the
// game to start set (stage, playMode, mode, level, practice values), or with quit = 1,
// stageEnd = 1 and stage = 0.
void RunFrontEnd();
// 200 frames; the last EndFrame result.
int ShowGameOver();
// "COMPLETED!", the credits, then the scores up to frame 1800. Esc or Space skips to the
// scores, which run on from the current frame.
void ShowEnding();
