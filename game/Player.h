// Player.h: input, the player's ship, its shots and napalm, and the destruction of
// enemies under its fire.
#pragma once

#include <cstdint>

#include "GameTypes.h"

// Input bits of a frame.
constexpr int32_t kPadDown = 0x01, kPadLeft = 0x02, kPadRight = 0x04, kPadUp = 0x08, kPadButton1 = 0x10,
                  kPadButton2 = 0x20;

int32_t ReadPlayInput();
int32_t ReadMenuInput();
void UpdatePlayer();
void UpdatePlayerShots();
void ClearShots(ShotTableRecord* table, int32_t n);
void AnimateShot(ShotTableRecord* table, int32_t slot, int32_t limit);
void DestroyGroundEnemy(CharaData* e);
void DestroyAirEnemy(CharaData* e);

// Replay bytes outside the buffer are neither stored nor read: a game past about an hour
// records nothing more and plays back no input.
void RecordReplayByte(int32_t frame, int32_t pad);
int32_t ReadReplayByte(int32_t frame);
