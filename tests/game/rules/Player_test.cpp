// The player: input and its recording, movement and aim, the shot streams, fat shots,
// napalm, hits, destruction, and the dying and respawn timeline.
#include "RulesFixture.h"
#include "WorldUpdaters.h"

namespace Player_test {

class PlayerRules : public Rules {
protected:
    void SetUp() override {
        Rules::SetUp();
        SetUpField();
        // The map is endless and the field empty unless a test says otherwise.
        static const int32_t noBands[kStageCount][kBgBandsPerStage] = {};
        ActiveStageTables.bands = noBands;
    }
    void Step(int32_t pad) {
        fakeapi::pad = [pad] { return pad; };
        UpdatePlayer();
    }
    void Frame(int32_t pad) {
        fakeapi::pad = [pad] { return pad; };
        RunHeadlessFrame();
    }
    CharaData& player = PlayerList.self;
};

TEST_F(PlayerRules, HeldDirectionsAndAimTargets) {
    struct { int32_t pad, muzzleX, muzzleY, target; } cases[] = {
        {kPadLeft | kPadRight, 1, 0, 832},       {kPadUp | kPadDown, 0, -1, 768},
        {kPadUp | kPadRight, 1, -1, 848},        {kPadDown | kPadRight, 1, 1, 848},
        {kPadLeft, -1, 0, 704},                  {kPadLeft | kPadDown, -1, 1, 688},
        {0, 0, 0, 768},
    };
    for (auto c : cases) {
        player.type = 768;
        player.x = player.y = 0;
        for (int i = 0; i < 20; i++) Step(c.pad);
        EXPECT_EQ(c.muzzleX, player.muzzleX) << "pad " << c.pad;
        EXPECT_EQ(c.muzzleY, player.muzzleY) << "pad " << c.pad;
        EXPECT_EQ(c.target, player.type) << "pad " << c.pad;
        EXPECT_EQ(player.type, player.angle);
    }
}

TEST_F(PlayerRules, SpeedsAndTheBorder) {
    Step(kPadRight | kPadDown);
    EXPECT_EQ(3404, player.vx);
    EXPECT_EQ(3404, player.vy);
    Step(kPadLeft | kPadButton2);
    EXPECT_EQ(-7200, player.vx);
    GameState.remix = 1;
    Step(kPadLeft | kPadButton2);
    EXPECT_EQ(-3200, player.vx);
    GameState.remix = 0;

    // 2 px short of the 344-px border: the x move is refused whole, the y move still runs.
    player.x = 342 * 1024;
    player.y = 0;
    Step(kPadRight | kPadUp);
    EXPECT_EQ(342 * 1024, player.x);
    EXPECT_EQ(-3404, player.y);
    player.x = 339 * 1024;
    Step(kPadRight);
    EXPECT_EQ(339 * 1024 + 4800, player.x);
}

// Which slots fire, and as what, at each shot power on the first frame of fire.
TEST_F(PlayerRules, StreamsByShotPower) {
    struct { int32_t power; std::vector<int> slots; std::vector<int> kinds; } cases[] = {
        {1, {0, 4, 16, 20}, {0, 0, 0, 0}},
        {2, {0, 4, 16, 20}, {5, 5, 5, 5}},
        {3, {0, 4, 8, 16, 20, 24}, {5, 5, 0, 5, 5, 0}},
        {4, {0, 4, 8, 16, 20, 24}, {5, 5, 5, 5, 5, 5}},
        {5, {0, 4, 8, 12, 16, 20, 24, 28}, {5, 5, 5, 0, 5, 5, 5, 0}},
        {6, {0, 4, 8, 12, 16, 20, 24, 28}, {5, 5, 5, 5, 5, 5, 5, 5}},
    };
    for (const auto& c : cases) {
        ClearShots(&ShotTable, 33);
        for (auto& fan : GameState.shotCooldown)
            for (int32_t& cooldown : fan) cooldown = 0;
        GameState.shotPower = c.power;
        Step(kPadButton1);
        std::vector<int> slots, kinds;
        for (int slot = 0; slot < 32; slot++)
            if (ShotTable.state[slot]) {
                slots.push_back(slot);
                kinds.push_back(ShotTable.kind[slot]);
                EXPECT_EQ(ShotTable.kind[slot] ? 40 : 32, ShotTable.damage[slot]);
            }
        EXPECT_EQ(c.slots, slots) << "power " << c.power;
        EXPECT_EQ(c.kinds, kinds) << "power " << c.power;
    }
    // The fans spread away from the heading, 40 steps per stream.
    EXPECT_EQ(768 + 120, ShotTable.angle[12]);
    EXPECT_EQ(768 - 120, ShotTable.angle[28]);
    EXPECT_EQ(-16 * 1024, ShotTable.vy[0]);
}

TEST_F(PlayerRules, StreamsRefireAfterTheirCooldownIntoTheNextFreeSlot) {
    for (int frame = 0; frame < 6; frame++) Step(kPadButton1);
    EXPECT_EQ(1, ShotTable.state[0]);
    EXPECT_EQ(1, ShotTable.state[1]);
    EXPECT_EQ(0, ShotTable.state[2]);
}

TEST_F(PlayerRules, BothButtonsChargeInOriginalAndFireFatShotsInRemix) {
    Step(kPadButton1 | kPadButton2);
    for (int slot = 0; slot < 32; slot++) EXPECT_EQ(0, ShotTable.state[slot]);
    EXPECT_EQ(82, player.work2);
    EXPECT_EQ(768, player.work1);

    struct { int32_t power, scale, damage, hit; } tiers[] = {{2, 100, 120, 6}, {4, 125, 140, 7}, {5, 150, 160, 8}};
    GameState.remix = 1;
    for (auto t : tiers) {
        ClearShots(&ShotTable, 33);
        GameState.shotCooldown[0][0] = GameState.shotCooldown[1][0] = 0;
        GameState.shotPower = t.power;
        Step(kPadButton1 | kPadButton2);
        for (int slot : {0, 16}) {
            EXPECT_EQ(6, ShotTable.kind[slot]);
            EXPECT_EQ(t.scale, ShotTable.scale[slot]);
            EXPECT_EQ(t.damage, ShotTable.damage[slot]);
            EXPECT_EQ(t.hit, ShotTable.hitW[slot]);
            EXPECT_EQ(-24 * 1024, ShotTable.vy[slot]);
        }
        EXPECT_EQ(0, ShotTable.state[4]);
    }
}

TEST_F(PlayerRules, ReleasingAShortChargeLaunchesNothing) {
    for (int i = 0; i < 5; i++) Step(kPadButton2);  // charge 90
    EXPECT_EQ(90, player.work2);
    Step(0);
    EXPECT_EQ(0, ShotTable.state[kNapalmSlot]);
    EXPECT_EQ(80, player.work2);
}

// A charge of 120 (B): launched at 40/3 px per frame, decelerating from B/3 px on, late
// flight from 2B/3 px, then the burst, which grows to its cap and ends after counter 40.
TEST_F(PlayerRules, NapalmTrace) {
    for (int i = 0; i < 20; i++) Step(kPadButton2);
    EXPECT_EQ(120, player.work2);
    GameState.napalmPower = 2;
    Step(0);
    ASSERT_EQ(1, ShotTable.state[kNapalmSlot]);
    EXPECT_EQ(640, ShotTable.speed16[kNapalmSlot]);
    EXPECT_EQ(40, ShotTable.decelStep[kNapalmSlot]);
    EXPECT_EQ(120 * 1024 - 24 * 128 * 8, ShotTable.y[kNapalmSlot]);
    std::vector<int32_t> speeds, states;
    int burstFrame = -1;
    for (int frame = 0; frame < 60 && burstFrame < 0; frame++) {
        UpdatePlayerShots();
        speeds.push_back(ShotTable.speed16[kNapalmSlot]);
        states.push_back(ShotTable.state[kNapalmSlot]);
        if (ShotTable.state[kNapalmSlot] == 3) burstFrame = frame;
    }
    // 5 px a frame reach B/3 = 40 px on the 8th frame; from then on -40 on even counters.
    EXPECT_EQ((std::vector<int32_t>{640, 640, 640, 640, 640, 640, 640, 600, 600, 560, 560, 520, 520, 480, 480, 440,
                                    440, 400, 400}),
              std::vector<int32_t>(speeds.begin(), speeds.begin() + 19));
    EXPECT_EQ(2, states[19]);
    ASSERT_GT(burstFrame, 0);
    EXPECT_EQ(6, ShotTable.charge[kNapalmSlot]);  // 5, then grown once on the burst frame
    EXPECT_EQ((std::vector<int>{kSoundJikitama, kSoundGure}), PlayedEffects());
    int frames = 1;
    while (ShotTable.state[kNapalmSlot] == 3) {
        UpdatePlayerShots();
        frames++;
    }
    EXPECT_EQ(40, frames);  // counters 1 (the burst frame's flight) and 2-41
    EXPECT_EQ(23, ShotTable.charge[kNapalmSlot]);  // capped by napalm power 2
    EXPECT_EQ(23 * 45 / 10, ShotTable.hitW[kNapalmSlot]);
}

TEST_F(PlayerRules, BurstSizeCapByPower) {
    const int32_t caps[7] = {0, 20, 23, 26, 29, 32, 35};
    for (int32_t power = 1; power <= 6; power++) {
        ClearShots(&ShotTable, 33);
        ShotTable.state[kNapalmSlot] = 3;
        ShotTable.charge[kNapalmSlot] = 5;
        ShotTable.power[kNapalmSlot] = power;
        while (ShotTable.state[kNapalmSlot] == 3) UpdatePlayerShots();
        EXPECT_EQ(caps[power], ShotTable.charge[kNapalmSlot]) << "power " << power;
    }
}

TEST_F(PlayerRules, BurstHitsEveryStateTwoEnemyInRangeOnEvenCounters) {
    ShotTable.state[kNapalmSlot] = 3;
    ShotTable.charge[kNapalmSlot] = 20;
    ShotTable.power[kNapalmSlot] = 6;
    ShotTable.x[kNapalmSlot] = 0;
    ShotTable.y[kNapalmSlot] = -100 * 1024;
    CharaData* near = AddRecord(&GroundEnemyList, 3, 2, 60, -100);
    CharaData* box = AddRecord(&AirEnemyList, 3, 2, 0, -10);
    CharaData* waiting = AddRecord(&GroundEnemyList, 3, 1, 0, -100);
    near->hitW = near->hitH = 10;
    box->hitW = 10;
    box->hitH = 4;
    near->hp = box->hp = waiting->hp = 10000;
    for (int i = 0; i < 41; i++) UpdatePlayerShots();
    EXPECT_EQ(10000 - 20 * 80, near->hp);
    EXPECT_EQ(10000 - 20 * 80, box->hp);
    EXPECT_EQ(10000, waiting->hp);
}

TEST_F(PlayerRules, ShotHitsTheFirstGroundEnemyBeforeAnyAirEnemyEvenLeavingTheScreen) {
    CharaData* air = AddRecord(&AirEnemyList, 3, 2, 0, -255);
    CharaData* waiting = AddRecord(&GroundEnemyList, 3, 1, 0, -255);
    CharaData* first = AddRecord(&GroundEnemyList, 3, 2, 0, -255);
    CharaData* second = AddRecord(&GroundEnemyList, 3, 2, 0, -255);
    for (CharaData* e : {air, waiting, first, second}) {
        e->hitW = e->hitH = 20;
        e->hp = 100;
    }
    ShotTable.state[0] = 1;
    ShotTable.x[0] = 0;
    ShotTable.y[0] = -258 * 1024;  // one step takes it past -32 px on the screen
    ShotTable.vy[0] = -16 * 1024;
    ShotTable.vx[0] = 0;
    ShotTable.hitW[0] = 4;
    ShotTable.damage[0] = 32;
    UpdatePlayerShots();
    EXPECT_EQ(68, first->hp);
    EXPECT_EQ(100, second->hp);
    EXPECT_EQ(100, air->hp);
    EXPECT_EQ(100, waiting->hp);
    EXPECT_EQ(3, ShotTable.state[0]);
    EXPECT_EQ(4, CountOf(EffectList));
    for (int i = 0; i < 15; i++) UpdatePlayerShots();
    EXPECT_EQ(0, ShotTable.state[0]);
}

static std::vector<int> DroppedKinds() {
    std::vector<int> kinds;
    for (CharaData* i = ItemList.head; i; i = i->next) kinds.push_back(i->animFrame);
    return kinds;
}

TEST_F(PlayerRules, DestructionPaysDropsAndLeavesWrecks) {
    struct { int32_t blastKind, wreck; } wrecks[] = {{1, 2}, {0, 0}, {19, 0}, {20, 1}, {99, 1}, {100, -1}, {-5, 0}};
    for (auto w : wrecks) {
        WreckList.Clear();
        CharaData* e = AddRecord(&GroundEnemyList, 3, 2, 0, 0);
        e->blastKind = w.blastKind;
        DestroyGroundEnemy(e);
        EXPECT_EQ(3, e->state);
        if (w.wreck < 0) {
            EXPECT_EQ(0, CountOf(WreckList)) << w.blastKind;
        } else {
            EXPECT_EQ(w.wreck, WreckList.head->type) << w.blastKind;
        }
    }
    struct { int32_t item; std::vector<int> kinds; } groundDrops[] = {{0, {}}, {1, {5}}, {2, {5}}, {3, {3}}, {4, {4}}};
    for (const auto& d : groundDrops) {
        ItemList.Clear();
        CharaData* e = AddRecord(&GroundEnemyList, 3, 2, 0, 0);
        e->item = d.item;
        DestroyGroundEnemy(e);
        EXPECT_EQ(d.kinds, DroppedKinds()) << "item " << d.item;
    }
    struct { uint8_t remix; int32_t item; std::vector<int> kinds; } airDrops[] = {
        {0, 1, {5}}, {0, 2, {}}, {0, 3, {0, 1, 2}}, {1, 3, {0, 2}}};
    for (const auto& d : airDrops) {
        ItemList.Clear();
        GameState.remix = d.remix;
        CharaData* e = AddRecord(&AirEnemyList, 3, 2, 0, 0);
        e->item = d.item;
        DestroyAirEnemy(e);
        EXPECT_EQ(d.kinds, DroppedKinds()) << "item " << d.item;
    }
    EXPECT_EQ(-50 * 1024, ItemList.head->x);

    GameState.score = 0;
    CharaData* e = AddRecord(&GroundEnemyList, 3, 2, 0, 0);
    e->score = 700;
    DestroyGroundEnemy(e);
    EXPECT_EQ(700, GameState.score);
    GameState.scrollSpeed = 0;  // the boss area pays nothing
    DestroyAirEnemy(e);
    EXPECT_EQ(700, GameState.score);
}

TEST_F(PlayerRules, DyingTimeline) {
    GameState.soundMode = 1;
    AddRecord(&BulletList, 1, 2, 0, 0);
    AddRecord(&ShockwaveList, 2, 1, 0, 0);
    ShotTable.state[3] = 1;
    KillPlayer(&PlayerList);
    int frames = 0;
    while (GameState.respawnFreeze == 0 && frames < 500) {
        Frame(kPadRight);
        frames++;
        if (GameState.dyingTime == 2) {
            EXPECT_EQ((std::vector<int>{kSoundBak1}), PlayedEffects());
        }
        if (GameState.respawnFreeze == 0) {
            EXPECT_EQ(1, GameState.scrollPause);
        }
    }
    EXPECT_EQ(120, frames);
    EXPECT_EQ(0, player.x);  // no movement while dying
    EXPECT_EQ(60, GameState.respawnFreeze);
    EXPECT_EQ(240, GameState.noFireTime);
    EXPECT_EQ(0, CountOf(BulletList));
    EXPECT_EQ(0, CountOf(ShockwaveList));
    EXPECT_EQ(0, ShotTable.state[3]);
    EXPECT_EQ(200 - 119, GameState.invulnTime);  // not counted on the respawn frame
    for (int i = 0; i < 60; i++) Frame(kPadRight);
    EXPECT_EQ(0, player.x);
    EXPECT_EQ(200 - 119, GameState.invulnTime);  // nor during the freeze
    Frame(kPadRight);
    EXPECT_EQ(4800, player.x);
    EXPECT_EQ(240 - 61, GameState.noFireTime);
}

TEST_F(PlayerRules, LosingTheLastLifeEndsTheGame) {
    player.hp = 1;
    KillPlayer(&PlayerList);
    for (int i = 0; i < 120; i++) Frame(0);
    EXPECT_EQ(0, GameState.stage);
    EXPECT_EQ(1, GameState.result);
    EXPECT_EQ(1, GameState.stageEnd);
}

TEST_F(PlayerRules, InputIsRecordedOnlyInNormalPlay) {
    struct { int32_t playMode; bool records; } cases[] = {{0, true}, {1, false}, {2, false}};
    for (auto c : cases) {
        ReplayBuffer[500] = 77;
        GameState.playMode = c.playMode;
        GameState.replayFrame = 500;
        Step(kPadLeft | 0x40);
        EXPECT_EQ(c.records ? (kPadLeft | 0x40 | kPadButton2) : 77, ReplayBuffer[500]) << "play mode " << c.playMode;
        EXPECT_EQ(c.playMode == 1 ? 77 : (kPadLeft | 0x40 | kPadButton2), GameState.pad);
    }
}

// Stored replays hold 0xFF as 0; the byte format stays.
TEST_F(PlayerRules, APadByteOf255IsRecordedAsZero) {
    GameState.replayFrame = 600;
    Step(0xFF);
    EXPECT_EQ(0, ReplayBuffer[600]);
    GameState.replayFrame = 601;
    Step(0x1FE);
    EXPECT_EQ(0xFE, ReplayBuffer[601]);
}

TEST_F(PlayerRules, TheIntroReadsNoInput) {
    GameState.stageFrame = 0;
    GameState.playMode = 1;
    for (int i = 0; i < 149; i++) Step(kPadLeft);
    EXPECT_TRUE(fakeapi::log.empty());
    EXPECT_EQ(0, GameState.pad);
    EXPECT_EQ(0, player.x);
    GameState.playMode = 0;
    Step(kPadLeft);
    EXPECT_EQ(1u, fakeapi::CallsOf("ApiGetPadInputBits").size());
    EXPECT_EQ(0x1001, fakeapi::CallsOf("ApiGetPadInputBits")[0].args[0]);
}

}  // namespace Player_test
