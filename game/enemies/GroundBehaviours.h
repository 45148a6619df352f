// GroundBehaviours.h: the behaviour of every non-boss ground enemy and of every gun those
// enemies carry, one function per type, as the dispatch tables hold them.
#pragma once

#include "GameTypes.h"

void UpdateGroundEnemyType1(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType2(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType3(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType4(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType5(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType6(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType7(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType8(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType9(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType10(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType11(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType12(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType13(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType14(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType15(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType17(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType18(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType19(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType21(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType23(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType24(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType25(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType26(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType27(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType29(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType30(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType31(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType33(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType34(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType35(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType36(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType38(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType39(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType40(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType42(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType43(EnemyLists* lists, CharaData* e);
void UpdateGroundEnemyType44(EnemyLists* lists, CharaData* e);

void UpdateGroundPartType1(EnemyLists* lists, CharaData* part);
void UpdateGroundPartType2(EnemyLists* lists, CharaData* part);
void UpdateGroundPartType3(EnemyLists* lists, CharaData* part);
void UpdateGroundPartType4(EnemyLists* lists, CharaData* part);
void UpdateGroundPartType5(EnemyLists* lists, CharaData* part);
void UpdateGroundPartType6(EnemyLists* lists, CharaData* part);
void UpdateGroundPartType7(EnemyLists* lists, CharaData* part);
void UpdateGroundPartType8(EnemyLists* lists, CharaData* part);
void UpdateGroundPartType9(EnemyLists* lists, CharaData* part);
void UpdateGroundPartType12(EnemyLists* lists, CharaData* part);
void UpdateGroundPartType13(EnemyLists* lists, CharaData* part);
void UpdateGroundPartType14(EnemyLists* lists, CharaData* part);
void UpdateGroundPartType17(EnemyLists* lists, CharaData* part);
void UpdateGroundPartType22(EnemyLists* lists, CharaData* part);
void UpdateGroundPartType31(EnemyLists* lists, CharaData* part);
