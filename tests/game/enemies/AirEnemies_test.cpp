// The air enemies and their guns: fighters, rotor craft, the heavy gunship, the swinging
// gunships and the flagships. The player stands far below unless a case says otherwise.
#include "EnemyWorld.h"

namespace AirEnemies_test {

class AirEnemies : public EnemyWorld {
protected:
    static CharaData* SpawnAir(int32_t type, int32_t xPx, int32_t yPx, int32_t angle = 256) {
        SpawnAirEnemy(type, &AirEnemyList, Px(xPx), Px(yPx), angle);
        return AirEnemyList.tail;
    }
    // A still air carrier of no type, heading 256, in the given phase, for guns made here.
    static CharaData* StillAirCarrier(int32_t phase) {
        CharaData* c = AddRecord(&AirEnemyList, 0, 2, 0, -100);
        c->angle = 256;
        c->work2 = phase;
        return c;
    }
};

// ---- fighters ------------------------------------------------------------------------------

TEST_F(AirEnemies, FighterBreaksAtOnceNearThePlayerOrBelowItsLine) {
    struct Case {
        int32_t type, x, y, playerY;
    } cases[] = {
        {2, -50, -300, -200}, {2, 50, -300, -200}, {2, -100, -90, 200}, {2, 100, -90, 200},
        {10, -50, -300, -200}, {10, 50, -300, -200}, {10, -100, -90, 200}, {10, 100, -90, 200},
    };
    for (const Case& c : cases) {
        ResetGameWorld();
        SetUpField();
        RestoreEnemyBehaviours();
        PlacePlayer(0, c.playerY);
        GameState.invulnTime = 1000;  // a fighter flying through the player is not the point here
        CharaData* f = SpawnAir(c.type, c.x, c.y);
        RunFrames(2);
        EXPECT_EQ(1, f->work2) << c.type << " at " << c.x << ", " << c.y;
        RunFrames(88);
        EXPECT_EQ(512, f->angle) << c.type << " at " << c.x << ", " << c.y;
        EXPECT_EQ(0, CountOf(BulletList)) << c.type << " at " << c.x << ", " << c.y;
    }
}

TEST_F(AirEnemies, Type1BacksOffFor121TurnsThenTurnsTail) {
    PlacePlayer(0, 150);
    GameState.invulnTime = 100000;
    CharaData* f = SpawnAir(1, 0, -50);  // below its line: breaks at once
    RunFrames(2);
    ASSERT_EQ(1, f->work2);
    int turns = 0, lowest = 0;
    bool drifted = false;
    int32_t headingAtStart = 0;
    while (f->work2 == 1 && turns < 200) {
        headingAtStart = f->angle;
        int32_t y = f->y;
        RunFrames(1);
        turns++;
        lowest = std::min(lowest, f->speed);
        drifted |= f->speed < 0 && f->y < y;  // nose down at the player, flying backward
    }
    EXPECT_EQ(121, turns);
    EXPECT_EQ(-4, lowest);
    EXPECT_TRUE(drifted);
    EXPECT_EQ(headingAtStart, f->work4);
    bool turnedTail = false;
    for (int frame = 0; frame < 200 && f->state == 2 && !turnedTail; frame++) {
        RunFrames(1);
        turnedTail = f->angle == NormalizeAngle(headingAtStart + 512);
    }
    EXPECT_TRUE(turnedTail);
}

// The leave target is the saved heading + 512 as it stands: a difference of exactly half a
// turn counts as +512, so the fighter always turns the positive way, +4 a turn, whichever
// side the player was on at the break.
TEST_F(AirEnemies, Type1TurnsTailThePositiveWayFromEverySavedHeading) {
    for (int32_t saved : {256, 511, 512, 640, 896, 1023}) {
        AirEnemyList.Clear();
        CharaData* f = SpawnAir(1, 0, -300);
        RunFrames(1);  // set up
        f->work2 = 2;
        f->work4 = saved;
        f->angle = saved;
        f->speed = 0;
        std::vector<int32_t> headings;
        for (int turn = 0; turn < 3; turn++) {
            RunFrames(1);
            headings.push_back(f->angle);
        }
        EXPECT_EQ((std::vector<int32_t>{(saved + 4) % 1024, (saved + 8) % 1024, (saved + 12) % 1024}), headings)
            << "saved heading " << saved;
    }
}

// ---- rotor craft ---------------------------------------------------------------------------

TEST_F(AirEnemies, RotorTurnsAnEighthEachTurn) {
    SpawnAir(4, -300, -100);
    std::vector<int32_t> angles;
    for (int i = 0; i < 9; i++) {
        RunFrames(1);
        angles.push_back(AirPartList.head->angle);
    }
    EXPECT_EQ((std::vector<int32_t>{128, 256, 384, 512, 640, 768, 896, 0, 128}), angles);
}

TEST_F(AirEnemies, Type7AccelerationPeriodsCycleFromWhereTheCycleStood) {
    GameState.entryCycle = 1;
    std::vector<int32_t> periods;
    for (int i = 0; i < 4; i++) {
        CharaData* c = SpawnAir(7, -200 + 100 * i, -300);
        RunFrames(1);
        periods.push_back(c->work0);
    }
    EXPECT_EQ((std::vector<int32_t>{4, 6, 2, 4}), periods);
    EXPECT_EQ(2, GameState.entryCycle);
}

TEST_F(AirEnemies, Type7BrakesForItsSpeedPlusOneTurnsAndNeverFiredInAFastDrop) {
    PlacePlayer(0, -160);
    GameState.invulnTime = 100000;
    CharaData* c = SpawnAir(7, 0, -300);
    RunFrames(2);
    ASSERT_EQ(1, c->work2);
    int32_t speed = c->speed;
    EXPECT_GT(speed, 28);
    EXPECT_EQ(0, CountOf(BulletList));
    int turns = 0;
    while (c->work2 == 1 && turns < 100) {
        RunFrames(1);
        turns++;
    }
    EXPECT_EQ(speed + 1, turns);
    // The charge accelerates every work0 turns along the locked aim.
    std::vector<int> speedUps;
    for (int frame = 0; frame < 13; frame++) {
        int32_t before = c->speed;
        RunFrames(1);
        if (c->speed > before) speedUps.push_back(frame);
    }
    ASSERT_GE(speedUps.size(), 2u);
    EXPECT_EQ(c->work0, speedUps[1] - speedUps[0]);
    EXPECT_EQ(c->work3, c->work4) << "flies straight along the locked aim";
}

TEST_F(AirEnemies, Type4KeepsItsEntrySpeedAndNeverRestsAtFullSink) {
    PlacePlayer(300, 200);
    struct Case {
        int32_t y, speed;
    } cases[] = {{-130, 8}, {-100, 0}, {-50, -6}};
    for (Case c : cases) {
        AirEnemyList.Clear();
        AirPartList.Clear();
        CharaData* craft = SpawnAir(4, -420, c.y);
        RunFrames(60);
        EXPECT_EQ(c.speed, craft->speed) << c.y;
        EXPECT_EQ(3, craft->work2) << c.y;
    }
    AirEnemyList.Clear();
    AirPartList.Clear();
    CharaData* craft = SpawnAir(4, -420, -100);
    RunFrames(2);
    craft->work2 = 1;
    craft->speed = 16;
    int atSixteen = 0;
    for (int i = 0; i < 6; i++) {
        RunFrames(1);
        atSixteen += craft->speed == 16;
    }
    EXPECT_EQ(0, craft->work2);
    EXPECT_LE(atSixteen, 3);  // the odd turns around the one that turns it back
    EXPECT_LT(craft->speed, 16);
}

// ---- heavy gunship -------------------------------------------------------------------------

TEST_F(AirEnemies, GunshipPodsOpenThenFireFromBelowTheirSides) {
    CharaData* g = SpawnAir(3, 0, -200);
    int openedAt = -1, firedAt = -1, frame = 0;
    std::vector<ShownBullet> pods;
    while (firedAt < 0 && frame < 400) {
        size_t before = Bullets().size();
        RunFrames(1);
        frame++;
        if (openedAt < 0 && g->subFrame[0] == 3) openedAt = g->frameCounter;
        for (const ShownBullet& b : BulletsFrom(before))
            if (b.type == 3) pods.push_back(b);
        if (!pods.empty()) firedAt = g->frameCounter;
    }
    ASSERT_GE(openedAt, 0);
    int expected = openedAt;
    while (expected % ScaleFireIntervalStrong(60) != 2) expected++;
    EXPECT_EQ(expected, firedAt);
    ASSERT_EQ(12u, pods.size());
    EXPECT_EQ(g->subFrame[0], g->subFrame[1]);
    int32_t leftX = g->x - Px(55), y = g->y + 29696;
    int32_t a = NormalizeAngle(GetAngleTo(leftX, y, PlayerList.self.x, PlayerList.self.y));
    std::vector<ShownBullet> left(pods.begin(), pods.begin() + 6);
    std::vector<ShownBullet> expectLeft;
    for (int32_t speed : {36, 30})
        for (int32_t d : {-100, 0, 100}) expectLeft.push_back({leftX, y, ScaledSpeed(speed), NormalizeAngle(a + d), 3});
    EXPECT_EQ(expectLeft, left);
    EXPECT_EQ(g->x + Px(55), pods[6].x);
}

TEST_F(AirEnemies, GunshipTurretIsSilentWhenItsCycleIsFiftyOrLess) {
    GameState.level = 2;
    GameState.rank = 20;
    GameState.remix = 1;
    ASSERT_LE(ScaleFireIntervalStrong(90), 50);
    SpawnAir(3, 0, -200);
    RunFrames(300);
    for (const ShownBullet& b : Bullets()) EXPECT_NE(2, b.type);
}

TEST_F(AirEnemies, OnlyAShotDownGunshipPaysAndDropsItsItems) {
    for (uint8_t remix : {0, 1}) {
        ResetGameWorld();
        SetUpField();
        RestoreEnemyBehaviours();
        GameState.remix = remix;
        GameState.scrollSpeed = 512;
        CharaData* g = SpawnAir(3, 0, -200);
        RunFrames(2);
        int64_t score = GameState.score;
        DestroyAirEnemy(g);
        EXPECT_EQ(score + 1000, GameState.score);
        EXPECT_EQ(remix ? 2 : 3, CountOf(ItemList));
    }
    ResetGameWorld();
    SetUpField();
    RestoreEnemyBehaviours();
    int64_t score = GameState.score;
    SpawnAir(3, 600, -200);
    RunFrames(30);
    EXPECT_EQ(score, GameState.score);
    EXPECT_EQ(0, CountOf(ItemList));
}

// ---- swinging gunships ---------------------------------------------------------------------

TEST_F(AirEnemies, GunshipStillSinkingAfter601TurnsLeavesSilently) {
    CharaData* g = SpawnAir(5, 0, -340);
    RunFrames(1);
    AirPartList.Clear();
    g->frameCounter = 601;  // 601 turns started, still sinking
    RunFrames(1);
    EXPECT_EQ(6, g->work2);
    RunFrames(60);
    EXPECT_EQ(0, CountOf(BulletList));
}

TEST_F(AirEnemies, HullGunsFireOnlyInTheMiddleOfPhasesTwoAndFour) {
    for (int32_t type : {5, 6}) {
        ResetGameWorld();
        SetUpField();
        RestoreEnemyBehaviours();
        GameState.stage = 2;
        CharaData* g = SpawnAir(type, type == 5 ? 0 : -245, -320);
        RunFrames(1);
        AirPartList.Clear();
        int32_t window = type == 5 ? 61440 : 102400;
        int volleys = 0;
        for (int frame = 0; frame < 600; frame++) {
            size_t before = Bullets().size();
            RunFrames(1);
            if (Bullets().size() == before) continue;
            volleys++;
            EXPECT_TRUE(g->work2 == 2 || g->work2 == 4) << type << " phase " << g->work2;
            EXPECT_LE(std::abs(g->work3), window) << type;
        }
        EXPECT_GT(volleys, 0) << type;
    }
}

TEST_F(AirEnemies, Type6GateFollowsItsSideFromItsSecondTurn) {
    SpawnAir(6, -245, -320);
    RunFrames(1);
    EXPECT_EQ(8, GameState.spawnGate3000);
    EXPECT_EQ(0, GameState.spawnGate2000);
    GameState.spawnGate3000 = 0;
    RunFrames(1);
    EXPECT_EQ(8, GameState.spawnGate2000);
    EXPECT_EQ(0, GameState.spawnGate3000);
}

TEST_F(AirEnemies, SweepingTurretKeepsItsCadenceInEveryPhase) {
    CharaData* c = StillAirCarrier(0);
    SpawnAirPart(3, &AirPartList, 0, 31, 256, c);
    std::vector<int> frames;
    for (int frame = 1; frame <= 400; frame++) {
        c->work2 = frame / 60;  // sink, brake, swing, leave
        size_t before = Bullets().size();
        RunFrames(1);
        if (Bullets().size() > before) frames.push_back(frame);
    }
    ASSERT_GE(frames.size(), 3u);
    for (size_t i = 1; i < frames.size(); i++) EXPECT_EQ(ScaleFireIntervalStrong(18), frames[i] - frames[i - 1]);
}

// ---- flagships -----------------------------------------------------------------------------

TEST_F(AirEnemies, FlagshipNeverFansBeforeIts101stTurn) {
    GameState.stage = 5;
    CharaData* f = SpawnAir(8, 0, -170);
    RunFrames(1);
    AirPartList.Clear();
    int firstFan = -1;
    for (int frame = 0; frame < 400 && firstFan < 0; frame++) {
        size_t before = Bullets().size();
        RunFrames(1);
        if (Bullets().size() - before == 24) firstFan = f->frameCounter;
    }
    EXPECT_GT(firstFan, 100);
    EXPECT_TRUE(f->work2 == 2 || f->work2 == 4);
}

TEST_F(AirEnemies, FlagshipGateBySide) {
    struct Case {
        int32_t x;
        int gate;
    } cases[] = {{-120, 1000}, {120, 1000}, {-121, 2000}, {121, 3000}, {0, 1000}};
    for (Case c : cases) {
        ResetGameWorld();
        SetUpField();
        RestoreEnemyBehaviours();
        SpawnAir(9, c.x, -300);
        RunFrames(1);
        EXPECT_EQ(0, GameState.spawnGate1000 + GameState.spawnGate2000 + GameState.spawnGate3000) << "set-up turn";
        RunFrames(1);
        EXPECT_EQ(c.gate == 1000 ? 10 : 0, GameState.spawnGate1000) << c.x;
        EXPECT_EQ(c.gate == 2000 ? 10 : 0, GameState.spawnGate2000) << c.x;
        EXPECT_EQ(c.gate == 3000 ? 10 : 0, GameState.spawnGate3000) << c.x;
    }
}

// Per volley, parts 5, 6 and 9 fire pairs in both rule sets; 7 and 8 add a second bullet in
// REMIX. In phase 6 5, 6 and 9 neither turn nor fire; 7 and 8 turn their base aim only.
TEST_F(AirEnemies, FlagshipGuns) {
    struct Case {
        int32_t part;
        size_t perVolley[2];
    } cases[] = {{5, {2, 2}}, {6, {2, 2}}, {7, {1, 2}}, {8, {1, 2}}, {9, {2, 2}}};
    for (const Case& c : cases) {
        for (uint8_t remix : {0, 1}) {
            ResetGameWorld();
            SetUpField();
            RestoreEnemyBehaviours();
            PlacePlayer(150, 200);
            GameState.remix = remix;
            CharaData* carrier = StillAirCarrier(2);
            SpawnAirPart(c.part, &AirPartList, 0, 0, 256, carrier);
            std::vector<Volley> volleys = Volleys(360);
            ASSERT_FALSE(volleys.empty()) << c.part;
            for (const Volley& v : volleys) EXPECT_EQ(c.perVolley[remix], v.bullets.size()) << c.part;
            CharaData* gun = AirPartList.head;
            carrier->work2 = 6;
            int32_t angle = gun->angle, base = gun->work4, sweep = gun->work2;
            PlacePlayer(-150, 200);
            BulletList.Clear();
            RunFrames(200);
            EXPECT_EQ(0, CountOf(BulletList)) << c.part;
            if (c.part == 7 || c.part == 8) {
                EXPECT_EQ(sweep, gun->work2) << c.part;
                EXPECT_NE(base, gun->work4) << c.part;
            } else {
                EXPECT_EQ(angle, gun->angle) << c.part;
            }
        }
    }
}

TEST_F(AirEnemies, FlagshipBodyHitIsACircleOfItsHalfWidth) {
    struct Case {
        int32_t dx, dy;
        bool hit;
    } cases[] = {{99, 0, true}, {100, 0, false}, {0, 60, true}, {-99, 0, true}};
    for (Case c : cases) {
        ResetGameWorld();
        SetUpField();
        RestoreEnemyBehaviours();
        CharaData* f = SpawnAir(8, 0, -100);
        RunFrames(1);
        AirEnemyBehaviours[8] = nullptr;  // hold it still
        GameState.shield = 2;
        PlayerList.self.x = f->x + Px(c.dx);
        PlayerList.self.y = f->y + Px(c.dy);
        RunFrames(1);
        EXPECT_EQ(c.hit ? 3 : 2, f->state) << c.dx << ", " << c.dy;
        EXPECT_EQ(c.hit ? 1 : 2, GameState.shield) << c.dx << ", " << c.dy;
    }
}

// The carrier guard covers air parts too: a gunship ended without a turn in state 3 or 5 (no
// real behaviour does that) leaves its turret without a carrier, never reading freed memory.
TEST_F(AirEnemies, AirPartOfAFreedCarrierGoesWithoutACall) {
    static int partCalls;
    partCalls = 0;
    SpawnAir(3, 0, -200);
    RunFrames(1);
    ASSERT_EQ(1, CountOf(AirPartList));
    AirEnemyBehaviours[3] = [](AirEnemyLists*, CharaData* e) { e->state = 0; };
    AirPartBehaviours[1] = [](EnemyLists*, CharaData*) { partCalls++; };
    UpdateAirEnemies(&AirEnemyListsRecord);
    EXPECT_EQ(0, CountOf(AirEnemyList));
    ASSERT_EQ(1, CountOf(AirPartList));
    EXPECT_EQ(nullptr, AirPartList.head->parent);
#ifdef NDEBUG
    UpdateAirParts(&AirPartLists);
    EXPECT_EQ(0, CountOf(AirPartList));
    EXPECT_EQ(0, partCalls);
#else
    EXPECT_DEBUG_DEATH(UpdateAirParts(&AirPartLists), "outlived its carrier");
#endif
}

}  // namespace AirEnemies_test
