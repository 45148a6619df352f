// GameLoop.h: the game's start-up, its three nested loops and the end of every frame.
#pragma once

// DirectInput codes of the two keys the loops read themselves.
constexpr int kKeyEscape = 0x01;
constexpr int kKeySpace = 0x39;

// The whole program after the library has started: sheets, files, tables, latches,
// sound, the game loop and shutdown. Returns the exit code.
int RunGame();
// The game loop: front end, one game, the save and the result screen, until quit.
void RunGameLoop();
// After a normal game that ended (game over or all cleared) with a score strictly above
// the table's: the new hi-score and the game's replay are written.
void SaveGameResult();
// Stages one after another while stage > 0, each frame drawn and paced.
void RunStageLoop();
// Pumps messages, presents, clears the back screen and waits out the 17-ms frame.
// -1 when the window is gone (the quit values set, nothing presented).
int EndFrame();
// Esc held, or the window's close asked for.
bool QuitAsked();
