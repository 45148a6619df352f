// The guns carried by ground enemies, on a still carrier 300 px above a player straight
// below. Stage 1, NORMAL, rank 0 unless a row says otherwise: Medium, Strong and Mild agree
// there (50 gives 77, 6 gives 8, 40 gives 61, 36 gives 55, 60 gives 92, 25 gives 38, 95 gives
// 145, 32 gives 49, 8 gives 12).
#include "EnemyWorld.h"

namespace GroundParts_test {

class GroundParts : public EnemyWorld {
protected:
    CharaData* carrier = nullptr;
    void SetUp() override {
        EnemyWorld::SetUp();
        carrier = StillCarrier(0, -100);
        carrier->work5 = -122880;  // part 1's carrier has driven its distance
    }
    CharaData* Mount(int32_t type, int32_t side = 0, int32_t forward = 0) {
        SpawnGroundPart(type, &GroundPartList, side, forward, 256, carrier);
        return GroundPartList.tail;
    }
};

TEST_F(GroundParts, FirstTwoVolleysOfEveryAimedTurret) {
    struct Row {
        int32_t type, level;
        int first, second;
        std::vector<int32_t> speeds;  // base speeds of one volley, in order
        bool mild;
        int32_t bulletType;
    } rows[] = {
        {1, 1, 2, 79, {35, 35}, false, 2},
        {2, 1, 98, 106, {25, 25, 25}, false, 3},
        {3, 1, 2, 63, {24}, false, 2},
        {4, 1, 2, 57, {16}, false, 2},
        {5, 1, 2, 94, std::vector<int32_t>(15, 16), false, 3},
        {6, 1, 2, 79, {33}, false, 2},
        {7, 1, 2, 40, {36, 36}, false, 2},
        {8, 1, 22, 26, {16, 16}, false, 1},
        {9, 1, 246, 307, {50}, false, 5},
        {12, 1, 51, 100, {24, 20, 16, 12}, true, 2},
        {17, 1, 84, 96, {32, 32}, true, 2},
        {22, 2, 20, 45, {24}, true, 2},  // on NORMAL its 8-frame cadence never meets its 6-frame window
    };
    for (const Row& r : rows) {
        GroundPartList.Clear();
        BulletList.Clear();
        GameState.level = r.level;
        Mount(r.type);
        std::vector<Volley> volleys = Volleys(r.second);
        ASSERT_EQ(2u, volleys.size()) << "part " << r.type;
        EXPECT_EQ(r.first, volleys[0].frame) << "part " << r.type;
        EXPECT_EQ(r.second, volleys[1].frame) << "part " << r.type;
        std::vector<int32_t> expected, speeds;
        for (int32_t s : r.speeds) expected.push_back(ScaledSpeed(s, r.mild));
        for (const ShownBullet& b : volleys[0].bullets) {
            speeds.push_back(b.speed);
            EXPECT_EQ(r.bulletType, b.type) << "part " << r.type;
        }
        EXPECT_EQ(expected, speeds) << "part " << r.type;
    }
}

TEST_F(GroundParts, Part5AlternatesItsFans) {
    Mount(5);
    std::vector<Volley> volleys = Volleys(2 + 2 * 92);
    ASSERT_EQ(3u, volleys.size());
    std::vector<int32_t> fanA = {-94, -87, -80, -73, -66, -14, -7, 0, 7, 14, 66, 73, 80, 87, 94};
    std::vector<int32_t> fanB = {-134, -127, -120, -113, -106, -54, -47, -40, -33, -26,
                                 26,   33,   40,   47,   54,   106,  113,  120,  127,  134};
    int32_t aim = GroundPartList.head->angle;
    for (int i = 0; i < 3; i++) {
        std::vector<int32_t> offsets;
        for (const ShownBullet& b : volleys[i].bullets) offsets.push_back(b.angle - aim);
        EXPECT_EQ(i == 1 ? fanB : fanA, offsets) << "volley " << i;
    }
}

TEST_F(GroundParts, Part1WaitsWithItsClockFrozenUntilTheCarrierHasDrivenItsDistance) {
    carrier->work5 = -122879;
    CharaData* gun = Mount(1);
    RunFrames(50);
    EXPECT_EQ(0, gun->frameCounter);
    EXPECT_EQ(0, CountOf(BulletList));
    carrier->work5 = 122880;
    RunFrames(2);
    EXPECT_EQ(2, gun->frameCounter);
    EXPECT_EQ(2, CountOf(BulletList));
}

TEST_F(GroundParts, ClocksOfParts17And22WrapAt1200) {
    for (int32_t type : {17, 22}) {
        CharaData* gun = Mount(type);
        RunFrames(1);
        gun->frameCounter = 1199;
        RunFrames(1);
        EXPECT_EQ(0, gun->frameCounter) << "part " << type;
    }
}

TEST_F(GroundParts, Part7SweepsOneStepAFrameUntilItsFirstBound) {
    CharaData* gun = Mount(7);
    RunFrames(1);
    EXPECT_EQ(1, gun->work2);
    RunFrames(127);
    EXPECT_EQ(128, gun->work2);
    RunFrames(1);
    EXPECT_EQ(129, gun->work2);
    EXPECT_EQ(-4, gun->work3);
}

// The set-up's 12 is reset on frames 1-20, before any window, so no pair flies at 12.
TEST_F(GroundParts, Part8PairsAccelerateAndStartAgainAtSixteen) {
    Mount(8);
    std::vector<Volley> volleys = Volleys(145 + 40);
    std::vector<int32_t> speeds;
    for (const Volley& v : volleys) {
        ASSERT_EQ(2u, v.bullets.size());
        EXPECT_EQ(v.bullets[0].speed, v.bullets[1].speed);
        speeds.push_back(v.bullets[0].speed);
    }
    std::vector<int32_t> window;
    for (int32_t s : {16, 20, 24, 28, 32}) window.push_back(ScaledSpeed(s));
    std::vector<int32_t> expected = window;
    expected.insert(expected.end(), window.begin(), window.end());
    EXPECT_EQ(expected, speeds);
}

// ---- hatch, sweep and ring guns ---------------------------------------------------------

TEST_F(GroundParts, HatchBlockBreaksOffInTheTurnItsCarrierFallsBelow4000) {
    for (int32_t level : {2, 3}) {
        ResetGameWorld();
        SetUpField();
        RestoreEnemyBehaviours();
        PlacePlayer(0, 200);
        GameState.level = level;
        carrier = StillCarrier(0, -100);
        carrier->hp = 3999;
        Mount(13, 0, 32);
        CharaData* sweeper = Mount(14, 0, -11);
        uint32_t before = RandomState();
        RunFrames(1);
        EXPECT_EQ((std::vector<int>{kSoundBak2}), PlayedEffects());
        EXPECT_EQ(16, DrawsBetween(before, RandomState()));
        EXPECT_EQ(level >= 3 ? 1 : 0, CountOf(BulletList));
        ASSERT_EQ(1, CountOf(GroundPartList));
        EXPECT_EQ(sweeper, GroundPartList.head);
        EXPECT_EQ(1, sweeper->frameCounter);
        EXPECT_EQ(6, sweeper->work3);
    }
}

TEST_F(GroundParts, HatchBlockFiresNothingMoreOnTheTurnItBreaks) {
    CharaData* block = Mount(13, 0, 32);
    RunFrames(1);
    block->work2 = 3;  // a firing step
    block->frameCounter = 1;  // and the next clock is a fire remainder
    carrier->hp = 3999;
    RunFrames(1);
    EXPECT_EQ(0, CountOf(BulletList));
    EXPECT_EQ(0, CountOf(GroundPartList));
}

// Medium(12) = 17 here: step k runs at clock 2 + 17k.
TEST_F(GroundParts, HatchBlockCycleFiresItsRowsOneStepBehindTheirHatches) {
    CharaData* block = Mount(13, 0, 32);
    struct { int count; int32_t speed; int hatch; } steps[6] = {
        {6, 20, 0}, {8, 25, 1}, {6, 30, 2}, {8, 35, 0}, {6, 40, 1}, {8, 45, 2},
    };
    std::vector<Volley> volleys = Volleys(2 + 17 * 8, [&](int frame) {
        for (int k = 0; k < 3; k++) {
            if (frame != 2 + 17 * (3 + k)) continue;
            EXPECT_EQ(3, block->subFrame[k]) << "hatch " << k << " open before its row fires";
            if (k == 0) {
                EXPECT_EQ(0, block->subFrame[2]) << "the lower hatch still shut";
            }
        }
    });
    ASSERT_EQ(6u, volleys.size());
    for (int i = 0; i < 6; i++) {
        EXPECT_EQ(2 + 17 * (3 + i), volleys[i].frame);
        ASSERT_EQ(static_cast<size_t>(steps[i].count), volleys[i].bullets.size()) << "step " << 3 + i;
        EXPECT_EQ(ScaledSpeed(steps[i].speed), volleys[i].bullets[0].speed);
        EXPECT_EQ(ScaledSpeed(20), volleys[i].bullets.back().speed);
    }
}

TEST_F(GroundParts, SweepGunIsSilentInItsSwingAndItsPauses) {
    carrier->hp = 3999;
    CharaData* gun = Mount(14, 0, -11);
    std::vector<int> pauseStarts;
    std::vector<int> fired;
    for (int frame = 1; frame <= 800; frame++) {
        size_t before = Bullets().size();
        RunFrames(1);
        if (Bullets().size() > before) fired.push_back(frame);
        if (gun->work5 == 60) pauseStarts.push_back(frame);
    }
    ASSERT_FALSE(fired.empty());
    EXPECT_GT(fired.front(), 43);  // 6 steps a frame from 256 to 512
    ASSERT_GE(pauseStarts.size(), 2u);
    for (int start : pauseStarts) {
        for (int f : fired) EXPECT_FALSE(f > start && f < start + 60) << "fired at " << f << " in a pause from " << start;
    }
}

TEST_F(GroundParts, RingGunThrowsRingsSixtyFourApartInTheFirst201FramesOf400) {
    Mount(31);
    std::vector<Volley> volleys = Volleys(800);
    ASSERT_GT(volleys.size(), 8u);
    int32_t previous = -1;
    for (const Volley& v : volleys) {
        EXPECT_LT(v.frame % 400, 201);
        ASSERT_EQ(8u, v.bullets.size());
        for (int k = 0; k < 8; k++) EXPECT_EQ((v.bullets[0].angle + 128 * k) % 1024, v.bullets[k].angle);
        if (previous >= 0) {
            EXPECT_EQ((previous + 64) % 1024, v.bullets[0].angle);
        }
        previous = v.bullets[0].angle;
    }
}

}  // namespace GroundParts_test
