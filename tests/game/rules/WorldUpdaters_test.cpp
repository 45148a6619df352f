// Items, effects, shockwaves, wrecks, pop-ups and enemy bullets.
#include "RulesFixture.h"
#include "Spawners.h"
#include "WorldUpdaters.h"

namespace WorldUpdaters_test {

class WorldRules : public Rules {
protected:
    void SetUp() override {
        Rules::SetUp();
        SetUpField();
        GameState.soundMode = 1;
    }
    CharaData& player = PlayerList.self;
};

// One pick-up per row: the item kind and the value before, in either rule set.
TEST_F(WorldRules, PickUpTable) {
    struct Case {
        int32_t kind, before;
        uint8_t remix;
        int32_t after, points, popup, popupDy;
        int sound;
    } cases[] = {
        {0, 1, 0, 2, 0, 39, 18, kSoundPower},    {0, 5, 0, 6, 0, 40, 18, kSoundPower},
        {0, 6, 0, 6, 10000, 0, 18, kSoundBonus}, {0, 6, 1, 6, 20000, 1, 0, kSoundBonus},
        {1, 3, 0, 4, 0, 41, 0, kSoundPower},     {1, 5, 1, 6, 0, 42, 0, kSoundPower},
        {1, 6, 0, 6, 10000, 0, 0, kSoundBonus},  {1, 6, 1, 6, 20000, 1, 0, kSoundBonus},
        {2, 0, 0, 1, 0, 43, 18, kSoundPower},    {2, 1, 0, 2, 0, 44, 18, kSoundPower},
        {2, 2, 0, 3, 0, 2, 18, kSoundMaxim},     {2, 3, 1, 3, 10000, 0, 18, kSoundBonus},
        {5, 0, 0, 1, 0, -1, 0, kSoundBonus},     {6, 4, 1, 5, 0, -1, 0, kSoundBonus},
    };
    for (const Case& c : cases) {
        ResetGameWorld();
        SetUpField();
        GameState.soundMode = 1;
        GameState.remix = c.remix;
        int32_t* value = c.kind == 0 ? &GameState.shotPower
                         : c.kind == 1 ? &GameState.napalmPower
                         : c.kind == 2 ? &GameState.shield
                                       : &GameState.bonusCount;
        *value = c.before;
        SpawnItem(&ItemList, player.x + 10 * 1024, player.y, c.kind);
        UpdateItems(&ItemLists);
        std::string name = "kind " + std::to_string(c.kind) + " from " + std::to_string(c.before);
        EXPECT_EQ(c.after, *value) << name;
        EXPECT_EQ(c.points, GameState.score) << name;
        EXPECT_EQ(0, CountOf(ItemList)) << name;
        if (c.popup < 0) {
            EXPECT_EQ(0, CountOf(PopupList)) << name;
        } else {
            ASSERT_EQ(1, CountOf(PopupList)) << name;
            EXPECT_EQ(c.popup, PopupList.head->type) << name;
            EXPECT_EQ(player.y + 768 + c.popupDy * 1024, PopupList.head->y) << name;  // after its drift
        }
        EXPECT_EQ(std::vector<int>{c.sound}, PlayedEffects()) << name;
    }
}

TEST_F(WorldRules, ItemsThreeAndFourStayAndLeaveAtTheBottom) {
    SpawnItem(&ItemList, player.x, player.y, 3);
    SpawnItem(&ItemList, player.x, player.y, 4);
    UpdateItems(&ItemLists);
    ASSERT_EQ(2, CountOf(ItemList));
    EXPECT_EQ(24, ItemList.tail->hitW);
    int frames = 1;
    while (CountOf(ItemList) > 0 && frames < 1000) {
        UpdateItems(&ItemLists);
        frames++;
    }
    // From 120 px at half a px a frame, gone once beyond 270 px.
    EXPECT_EQ(301, frames);
}

TEST_F(WorldRules, ItemsDriftUnlessTheGroundStands) {
    SpawnItem(&ItemList, 300 * 1024, 0, 0);
    SpawnItem(&ItemList, 300 * 1024, 0, 5);
    UpdateItems(&ItemLists);
    EXPECT_EQ(768, ItemList.head->y);
    EXPECT_EQ(512, ItemList.tail->y);
    GameState.scrollSpeed = 0;
    UpdateItems(&ItemLists);
    GameState.scrollSpeed = 512;
    GameState.scrollPause = 1;
    UpdateItems(&ItemLists);
    EXPECT_EQ(768, ItemList.head->y);
    // The bonus item alternates 5 and 6, 11 frames each.
    std::vector<int> frames;
    for (int i = 0; i < 30; i++) {
        UpdateItems(&ItemLists);
        frames.push_back(ItemList.tail->animFrame);
    }
    EXPECT_EQ(5, frames[6]);
    EXPECT_EQ(6, frames[7]);
    EXPECT_EQ(6, frames[17]);
    EXPECT_EQ(5, frames[18]);
}

// How many updates each kind of record lives.
TEST_F(WorldRules, Lifetimes) {
    struct Case {
        const char* name;
        cChara* list;
        ObjectLists* lists;
        void (*update)(ObjectLists*);
        int32_t type, delay, expected;
    } cases[] = {
        {"effect kind 0", &EffectList, &EffectLists, UpdateEffects, 0, 0, 30},
        {"effect kind 1", &EffectList, &EffectLists, UpdateEffects, 1, 0, 30},
        {"effect kind 2", &EffectList, &EffectLists, UpdateEffects, 2, 0, 40},
        {"effect kind 3", &EffectList, &EffectLists, UpdateEffects, 3, 0, 25},
        {"effect waiting 20", &EffectList, &EffectLists, UpdateEffects, 3, 20, 45},
        {"blast ring", &ShockwaveList, &ShockwaveLists, UpdateShockwaves, 2, 0, 51},
        {"pop-up", &PopupList, &PopupLists, UpdatePopups, 39, 0, 61},
    };
    for (const Case& c : cases) {
        CharaData* r = AddRecord(c.list, c.type, 1, 0, 0);
        r->delay = c.delay;
        r->speed = 4;
        int updates = 0;
        while (c.list->head && updates < 1000) {
            c.update(c.lists);
            updates++;
        }
        EXPECT_EQ(c.expected, updates) << c.name;
    }
    // A wreck leaves 100 px below the field: from 0 px at half a px a frame.
    SpawnWreck(&WreckList, 0, 0, 0);
    int updates = 0;
    while (WreckList.head && updates < 2000) {
        UpdateWrecks(&WreckLists);
        updates++;
    }
    EXPECT_EQ(681, updates);
}

// A particle ends on its kind's last frame: none shows its first (largest) frame again.
TEST_F(WorldRules, AParticleNeverWrapsBackToItsFirstFrame) {
    for (int32_t kind = 0; kind < 4; kind++) {
        EffectList.Clear();
        CharaData* p = AddRecord(&EffectList, kind, 1, 0, 0);
        p->speed = 4;
        int lastFrame = 0;
        for (int update = 0; update < 100 && EffectList.head; update++) {
            UpdateEffects(&EffectLists);
            if (!EffectList.head) break;
            lastFrame = p->animFrame;
            if (p->work0 >= 1) {
                ASSERT_NE(0, p->animFrame) << "kind " << kind << ", update " << update;
            }
        }
        EXPECT_EQ(nullptr, EffectList.head) << "kind " << kind;
        EXPECT_EQ(kind == 2 ? 7 : kind == 3 ? 4 : 5, lastFrame) << "kind " << kind;
    }
}

TEST_F(WorldRules, ADelayedParticleStandsStillUntilItsTurn) {
    SpawnExplosion(&EffectList, 0, 0, 4, 10, 10, 0, 0);
    CharaData* second = EffectList.tail;
    EXPECT_EQ(24, second->delay);
    int32_t y = second->y;
    for (int i = 0; i < 24; i++) UpdateEffects(&EffectLists);
    EXPECT_EQ(y, second->y);
    EXPECT_EQ(1, second->state);
    UpdateEffects(&EffectLists);
    EXPECT_EQ(2, second->state);
    EXPECT_EQ(y - 10 * 128, second->y);
}

TEST_F(WorldRules, PopupsOfKindTwoBlinkWithThree) {
    SpawnPopup(&PopupList, 0, 0, 2);
    std::string kinds;
    for (int i = 0; i < 12; i++) {
        UpdatePopups(&PopupLists);
        kinds += std::to_string(PopupList.head->type);
    }
    EXPECT_EQ("222333322223", kinds);
}

TEST_F(WorldRules, LobbedBlastFliesSlowsAndBecomesARing) {
    SpawnShockwave(&ShockwaveList, 0, -100 * 1024, 1, 256, 1, 0);
    CharaData* s = ShockwaveList.head;
    UpdateShockwaves(&ShockwaveLists);
    EXPECT_EQ(2, s->state);
    EXPECT_EQ(220, s->work2);  // 220 px to the player
    EXPECT_EQ(73 * 16, s->work4);
    EXPECT_EQ(36, s->delay);
    int frames = 0;
    while (s->type == 1 && frames < 500) {
        UpdateShockwaves(&ShockwaveLists);
        frames++;
    }
    EXPECT_EQ(2, s->type);
    EXPECT_EQ(5, s->work2);
    EXPECT_EQ((std::vector<int>{kSoundTekitama, kSoundGure}), PlayedEffects());
    EXPECT_EQ(3, PlayerList.self.hp);

    // Spawned with a delay, the flight is set afresh every frame: it never leaves state 1.
    ShockwaveList.Clear();
    SpawnShockwave(&ShockwaveList, 0, -100 * 1024, 1, 256, 1, 5);
    for (int i = 0; i < 100; i++) UpdateShockwaves(&ShockwaveLists);
    EXPECT_EQ(1, ShockwaveList.head->state);
}

TEST_F(WorldRules, BulletsPassThroughABlinkingOrDyingPlayer) {
    for (int which = 0; which < 2; which++) {
        BulletList.Clear();
        GameState.invulnTime = which == 0 ? 10 : 0;
        GameState.dyingTime = which == 1 ? 10 : 0;
        CharaData* b = AddRecord(&BulletList, 1, 2, 0, 120);
        UpdateEnemyBullets(&BulletLists);
        EXPECT_EQ(1, CountOf(BulletList));
        EXPECT_EQ(3, PlayerList.self.hp);
        (void)b;
    }
}

TEST_F(WorldRules, BulletHitsStepTheShieldThenTakeALife) {
    GameState.shield = 3;
    std::vector<int32_t> shields;
    for (int hit = 0; hit < 3; hit++) {
        GameState.invulnTime = 0;
        AddRecord(&BulletList, 1, 2, 0, 120);
        UpdateEnemyBullets(&BulletLists);
        shields.push_back(GameState.shield);
        EXPECT_EQ(0, CountOf(BulletList));
    }
    EXPECT_EQ((std::vector<int32_t>{1, 0, 0}), shields);
    EXPECT_EQ(2, PlayerList.self.hp);
    EXPECT_EQ(1, GameState.dyingTime);
}

TEST_F(WorldRules, LaserEmitterGuideAndBeam) {
    SpawnEnemyBullet(&PlayerList, &BulletList, -100 * 1024, -200 * 1024, 0, 0, 9, -2);
    CharaData* emitter = BulletList.head;
    UpdateEnemyBullets(&BulletLists);
    EXPECT_EQ(2, emitter->state);
    EXPECT_EQ(1, emitter->frameCounter);
    // Guide segments fly at 22.5 px a frame and never hurt: park the player in their path.
    PlayerList.self.x = -100 * 1024;
    PlayerList.self.y = -150 * 1024;
    for (int i = 0; i < 69; i++) UpdateEnemyBullets(&BulletLists);
    EXPECT_EQ(3, PlayerList.self.hp);
    EXPECT_EQ(70, emitter->frameCounter);
    EXPECT_EQ((std::vector<int>{kSoundLaser}), PlayedEffects());
    UpdateEnemyBullets(&BulletLists);  // the first beam segment, 8 px below
    EXPECT_EQ(11, BulletList.tail->type);
    EXPECT_EQ(-192 * 1024, BulletList.tail->y - 23040);
    UpdateEnemyBullets(&BulletLists);
    EXPECT_EQ(2, PlayerList.self.hp);  // a beam segment hurts

    // The left half destroyed mid-beam: the emitter stops at once.
    GameState.leftHalfDestroyed = 1;
    UpdateEnemyBullets(&BulletLists);
    for (CharaData* b = BulletList.head; b; b = b->next) EXPECT_NE(9, b->type);
}

TEST_F(WorldRules, DeceleratingBulletTurnsIntoAnAimedOneSoundingAgain) {
    SpawnEnemyBullet(&PlayerList, &BulletList, 0, -100 * 1024, 10, 0, 4, 0);
    CharaData* b = BulletList.head;
    int32_t speed = b->speed;
    int frames = 0;
    while (b->type == 4 && frames < 100) {
        UpdateEnemyBullets(&BulletLists);
        frames++;
    }
    EXPECT_EQ(7, b->type);
    EXPECT_EQ(1, b->state);
    EXPECT_EQ(GetAngleTo(b->x, b->y, 0, 120 * 1024) % 1024, b->angle);
    UpdateEnemyBullets(&BulletLists);
    EXPECT_EQ(2, b->state);
    EXPECT_EQ(1, b->work2);
    EXPECT_EQ((std::vector<int>{kSoundTekitama, kSoundTekitama}), PlayedEffects());
    (void)speed;
}

TEST_F(WorldRules, SplitAndBurstFollowTheBulletRules) {
    GameState.rank = 200;
    GameState.level = 4;
    GameState.stage = 4;
    GameState.remix = 1;  // a split interval of 3
    SpawnEnemyBullet(&PlayerList, &BulletList, 0, -100 * 1024, 8, 256, 6, 0);
    for (int i = 0; i < 3; i++) UpdateEnemyBullets(&BulletLists);
    EXPECT_EQ(9, CountOf(BulletList));
    for (int i = 0; i < 10; i++) UpdateEnemyBullets(&BulletLists);
    int zeros = 0;
    for (CharaData* b = BulletList.head; b; b = b->next) zeros += b->type == 0;
    EXPECT_EQ(8, zeros);  // split once

    // During noFireTime the split is refused and not retried.
    BulletList.Clear();
    SpawnEnemyBullet(&PlayerList, &BulletList, 0, -100 * 1024, 8, 256, 6, 0);
    GameState.noFireTime = 5;
    for (int i = 0; i < 3; i++) UpdateEnemyBullets(&BulletLists);
    GameState.noFireTime = 0;
    for (int i = 0; i < 20; i++) UpdateEnemyBullets(&BulletLists);
    EXPECT_EQ(1, CountOf(BulletList));

    // Type 8: decelerates, waits 40 frames and bursts into eight type-3 bullets.
    BulletList.Clear();
    SpawnEnemyBullet(&PlayerList, &BulletList, 0, -100 * 1024, 20, 0, 8, 0);
    int frames = 0;
    while (BulletList.head && BulletList.head->type == 8 && frames < 200) {
        UpdateEnemyBullets(&BulletLists);
        frames++;
    }
    EXPECT_EQ(8, CountOf(BulletList));
    for (CharaData* b = BulletList.head; b; b = b->next) {
        EXPECT_EQ(3, b->type);
        EXPECT_EQ(0, b->item);
    }
}

TEST_F(WorldRules, MuzzleFlashCountsDownAlsoWhileWaiting) {
    SpawnEnemyBullet(&PlayerList, &BulletList, 0, -100 * 1024, 8, 0, 1, 0);
    SpawnEnemyBullet(&PlayerList, &BulletList, 0, -100 * 1024, 8, 0, 6, 0);
    CharaData* waiting = BulletList.head;
    CharaData* large = BulletList.tail;
    waiting->delay = 10;
    std::vector<int32_t> flash;
    for (int i = 0; i < 7; i++) {
        flash.push_back(waiting->item * 10 + large->item);
        UpdateEnemyBullets(&BulletLists);
    }
    EXPECT_EQ((std::vector<int32_t>{36, 25, 14, 3, 2, 1, 0}), flash);
    EXPECT_EQ(1, waiting->state);
}

TEST_F(WorldRules, BulletsLeaveBeyondTheScreenArea) {
    CharaData* b = AddRecord(&BulletList, 1, 2, 368, 0);  // screen x 608
    UpdateEnemyBullets(&BulletLists);
    EXPECT_EQ(1, CountOf(BulletList));
    b->x += 1024;
    UpdateEnemyBullets(&BulletLists);
    EXPECT_EQ(0, CountOf(BulletList));
}

}  // namespace WorldUpdaters_test
