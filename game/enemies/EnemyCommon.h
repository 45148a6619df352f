// EnemyCommon.h: the rules every enemy behaviour shares, written once: the set-up, the
// start, riding the scroll, the frame clock, the step, the aim, the muzzle point and the
// shot, the four destruction sequences with their revenge bullets, and the 21-turn leave.
//
// Work fields by use: the record's work2-work5 are the behaviours' four working values.
// Every SpawnExplosion with debris draws from the replay's generator, so the sequences keep
// the number and order of their calls exactly.
#pragma once

#include <cstdint>

#include "GameRules.h"
#include "GameTypes.h"
#include "Spawners.h"

// The four ways a ground enemy dies.
enum class Blast : uint8_t { Single, Five, CornerRevenge, Quiet };

// Set-up values of one ground-enemy type; score always equals hp.
struct GroundStats {
    int32_t hp;
    int16_t hitW, hitH;
    int16_t blastKind;
    int16_t speed;
    int8_t startState;  // 2, or 4 for the types with an entry or waiting phase
    int8_t item;
    Blast blast;
};

// Fills a spawned record with its type's values and zeroes the clocks; x, y, angle, type
// (and a part's offsets and parent) stay as the spawner set them.
void SetUpGroundEnemy(CharaData* e, const GroundStats& stats);
// A part's set-up: state 2, clocks zeroed; its working values are the caller's.
void SetUpPart(CharaData* part);

inline const CharaData& PlayerOf(const EnemyLists* lists) { return lists->player->self; }

// Ground records ride the scroll except while the player is dying.
inline void RideScroll(CharaData* e) {
    if (GameState.scrollPause == 0) e->y += GameState.scrollSpeed;
}

// The start: counts down delay once, then marks the record started. True when started.
bool Started(CharaData* e);

// The behaviour clock, kept below 65535.
inline void AdvanceClock(CharaData* e) { e->frameCounter = (e->frameCounter + 1) % 65535; }

// A step along angle a: the velocity is kept in vx, vy.
inline void Step(CharaData* e, int32_t a, int32_t speed) {
    a = NormalizeAngle(a);
    e->vx = CosTable[a] * speed;
    e->vy = SinTable[a] * speed;
    e->x += e->vx;
    e->y += e->vy;
}

// Drives along the heading, slow in the first 16 frames of every 80, until 120 px have been
// covered downward (kept in work3); heading up, it never stops.
void DriveForward(CharaData* e, int32_t slow, int32_t fast);

// The angle from a point to the player, 0-1023.
inline int32_t AimFrom(const EnemyLists* lists, int32_t x, int32_t y) {
    const CharaData& player = PlayerOf(lists);
    return NormalizeAngle(GetAngleTo(x, y, player.x, player.y));
}
inline int32_t Aim(const EnemyLists* lists, const CharaData* e) { return AimFrom(lists, e->x, e->y); }

// A part stands vx px to the side of and vy px ahead of its carrier along its heading.
void PlaceOnParent(CharaData* part);

// One bullet from the muzzle point (side, forward) along muzzleAngle, with a flash.
void ShotFrom(const EnemyLists* lists, const CharaData* e, int32_t side, int32_t forward, int32_t muzzleAngle,
              int32_t speed, int32_t direction, int32_t bulletType);
void MildShotFrom(const EnemyLists* lists, const CharaData* e, int32_t side, int32_t forward, int32_t muzzleAngle,
                  int32_t speed, int32_t direction, int32_t bulletType);
// The same along the record's own angle.
inline void Shot(const EnemyLists* lists, const CharaData* e, int32_t side, int32_t forward, int32_t speed,
                 int32_t direction, int32_t bulletType) {
    ShotFrom(lists, e, side, forward, e->angle, speed, direction, bulletType);
}
inline void MildShot(const EnemyLists* lists, const CharaData* e, int32_t side, int32_t forward, int32_t speed,
                     int32_t direction, int32_t bulletType) {
    MildShotFrom(lists, e, side, forward, e->angle, speed, direction, bulletType);
}
// Sixteen type-4 bullets from the centre at 0, 64, ... 960.
void CentreRing(const EnemyLists* lists, const CharaData* e, int32_t speed);

// What a type does after its final blasts and revenge shots (a replacement or successor).
using FinalAction = void (*)(EnemyLists* lists, CharaData* e);

// One state-3 turn: ride the scroll, count, on turn 21 the final blasts, state 0, the final
// revenge and the final action, then on turns 1, 5, ... 21 the small blasts and, in REMIX,
// their revenge.
void RunDestruction(EnemyLists* lists, CharaData* e, Blast blast, FinalAction final = nullptr);
// One state-5 turn: count; state 0 after 21 turns. Nothing moves.
void RunLeave(CharaData* e);

// The turn of a ground enemy whose type fits the common shape: set-up, then the active
// branch (in state 2, and in state 4 for the types whose state 4 is active), destruction and
// leave. active runs only once started, after riding the scroll (unless the type says not).
struct GroundShape {
    const GroundStats* stats;
    void (*setUp)(EnemyLists* lists, CharaData* e);  // after the stats; may spawn parts; may be null
    void (*active)(EnemyLists* lists, CharaData* e);
    bool activeInState4;
    FinalAction final;
};
void RunGroundEnemy(EnemyLists* lists, CharaData* e, const GroundShape& shape);

// The part skeleton: a set-up turn runs straight on into the active branch, which starts,
// stands on the carrier and then runs active.
void RunPart(EnemyLists* lists, CharaData* part, void (*setUp)(CharaData* part),
             void (*active)(EnemyLists* lists, CharaData* part));

// The break of a gun whose carrier has taken enough damage: below threshold hit points it
// sounds, fires its revenge on INSANE and above, shows a small blast and ends. True when it
// broke; the caller's turn ends there, since the rest would act on last frame's clock.
bool BreakOffBelow(EnemyLists* lists, CharaData* part, int32_t threshold);

// The end of one half of a two-half boss. Never below 0: every end test asks for exactly 0.
void EndBossHalf();
