// Grid-volley shooters, the tanks and shooters that slide in from the side, and the
// emplacements. Stage 1, NORMAL, rank 0 unless a test says otherwise.
#include "EnemyWorld.h"

namespace GridAndEmplacements_test {

class GridShooters : public EnemyWorld {};

// Strong(10) = 15 here: cycle step k runs at clock 2 + 15k.
TEST_F(GridShooters, AimedGridFiresNineBulletsAtTheAimOfStepTwoFromG1ToG9) {
    CharaData* e = Spawn(5, 0, -230, 256);
    RunFrames(1);
    std::vector<Volley> volleys = Volleys(2 + 15 * 11, [](int frame) { PlacePlayer(frame % 200 - 100, 200); });
    ASSERT_EQ(9u, volleys.size());
    int32_t aim = e->work5;
    for (int g = 0; g < 9; g++) {
        EXPECT_EQ(2 + 15 * (g + 3), volleys[g].frame);
        ASSERT_EQ(1u, volleys[g].bullets.size());
        const ShownBullet& b = volleys[g].bullets[0];
        EXPECT_EQ(aim, b.angle);
        EXPECT_EQ(2, b.type);
        EXPECT_EQ(ScaledSpeed(38 - 2 * g), b.speed) << "g" << g + 1;
    }
    // Heading down the field the side axis is +x: g1, g4, g7 on the left, g3, g6, g9 on the right.
    for (int g = 0; g < 9; g++) EXPECT_EQ(e->x + Px(15 * (g % 3 - 1)), volleys[g].bullets[0].x) << "g" << g + 1;
}

TEST_F(GridShooters, Type14FiresFourVolleysOfNinePerCycle) {
    Spawn(14, 0, -230, 256);
    RunFrames(1);
    std::vector<Volley> volleys = Volleys(15 * 16);
    ASSERT_EQ(4u, volleys.size());
    for (const Volley& v : volleys) {
        EXPECT_EQ(9u, v.bullets.size());
        EXPECT_EQ(ScaledSpeed(32), v.bullets[0].speed);
        EXPECT_EQ(0, v.bullets[0].type);
    }
}

TEST_F(GridShooters, HeadingDownDrivesOneHundredTwentyPixelsHeadingUpNeverStops) {
    CharaData* down = Spawn(5, -100, -300, 256);
    CharaData* up = Spawn(5, 100, 100, 768);
    RunFrames(300);
    EXPECT_GE(down->work3, 122880);
    int32_t downY = down->y, upY = up->y;
    RunFrames(1);
    EXPECT_EQ(downY + 512, down->y);
    EXPECT_LT(up->y, upY);
}

TEST_F(GridShooters, SideRowShooterIsReplacedOnlyWhenDestroyedAboveTheCentreLine) {
    struct { int32_t type, finalY, bossLife, replacements; } cases[] = {
        {18, 19, 10, 1}, {18, 20, 10, 0}, {18, 19, 0, 0}, {19, 19, 10, 1}, {25, -21, 10, 1}, {25, -20, 10, 0}, {26, -21, 10, 1},
    };
    for (auto c : cases) {
        GroundEnemyList.Clear();
        GroundPartList.Clear();
        GameState.bossLife = 10;
        bool right = c.type == 19 || c.type == 26;
        CharaData* e = Spawn(c.type, 0, -100, right ? 512 : 0);
        RunFrames(1);
        GroundPartList.Clear();  // they would have gone with the sequence's first turn
        e->state = 3;
        e->stateTimer = 20;
        e->y = c.finalY - 512;  // the final turn still rides the scroll
        GameState.bossLife = c.bossLife;
        RunFrames(1);
        ASSERT_EQ(c.replacements, CountOf(GroundEnemyList)) << "type " << c.type << " y " << c.finalY;
        if (c.replacements == 0) continue;
        const CharaData* next = GroundEnemyList.head;
        EXPECT_EQ(c.type, next->type);
        EXPECT_EQ(2, next->state);
        EXPECT_EQ(right ? 430080 : -430080, next->x);
        EXPECT_EQ(c.finalY, next->y);
        EXPECT_EQ(right ? 512 : 0, next->angle);
    }
}

TEST_F(GridShooters, ForcedDestructionAtTimeOverStillReplaces) {
    Spawn(18, 0, -100, 0);
    RunFrames(1);
    GameState.bossTimer = 0;
    RunFrames(1 + 21);  // forced at the end of a turn, then 21 turns of the sequence
    ASSERT_EQ(1, CountOf(GroundEnemyList));
    EXPECT_EQ(18, GroundEnemyList.head->type);
}

TEST_F(GridShooters, SlideInsWaitTwoHundredFramesThenStopAtTwoHundredForty) {
    for (int32_t type : {18, 19, 25, 26}) {
        GroundEnemyList.Clear();
        GroundPartList.Clear();
        int32_t side = type == 18 || type == 25 ? -1 : 1;
        SpawnGroundEnemy(type, &GroundEnemyList, side * 430080, Px(-150), side < 0 ? 0 : 512);
        CharaData* e = GroundEnemyList.head;
        RunFrames(1 + 201);
        EXPECT_EQ(side * 430080, e->x) << "type " << type;
        RunFrames(1);
        EXPECT_EQ(side * (430080 - 1280), e->x) << "type " << type;
        RunFrames(200);
        EXPECT_EQ(side * 245760, e->x) << "type " << type;
    }
}

// ---- emplacements ----------------------------------------------------------------------

class Emplacements : public EnemyWorld {};

TEST_F(Emplacements, Type6FiresOnMultiplesOfItsInterval) {
    Spawn(6, 0, -100, 256);
    RunFrames(1);
    int32_t interval = ScaleFireIntervalStrong(22);
    std::vector<Volley> volleys = Volleys(2 * interval);
    EXPECT_EQ((std::vector<int>{interval, 2 * interval}), FramesOf(volleys));
    EXPECT_EQ(ScaledSpeed(44), volleys[0].bullets[0].speed);
}

TEST_F(Emplacements, Type10TurnsTwoStepsAndFiresOnlyWithinAnAimErrorOf159) {
    for (int32_t error : {159, 160}) {
        GroundEnemyList.Clear();
        BulletList.Clear();
        CharaData* e = Spawn(10, 0, -100, 256);
        RunFrames(1);
        int32_t aim = NormalizeAngle(GetAngleTo(e->x, e->y + 512, PlayerList.self.x, PlayerList.self.y));
        e->angle = aim - error - 2;
        e->frameCounter = 1;  // the next turn is a fire frame
        RunFrames(1);
        EXPECT_EQ(aim - error, e->angle);
        EXPECT_EQ(error < 160 ? 4 : 0, CountOf(BulletList)) << "error " << error;
    }
}

TEST_F(Emplacements, Type15DriftsAwayFromItsSideOfTheCentre) {
    for (int32_t x : {9, 10}) {
        GroundEnemyList.Clear();
        SpawnGroundEnemy(15, &GroundEnemyList, x, Px(-100), 256);
        CharaData* e = GroundEnemyList.head;
        RunFrames(2);
        EXPECT_EQ(x + (x < 10 ? 1 : -1) * 15 * 128, e->x);
    }
}

TEST_F(Emplacements, Type15SpraysFourOutOfEachSideThenThrowsARing) {
    CharaData* e = Spawn(15, 0, -100, 256);
    RunFrames(1 + 1);
    size_t before = Bullets().size();
    RunFrames(1);  // clock 2: a spray tick and a ring tick
    std::vector<ShownBullet> made = BulletsFrom(before);
    ASSERT_EQ(32u, made.size());
    struct { int32_t side, forward, direction; } spray[16] = {
        {-13, -48, 768}, {-5, -48, 768}, {5, -48, 768}, {13, -48, 768}, {-13, 48, 256}, {-5, 48, 256},
        {5, 48, 256},    {13, 48, 256},  {-46, -13, 512}, {-46, -5, 512}, {-46, 5, 512}, {-46, 13, 512},
        {46, -13, 0},    {46, -5, 0},    {46, 5, 0},     {46, 13, 0},
    };
    for (int i = 0; i < 16; i++) {
        EXPECT_EQ(e->x + Px(spray[i].side), made[i].x) << i;
        EXPECT_EQ(e->y + Px(spray[i].forward), made[i].y) << i;
        EXPECT_EQ(spray[i].direction, made[i].angle) << i;
        EXPECT_EQ(2, made[i].type);
        EXPECT_EQ(ScaledSpeed(20, true), made[i].speed);
    }
    for (int i = 0; i < 16; i++) {
        EXPECT_EQ(64 * i, made[16 + i].angle);
        EXPECT_EQ(4, made[16 + i].type);
        EXPECT_EQ(e->x, made[16 + i].x);
    }
}

TEST_F(Emplacements, BasesNeverFireRevenge) {
    GameState.level = 4;
    GameState.remix = 1;
    for (int32_t type : {13, 17}) {
        GroundEnemyList.Clear();
        GroundPartList.Clear();
        BulletList.Clear();
        CharaData* e = Spawn(type, 0, -100, 256);
        RunFrames(1);
        GroundPartList.Clear();
        e->state = 3;
        e->stateTimer = 0;
        RunFrames(21);
        EXPECT_EQ(0, CountOf(GroundEnemyList));
        EXPECT_EQ(0, CountOf(BulletList)) << "type " << type;
    }
}

}  // namespace GridAndEmplacements_test
