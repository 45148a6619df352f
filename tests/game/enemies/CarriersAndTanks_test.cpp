// Hovering carriers (gates, hover bounds, the hatch streams) and the hunting tank.
#include "EnemyWorld.h"

namespace CarriersAndTanks_test {

class HoverCarriers : public EnemyWorld {};

TEST_F(HoverCarriers, TurnsUpAtItsBoundToTheUnit) {
    for (int32_t y : {-112639, -112640}) {
        GroundEnemyList.Clear();
        GroundPartList.Clear();
        CharaData* e = Spawn(4, 0, -150, 256);
        RunFrames(1);
        GameState.scrollSpeed = 0;
        e->y = y - 3 * 128;  // one descending step short
        RunFrames(1);
        EXPECT_EQ(y, e->y);
        EXPECT_EQ(y == -112639 ? -1 : 1, e->work2) << y;
    }
}

TEST_F(HoverCarriers, GatesAreHeldInEveryTurnWhateverTheState) {
    struct { int32_t type, stage, x, gate, frames; } cases[] = {
        {4, 5, 0, 5000, 8},   {4, 1, 9, 2000, 20},  {4, 1, 10, 3000, 20}, {7, 5, 0, 5000, 50},
        {7, 1, 9, 1000, 20},  {7, 1, 10, 2000, 20}, {12, 5, 0, 5000, 8},  {12, 1, 9, 1000, 20},
        {12, 1, 10, 2000, 20}, {21, 5, 0, 1000, 20}, {21, 1, 10, 1000, 20},
    };
    auto gateOf = [](int32_t code) {
        return code == 1000 ? GameState.spawnGate1000 : code == 2000 ? GameState.spawnGate2000
             : code == 3000 ? GameState.spawnGate3000 : GameState.spawnGate5000;
    };
    for (auto c : cases) {
        GroundEnemyList.Clear();
        GroundPartList.Clear();
        GameState.stage = c.stage;
        SpawnGroundEnemy(c.type, &GroundEnemyList, c.x, Px(-150), 256);
        CharaData* e = GroundEnemyList.head;
        for (int32_t state : {1, 2, 3, 5}) {
            if (state == 3 || state == 5) {
                e->state = state;
                e->stateTimer = 0;
            }
            GameState.spawnGate1000 = GameState.spawnGate2000 = GameState.spawnGate3000 = GameState.spawnGate5000 = 0;
            RunFrames(1);
            for (int32_t code : {1000, 2000, 3000, 5000})
                EXPECT_EQ(code == c.gate ? c.frames : 0, gateOf(code))
                    << "type " << c.type << " stage " << c.stage << " x " << c.x << " state " << state;
        }
    }
}

TEST_F(HoverCarriers, Type4FiresOnlyThroughTheOpenHatchAndTurnsItsStreamsApart) {
    CharaData* e = Spawn(4, 0, -150, 256);
    RunFrames(1);
    GroundPartList.Clear();  // its turret's bullets are not the point here
    int volleys = 0;
    for (int frame = 0; frame < 240; frame++) {
        size_t before = Bullets().size();
        RunFrames(1);
        std::vector<ShownBullet> made = BulletsFrom(before);
        if (made.empty()) continue;
        EXPECT_EQ(3, e->subFrame[0]) << "clock " << e->frameCounter;
        ASSERT_EQ(2u, made.size());
        if (volleys++ == 0) {
            EXPECT_EQ(256, made[0].angle);
            EXPECT_EQ(256, made[1].angle);
        }
    }
    EXPECT_GT(volleys, 10);
    // The directions wrap only past 1024 and below 0, as the streams are written.
    struct { int32_t left, right, leftAfter, rightAfter; } wraps[] = {{987, 37, 1024, 0}, {988, 36, 0, 1024}};
    for (auto w : wraps) {
        while (e->frameCounter % ScaleFireIntervalStrong(6) != 1 || e->subFrame[0] != 3 ||
               (e->frameCounter + 1) % 120 >= 80)
            RunFrames(1);
        e->work4 = w.left;
        e->work5 = w.right;
        RunFrames(1);
        EXPECT_EQ(w.leftAfter, e->work4);
        EXPECT_EQ(w.rightAfter, e->work5);
    }
}

TEST_F(HoverCarriers, SidewaysCarriersNeverHoverButHoldTheirGate) {
    for (int32_t type : {7, 12}) {
        for (int32_t angle : {0, 512}) {
            GroundEnemyList.Clear();
            GroundPartList.Clear();
            CharaData* e = Spawn(type, 0, -105, angle);  // already past the turning line
            RunFrames(1);
            int32_t y = e->y;
            GameState.spawnGate1000 = 0;
            RunFrames(30);
            EXPECT_EQ(y + 30 * 512, e->y) << "type " << type << " angle " << angle;
            EXPECT_EQ(20, GameState.spawnGate1000);
            EXPECT_EQ(3, CountOf(GroundPartList));
        }
    }
}

// ---- the hunting tank ------------------------------------------------------------------

class TurretTanks : public EnemyWorld {};

TEST_F(TurretTanks, HunterMovesTheSameWithTheGroundStopped) {
    std::vector<std::pair<int32_t, int32_t>> traces[2];
    for (int run = 0; run < 2; run++) {
        GroundEnemyList.Clear();
        GroundPartList.Clear();
        GameState.scrollSpeed = run == 0 ? 512 : 0;
        CharaData* e = Spawn(11, 100, -100, 256);
        for (int i = 0; i < 200; i++) {
            RunFrames(1);
            traces[run].push_back({e->x, e->y});
        }
    }
    EXPECT_EQ(traces[0], traces[1]);
    EXPECT_NE(traces[0].front(), traces[0].back());
}

TEST_F(TurretTanks, HunterTurnsAwayFromANearPlayerAndHoldsItsHeadingWhenStraight) {
    struct { int32_t playerY, clock, angleAfter; } cases[] = {
        {-70, 0, 302},   // 30 px below and hunting: away, toward 768
        {100, 0, 298},   // far below: toward 256
        {-70, 50, 300},  // the straight part of its cycle: held
    };
    for (auto c : cases) {
        GroundEnemyList.Clear();
        GroundPartList.Clear();
        CharaData* e = Spawn(11, 0, -100, 300);
        RunFrames(1);
        PlacePlayer(0, c.playerY);
        e->angle = 300;
        e->frameCounter = c.clock;
        RunFrames(1);
        EXPECT_EQ(c.angleAfter, e->angle) << "player " << c.playerY << " clock " << c.clock;
        EXPECT_EQ(c.clock == 0 ? 7 : 4, e->speed);
    }
    // 70 frames straight, even with the player close.
    CharaData* e = GroundEnemyList.head;
    e->frameCounter = 50;
    int32_t angle = e->angle;
    for (int i = 0; i < 70; i++) {
        PlacePlayer(e->x / 1024 + 5, e->y / 1024 + 5);
        RunFrames(1);
        EXPECT_EQ(angle, e->angle);
    }
}

}  // namespace CarriersAndTanks_test
