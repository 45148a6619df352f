// The stage and rule-set variants of the enemies: the turret that waits for its carrier's
// entry (120 px, 100 on stage 7), the garage's vehicles that become targets after 60 px (40 on
// stage 7), the sliding emplacements' line (300 px on stages 2 and 7, else 240), and what a
// REMIX game changes: the hovering carrier's extra pair, ground part 7's wider, faster sweep
// and ground part 8's window on the mild interval.
#include "EnemyWorld.h"

namespace Variants_test {

class Variants : public EnemyWorld {
protected:
    void SetUp() override {
        EnemyWorld::SetUp();
        GameState.scrollSpeed = 0;  // positions change only by the enemies' own moves
    }
    void OnStage(int32_t stage) {
        Restart();
        GameState.scrollSpeed = 0;
        GameState.stage = stage;
    }
    static CharaData* PartOn(const CharaData* carrier) {
        for (CharaData* p = GroundPartList.head; p; p = p->next)
            if (p->parent == carrier) return p;
        return nullptr;
    }
};

// Ground part 1 on an entering carrier (type 24, climbing the field) starts its clock in the first
// turn in which the entry has covered L px.
TEST_F(Variants, TheEntryTurretWaitsFor120PxOr100OnStage7) {
    for (auto [stage, lPx] : {std::pair{1, 120}, std::pair{4, 120}, std::pair{7, 100}}) {
        OnStage(stage);
        CharaData* carrier = Spawn(24, -200, 60, 768);
        ASSERT_NE(nullptr, carrier);
        const int32_t startY = carrier->y;
        RunFrames(1);
        CharaData* turret = PartOn(carrier);
        ASSERT_NE(nullptr, turret);
        bool started = false;
        for (int turn = 0; turn < 200 && !started; turn++) {
            const int32_t covered = startY - carrier->y;
            RunFrames(1);
            if (turret->frameCounter != 0) {
                started = true;
                EXPECT_GE(startY - carrier->y, lPx * 1024) << "stage " << stage;
                EXPECT_LT(covered, lPx * 1024) << "stage " << stage;
            }
        }
        EXPECT_TRUE(started) << "stage " << stage;
    }
}

// The garage's vehicles stay untouchable (state 4) for their first L px: 60, or 40 on stage 7.
TEST_F(Variants, GarageVehiclesBecomeTargetsAfter60PxOr40OnStage7) {
    struct Case {
        int32_t type, stage, lPx;
    } cases[] = {{38, 1, 60}, {39, 1, 60}, {38, 7, 40}, {39, 7, 40}};
    for (const Case& c : cases) {
        OnStage(c.stage);
        const int32_t x0 = c.type == 38 ? 200 : -200;
        CharaData* v = Spawn(c.type, x0, -100, c.type == 38 ? 512 : 0);
        ASSERT_NE(nullptr, v);
        RunFrames(1);
        int32_t driven = 0;
        for (int turn = 0; turn < 100 && v->state != 2; turn++) {
            const int32_t before = std::abs(v->x - x0 * 1024);
            ASSERT_EQ(4, v->state) << c.type << " stage " << c.stage;
            RunFrames(1);
            driven = std::abs(v->x - x0 * 1024);
            if (v->state == 2) {
                EXPECT_LE(before, c.lPx * 1024) << c.type << " stage " << c.stage;
            }
        }
        ASSERT_EQ(2, v->state) << c.type << " stage " << c.stage;
        EXPECT_GE(driven, c.lPx * 1024) << c.type << " stage " << c.stage;
        EXPECT_LE(driven, c.lPx * 1024 + 2 * 1280) << c.type << " stage " << c.stage;
    }
}

// Types 30 and 31 slide in from the side and stop on their line, 300 px from the centre on
// stages 2 and 7 and 240 px elsewhere.
TEST_F(Variants, SlidingEmplacementsStopAt300PxOnStages2And7Else240) {
    struct Case {
        int32_t type, stage, linePx;
    } cases[] = {{30, 1, 240}, {31, 1, 240}, {30, 2, 300}, {31, 2, 300}, {30, 7, 300}, {31, 7, 300}, {30, 5, 240}};
    for (const Case& c : cases) {
        OnStage(c.stage);
        const int32_t side = c.type == 30 ? 1 : -1;
        CharaData* e = Spawn(c.type, side * 400, -100, 256);
        ASSERT_NE(nullptr, e);
        RunFrames(300);
        EXPECT_EQ(side * c.linePx * 1024, e->x) << c.type << " stage " << c.stage;
        RunFrames(10);
        EXPECT_EQ(side * c.linePx * 1024, e->x) << c.type << " stage " << c.stage;
    }
}

// A hovering carrier (type 4) fires its two turning streams at speed 20; in REMIX each shot
// is followed by a second pair on the same lines at speed 22.
TEST_F(Variants, RemixAddsAPairAtSpeed22ToTheHoveringCarriersStreams) {
    for (int32_t remix : {0, 1}) {
        OnStage(1);
        GameState.remix = remix;
        CharaData* carrier = Spawn(4, 0, -150, 256);
        ASSERT_NE(nullptr, carrier);
        RunFrames(1);
        for (CharaData* p = GroundPartList.head; p;) p = GroundPartList.RemoveNode(p);  // its turret's fire
        std::vector<std::vector<ShownBullet>> volleys;
        for (int frame = 0; frame < 600; frame++) {
            carrier->y = -150 * 1024;
            const size_t before = Bullets().size();
            RunFrames(1);
            std::vector<ShownBullet> made = BulletsFrom(before);
            if (made.empty()) continue;
            ASSERT_EQ(remix ? 4u : 2u, made.size()) << "remix " << remix;
            const int32_t left = made[0].angle, right = made[1].angle;
            std::vector<ShownBullet> expected = {FiredFrom(carrier, 256, -11, -38, ScaledSpeed(20), left, 2),
                                                 FiredFrom(carrier, 256, 11, -38, ScaledSpeed(20), right, 2)};
            if (remix) {
                expected.push_back(FiredFrom(carrier, 256, -11, -38, ScaledSpeed(22), left, 2));
                expected.push_back(FiredFrom(carrier, 256, 11, -38, ScaledSpeed(22), right, 2));
            }
            EXPECT_EQ(expected, made) << "remix " << remix;
            volleys.push_back(made);
        }
        ASSERT_GE(volleys.size(), 3u) << "remix " << remix;
        // The two streams turn 37 steps a volley, in opposite senses: the left one starts
        // again from 0 once past 1024, the right one from 1024 once below 0. (An angle of 0
        // could stand for either end, so the count starts at a volley off it.)
        size_t k = 0;
        while (k < volleys.size() && (volleys[k][0].angle == 0 || volleys[k][1].angle == 0)) k++;
        ASSERT_LT(k + 2, volleys.size()) << "remix " << remix;
        int32_t left = volleys[k][0].angle, right = volleys[k][1].angle;
        for (size_t i = k + 1; i < volleys.size(); i++) {
            left += 37;
            if (left > 1024) left = 0;
            right -= 37;
            if (right < 0) right = 1024;
            EXPECT_EQ(NormalizeAngle(left), volleys[i][0].angle) << "remix " << remix << ", volley " << i;
            EXPECT_EQ(NormalizeAngle(right), volleys[i][1].angle) << "remix " << remix << ", volley " << i;
        }
    }
}

// Ground part 7 sweeps around its aim: 1 step a frame to the first bound, then +-128 at 4 a frame,
// or in REMIX +-160 at 8 a frame.
TEST_F(Variants, Part7SweepsWiderAndFasterInRemix) {
    struct Case {
        int32_t remix;
        std::vector<int32_t> turningPoints;
    } cases[] = {{0, {129, -131, 129, -131}}, {1, {161, -167, 161, -167}}};
    for (const Case& c : cases) {
        OnStage(1);
        GameState.remix = c.remix;
        CharaData* carrier = StillCarrier(0, -100);
        SpawnGroundPart(7, &GroundPartList, 0, 0, 256, carrier);
        CharaData* gun = GroundPartList.tail;
        std::vector<int32_t> offsets;
        for (int frame = 0; frame < 600; frame++) {
            RunFrames(1);
            const int32_t aim = AimFrom(gun->x, gun->y);
            if (frame >= 40) offsets.push_back(GetAngleDiff(gun->angle, aim));
        }
        std::vector<int32_t> points;
        for (size_t i = 1; i + 1 < offsets.size(); i++)
            if ((offsets[i] > offsets[i - 1] && offsets[i] > offsets[i + 1]) ||
                (offsets[i] < offsets[i - 1] && offsets[i] < offsets[i + 1]))
                points.push_back(offsets[i]);
        ASSERT_GE(points.size(), 4u) << "remix " << c.remix;
        points.resize(4);
        EXPECT_EQ(c.turningPoints, points) << "remix " << c.remix;
    }
}

// Ground part 8 fires its accelerating pairs in a window of its cycle: 20 < f % Strong(95) < 40 on
// every fourth frame, in REMIX 20 < f % Mild(95) < 40 on every third; outside the window the
// speed goes back to 16.
TEST_F(Variants, Part8WindowFollowsTheRuleSet) {
    for (int32_t remix : {0, 1}) {
        OnStage(1);
        GameState.remix = remix;
        PlacePlayer(100, 200);
        CharaData* carrier = StillCarrier(0, -100);
        SpawnGroundPart(8, &GroundPartList, 0, 0, 256, carrier);
        CharaData* gun = GroundPartList.tail;
        const int32_t I = remix ? ScaleFireIntervalMild(95) : ScaleFireIntervalStrong(95);
        int32_t speed = 16;
        int shots = 0;
        for (int frame = 0; frame < 3 * I; frame++) {
            const size_t before = Bullets().size();
            RunFrames(1);
            const int32_t f = gun->frameCounter, w = f % I;
            std::vector<ShownBullet> expected;
            if (w > 20 && w < 40) {
                if (remix ? f % 3 == 1 : f % 4 == 2) {
                    expected = {FiredFrom(gun, gun->angle, -5, 19, ScaledSpeed(speed), gun->angle, 1),
                                FiredFrom(gun, gun->angle, 5, 19, ScaledSpeed(speed), gun->angle, 1)};
                    speed += 4;
                    shots++;
                }
            } else {
                speed = 16;
            }
            ASSERT_EQ(expected, BulletsFrom(before)) << "remix " << remix << ", clock " << f;
        }
        EXPECT_GT(shots, 6) << "remix " << remix;
    }
}

}  // namespace Variants_test
