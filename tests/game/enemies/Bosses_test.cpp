// The seven stage bosses and their parts: thresholds, the shared guns, the hulls' movement,
// the halves' second mode, and the parts that blow up on a fire frame.
#include <algorithm>
#include <set>

#include "EnemyWorld.h"
#include "WorldUpdaters.h"

namespace Bosses_test {

class Bosses : public EnemyWorld {
protected:
    // A boss set up at (x, -100) px; its parts set up and placed.
    CharaData* Boss(int32_t type, int32_t xPx = 0) {
        CharaData* b = Spawn(type, xPx, -100, 256);
        RunFrames(1);
        return b;
    }
    static CharaData* PartOfType(int32_t type) {
        for (CharaData* p = GroundPartList.head; p; p = p->next)
            if (p->type == type) return p;
        return nullptr;
    }
    // Parts that fire in the way of what a case counts.
    static void DropPartsExcept(int32_t keep) {
        for (CharaData* p = GroundPartList.head; p;) p = p->type == keep ? p->next : GroundPartList.RemoveNode(p);
    }
};

// ---- parts that blow up -------------------------------------------------------------------

// A part that blows itself up ends its turn: a fire remainder in that frame brings only the
// revenge bullet and the blast.
TEST_F(Bosses, PartBlownUpOnAFireFrameFiresOnlyItsRevenge) {
    struct Case {
        int32_t boss, part, threshold;
        int32_t (*interval)(int32_t);
        int32_t base;
        int32_t firingStep;  // a step of its cycle that fires
    } cases[] = {
        {32, 24, 14000, ScaleFireIntervalStrong, 17, 2},
        {22, 15, 7000, ScaleFireIntervalMedium, 12, 2},
        {41, 30, 17500, ScaleFireIntervalMedium, 16, 2},
    };
    for (const Case& c : cases) {
        ResetGameWorld();
        SetUpField();
        RestoreEnemyBehaviours();
        GameState.level = 3;
        CharaData* boss = Boss(c.boss);
        DropPartsExcept(c.part);
        CharaData* part = GroundPartList.head;
        // Run on to the frame before one whose advanced clock hits the fire remainder at a
        // firing step.
        while (!((part->frameCounter + 1) % c.interval(c.base) == 2 && part->work2 == c.firingStep)) RunFrames(1);
        BulletList.Clear();
        boss->hp = c.threshold - 1;
        uint32_t before = RandomState();
        UpdateGroundEnemies(&GroundEnemyLists);
        uint32_t afterBoss = RandomState();
        size_t bossBullets = Bullets().size();
        UpdateGroundParts(&GroundPartLists);
        EXPECT_EQ(16, DrawsBetween(afterBoss, RandomState())) << c.part;
        std::vector<ShownBullet> made = BulletsFrom(bossBullets);
        ASSERT_EQ(1u, made.size()) << c.part;
        EXPECT_EQ(3, made[0].type) << c.part;
        EXPECT_EQ(0, CountOf(GroundPartList)) << c.part;
        (void)before;
    }
}

// ---- stage 1 -------------------------------------------------------------------------------

TEST_F(Bosses, Stage1MainGunBreaksBelow6666AndRunsThatTurnAsTheMainGun) {
    CharaData* hull = Boss(20);
    CharaData* gun = PartOfType(10);
    hull->hp = 6666;
    RunFrames(30);
    EXPECT_EQ(10, gun->type);
    hull->hp = 6665;
    int32_t clock = gun->frameCounter;
    RunFrames(1);
    EXPECT_EQ(11, gun->type);
    EXPECT_EQ((clock + 1) % 1200, gun->frameCounter);
}

TEST_F(Bosses, Stage1HullDestroyedFromFullStillBreaksItsGun) {
    CharaData* hull = Boss(20);
    GameState.level = 3;
    static int32_t typeSeen;
    typeSeen = 0;
    GroundPartBehaviours[10] = [](EnemyLists* l, CharaData* p) {
        DefaultGroundPartBehaviour(10)(l, p);
        typeSeen = p->type;
    };
    hull->hp = -1;
    hull->state = 3;
    BulletList.Clear();
    fakeapi::Reset();
    RunFrames(1);
    EXPECT_EQ(11, typeSeen);
    EXPECT_EQ(std::vector<int>{kSoundBak2}, PlayedEffects());
    EXPECT_EQ(0, CountOf(GroundPartList));
}

TEST_F(Bosses, Stage1HullTurnsOnlyPastItsBounds) {
    CharaData* hull = Boss(20);
    DropPartsExcept(-1);
    hull->y = -81920 - 768;
    RunFrames(1);
    ASSERT_EQ(-81920, hull->y);
    EXPECT_EQ(1, hull->work2);
    RunFrames(1);
    EXPECT_EQ(-81920 + 768, hull->y);
    EXPECT_EQ(-1, hull->work2);
    hull->y = -204800 + 768;
    RunFrames(1);
    ASSERT_EQ(-204800, hull->y);
    EXPECT_EQ(-1, hull->work2);
    RunFrames(1);
    EXPECT_EQ(1, hull->work2);
}

TEST_F(Bosses, Stage1SpreadStepWrapsPast115) {
    PlacePlayer(200, 200);
    CharaData* hull = Boss(20);
    hull->hp = 6000;
    RunFrames(1);
    CharaData* gun = PartOfType(11);
    ASSERT_NE(nullptr, gun);
    std::vector<int32_t> steps;
    for (int frame = 0; frame < 140 * 8; frame++) {
        int32_t before = gun->work4;
        RunFrames(1);
        if (gun->work4 != before) steps.push_back(gun->work4);
    }
    EXPECT_EQ((std::vector<int32_t>{32, 64, 96, 4, 36, 68, 100, 4}), steps);
}

// ---- stage 2 -------------------------------------------------------------------------------

TEST_F(Bosses, Stage2CannonWakesAndFourMuzzleGunBlowsUpBelow14000) {
    CharaData* hull = Boss(32);
    CharaData* cannon = PartOfType(23);
    hull->hp = 14000;
    RunFrames(50);
    EXPECT_EQ(768, cannon->angle);
    EXPECT_NE(nullptr, PartOfType(24));
    hull->hp = 13999;
    RunFrames(1);
    EXPECT_NE(768, cannon->angle);
    EXPECT_EQ(nullptr, PartOfType(24));
}

TEST_F(Bosses, Stage2CannonTurnsOnceInTheHullsFirstDestroyedFrame) {
    CharaData* hull = Boss(32);
    static int32_t angleSeen;
    GroundPartBehaviours[23] = [](EnemyLists* l, CharaData* p) {
        DefaultGroundPartBehaviour(23)(l, p);
        angleSeen = p->angle;
    };
    hull->hp = -1;
    hull->state = 3;
    fakeapi::Reset();
    RunFrames(1);
    EXPECT_EQ(10, std::abs(GetAngleDiff(angleSeen, 768)));
    EXPECT_EQ(std::vector<int>{kSoundBak2}, PlayedEffects());
}

TEST_F(Bosses, Stage2VolleysBeyondTheIntervalNeverCome) {
    GameState.stage = 4;
    GameState.level = 3;
    GameState.rank = 80;
    ASSERT_EQ(80, ScaleFireIntervalStrong(120));
    CharaData* hull = Boss(32);
    DropPartsExcept(-1);
    PlacePlayer(300, 200);
    std::set<int32_t> remainders;
    for (int frame = 0; frame < 400; frame++) {
        size_t before = Bullets().size();
        RunFrames(1);
        if (Bullets().size() > before) remainders.insert(hull->frameCounter % 80);
    }
    EXPECT_EQ((std::set<int32_t>{5, 10, 15, 20, 25, 30, 65, 70, 75}), remainders);
}

TEST_F(Bosses, Stage2SpinRatesStayAt39) {
    Boss(32);
    CharaData* left = PartOfType(25);
    CharaData* right = PartOfType(26);
    int32_t most = 0, least = 0;
    for (int frame = 0; frame < 600; frame++) {
        RunFrames(1);
        most = std::max(most, left->work2);
        least = std::min(least, right->work2);
        ASSERT_GE(left->work2, 0);
        ASSERT_LE(right->work2, 0);
    }
    EXPECT_EQ(39, most);
    EXPECT_EQ(-39, least);
}

// ---- stage 3 -------------------------------------------------------------------------------

TEST_F(Bosses, Stage3FanGunWakesBelow7000) {
    CharaData* half = Boss(22);
    CharaData* fan = PartOfType(16);
    half->hp = 7000;
    RunFrames(20);
    EXPECT_EQ(256, fan->angle);
    EXPECT_NE(nullptr, PartOfType(15));
    half->hp = 6999;
    RunFrames(1);
    EXPECT_EQ(nullptr, PartOfType(15));
    EXPECT_EQ(6, fan->work3);
    EXPECT_EQ(256 + 6, fan->angle);
}

TEST_F(Bosses, SurvivorEntersSecondModeInTheSameFrameOnlyWhenTheLeftDiesFirst) {
    for (bool leftFirst : {true, false}) {
        ResetGameWorld();
        SetUpField();
        RestoreEnemyBehaviours();
        CharaData* left = Spawn(22, -120, -100, 256);
        CharaData* right = Spawn(22, 120, -100, 256);
        RunFrames(1);
        CharaData* dying = leftFirst ? left : right;
        dying->state = 3;
        dying->stateTimer = 20;
        static std::vector<int32_t> lifeSeen;
        lifeSeen.clear();
        static CharaData* survivor;
        survivor = leftFirst ? right : left;
        GroundEnemyBehaviours[22] = [](EnemyLists* l, CharaData* e) {
            if (e == survivor) lifeSeen.push_back(GameState.bossLife);
            DefaultGroundEnemyBehaviour(22)(l, e);
        };
        RunFrames(2);
        EXPECT_EQ(leftFirst ? (std::vector<int32_t>{5, 5}) : (std::vector<int32_t>{10, 5}), lifeSeen);
    }
}

TEST_F(Bosses, Stage3SpiralArmsWrap) {
    PlacePlayer(300, 200);
    CharaData* half = Boss(22);
    DropPartsExcept(-1);
    GameState.bossLife = 5;
    std::vector<int32_t> first, second;
    for (int frame = 0; frame < 3000 && first.size() < 29; frame++) {
        int32_t before = half->work4;
        RunFrames(1);
        half->y = -100 * 1024;  // keep it on screen; the creep is not the point here
        if (half->work4 != before || (first.size() == 27 && half->work5 != second.back())) {
            first.push_back(half->work4);
            second.push_back(half->work5);
        }
    }
    ASSERT_GE(first.size(), 29u);
    EXPECT_EQ(37, first[0]);
    EXPECT_EQ(999, first[26]);
    EXPECT_EQ(0, first[27]);
    EXPECT_EQ(1024, second[0]);
    EXPECT_EQ(987, second[1]);
    EXPECT_EQ(25, second[27]);
    EXPECT_EQ(1024, second[28]);
}

TEST_F(Bosses, RemixSpreadsSkipTheFirst41FramesOfEvery120) {
    GameState.remix = 1;
    PlacePlayer(300, 200);
    CharaData* half = Boss(22);
    DropPartsExcept(-1);
    int volleys = 0;
    for (int frame = 0; frame < 600; frame++) {
        size_t before = Bullets().size();
        RunFrames(1);
        half->y = -100 * 1024;
        if (Bullets().size() == before) continue;
        volleys++;
        EXPECT_GT(half->frameCounter % 120, 40);
    }
    EXPECT_GT(volleys, 0);
}

// ---- stage 4 -------------------------------------------------------------------------------

TEST_F(Bosses, Stage4TwinGunsBreakOffBelow8000AndStayPut) {
    CharaData* half = Boss(28);
    half->hp = 8000;
    RunFrames(5);
    CharaData* twin = PartOfType(21);
    ASSERT_NE(nullptr, twin);
    half->hp = 7999;
    RunFrames(1);
    EXPECT_EQ(0, twin->type);
    int32_t x = twin->x, y = twin->y, angle = twin->angle;
    RunFrames(30);
    EXPECT_EQ(x, twin->x);
    EXPECT_EQ(y, twin->y);
    EXPECT_EQ(angle, twin->angle);
    EXPECT_NE(y, GetLocalPointY(half->y, twin->vx, twin->vy, half->angle));
}

TEST_F(Bosses, Stage4TwinGunFirstPairFliesAt16AndAShortIntervalSilencesIt) {
    Boss(28, -120);
    DropPartsExcept(21);
    auto twinBullets = [] {
        std::vector<ShownBullet> twins;
        for (const ShownBullet& b : Bullets())
            if (b.type == 1) twins.push_back(b);
        return twins;
    };
    RunFrames(60);
    ASSERT_FALSE(twinBullets().empty());
    EXPECT_EQ(ScaledSpeed(16), twinBullets()[0].speed);

    ResetGameWorld();
    SetUpField();
    RestoreEnemyBehaviours();
    GameState.level = 4;
    GameState.remix = 1;
    GameState.rank = 200;
    GameState.stage = 4;
    ASSERT_LE(ScaleFireIntervalStrong(80), 21);
    Boss(28, -120);
    DropPartsExcept(21);
    RunFrames(300);
    EXPECT_TRUE(twinBullets().empty());
}

TEST_F(Bosses, Stage4SecondModeVolleyIs32Bullets) {
    GameState.stage = 4;
    PlacePlayer(300, 200);
    CharaData* half = Boss(28);
    DropPartsExcept(-1);
    GameState.bossLife = 5;
    std::vector<Volley> volleys = Volleys(200, [&](int) { half->y = -100 * 1024; });
    ASSERT_FALSE(volleys.empty());
    EXPECT_EQ(32u, volleys[0].bullets.size());
}

// ---- stage 5 -------------------------------------------------------------------------------

TEST_F(Bosses, Stage5VolleysByStrengthAndMode) {
    struct Case {
        int32_t hp, bossLife;
        std::set<int32_t> remainders;
        bool aimed;
    } cases[] = {
        {8000, 10, {0, 2, 4}, true},
        {8000, 5, {0, 2, 4, 6, 8}, true},
        {7999, 10, {0, 2, 4}, false},
        {7999, 5, {0, 2, 4, 6, 8, 10}, false},
    };
    for (const Case& c : cases) {
        ResetGameWorld();
        SetUpField();
        RestoreEnemyBehaviours();
        GameState.stage = 5;
        GameState.level = 4;
        GameState.rank = 200;  // short intervals, so every remainder falls in the second half of 90
        PlacePlayer(300, 200);
        CharaData* half = Boss(37);
        DropPartsExcept(-1);
        half->hp = c.hp;
        GameState.bossLife = c.bossLife;
        int32_t interval = c.aimed ? ScaleFireIntervalMild(28) : ScaleFireIntervalStrong(28);
        std::set<int32_t> remainders;
        for (int frame = 0; frame < 360; frame++) {
            size_t before = Bullets().size();
            uint32_t state = RandomState();
            RunFrames(1);
            half->y = -100 * 1024;
            int draws = DrawsBetween(state, RandomState());
            size_t made = Bullets().size() - before;
            if (made == 0 && draws == 0) continue;
            EXPECT_GE(half->frameCounter % 90, 45);
            EXPECT_EQ(6u, made);
            EXPECT_EQ(c.aimed ? 0 : 6, draws);
            remainders.insert(half->frameCounter % interval);
        }
        EXPECT_EQ(c.remainders, remainders) << c.hp << " " << c.bossLife;
    }
}

TEST_F(Bosses, Stage5ScatteredVolleyDrawsSixEvenWhenEveryBulletIsRefused) {
    GameState.stage = 5;
    CharaData* half = Boss(37);
    DropPartsExcept(-1);
    half->hp = 7000;
    int volleys = 0;
    for (int frame = 0; frame < 200; frame++) {
        GameState.noFireTime = 10;
        uint32_t state = RandomState();
        RunFrames(1);
        half->y = -100 * 1024;
        int draws = DrawsBetween(state, RandomState());
        if (draws == 0) continue;
        volleys++;
        EXPECT_EQ(6, draws);
    }
    EXPECT_GT(volleys, 0);
    EXPECT_EQ(0, CountOf(BulletList));
}

// ---- stage 6 -------------------------------------------------------------------------------

TEST_F(Bosses, Stage6MainGunBecomesTheSpreadGunWithItsClockAtOne) {
    PlacePlayer(300, 200);
    CharaData* hull = Boss(16);
    CharaData* gun = PartOfType(18);
    hull->hp = 10000;
    RunFrames(10);
    EXPECT_EQ(18, gun->type);
    hull->hp = 9999;
    RunFrames(1);
    EXPECT_EQ(19, gun->type);
    EXPECT_EQ(1, gun->frameCounter);
    DropPartsExcept(19);
    // No wave (12 bullets) until its clock passes 119.
    for (int frame = 0; frame < 200; frame++) {
        size_t before = Bullets().size();
        RunFrames(1);
        hull->y = -100 * 1024;
        size_t made = Bullets().size() - before;
        if (made >= 12) {
            EXPECT_GT(gun->frameCounter, 119);
        }
    }
}

TEST_F(Bosses, Stage6SalvoOnlyInTheLast39FramesOfEvery120) {
    PlacePlayer(300, 200);
    CharaData* hull = Boss(16);
    DropPartsExcept(-1);
    int salvos = 0;
    for (int frame = 0; frame < 480; frame++) {
        size_t before = Bullets().size();
        RunFrames(1);
        hull->y = -100 * 1024;
        if (Bullets().size() == before) continue;
        salvos++;
        EXPECT_EQ(8u, Bullets().size() - before);
        EXPECT_GE(hull->frameCounter % 120, 81);
    }
    EXPECT_GT(salvos, 0);
}

// ---- stage 7 -------------------------------------------------------------------------------

TEST_F(Bosses, Stage7HatchesOpenOverThreeEvenFramesBeforeTheFirstSweep) {
    CharaData* half = Boss(41);
    half->hp = 17500;
    RunFrames(5);
    EXPECT_NE(nullptr, PartOfType(30));
    EXPECT_EQ(0, half->subFrame[0]);
    half->hp = 17499;
    std::vector<int32_t> frames;
    int firstVolley = 0;
    for (int frame = 1; frame <= 200 && firstVolley == 0; frame++) {
        int32_t before = half->subFrame[0];
        size_t bullets = Bullets().size();
        RunFrames(1);
        if (half->subFrame[0] != before) frames.push_back(half->frameCounter);
        if (Bullets().size() > bullets) firstVolley = half->frameCounter;
    }
    EXPECT_EQ(nullptr, PartOfType(30));
    ASSERT_EQ(3u, frames.size());
    for (int32_t f : frames) EXPECT_EQ(0, f % 2);
    EXPECT_GT(firstVolley, frames.back());
    EXPECT_EQ(3, half->subFrame[3]);
}

TEST_F(Bosses, Stage7LasersOnlyWhileTheGroundStands) {
    CharaData* half = Boss(41);
    DropPartsExcept(-1);
    auto lasers = [] {
        int n = 0;
        for (const CharaData* b = BulletList.head; b; b = b->next) n += b->type == 9;
        return n;
    };
    GameState.scrollSpeed = 512;
    RunFrames(200);
    EXPECT_EQ(0, lasers());
    GameState.scrollSpeed = 0;
    half->y = -100 * 1024;  // the emitters drop 91 px ahead, above the 60-px line
    while (half->frameCounter % 200 != 49) RunFrames(1);
    RunFrames(1);
    EXPECT_EQ(4, lasers());
    BulletList.Clear();
    half->state = 3;
    half->stateTimer = 0;
    while (half->frameCounter % 200 != 49) half->frameCounter++;
    RunFrames(30);
    EXPECT_EQ(0, lasers());
}

TEST_F(Bosses, Stage7LeftEndClearsTheLeftEmitters) {
    CharaData* left = Spawn(41, -120, -100, 256);
    Spawn(41, 120, -100, 256);
    RunFrames(1);
    DropPartsExcept(-1);
    GameState.scrollSpeed = 0;
    while (left->frameCounter % 200 != 50) RunFrames(1);
    ASSERT_EQ(8, CountOf(BulletList));
    left->state = 3;
    left->stateTimer = 20;
    RunFrames(1);
    UpdateEnemyBullets(&BulletLists);  // the emitters start
    UpdateEnemyBullets(&BulletLists);
    EXPECT_EQ(1, GameState.leftHalfDestroyed);
    int leftOnes = 0, rightOnes = 0;
    for (const CharaData* b = BulletList.head; b; b = b->next)
        if (b->type == 9) (b->x < 0 ? leftOnes : rightOnes)++;
    EXPECT_EQ(0, leftOnes);
    EXPECT_EQ(4, rightOnes);
}

TEST_F(Bosses, Stage7SweepMakesTenVolleysAndTheSecondModePauseIsOneFrame) {
    for (int32_t life : {10, 5}) {
        ResetGameWorld();
        SetUpField();
        RestoreEnemyBehaviours();
        PlacePlayer(300, 200);
        CharaData* half = Boss(41);
        half->hp = 17000;
        GameState.bossLife = life;
        int sweeps = 0, pauseFrames = 0;
        for (int frame = 0; frame < 2000 && half->work3 != 2; frame++) {
            int32_t step = half->work3;
            size_t before = Bullets().size();
            RunFrames(1);
            if (step == 0 && Bullets().size() > before) sweeps++;
            if (step == 1) pauseFrames++;
        }
        EXPECT_EQ(10, sweeps) << life;
        if (life == 5) {
            EXPECT_EQ(1, pauseFrames);
        } else {
            EXPECT_GT(pauseFrames, 1);
        }
    }
}

}  // namespace Bosses_test
