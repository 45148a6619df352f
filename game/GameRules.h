// GameRules.h: the generator, the angle tables and the small rule and math functions that
// the player, the spawners and every enemy behaviour call. Replays depend on each of them
// value for value.
#pragma once

#include <cstdint>

#include "GameTypes.h"

// ---- random generator ------------------------------------------------------------------
// The one generator a replay depends on; nothing else draws from it.
void SeedRandom(uint32_t seed);
int32_t NextRandom();  // 0..32767, one draw
uint32_t RandomState();

// ---- angle tables ----------------------------------------------------------------------
// One array: the cosine half first, then the sine half, 128 x the value, truncated.
extern int32_t AngleTables[2048];
inline constexpr int32_t* CosTable = AngleTables;
inline constexpr int32_t* SinTable = AngleTables + 1024;
void BuildSinCosTables();

// ---- angles, distance, hits ------------------------------------------------------------
int32_t NormalizeAngle(int32_t a);
int32_t GetAngleDiff(int32_t a, int32_t b);
int32_t GetTurnStep(int32_t a, int32_t b, int32_t step);
int32_t TurnAngleToward(int32_t target, int32_t current, int32_t maxStep);
int32_t GetAngleTo(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
int32_t GetDistance(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
int32_t IntegerSquareRoot(int64_t value);  // floor of the root; 0 for value <= 0
int32_t CheckHitCircle(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t r);
int32_t CheckHitCircleInField(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t r, int32_t margin);
int32_t CheckHitBoxInField(int32_t ax, int32_t ay, int32_t tx, int32_t ty, int32_t ex, int32_t ey, int32_t mw,
                           int32_t mh);

// ---- coordinates -----------------------------------------------------------------------
int32_t GetScreenX(int32_t x);
int32_t GetScreenY(int32_t y);
int32_t GetLocalPointX(int32_t x, int32_t side, int32_t forward, int32_t angle);
int32_t GetLocalPointY(int32_t y, int32_t side, int32_t forward, int32_t angle);

// ---- scoring, rank, the player's loss --------------------------------------------------
void AddScore(int32_t points, cChara* playerList);
void KillPlayer(cChara* playerList);
void UpdateRank();
int32_t RankLevel();  // 1..10
int32_t ScaleFireIntervalStrong(int32_t base);
int32_t ScaleFireIntervalMedium(int32_t base);
int32_t ScaleFireIntervalMild(int32_t base);

// An enemy bullet or body reached the player: the shield takes it or a life goes, then the
// sound and two explosions at the player.
void StrikePlayer(cChara* playerList, cChara* effectList);

// Plays one of GameSoundHandles in the background from its start, only with sound on.
void PlayEffect(int effect);
