// EnemyUpdaters.h: the four per-frame enemy updaters and their dispatch tables.
//
// Each updater walks its list once and gives every record one turn: the behaviour of its
// type (an entry of the table below), then the rules that hold for the whole list. A type
// outside its table, or whose entry is empty, gets no call and only the list's rules.
#pragma once

#include "GameTypes.h"

using EnemyBehaviour = void (*)(EnemyLists* lists, CharaData* rec);
using AirEnemyBehaviour = void (*)(AirEnemyLists* lists, CharaData* rec);

constexpr int kGroundEnemyTypes = 45;  // behaviours 1-44
constexpr int kGroundPartTypes = 32;   // behaviours 1-31
constexpr int kAirEnemyTypes = 11;     // behaviours 1-10
constexpr int kAirPartTypes = 10;      // behaviours 1-9

extern EnemyBehaviour GroundEnemyBehaviours[kGroundEnemyTypes];
extern EnemyBehaviour GroundPartBehaviours[kGroundPartTypes];
extern AirEnemyBehaviour AirEnemyBehaviours[kAirEnemyTypes];
extern EnemyBehaviour AirPartBehaviours[kAirPartTypes];

// Puts every table back as the game ships it (tests replace entries).
void RestoreEnemyBehaviours();
EnemyBehaviour DefaultGroundEnemyBehaviour(int32_t type);
EnemyBehaviour DefaultGroundPartBehaviour(int32_t type);
AirEnemyBehaviour DefaultAirEnemyBehaviour(int32_t type);

void UpdateGroundEnemies(EnemyLists* lists);
void UpdateGroundParts(EnemyLists* lists);
void UpdateAirEnemies(AirEnemyLists* lists);
void UpdateAirParts(EnemyLists* lists);

// The seven stage bosses, never culled.
bool IsBossType(int32_t type);
