// Ground turret carriers, the garage, the heavy crawlers and the hatch gun. Stage 1, NORMAL,
// rank 0 unless a test says otherwise.
#include "EnemyWorld.h"

namespace CarriersAndCrawlers_test {

class TurretCarriers : public EnemyWorld {};

TEST_F(TurretCarriers, VehicleSpawnedPastItsStopLineNeverMoves) {
    CharaData* e = Spawn(30, 200, -100, 256);
    RunFrames(50);
    EXPECT_EQ(Px(200), e->x);
    CharaData* driver = Spawn(30, 300, -100, 256);
    RunFrames(1 + 10);
    EXPECT_EQ(Px(300) - 10 * 1280, driver->x);
}

TEST_F(TurretCarriers, SideDriversBecomeTargetsInTurn49AndTheirTurretFiresOnlyAfter96Steps) {
    for (int32_t type : {33, 34}) {
        GroundEnemyList.Clear();
        GroundPartList.Clear();
        BulletList.Clear();
        int32_t dir = type == 33 ? -1 : 1;
        CharaData* e = Spawn(type, -dir * 60, -150, 256);
        RunFrames(1 + 48);
        EXPECT_EQ(4, e->state);
        RunFrames(1);
        EXPECT_EQ(2, e->state);
        RunFrames(96 - 49);
        EXPECT_EQ(Px(-dir * 60 + dir * 120), e->x);
        EXPECT_EQ(0, CountOf(BulletList)) << "type " << type;
        RunFrames(10);
        EXPECT_EQ(Px(-dir * 60 + dir * 120), e->x);
        EXPECT_EQ(2, CountOf(BulletList)) << "type " << type;  // its turret's clock 2
    }
}

TEST_F(TurretCarriers, CrawlerCrawls120PxThenStands) {
    CharaData* e = Spawn(44, 0, -250, 256);
    RunFrames(200);
    EXPECT_GE(e->work3, 122880);
    EXPECT_LT(e->work3, 122880 + 6 * 128);
    int32_t y = e->y;
    RunFrames(1);
    EXPECT_EQ(y + 512, e->y);
}

TEST_F(TurretCarriers, GarageLetsOutVehiclesTowardTheCentreEvery84Turns) {
    struct { int32_t x, vehicle, angle; } cases[] = {{-100, 39, 0}, {0, 38, 512}, {100, 38, 512}};
    for (auto c : cases) {
        GroundEnemyList.Clear();
        GroundPartList.Clear();
        CharaData* garage = Spawn(40, c.x, -300, 256);
        std::vector<int> releases;
        for (int frame = 1; frame <= 1 + 14 + 84; frame++) {
            int before = CountOf(GroundEnemyList);
            RunFrames(1);
            if (CountOf(GroundEnemyList) > before) {
                releases.push_back(frame - 1);  // the garage's started turn
                const CharaData* v = GroundEnemyList.tail;
                EXPECT_EQ(c.vehicle, v->type);
                EXPECT_EQ(4, v->state);  // set up in the same frame
                EXPECT_EQ(c.angle, v->angle);
                EXPECT_EQ(garage->x, v->x);
            }
        }
        EXPECT_EQ((std::vector<int>{14, 98}), releases) << "x " << c.x;
    }
}

TEST_F(TurretCarriers, GarageReleasesNothingOnceTheBossIsDeadAndIsNeverForced) {
    CharaData* garage = Spawn(40, -100, -300, 256);
    RunFrames(1);
    GameState.bossLife = 0;
    RunFrames(200);
    EXPECT_EQ(1, CountOf(GroundEnemyList));
    EXPECT_EQ(4, garage->state);
}

// ---- heavy crawlers and the hatch gun ---------------------------------------------------

class HeavyCrawlers : public EnemyWorld {};

// Strong(90) = 138 here: turns 1-11 of each cycle spin fast, rings at clocks 2, 5, 8 and 11.
TEST_F(HeavyCrawlers, Type35SpinsFasterInItsBurstsAndRingsLeaveFromTheCentre) {
    CharaData* e = Spawn(35, 60, -200, 256);
    RunFrames(1);
    std::vector<int32_t> turns;
    std::vector<Volley> volleys = Volleys(14, [&](int) { turns.push_back(e->subAngle[0]); });
    turns.push_back(e->subAngle[0]);
    for (int i = 0; i < 14; i++) EXPECT_EQ(i < 11 ? 32 : 16, turns[i + 1] - turns[i]) << "turn " << i + 1;
    EXPECT_EQ((std::vector<int>{2, 5, 8, 11}), FramesOf(volleys));
    for (const Volley& v : volleys) {
        ASSERT_EQ(16u, v.bullets.size());
        for (int k = 0; k < 16; k++) {
            EXPECT_EQ(64 * k, v.bullets[k].angle);
            EXPECT_EQ(4, v.bullets[k].type);
            EXPECT_EQ(Px(60), v.bullets[k].x);
            EXPECT_EQ(v.bullets[0].y, v.bullets[k].y);
        }
    }
}

TEST_F(HeavyCrawlers, FanComesThroughTheOpenHatchOutsideRemixAndSpreadsWiderInRemix) {
    for (uint8_t remix : {0, 1}) {
        GroundEnemyList.Clear();
        BulletList.Clear();
        GameState.remix = remix;
        CharaData* e = Spawn(43, 0, -220, 256);
        RunFrames(1);
        int fans = 0;
        for (int frame = 0; frame < 300; frame++) {
            size_t before = Bullets().size();
            RunFrames(1);
            std::vector<ShownBullet> fan;
            for (const ShownBullet& b : BulletsFrom(before)) {
                if (b.type == 1) fan.push_back(b);
            }
            if (fan.empty()) continue;
            fans++;
            ASSERT_EQ(11u, fan.size());
            if (!remix) {
                EXPECT_EQ(3, e->subFrame[0]) << "clock " << e->frameCounter;
            }
            int32_t a = fan[0].angle, step = remix ? 32 : 8;
            for (int k = 1; k <= 5; k++) {
                EXPECT_EQ(NormalizeAngle(a - k * step), fan[2 * k - 1].angle);
                EXPECT_EQ(NormalizeAngle(a + k * step), fan[2 * k].angle);
            }
        }
        EXPECT_GT(fans, 2) << "remix " << int(remix);
    }
}

// Strong(21) = 31 here.
TEST_F(HeavyCrawlers, FourWayStreamTurns41PerVolleyWithMirroredSides) {
    Spawn(43, 0, -150, 256);
    RunFrames(1);
    std::vector<std::vector<int32_t>> streams;
    for (const Volley& v : Volleys(62)) {
        std::vector<int32_t> angles;
        for (const ShownBullet& b : v.bullets) {
            if (b.type == 2) angles.push_back(b.angle);
        }
        if (!angles.empty()) streams.push_back(angles);
    }
    EXPECT_EQ((std::vector<std::vector<int32_t>>{{640, 384, 896, 128}, {681, 343, 855, 169}}), streams);
}

TEST_F(HeavyCrawlers, Type42WaitsThenActsAndSendsASuccessorOnlyWhenDestroyedBeforeTheBoss) {
    CharaData* e = Spawn(42, 50, -300, 256);
    RunFrames(120);
    EXPECT_EQ(4, e->state);
    EXPECT_EQ(Px(-300), e->y);
    RunFrames(1);
    EXPECT_EQ(2, e->state);
    EXPECT_EQ(Px(-300), e->y);
    RunFrames(1);
    EXPECT_GT(e->y, Px(-300));

    struct { int32_t endState, bossLife, successors; } cases[] = {{3, 10, 1}, {3, 0, 0}, {5, 10, 0}};
    for (auto c : cases) {
        GroundEnemyList.Clear();
        GameState.bossLife = 10;
        CharaData* crawler = Spawn(42, 50, -100, 256);
        RunFrames(1);
        crawler->state = c.endState;
        crawler->stateTimer = 20;
        GameState.bossLife = c.bossLife;
        RunFrames(1);
        ASSERT_EQ(c.successors, CountOf(GroundEnemyList)) << "state " << c.endState << " bossLife " << c.bossLife;
        if (c.successors == 0) continue;
        const CharaData* next = GroundEnemyList.head;
        EXPECT_EQ(42, next->type);
        EXPECT_EQ(Px(50), next->x);
        EXPECT_EQ(-307200, next->y);
        EXPECT_EQ(1, next->frameCounter);  // set up and waiting in the same frame
    }
}

// Strong(8) = 12 here: hatch steps at clocks 2, 14, 26, 38, 50, 62, ...
TEST_F(HeavyCrawlers, HatchGunIsATargetOnlyWhileOpenAndFiresItsSpreadInTheMiddle) {
    CharaData* e = Spawn(36, 0, -200, 512);
    RunFrames(1);
    std::vector<Volley> volleys = Volleys(74);
    EXPECT_EQ(74, e->frameCounter);
    ASSERT_EQ(1u, volleys.size());
    EXPECT_EQ(38, volleys[0].frame);
    const std::vector<ShownBullet>& spread = volleys[0].bullets;
    ASSERT_EQ(5u, spread.size());
    int32_t a = e->work5;
    struct { int32_t offset, speed; } expected[5] = {{0, 30}, {-60, 24}, {60, 24}, {-120, 18}, {120, 18}};
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(NormalizeAngle(a + expected[i].offset), spread[i].angle);
        EXPECT_EQ(ScaledSpeed(expected[i].speed), spread[i].speed);
        EXPECT_EQ(3, spread[i].type);
    }
}

TEST_F(HeavyCrawlers, HatchGunStateFollowsItsHatchAndAShutOneOutlivesTheBoss) {
    CharaData* e = Spawn(36, 0, -200, 512);
    RunFrames(1);
    std::vector<int> open;
    for (int frame = 1; frame <= 80; frame++) {
        RunFrames(1);
        if (e->state == 2) open.push_back(frame);
    }
    ASSERT_FALSE(open.empty());
    EXPECT_EQ(26, open.front());
    EXPECT_EQ(61, open.back());
    EXPECT_EQ(36u, open.size());

    GroundEnemyList.Clear();
    e = Spawn(36, 0, -200, 512);
    RunFrames(1);
    GameState.bossLife = 0;
    RunFrames(25);
    EXPECT_EQ(4, e->state);  // shut: not forced
    RunFrames(1);            // clock 26: the hatch opens, and the end of the fight catches it
    EXPECT_EQ(3, e->state);
}

}  // namespace CarriersAndCrawlers_test
