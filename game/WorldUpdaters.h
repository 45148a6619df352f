// WorldUpdaters.h: the per-frame updaters of items, effects, shockwaves, wreck marks,
// pop-ups and enemy bullets.
#pragma once

#include "GameTypes.h"

void UpdateItems(ObjectLists* lists);
void UpdateEffects(ObjectLists* lists);
void UpdateShockwaves(ObjectLists* lists);
void UpdateWrecks(ObjectLists* lists);
void UpdatePopups(ObjectLists* lists);

void UpdateEnemyBullets(ObjectLists* lists);
void UpdateBulletType0(CharaData* b);
void UpdateBulletType1(CharaData* b);
void UpdateBulletType2(CharaData* b);
void UpdateBulletType3(CharaData* b);
void UpdateBulletType4(CharaData* b);
void UpdateBulletType5(CharaData* b);
void UpdateBulletType6(CharaData* b);
void UpdateBulletType7(CharaData* b);
void UpdateBulletType8(CharaData* b);
void UpdateBulletType9(CharaData* b);
void UpdateBulletType10(CharaData* b);
void UpdateBulletType11(CharaData* b);
