// QzApi.h: the library as the game sees it. Every call takes the library lock, runs one
// library operation with its arguments unchanged, releases the lock and returns the
// operation's result unchanged, so any thread may call while the library's message
// thread runs. This header includes no platform header.
#pragma once

#include <cstdint>

// ---- start-up, messages, window, time, keyboard and pads ----------------------------
int ApiInitializeLibrary();                 // 0, or -1
int ApiTerminateLibrary();                  // 0; the lock goes too, and the next call makes it again
int ApiProcessMessage();                    // 0, or -1 once the window is gone
int ApiChangeWindowMode(int flag);          // 1 window mode, 0 full screen
int ApiSetWindowCaption(const char* text);  // 0
int ApiSetWindowResizableFlag(int flag);    // 0
int ApiGetMillisecondTime(int unused);      // milliseconds, 32 bits, wrapping
int ApiGetKeyPressFlag(int code);           // DirectInput key code 0-255: 1 while held
int ApiGetPadInputBits(int type);           // pad 1-8 (0 none), plus 0x1000 for the keyboard

// ---- screen and graphics ------------------------------------------------------------
int ApiSetScreenMode(int width, int height, int bits, int refresh);  // 0, -1, or -2 after the fallback
uint32_t ApiGetScreenColorValue(int r, int g, int b);               // in the screen's format
int ApiPresentScreen();                                             // 0, or -1
int ApiSelectDrawTarget(int target);  // -2 back screen, -4 front screen, or a graphic
int ApiClearDrawTarget();             // 0
int ApiLoadFileToGraph(const char* fileName);  // a graphic handle, or -1
// Cuts a sheet into total pieces, xCount across and yCount down, into handles[total].
int ApiLoadFileToDivGraph(const char* fileName, int total, int xCount, int yCount, int pieceWidth,
                          int pieceHeight, int* handles);
int ApiDeriveGraph(int x, int y, int width, int height, int source);  // a graphic handle, or -1
int ApiDeleteOneGraph(int handle, int logFlag);                      // 0, or -1
int ApiDeleteAllGraphs(int logFlag);                                 // 0
int ApiDrawPlainGraph(int x, int y, int handle, int transparent);
int ApiDrawScaleRotateGraph(int x, int y, double scale, double angle, int handle, int transparent,
                            int mirror);
int ApiDrawRectangle(int x1, int y1, int x2, int y2, uint32_t color, int fill);
int ApiSetBlendMode(int mode, int parameter);  // 0 none, 1 alpha, 2 add, 3 subtract, 4 multiply

// ---- sound and music ----------------------------------------------------------------
int ApiSetSoundSystemMode(int mode);  // 0 sound with MIDI by the player, 1 the music system
int ApiDeleteAllSounds(int ignored);
int ApiLoadFileToSound(const char* fileName, int copies);  // a sound handle, or -1
int ApiSetSoundHandleVolume(int volume, int handle);      // volume 0-10000 first
// Play type 0 waits until done, 1 plays in the background, 3 loops.
int ApiPlaySoundHandle(int handle, int playType, int fromTop);
int ApiStopSoundHandle(int handle);
int ApiPlaySingleSoundFile(const char* fileName, int playType);
int ApiStopSingleSoundFile();
int ApiPlaySingleMusicFile(const char* fileName, int playType);
int ApiStopSingleMusicFile();
