// AirCommon.h: the turn every air enemy and every air part shares, and the swing of the large
// gunships and flagships.
//
// An air enemy never rides the scroll. Its set-up turn does nothing but set up; from its
// first state-2 turn it moves and fires. Destroyed, it makes a small blast in each of two
// turns and, in the second, its final blasts and revenge bullets. Left the field, it counts
// 21 turns and ends.
//
// An air part is set up and placed on its carrier in one turn; it has no destruction of its
// own and ends with its carrier.
//
// Work fields by use, as in every enemy: work2 the movement phase, work3-work5 per type.
#pragma once

#include <initializer_list>

#include "EnemyCommon.h"

// The air list record and the ground one name the same lists; the shared shots take the latter.
inline EnemyLists AsEnemyLists(const AirEnemyLists* lists) {
    return {lists->self, lists->parts, lists->bullets, nullptr, lists->effects, lists->player};
}

struct AirStats {
    int32_t hp;
    int16_t hitW, hitH;
    int8_t item;
};

// A blast point in px from the centre.
struct BlastPoint {
    int16_t dx, dy;
};

struct AirShape {
    AirStats stats;
    void (*setUp)(AirEnemyLists* lists, CharaData* e);  // after the common values
    void (*active)(AirEnemyLists* lists, CharaData* e);  // each started turn
    // Large types blast at each point (16, 10 then 8, 5); the small ones at the centre only
    // (16, 16 then 8, 8). Revenge comes from each blast point.
    const BlastPoint* blastPoints;
    int blastCount;
};
void RunAirEnemy(AirEnemyLists* lists, CharaData* e, const AirShape& shape);

// The whole-pixel distance from a point to the player.
int32_t PixelDistanceToPlayer(const CharaData& player, int32_t x, int32_t y);

// An even turn: the clock is even before this turn's tick.
inline bool EvenTurn(const CharaData* e) { return e->frameCounter % 2 == 0; }

// The part record's fixed values; a part takes no hits, they only fill the record.
void FillPartStats(CharaData* part);
// The turn of a part of an air enemy or a boss: set-up (the fixed values, then setUp), the
// break test in every state (true: the part ended itself and its turn), then, in state 2
// once started, placing on the carrier and active, all in one turn.
void RunMountedPart(EnemyLists* lists, CharaData* part, void (*setUp)(CharaData* part),
                    bool (*breakTest)(EnemyLists* lists, CharaData* part),
                    void (*active)(EnemyLists* lists, CharaData* part));
// The air-part turn: set-up and placing in one turn, then active.
inline void RunAirPart(EnemyLists* lists, CharaData* part, void (*setUp)(CharaData* part),
                       void (*active)(EnemyLists* lists, CharaData* part)) {
    RunMountedPart(lists, part, setUp, nullptr, active);
}

// The swing about the entry x (vx): work2 the phase (2-5 swinging), work3 the offset, work4
// the direction (+1 entered left), work5 the rate. rate step R, maximum M, amplitude A.
struct Swing {
    int32_t rateStep, maxRate, amplitude;
};
void SwingStep(CharaData* e, const Swing& swing);

void UpdateAirEnemyType1(AirEnemyLists* lists, CharaData* e);
void UpdateAirEnemyType2(AirEnemyLists* lists, CharaData* e);
void UpdateAirEnemyType3(AirEnemyLists* lists, CharaData* e);
void UpdateAirEnemyType4(AirEnemyLists* lists, CharaData* e);
void UpdateAirEnemyType5(AirEnemyLists* lists, CharaData* e);
void UpdateAirEnemyType6(AirEnemyLists* lists, CharaData* e);
void UpdateAirEnemyType7(AirEnemyLists* lists, CharaData* e);
void UpdateAirEnemyType8(AirEnemyLists* lists, CharaData* e);
void UpdateAirEnemyType9(AirEnemyLists* lists, CharaData* e);
void UpdateAirEnemyType10(AirEnemyLists* lists, CharaData* e);

void UpdateAirPartType1(EnemyLists* lists, CharaData* part);
void UpdateAirPartType2(EnemyLists* lists, CharaData* part);
void UpdateAirPartType3(EnemyLists* lists, CharaData* part);
void UpdateAirPartType4(EnemyLists* lists, CharaData* part);
void UpdateAirPartType5(EnemyLists* lists, CharaData* part);
void UpdateAirPartType6(EnemyLists* lists, CharaData* part);
void UpdateAirPartType7(EnemyLists* lists, CharaData* part);
void UpdateAirPartType8(EnemyLists* lists, CharaData* part);
void UpdateAirPartType9(EnemyLists* lists, CharaData* part);
