// AirFighters.cpp: the small fighters, air types 1, 2 and 10. Each steers its nose at the
// player and fires while it closes in; once it is within 120 px of the player or below its
// break line it breaks off. Type 1 brakes, backs off still aiming for 121 turns, then turns
// tail; types 2 and 10 stop firing and peel off toward angle 512.
//
// Working values: work2 the phase (0 attack, 1 break, 2 leave); type 1 keeps in work4 the
// heading it turns away from and in work5 its turns in phase 1.
#include <algorithm>

#include "AirCommon.h"

namespace {

struct Fighter {
    int32_t turnRate;
    int32_t breakLine;  // breaks when its old y is greater
    int32_t lastFrame;
    int32_t attackCap, leaveCap;  // types 2 and 10
};
constexpr Fighter kType1 = {4, -163840, 3, 24, 30};
constexpr Fighter kType2 = {3, -102400, 1, 21, 29};
constexpr Fighter kType10 = {4, -102400, 1, 25, 34};

constexpr AirStats kStats1 = {80, 32, 32, 0};
constexpr AirStats kStats2 = {70, 25, 25, 0};
constexpr AirStats kStats10 = {70, 26, 26, 0};

// Type 1's phase step: the target heading, and the speed change on even turns.
int32_t Type1Target(const EnemyLists* lists, CharaData* e, int32_t oldAngle) {
    bool even = EvenTurn(e);
    switch (e->work2) {
    case 0:
        if (even) e->speed = std::min(e->speed + 1, 24);
        return Aim(lists, e);
    case 1:
        if (even) e->speed = std::max(e->speed - 1, -4);
        e->work5 += 1;
        if (e->work5 > 120) e->work2 = 2;
        e->work4 = oldAngle;
        return Aim(lists, e);
    default:
        if (even) e->speed = std::min(e->speed + 1, 30);
        return e->work4 + 512;
    }
}

// Types 2 and 10 speed up every fourth turn, toward the player, then toward angle 512.
int32_t PeelTarget(const EnemyLists* lists, CharaData* e, const Fighter& f) {
    bool quarter = e->frameCounter % 4 == 0;
    if (e->work2 == 0) {
        if (quarter) e->speed = std::min(e->speed + 1, f.attackCap);
        return Aim(lists, e);
    }
    if (quarter) e->speed = std::min(e->speed + 1, f.leaveCap);
    return 512;
}

void Fly(AirEnemyLists* airLists, CharaData* e, int32_t type, const Fighter& f) {
    EnemyLists lists = AsEnemyLists(airLists);
    const CharaData& player = PlayerOf(&lists);
    int32_t oldX = e->x, oldY = e->y, oldAngle = e->angle;
    int32_t target = type == 1 ? Type1Target(&lists, e, oldAngle) : PeelTarget(&lists, e, f);
    if (e->work2 == 0 && (PixelDistanceToPlayer(player, oldX, oldY) < 120 || oldY > f.breakLine)) e->work2 = 1;
    // The leave target stays unwrapped: a difference of exactly half a turn then counts as
    // +512, so a fighter always turns tail the positive way.
    int32_t heading = TurnAngleToward(target, oldAngle, f.turnRate);
    Step(e, heading, e->speed);
    e->angle = heading;
    AdvanceClock(e);
    if (e->frameCounter % 2 == 0) e->animFrame = e->animFrame >= f.lastFrame ? 0 : e->animFrame + 1;

    int32_t fc = e->frameCounter;
    switch (type) {
    case 1:
        if ((e->work2 == 0 && fc % ScaleFireIntervalMild(32) == 2) ||
            (e->work2 == 1 && fc % ScaleFireIntervalMild(25) == 2)) {
            Shot(&lists, e, -9, 25, 29, e->angle, 1);
            Shot(&lists, e, 9, 25, 29, e->angle, 1);
        }
        break;
    case 2:
        if (e->work2 == 0 && fc % ScaleFireIntervalMild(25) == 2)
            for (int32_t d : {-60, 0, 60}) Shot(&lists, e, 0, 34, 27, e->angle + d, 2);
        break;
    default:
        if (e->work2 == 0 && fc % ScaleFireIntervalMild(25) == 2) Shot(&lists, e, 0, 30, 35, e->angle, 2);
        break;
    }
}

}  // namespace

void UpdateAirEnemyType1(AirEnemyLists* lists, CharaData* e) {
    static constexpr AirShape kShape = {kStats1, nullptr, [](AirEnemyLists* l, CharaData* r) { Fly(l, r, 1, kType1); },
                                        nullptr, 0};
    RunAirEnemy(lists, e, kShape);
}

void UpdateAirEnemyType2(AirEnemyLists* lists, CharaData* e) {
    static constexpr AirShape kShape = {kStats2, nullptr, [](AirEnemyLists* l, CharaData* r) { Fly(l, r, 2, kType2); },
                                        nullptr, 0};
    RunAirEnemy(lists, e, kShape);
}

void UpdateAirEnemyType10(AirEnemyLists* lists, CharaData* e) {
    static constexpr AirShape kShape = {kStats10, nullptr,
                                        [](AirEnemyLists* l, CharaData* r) { Fly(l, r, 10, kType10); }, nullptr, 0};
    RunAirEnemy(lists, e, kShape);
}
