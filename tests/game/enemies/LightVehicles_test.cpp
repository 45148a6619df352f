// The light ground vehicles: speed cycles, burst windows, widening volleys, the entry phase
// and the turret that waits for its carrier's climb. Stage 1, NORMAL, rank 0 unless a test
// says otherwise.
#include "EnemyWorld.h"

namespace LightVehicles_test {

class LightVehicles : public EnemyWorld {};

TEST_F(LightVehicles, Type1PulsesItsSpeedAndBurstsOnlyEarlyInEachCycle) {
    CharaData* e = Spawn(1, 0, -230, 256);
    RunFrames(1);
    std::vector<int32_t> steps;
    std::vector<int> fired;
    for (int turn = 1; turn <= 160; turn++) {
        int32_t y = e->y;
        size_t before = Bullets().size();
        RunFrames(1);
        steps.push_back(e->y - y);
        if (Bullets().size() > before) fired.push_back(e->frameCounter);
    }
    for (int i = 0; i < 80; i++) EXPECT_EQ(512 + (i < 16 ? 8 : 5) * 128, steps[i]) << "turn " << i + 1;
    EXPECT_EQ(steps[0], steps[80]);
    // Mild(80) = 123 and Mild(8) = 12 here: bursts at 2 and 14, then 134 and 146.
    EXPECT_EQ((std::vector<int>{2, 14, 134, 146}), fired);
    const CharaData* b = BulletList.head;
    EXPECT_EQ(1, b->type);
    EXPECT_EQ(256, b->angle);
    EXPECT_EQ(ScaledSpeed(36, true), b->speed);
}

TEST_F(LightVehicles, Type2WidensItsVolleysAndStartsAgainInEachWindow) {
    Spawn(2, 0, -230, 256);
    RunFrames(1);
    // Strong(160) = 247: the window holds frames 51-119 of each cycle.
    std::vector<Volley> volleys = Volleys(300);
    ASSERT_EQ(5u, volleys.size());
    EXPECT_EQ((std::vector<int>{58, 66, 74, 82, 298}), FramesOf(volleys));
    std::vector<std::vector<int32_t>> offsets;
    for (const Volley& v : volleys) {
        std::vector<int32_t> o;
        for (const ShownBullet& b : v.bullets) o.push_back(b.angle - 256);
        offsets.push_back(o);
    }
    EXPECT_EQ((std::vector<std::vector<int32_t>>{{0}, {-24, 24}, {-48, 0, 48}, {-72, -24, 24, 72}, {0}}), offsets);
    EXPECT_EQ(0, volleys[0].bullets[0].type);
}

// A window shorter than the four volleys need fires fewer of them.
TEST_F(LightVehicles, Type2ShortWindowFiresFewerVolleys) {
    GameState.level = 4;
    GameState.stage = 4;
    GameState.remix = 1;
    int32_t interval = ScaleFireIntervalStrong(160);
    ASSERT_EQ(54, interval);  // the window is frames 51-53 of each cycle
    Spawn(2, 0, -230, 256);
    RunFrames(1);
    std::vector<Volley> volleys = Volleys(300);
    ASSERT_FALSE(volleys.empty());
    for (const Volley& v : volleys) {
        EXPECT_GT(v.frame % interval, 50);
        EXPECT_EQ(1u, v.bullets.size());
    }
}

TEST_F(LightVehicles, Type23IsSilentWhileEnteringAndFiresFromItsSwitchTurn) {
    for (int32_t travelled : {60160, 61440}) {
        BulletList.Clear();
        GroundEnemyList.Clear();
        CharaData* e = Spawn(23, 0, -200, 256);
        RunFrames(1);
        e->frameCounter = 57;  // the next turn is a volley frame
        e->work5 = travelled;
        RunFrames(1);
        EXPECT_EQ(travelled < 61440 ? 4 : 2, e->state);
        EXPECT_EQ(travelled < 61440 ? 0 : 1, CountOf(BulletList));
    }
}

TEST_F(LightVehicles, EntryIsSixtyPixelsUntouchableThenSixtyMore) {
    CharaData* e = Spawn(27, 0, -300, 256);
    RunFrames(48 + 1);
    EXPECT_EQ(4, e->state);
    RunFrames(1);
    EXPECT_EQ(2, e->state);
    RunFrames(60);
    EXPECT_EQ(122880, e->work5);
    int32_t y = e->y;
    RunFrames(1);
    EXPECT_EQ(y + 512, e->y);
}

TEST_F(LightVehicles, TurretOfAClimbingCarrierWaitsForItsClimbAndType3sFiresAtOnce) {
    struct { int32_t type, stage, firstFrame; } cases[] = {{3, 1, 2}, {24, 1, 98}, {24, 7, 82}};
    for (auto c : cases) {
        ResetGameWorld();
        SetUpField();
        RestoreEnemyBehaviours();
        PlacePlayer(0, 200);
        GameState.stage = c.stage;
        Spawn(c.type, 100, c.type == 3 ? -200 : -20, c.type == 3 ? 0 : 768);
        std::vector<Volley> volleys = Volleys(c.firstFrame);
        ASSERT_FALSE(volleys.empty()) << "type " << c.type << " stage " << c.stage;
        EXPECT_EQ(c.firstFrame, volleys[0].frame) << "type " << c.type << " stage " << c.stage;
        EXPECT_EQ(2u, volleys[0].bullets.size());
    }
}

TEST_F(LightVehicles, TwinGunsFireLeftThenRightStraightAhead) {
    for (int32_t type : {9, 27}) {
        GroundEnemyList.Clear();
        BulletList.Clear();
        CharaData* e = Spawn(type, 40, -200, 256);
        RunFrames(1);
        if (type == 27) {
            e->state = 2;  // past its entry
            e->work5 = 122880;
        }
        RunFrames(1);
        size_t before = Bullets().size();
        RunFrames(1);  // clock 2; Mild(32) = 49
        std::vector<ShownBullet> made = BulletsFrom(before);
        ASSERT_EQ(2u, made.size()) << "type " << type;
        EXPECT_EQ(e->x - Px(9), made[0].x);
        EXPECT_EQ(e->x + Px(9), made[1].x);
        for (const ShownBullet& b : made) {
            EXPECT_EQ(e->y + Px(22), b.y);
            EXPECT_EQ(256, b.angle);
            EXPECT_EQ(1, b.type);
            EXPECT_EQ(ScaledSpeed(32, true), b.speed);
        }
    }
}

}  // namespace LightVehicles_test
