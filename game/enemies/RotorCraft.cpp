// RotorCraft.cpp: the two craft that carry a rotor (air part 2) 6 px behind their centre.
//
// Type 4 crosses the field from a side edge, slowing from its entry boost; it holds its entry
// climb or sink until the player first comes within 200 px, then swings its vertical speed
// between -16 and +16, climbing whenever the player is near, and fires single aimed shots
// while it is higher than 120 px below the centre. Working values: work2 the vertical mode
// (3 hold, 0 climb, 1 sink), work3 the side it flies toward (+1/-1), work4 the entry boost,
// work5 the cruise factor.
//
// Type 7 drops in, brakes to a stop with its nose on the player, then charges along the
// locked aim, accelerating every 2, 4 or 6 turns as the entry cycle gives. Working values:
// work2 the phase (0 drop, 1 brake, 2 charge), work3 the heading target, work4 the heading of
// flight, work5 the aim frozen at the end of the drop, work0 the acceleration period.
#include <algorithm>

#include "AirCommon.h"

namespace {

void SpawnRotor(AirEnemyLists* lists, CharaData* craft) { SpawnAirPart(2, lists->parts, 0, -6, 0, craft); }

void SetUpType4(AirEnemyLists* lists, CharaData* e) {
    SpawnRotor(lists, e);
    e->speed = e->y > -61440 ? -6 : e->y < -122880 ? 8 : 0;
    e->work2 = 3;
    e->work3 = e->x > 0 ? -1 : 1;
    e->work4 = 24;
    e->work5 = 16;
}

void ActType4(AirEnemyLists* airLists, CharaData* e) {
    EnemyLists lists = AsEnemyLists(airLists);
    int32_t oldY = e->y;
    int32_t aim = Aim(&lists, e);
    bool even = EvenTurn(e);
    if (e->work2 != 0 && PixelDistanceToPlayer(PlayerOf(&lists), e->x, e->y) >= 200) {
        if (e->work2 == 1 && even) {
            e->speed += 1;
            if (e->speed > 16) {
                e->speed = 16;
                e->work2 = 0;
            }
            e->work5 = std::min(e->work5 + 1, 16);
        }
    } else {
        e->work2 = 0;
        if (even) {
            e->speed -= 1;
            if (e->speed < -16) {
                e->speed = -16;
                e->work2 = 1;
            }
            e->work5 = std::max(e->work5 - 1, 12);
        }
    }
    int32_t angle = TurnAngleToward(aim, e->angle, 4);
    e->vx = CosTable[0] * e->work3 * (e->work5 + e->work4);
    e->vy = SinTable[256] * e->speed;
    e->x += e->vx;
    e->y += e->vy;
    if (e->frameCounter % 3 == 0) e->work4 = std::max(e->work4 - 1, 0);
    e->angle = angle;
    AdvanceClock(e);
    if (oldY < 122880 && e->frameCounter % ScaleFireIntervalMild(18) == 2) Shot(&lists, e, 0, 26, 26, e->angle, 1);
}

void SetUpType7(AirEnemyLists* lists, CharaData* e) {
    SpawnRotor(lists, e);
    e->speed = 44;
    e->work4 = 256;
    e->angle = 256;
    e->work0 = GameState.entryCycle * 2 + 2;
    GameState.entryCycle = GameState.entryCycle >= 2 ? 0 : GameState.entryCycle + 1;
}

void ActType7(AirEnemyLists* airLists, CharaData* e) {
    EnemyLists lists = AsEnemyLists(airLists);
    int32_t oldY = e->y;
    int32_t aim = Aim(&lists, e);
    int32_t headingTarget = 256, noseTarget = aim;
    switch (e->work2) {
    case 0:
        e->speed = std::max(e->speed - 1, 24);
        if (PixelDistanceToPlayer(PlayerOf(&lists), e->x, e->y) < 160 || oldY > -30720) e->work2 = 1;
        e->work3 = 256;
        e->work5 = aim;
        break;
    case 1:
        headingTarget = e->work3;
        noseTarget = e->work5;
        e->speed -= 1;
        if (e->speed < 0) {
            e->speed = 0;
            e->work2 = 2;
            e->work3 = e->work5;
        }
        break;
    default:
        headingTarget = e->work4 = e->work3;
        noseTarget = e->work5;
        if (e->frameCounter % e->work0 == 0) e->speed = std::min(e->speed + 1, 40);
        break;
    }
    int32_t heading = TurnAngleToward(headingTarget, e->work4, 4);
    e->angle = TurnAngleToward(noseTarget, e->angle, 4);
    Step(e, heading, e->speed);
    e->work4 = heading;
    AdvanceClock(e);
    int32_t fc = e->frameCounter;
    bool fire = (e->work2 == 0 && e->speed <= 28 && oldY < 153600 && fc % ScaleFireIntervalMild(24) == 2) ||
                (e->work2 == 1 && fc % ScaleFireIntervalMild(12) == 2);
    if (fire) {
        Shot(&lists, e, -14, 34, 27, e->angle, 1);
        Shot(&lists, e, 14, 34, 27, e->angle, 1);
    }
}

}  // namespace

void UpdateAirEnemyType4(AirEnemyLists* lists, CharaData* e) {
    static constexpr AirShape kShape = {{80, 32, 32, 0}, SetUpType4, ActType4, nullptr, 0};
    RunAirEnemy(lists, e, kShape);
}

void UpdateAirEnemyType7(AirEnemyLists* lists, CharaData* e) {
    static constexpr AirShape kShape = {{80, 34, 34, 0}, SetUpType7, ActType7, nullptr, 0};
    RunAirEnemy(lists, e, kShape);
}

// The rotor turns an eighth a turn, in every state, before it is placed.
void UpdateAirPartType2(EnemyLists* lists, CharaData* part) {
    part->angle += 128;
    if (part->angle > 1023) part->angle = 0;
    RunAirPart(lists, part, nullptr, [](EnemyLists*, CharaData* p) { AdvanceClock(p); });
}
