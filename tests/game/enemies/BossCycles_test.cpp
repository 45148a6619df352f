// The bosses' attack cycles, one table per shared mechanism: the main guns' aim, swing-out and
// sweep (parts 10 and 18), the sweep guns (16, 20, 27), the stepped fire tables (15, 24, 30),
// the stage-2 hull's volleys, the hulls' and halves' creep and bounds, and the stage-6 spread
// gun's fire window. Guns sit on a still carrier, so the player's angle stays put; every
// expected bullet is built from the gun's own position and angle by the rules of the guns.
#include <algorithm>
#include <set>

#include "EnemyWorld.h"

namespace BossCycles_test {

namespace {

struct Turn {
    int32_t clock, angle;
    std::vector<ShownBullet> bullets;
};

}  // namespace

class BossCycles : public EnemyWorld {
protected:
    // A part mounted at (side, forward) on a still carrier at (0, -100) px with `hp`.
    static CharaData* Mount(int32_t type, int32_t side, int32_t forward, int32_t hp, int32_t angle = 256) {
        CharaData* carrier = StillCarrier(0, -100);
        carrier->hp = hp;
        SpawnGroundPart(type, &GroundPartList, side, forward, angle, carrier);
        return GroundPartList.tail;
    }
    // n frames: the part's clock and angle after each, and the bullets made in it.
    static std::vector<Turn> Trace(const CharaData* part, int n) {
        std::vector<Turn> turns;
        for (int i = 0; i < n; i++) {
            size_t before = Bullets().size();
            RunFrames(1);
            turns.push_back({part->frameCounter, part->angle, BulletsFrom(before)});
        }
        return turns;
    }
    // The offset from `base` frame by frame, unwrapped (offsets pass +-512 in a whole-turn sweep).
    static std::vector<int32_t> Offsets(const std::vector<Turn>& turns, size_t from, int32_t base) {
        std::vector<int32_t> offsets;
        int32_t offset = GetAngleDiff(turns[from].angle, base);
        for (size_t i = from; i < turns.size(); i++) {
            if (i > from) offset += GetAngleDiff(turns[i].angle, turns[i - 1].angle);
            offsets.push_back(offset);
        }
        return offsets;
    }
public:
    // The offsets at which a sweep turns back, and how many frames it shows each.
    struct Turning {
        int32_t offset;
        int frames;
        bool operator==(const Turning&) const = default;
    };
    static std::vector<Turning> TurningPoints(const std::vector<int32_t>& offsets) {
        std::vector<Turning> points;
        int direction = 0;
        for (size_t i = 1; i < offsets.size(); i++) {
            const int32_t step = offsets[i] - offsets[i - 1];
            if (step == 0) continue;
            const int now = step > 0 ? 1 : -1;
            if (direction != 0 && now != direction) {
                // offsets[i - 1] was the turning point: count the frames it was shown.
                int shown = 1;
                for (size_t j = i - 1; j > 0 && offsets[j - 1] == offsets[i - 1]; j--) shown++;
                points.push_back({offsets[i - 1], shown});
            }
            direction = now;
        }
        return points;
    }
};

std::ostream& operator<<(std::ostream& os, const BossCycles::Turning& t) {
    return os << "{" << t.offset << ", " << t.frames << " frames}";
}

// ---- the main guns: parts 10 (stage 1) and 18 (stage 6) ----------------------------------

TEST_F(BossCycles, MainGunsAimSwingOutAndSweepFiringOnlyWhileMoving) {
    struct Case {
        int32_t type, hullHp;
        int32_t aimedEnd, aimBase, turnWindow, aimedTwinBase, sweepTwinBase, twinSide;
        bool waves;
    } cases[] = {
        {10, 20000, 600, 120, 50, 8, 9, 22, false},
        {18, 30000, 500, 100, 40, 9, 24, 28, true},
    };
    for (const Case& c : cases) {
        Restart(150, 200);
        CharaData* gun = Mount(c.type, 0, 0, c.hullHp);
        const std::vector<Turn> turns = Trace(gun, 1199);
        ASSERT_EQ(c.type, gun->type);
        const int32_t aim = AimFrom(gun->x, gun->y);
        ASSERT_GT(std::abs(GetAngleDiff(aim, 256)), 20) << "the gun has to turn to its aim";
        const int32_t M = ScaleFireIntervalMild(c.aimBase), S = ScaleFireIntervalStrong(300);
        auto twin = [&](int32_t angle) {
            return std::vector<ShownBullet>{FiredFrom(gun, angle, -c.twinSide, 50, ScaledSpeed(40), angle, 3),
                                            FiredFrom(gun, angle, c.twinSide, 50, ScaledSpeed(40), angle, 3)};
        };
        auto wave = [&](int32_t g) {
            std::vector<ShownBullet> w;
            const int32_t rows[3][6] = {{-80, 0, 80}, {-120, -40, 40, 120}, {-160, -80, 0, 80, 160}};
            const int counts[3] = {3, 4, 5}, speeds[3] = {15, 23, 31};
            for (int r = 0; r < 3; r++)
                for (int k = 0; k < counts[r]; k++)
                    w.push_back(FiredFrom(gun, g, 0, 17, ScaledSpeed(speeds[r]), g + rows[r][k], 1));
            return w;
        };
        int32_t previous = 256;
        std::vector<int32_t> sweepOffsets;
        int32_t base = -1;
        for (size_t i = 0; i < turns.size(); i++) {
            const Turn& t = turns[i];
            const int32_t fc = t.clock;
            ASSERT_EQ(int32_t(i + 1), fc) << c.type;
            std::vector<ShownBullet> expected;
            if (fc < c.aimedEnd) {
                if (fc % M < c.turnWindow) {
                    EXPECT_EQ(TurnAngleToward(aim, previous, 10), t.angle) << c.type << " frame " << fc;
                } else {
                    EXPECT_EQ(previous, t.angle) << c.type << " frame " << fc;
                    if (fc % ScaleFireIntervalStrong(c.aimedTwinBase) == 2) expected = twin(t.angle);
                }
                if (c.waves && fc % ScaleFireIntervalMedium(180) == 2) {
                    std::vector<ShownBullet> w = wave(t.angle);
                    expected.insert(expected.end(), w.begin(), w.end());
                }
            } else if (fc < 600) {
                EXPECT_EQ(previous, t.angle) << c.type << " frame " << fc;
            } else {
                const int32_t phase = (fc - 600) % S;
                if (phase < 10) {
                    EXPECT_EQ(TurnAngleToward(aim, previous, 10), t.angle) << c.type << " frame " << fc;
                    base = t.angle;
                } else if (phase < 300 && fc - 600 < S) {
                    sweepOffsets.push_back(GetAngleDiff(t.angle, base));
                }
                if (phase >= 30 && phase < 300) {
                    if (t.angle != previous && fc % ScaleFireIntervalStrong(c.sweepTwinBase) == 2)
                        expected = twin(t.angle);
                    if (c.waves && fc % ScaleFireIntervalStrong(180) == 2) {
                        std::vector<ShownBullet> w = wave(t.angle);
                        expected.insert(expected.end(), w.begin(), w.end());
                    }
                }
            }
            EXPECT_EQ(expected, t.bullets) << c.type << " frame " << fc;
            previous = t.angle;
        }
        // Swing-out 8 a frame from the locked aim; past +256 (at 264) the sweep turns and runs
        // at 6 a frame between the bounds, showing each turning point for 10 frames.
        ASSERT_GE(sweepOffsets.size(), 21u);
        for (int k = 0; k < 20; k++) EXPECT_EQ(8 * (k + 1), sweepOffsets[size_t(k)]) << c.type;
        std::vector<Turning> points = TurningPoints(sweepOffsets);
        ASSERT_GE(points.size(), 2u) << c.type;
        EXPECT_EQ((Turning{264, 10}), points[0]) << c.type;
        EXPECT_EQ((Turning{-258, 10}), points[1]) << c.type;
        if (points.size() > 2) {
            EXPECT_EQ((Turning{258, 10}), points[2]) << c.type;
        }
    }
}

// ---- the sweep guns: parts 16 (stage 3), 20 (stage 4) and 27 (stage 5) --------------------

TEST_F(BossCycles, SweepGunsTurnAWholeTurnAndFireOnlyWhileMoving) {
    enum Fire { kFan, kSplitting, kBursting };
    struct Case {
        const char* name;
        int32_t type, threshold, bossLife, intervalBase;
        Fire fire;
    } cases[] = {
        {"fan gun", 16, 7000, 10, 14, kFan},
        {"stage-4 sweeping gun", 20, 8000, 10, 20, kSplitting},
        {"shell gun", 27, 8000, 10, 20, kBursting},
        {"shell gun, other half down", 27, 8000, 5, 13, kBursting},
    };
    for (const Case& c : cases) {
        Restart();
        GameState.bossLife = c.bossLife;
        // Idle at the threshold: it keeps facing down and fires nothing.
        CharaData* gun = Mount(c.type, 0, 0, c.threshold);
        std::vector<Turn> idle = Trace(gun, 50);
        for (const Turn& t : idle) {
            ASSERT_EQ(256, t.angle) << c.name;
            ASSERT_TRUE(t.bullets.empty()) << c.name;
        }
        gun->parent->hp = c.threshold - 1;
        const std::vector<Turn> turns = Trace(gun, 900);
        const std::vector<int32_t> offsets = Offsets(turns, 0, 256);
        // Swing-out: 6 a frame to 510, then 512 where the sweep takes over.
        for (int k = 0; k < 85; k++) ASSERT_EQ(6 * (k + 1), offsets[size_t(k)]) << c.name << " " << k;
        EXPECT_EQ(512, offsets[85]) << c.name;
        const std::vector<Turning> points = TurningPoints(offsets);
        ASSERT_GE(points.size(), 3u) << c.name;
        EXPECT_EQ((Turning{518, 10}), points[0]) << c.name;
        EXPECT_EQ((Turning{-514, 10}), points[1]) << c.name;
        EXPECT_EQ((Turning{518, 10}), points[2]) << c.name;

        const int32_t I = ScaleFireIntervalStrong(c.intervalBase);
        int volleys = 0;
        for (size_t i = 0; i < turns.size(); i++) {
            const Turn& t = turns[i];
            const bool moving = i > 85 && offsets[i] != offsets[i - 1];
            std::vector<ShownBullet> expected;
            if (moving && t.clock % I == 2) {
                // The sweep's direction after this frame: that of its next move.
                int direction = 0;
                for (size_t j = i + 1; j < offsets.size() && direction == 0; j++)
                    direction = offsets[j] > offsets[j - 1] ? 1 : offsets[j] < offsets[j - 1] ? -1 : 0;
                if (c.fire == kFan) {
                    const int32_t speeds[10] = {24, 24, 27, 27, 30, 30, 33, 33, 36, 36};
                    for (int k = 0; k < 10; k++)
                        expected.push_back(FiredFrom(gun, t.angle, 0, 6,
                                                     ScaledSpeed(speeds[direction >= 0 ? k : 9 - k]),
                                                     t.angle - 27 + 6 * k, 3));
                } else if (c.fire == kSplitting) {
                    expected.push_back(FiredFrom(gun, t.angle, 0, 58, ScaledSpeed(38), t.angle + 3, 6));
                } else {
                    expected.push_back(FiredFrom(gun, t.angle, 0, 59, ScaledSpeed(38), t.angle + 3, 8));
                }
                volleys++;
            }
            ASSERT_EQ(expected, t.bullets) << c.name << " frame " << i << " clock " << t.clock;
        }
        EXPECT_GT(volleys, 10) << c.name;
    }
}

// ---- the stepped fire tables: parts 15 (stage 3), 24 (stage 2) and 30 (stage 7) -----------

struct MuzzleFire {
    int32_t side, forward, speed;
    std::vector<int32_t> offsets;  // from the muzzle's aim, in firing order
    bool mild;
};
using FireStep = std::vector<MuzzleFire>;

// The pairs (a - d, a + d) for each d, after an optional shot at a itself.
std::vector<int32_t> Pairs(std::initializer_list<int32_t> ds, bool centre) {
    std::vector<int32_t> offsets;
    if (centre) offsets.push_back(0);
    for (int32_t d : ds) {
        offsets.push_back(-d);
        offsets.push_back(d);
    }
    return offsets;
}
std::vector<int32_t> Ring(int32_t first) {
    std::vector<int32_t> offsets;
    for (int k = 0; k < 8; k++) offsets.push_back(first + 128 * k);
    return offsets;
}

TEST_F(BossCycles, SteppedGunsFireTheirTablesStepByStep) {
    const FireStep none;
    auto pair15 = [](int32_t f, int32_t speed, std::vector<int32_t> offsets) {
        return FireStep{{-10, f, speed, offsets, false}, {10, f, speed, offsets, false}};
    };
    auto four24 = [](int32_t upper, int32_t lower, std::vector<int32_t> up, std::vector<int32_t> low) {
        return FireStep{{-9, -7, upper, up, false}, {-9, 7, lower, low, false},
                        {9, 7, lower, low, false}, {9, -7, upper, up, false}};
    };
    auto upper30 = [](int32_t speed, std::vector<int32_t> offsets) {
        return FireStep{{-59, -12, speed, offsets, true}, {59, -12, speed, offsets, true}};
    };
    const std::vector<int32_t> fan30 = Pairs({8, 16, 24, 32, 40, 48}, true);
    const std::vector<int32_t> remixFan30 = Pairs({32, 64, 96, 128, 160, 192}, true);
    const FireStep burst30 = {{-59, 9, 28, {0}, false}, {-59, 9, 32, {0}, false}, {-59, 9, 36, {0}, false},
                          {59, 9, 28, {0}, false},  {59, 9, 32, {0}, false},  {59, 9, 36, {0}, false}};
    struct Case {
        const char* name;
        int32_t type, hullHp, remix, bossLife;
        int32_t (*interval)(int32_t);
        int32_t base;
        std::vector<FireStep> cycle;
    } cases[] = {
        {"four-hatch gun", 15, 15000, 0, 10, ScaleFireIntervalMedium, 12,
         {none, none, pair15(-19, 20, {0}), pair15(-7, 20, {0}), pair15(8, 20, {0}), pair15(19, 15, Ring(0)),
          pair15(19, 15, Ring(64)), none, none, none}},
        {"four-muzzle gun", 24, 28000, 0, 10, ScaleFireIntervalStrong, 17,
         {none, none, four24(24, 18, {0}, {0}), four24(22, 20, Pairs({12}, false), Pairs({15}, false)),
          four24(20, 22, Pairs({24}, false), Pairs({30}, false)),
          four24(18, 24, Pairs({36}, false), Pairs({45}, false)), none, none, none, none}},
        {"gun block", 30, 35000, 0, 10, ScaleFireIntervalMedium, 16,
         {none, none, upper30(12, fan30), upper30(20, Pairs({64, 128}, true)), burst30, none, none, none, none, none,
          none, none, none}},
        {"gun block, REMIX", 30, 35000, 1, 10, ScaleFireIntervalMedium, 16,
         {none, none, upper30(12, remixFan30), upper30(20, Pairs({64, 128}, true)), burst30, none, none, none, none,
          none, none, none, none}},
        {"gun block, other half down", 30, 35000, 0, 5, ScaleFireIntervalMedium, 16,
         {none, none, upper30(12, fan30), upper30(20, Pairs({64, 128}, true)), burst30, none, none}},
    };
    for (const Case& c : cases) {
        Restart(120, 200);
        GameState.remix = c.remix;
        GameState.bossLife = c.bossLife;
        CharaData* gun = Mount(c.type, 0, 0, c.hullHp);
        const int32_t I = c.interval(c.base);
        const int ticks = int(c.cycle.size()) * 2;
        const std::vector<Turn> turns = Trace(gun, I * ticks);
        int tick = 0;
        for (const Turn& t : turns) {
            std::vector<ShownBullet> expected;
            if (t.clock % I == 2) {
                for (const MuzzleFire& m : c.cycle[size_t(tick) % c.cycle.size()]) {
                    const int32_t a = AimFrom(gun->x + m.side * 1024, gun->y + m.forward * 1024);
                    const int32_t speed = ScaledSpeed(m.speed, m.mild), type = c.type == 30 ? 1 : 2;
                    for (int32_t offset : m.offsets)
                        expected.push_back(FiredFrom(gun, 256, m.side, m.forward, speed, a + offset, type));
                }
                tick++;
            }
            ASSERT_EQ(expected, t.bullets) << c.name << ", clock " << t.clock << ", tick " << tick - 1;
        }
        EXPECT_EQ(ticks, tick) << c.name;
    }
}

// ---- the stage-2 hull's volleys -----------------------------------------------------------

TEST_F(BossCycles, Stage2HullFiresItsSixMuzzlesOutAndBackWithTheirFans) {
    PlacePlayer(300, 200);
    CharaData* hull = Spawn(32, 0, -100, 256);
    RunFrames(1);
    for (CharaData* p = GroundPartList.head; p;) p = GroundPartList.RemoveNode(p);
    const int32_t I = ScaleFireIntervalStrong(120);
    struct Volley {
        int32_t remainder, side, forward, centre;
    } table[] = {
        {5, -74, -25, 356}, {10, -62, -23, 256}, {15, -50, -25, 156}, {20, 50, -25, 356},
        {25, 62, -23, 256}, {30, 74, -25, 156},  {90, -74, -25, 356}, {85, -62, -23, 256},
        {80, -50, -25, 156}, {75, 50, -25, 356},  {70, 62, -23, 256},  {65, 74, -25, 156},
    };
    int fired = 0;
    for (int frame = 0; frame < 2 * I; frame++) {
        hull->y = -100 * 1024;  // every muzzle on the field
        size_t before = Bullets().size();
        RunFrames(1);
        std::vector<ShownBullet> expected;
        for (const Volley& v : table)
            if (hull->frameCounter % I == v.remainder) {
                for (auto [offset, speed] : {std::pair{0, 20}, std::pair{-16, 18}, std::pair{16, 18}})
                    expected.push_back(
                        FiredFrom(hull, 256, v.side, v.forward, ScaledSpeed(speed), v.centre + offset, 2));
                fired++;
            }
        ASSERT_EQ(expected, BulletsFrom(before)) << "clock " << hull->frameCounter;
    }
    int due = 0;
    for (const Volley& v : table) due += v.remainder < I ? 2 : 0;
    EXPECT_EQ(due, fired);
    EXPECT_GT(fired, 12);
}

// ---- creep and bounds ------------------------------------------------------------------------

TEST_F(BossCycles, HullsAndHalvesSwayBetweenTheirBounds) {
    struct Case {
        int32_t type, lowPx, highPx;  // turns up once below lowPx above the centre, down above highPx
        std::set<int32_t> steps;      // per frame, ground standing still
        bool ridesScroll;
    } cases[] = {
        {20, -80, -200, {768, 1152, -768, -1152}, false}, {32, -80, -240, {768, 1152, -768, -1152}, false},
        {16, -80, -240, {768, 1152, -768, -1152}, false}, {22, -70, -160, {384, 768, -1152}, true},
        {28, -90, -150, {384, 768, -1152}, true},         {37, -70, -160, {384, 768, -1152}, true},
    };
    for (const Case& c : cases) {
        Restart(300, 200);
        CharaData* boss = Spawn(c.type, -120, -100, 256);
        RunFrames(1);
        for (CharaData* p = GroundPartList.head; p;) p = GroundPartList.RemoveNode(p);
        GameState.scrollSpeed = 0;
        std::set<int32_t> steps;
        int32_t lowest = INT32_MIN, highest = INT32_MAX;
        int turnsUp = 0, turnsDown = 0;
        int32_t lastStep = 0;
        for (int frame = 0; frame < 1500; frame++) {
            const int32_t y = boss->y;
            RunFrames(1);
            const int32_t step = boss->y - y;
            steps.insert(step);
            lowest = std::max(lowest, boss->y);
            highest = std::min(highest, boss->y);
            if (lastStep > 0 && step < 0) {
                turnsUp++;
                EXPECT_GT(y, c.lowPx * 1024) << c.type << ": turned up early";
            }
            if (lastStep < 0 && step > 0) {
                turnsDown++;
                EXPECT_LT(y, c.highPx * 1024) << c.type << ": turned down early";
            }
            lastStep = step;
        }
        EXPECT_EQ(c.steps, steps) << c.type;
        EXPECT_GT(lowest, c.lowPx * 1024) << c.type;
        EXPECT_LE(lowest, c.lowPx * 1024 + *steps.rbegin()) << c.type;
        EXPECT_LT(highest, c.highPx * 1024) << c.type;
        EXPECT_GE(highest, c.highPx * 1024 + *steps.begin()) << c.type;
        EXPECT_GE(turnsUp, 2) << c.type;
        EXPECT_GE(turnsDown, 2) << c.type;
        // The halves ride the scroll as well; the hulls do not.
        GameState.scrollSpeed = 512;
        std::set<int32_t> scrolling;
        for (int frame = 0; frame < 300; frame++) {
            const int32_t y = boss->y;
            RunFrames(1);
            scrolling.insert(boss->y - y - (c.ridesScroll ? 512 : 0));
        }
        EXPECT_TRUE(std::includes(c.steps.begin(), c.steps.end(), scrolling.begin(), scrolling.end())) << c.type;
    }
}

// ---- the stage-6 spread gun --------------------------------------------------------------------

TEST_F(BossCycles, Stage6SpreadGunTurnsThenFiresInTheLastElevenFramesOfEvery140) {
    PlacePlayer(150, 200);
    CharaData* hull = Spawn(16, 0, -100, 256);
    RunFrames(1);
    for (CharaData* p = GroundPartList.head; p;) p = p->type == 18 ? p->next : GroundPartList.RemoveNode(p);
    CharaData* gun = GroundPartList.head;
    hull->hp = 9999;
    RunFrames(1);
    ASSERT_EQ(19, gun->type);
    ASSERT_EQ(1, gun->frameCounter);
    const int32_t M = ScaleFireIntervalMild(5), W = ScaleFireIntervalMedium(40);
    int spreads = 0, waves = 0;
    for (int frame = 0; frame < 560; frame++) {
        hull->y = -100 * 1024;
        const int32_t before = gun->angle;
        size_t made = Bullets().size();
        RunFrames(1);
        const int32_t fc = gun->frameCounter, cycle = fc % 140;
        const bool turns = cycle < 129 && cycle != 110;
        if (turns) {
            EXPECT_EQ(TurnAngleToward(AimFrom(gun->x, gun->y), before, 10), gun->angle) << "clock " << fc;
        } else {
            EXPECT_EQ(before, gun->angle) << "clock " << fc;
        }
        const bool spread = cycle >= 129 && fc % M == 2, wave = fc > 119 && fc % W == 2;
        spreads += spread;
        waves += wave;
        size_t fromGun = 0;  // the hull's own salvo is of type 0
        for (const ShownBullet& b : BulletsFrom(made)) fromGun += b.type == 1;
        EXPECT_EQ(size_t(6 * spread + 12 * wave), fromGun) << "clock " << fc;
    }
    EXPECT_GT(spreads, 0);
    EXPECT_GT(waves, 0);
}

}  // namespace BossCycles_test
