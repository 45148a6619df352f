// Spawners.h: the only way records come into being. Every record is zeroed, filled and
// appended at the tail of its list, so a walk in progress reaches it.
#pragma once

#include <cstdint>

#include "GameTypes.h"

void SpawnGroundEnemy(int32_t type, cChara* list, int32_t x, int32_t y, int32_t angle);
void SpawnAirEnemy(int32_t type, cChara* list, int32_t x, int32_t y, int32_t angle);
void SpawnGroundPart(int32_t type, cChara* list, int32_t side, int32_t forward, int32_t angle, CharaData* parent);
void SpawnAirPart(int32_t type, cChara* list, int32_t side, int32_t forward, int32_t angle, CharaData* parent);
void SpawnEnemyBullet(cChara* playerList, cChara* list, int32_t x, int32_t y, int32_t speed, int32_t angle,
                      int32_t type, int32_t noFlash);
void SpawnEnemyBulletMild(cChara* playerList, cChara* list, int32_t x, int32_t y, int32_t speed, int32_t angle,
                          int32_t type, int32_t noFlash);
void SpawnRevengeBullet(cChara* playerList, cChara* list, int32_t x, int32_t y, int32_t speed, int32_t angle,
                        int32_t unused1, int32_t unused2);
void SpawnShockwave(cChara* list, int32_t x, int32_t y, int32_t speed, int32_t angle, int32_t type, int32_t delay);
void SpawnExplosion(cChara* list, int32_t x, int32_t y, int32_t ringCount, int32_t ringSpeed, int32_t delayStep,
                    int32_t kind, int32_t debrisCount);
void SpawnHitSparks(cChara* list, int32_t x, int32_t y);
void SpawnItem(cChara* list, int32_t x, int32_t y, int32_t kind);
void SpawnWreck(cChara* list, int32_t x, int32_t y, int32_t kind);
void SpawnPopup(cChara* list, int32_t x, int32_t y, int32_t kind);
void SpawnTerrainPiece(int32_t kind, int32_t x, int32_t y);
