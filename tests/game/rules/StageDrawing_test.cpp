// The stage's layers, the panel, the intro, the boss timer, the tally and the bitmap text,
// as the calls they make.
#include "ScreenFixture.h"
#include "StageDrawing.h"

namespace StageDrawing_test {

namespace {

using T = SpriteTable;

class StageDrawing : public Screens {
protected:
    void SetUp() override {
        Screens::SetUp();
        SetUpField();
        GameState.stageFrame = 400;
        GameState.bossTimer = 2000;
    }
};

// The tables drawn from, in order, each run of one table counted once.
std::vector<int> TableRuns() {
    std::vector<int> runs;
    for (const Drawn& d : DrawnSprites()) {
        const int t = TableOf(d.handle);
        if (runs.empty() || runs.back() != t) runs.push_back(t);
    }
    return runs;
}

TEST_F(StageDrawing, EveryKindOfRecordIsDrawnInLayerOrderWithItsBlendMode) {
    // One record of every kind, each at its own place.
    CharaData* wreck = AddRecord(&WreckList, 1, 0, -100, -100);
    wreck->animFrame = 2;
    CharaData* ground = AddRecord(&GroundEnemyList, 4, 2, 10, 20);
    ground->angle = 256 + 100;
    ground->subKind[0] = 4;
    ground->subFrame[0] = 1;
    ground->subAngle[0] = 256;
    AddRecord(&GroundPartList, 13, 2, 11, 21);
    ChikeiData* piece = AllocateChikei();
    piece->kind = 5;
    piece->x = 30 * 1024;
    piece->y = 40 * 1024;
    TerrainList.AppendNode(piece);
    AddRecord(&ItemList, 0, 1, 12, 22)->animFrame = 9;
    AddRecord(&AirEnemyList, 2, 2, 13, 23);
    AddRecord(&AirPartList, 3, 2, 14, 24);
    AddRecord(&EffectList, 1, 1, 15, 25)->animFrame = 2;
    AddRecord(&PopupList, 39, 0, 16, 26);
    GameState.shield = 1;
    ShotTable.state[0] = 1;
    ShotTable.kind[0] = 5;
    ShotTable.scale[0] = 150;
    CharaData* bullet = AddRecord(&BulletList, 2, 2, 17, 27);
    bullet->item = 3;
    AddRecord(&ShockwaveList, 1, 1, 18, 28);
    ShotTable.state[kNapalmSlot] = 1;
    GameState.bossTimer = 1500;

    DrawStage();

    const std::vector<int> want = {
        int(T::BgTileSprites), int(T::WreckSprites), int(T::GroundEnemySprites), int(T::GroundPartSprites),
        int(T::TerrainSprites), int(T::ItemSprites), int(T::AirEnemySprites), int(T::AirPartSprites),
        int(T::EffectSprites), int(T::LabelSprites), int(T::PlayerSprites), int(T::ShotSprites),
        int(T::BulletSprites), int(T::ShockwaveSprites), int(T::ShotSprites), int(T::PanelImage),
        int(T::FontSprites), int(T::LabelSprites)};
    EXPECT_EQ(TableRuns(), want);

    // Blend modes: the field off, the shield additive 70, shots and shockwaves additive 200.
    std::vector<std::vector<int64_t>> blends;
    for (const fakeapi::Call& call : fakeapi::CallsOf("ApiSetBlendMode"))
        if (blends.empty() || blends.back() != call.args) blends.push_back(call.args);
    const std::vector<std::vector<int64_t>> wantBlends = {{0, 100}, {2, 70}, {2, 200}, {0, 100},
                                                         {2, 200}, {0, 100}};
    EXPECT_EQ(blends, wantBlends);

    // The enemy turns by angle - 256; its sub-sprite by subAngle - 256 from column 8 + subFrame.
    for (const fakeapi::Call& call : fakeapi::CallsOf("ApiDrawScaleRotateGraph")) {
        if (call.args[4] == SpriteHandle(T::GroundEnemySprites, 4, 0)) {
            EXPECT_EQ(call.args[0], 240 + 10);
            EXPECT_EQ(call.args[1], 240 + 20);
            EXPECT_EQ(call.args[3], LoggedAngle(100));
        }
        if (call.args[4] == SpriteHandle(T::GroundEnemySprites, 4, 9)) {
            EXPECT_EQ(call.args[3], 0);
        }
        if (call.args[4] == SpriteHandle(T::ShotSprites, 5, 0)) {
            EXPECT_EQ(call.args[2], 1500000);  // scale 1.5
        }
    }
    // The wreck of kind 1 top-left at (-46, -48) from its place; terrain at (-60, -60).
    const std::vector<Drawn> drawn = DrawnSprites();
    EXPECT_NE(std::find(drawn.begin(), drawn.end(), Drawn{SpriteHandle(T::WreckSprites, 1, 2), 240 - 100 - 46, 240 - 100 - 48}),
              drawn.end());
    EXPECT_NE(std::find(drawn.begin(), drawn.end(), Drawn{SpriteHandle(T::TerrainSprites, 5), 240 + 30 - 60, 240 + 40 - 60}),
              drawn.end());
    // The bullet's muzzle flash comes after every bullet body, frame 0 of its row.
    EXPECT_NE(std::find_if(drawn.begin(), drawn.end(), [](const Drawn& d) { return d.handle == SpriteHandle(T::BulletSprites, 2, 0); }),
              drawn.end());
    // The shot drawn with frame 0 moves on to frame 1.
    EXPECT_EQ(ShotTable.frame[0], 1);
}

TEST_F(StageDrawing, IndicesOutsideTheirTablesDrawNothing) {
    CharaData* e = AddRecord(&GroundEnemyList, 64, 2, 0, 0);
    e = AddRecord(&GroundEnemyList, 3, 2, 0, 0);
    e->animFrame = 16;
    e->subKind[0] = 3;
    e->subFrame[0] = 8;  // column 16
    AddRecord(&AirEnemyList, -1, 2, 0, 0);
    AddRecord(&ItemList, 0, 1, 0, 0)->animFrame = 32;
    AddRecord(&PopupList, 45, 0, 0, 0);
    AddRecord(&WreckList, 3, 0, 0, 0);
    AddRecord(&EffectList, 4, 1, 0, 0);
    AddRecord(&BulletList, 12, 2, 0, 0);
    ChikeiData* piece = AllocateChikei();
    piece->kind = 55;
    TerrainList.AppendNode(piece);
    GameState.shieldCycle = 41;  // LabelSprites[45]
    GameState.shield = 3;

    DrawStage();

    for (const Drawn& d : DrawnSprites()) {
        const int t = TableOf(d.handle);
        EXPECT_TRUE(t == int(T::BgTileSprites) || t == int(T::PlayerSprites) || t == int(T::PanelImage) ||
                    t == int(T::FontSprites))
            << "drew " << d.handle;
    }
}

TEST_F(StageDrawing, ThePanelShowsScoresPowersShieldAndBonus) {
    GameState.mode = 1;
    GameState.level = 2;
    GameState.remix = 1;
    HiScoreTable[1][2] = 4567;
    GameState.score = 890;
    GameState.stage = 3;
    PlayerList.self.hp = 3;
    GameState.shotPower = 2;
    GameState.napalmPower = 1;
    GameState.shield = 2;
    GameState.bonusCount = 1;
    fakeapi::results["ApiGetScreenColorValue"] = 77;

    DrawStage();

    EXPECT_NE(std::find(DrawnSprites().begin(), DrawnSprites().end(), Drawn{SpriteHandle(T::PanelImage, 0), 480, 0}),
              DrawnSprites().end());
    // Panel digits, right-aligned: hi-score in 11 cells from 495 at y 90 (centres + 6).
    std::vector<Drawn> digits;
    for (const Drawn& d : DrawnSprites())
        if (TableOf(d.handle) == int(T::FontSprites)) digits.push_back({d.handle % kHandleTableStride, d.x, d.y});
    const std::vector<Drawn> want = {
        {'7', 495 + 120 + 6, 96}, {'6', 495 + 108 + 6, 96}, {'5', 495 + 96 + 6, 96}, {'4', 495 + 84 + 6, 96},
        {'0', 495 + 120 + 6, 126}, {'9', 495 + 108 + 6, 126}, {'8', 495 + 96 + 6, 126},
        {'3', 591 + 24 + 6, 156},
        {'2', 603 + 12 + 6, 186},
    };
    EXPECT_EQ(digits, want);

    std::vector<std::vector<int64_t>> boxes;
    for (const fakeapi::Call& call : fakeapi::CallsOf("ApiDrawRectangle")) boxes.push_back(call.args);
    const std::vector<std::vector<int64_t>> wantBoxes = {
        {499, 303, 514, 313, 77, 1}, {515, 303, 530, 313, 77, 1},  // shot power 2
        {499, 333, 514, 343, 77, 1},                               // napalm power 1
        {490, 320, 630, 350, 77, 1},                               // REMIX covers the napalm row
        {499, 363, 546, 373, 77, 1}, {547, 363, 594, 373, 77, 1},  // shield 2
        {499, 413, 508, 423, 77, 1},                               // one bonus
    };
    EXPECT_EQ(boxes, wantBoxes);
    std::vector<std::vector<int64_t>> colours;
    for (const fakeapi::Call& call : fakeapi::CallsOf("ApiGetScreenColorValue")) colours.push_back(call.args);
    const std::vector<std::vector<int64_t>> wantColours = {{255, 0, 0}, {255, 0, 0}, {254, 191, 114}, {35, 44, 56},
                                                          {0, 255, 255}, {0, 255, 255}, {255, 255, 128}};
    EXPECT_EQ(colours, wantColours);
}

TEST_F(StageDrawing, ThePlayerBlinksWhileInvulnerableAndHidesWhileDyingOrFrozen) {
    struct Case {
        int32_t invuln, frame, dying, freeze;
        bool drawn;
    } cases[] = {
        {0, 400, 0, 0, true},  {0, 400, 1, 0, true},   {0, 400, 2, 0, false}, {0, 400, 0, 1, false},
        {5, 401, 0, 0, true},  {5, 402, 0, 0, false}, {5, 403, 0, 0, false}, {5, 404, 0, 0, true},
    };
    for (const Case& c : cases) {
        GameState.invulnTime = c.invuln;
        GameState.stageFrame = c.frame;
        GameState.dyingTime = c.dying;
        GameState.respawnFreeze = c.freeze;
        fakeapi::Reset();
        DrawStage();
        bool drawn = false;
        for (const Drawn& d : DrawnSprites()) drawn |= d.handle == SpriteHandle(T::PlayerSprites, 0);
        EXPECT_EQ(drawn, c.drawn) << "invuln " << c.invuln << " frame " << c.frame << " dying " << c.dying
                                  << " freeze " << c.freeze;
    }
}

TEST_F(StageDrawing, TheBossTimerShowsHundredsOfFramesRoundedUp) {
    struct Case {
        int32_t timer, shown;
    } cases[] = {{1999, 20}, {1900, 20}, {1899, 19}, {99, 1}, {1, 1}, {0, 0}};
    for (const Case& c : cases) {
        GameState.bossTimer = c.timer;
        fakeapi::Reset();
        DrawStage();
        std::vector<Drawn> label;
        for (const Drawn& d : DrawnSprites())
            if (d.y == 18) label.push_back(d);
        const std::vector<Drawn> want = {{SpriteHandle(T::LabelSprites, 24), 232, 18},
                                         {SpriteHandle(T::LabelSprites, 25 + c.shown / 10), 263, 18},
                                         {SpriteHandle(T::LabelSprites, 25 + c.shown % 10), 283, 18}};
        EXPECT_EQ(label, want) << c.timer;
    }
    GameState.bossTimer = 2000;
    fakeapi::Reset();
    DrawStage();
    for (const Drawn& d : DrawnSprites()) EXPECT_NE(d.handle, SpriteHandle(T::LabelSprites, 24));
}

TEST_F(StageDrawing, TheIntroCoversTheFieldThenItsShuttersOpenUntilFrame173) {
    struct Case {
        int32_t frame;
        std::vector<std::vector<int64_t>> boxes;
    } cases[] = {
        {149, {{0, 0, 480, 480}}},
        {150, {{0, 0, 240, 480}, {240, 0, 480, 480}}},
        {173, {{0, 0, 10, 480}, {470, 0, 480, 480}}},
        {174, {}},
    };
    for (const Case& c : cases) {
        GameState.stageFrame = c.frame;
        GameState.shotPower = GameState.napalmPower = 0;
        fakeapi::Reset();
        DrawStage();
        std::vector<std::vector<int64_t>> boxes;
        for (const fakeapi::Call& call : fakeapi::CallsOf("ApiDrawRectangle"))
            boxes.push_back({call.args[0], call.args[1], call.args[2], call.args[3]});
        EXPECT_EQ(boxes, c.boxes) << c.frame;
    }
    GameState.stageFrame = 10;
    fakeapi::Reset();
    DrawStage();
    EXPECT_EQ(DrawnText().substr(0, 7), std::string("STAGE \0", 7));
}

TEST_F(StageDrawing, TheTallyShowsItsRowsAndPaysOnce) {
    GameState.stage = 7;
    GameState.clearCount = 201;
    GameState.bossTimer = 1234;  // 13
    GameState.bonusCount = 2;
    GameState.shield = 1;
    PlayerList.self.hp = 2;
    DrawStage();
    std::vector<Drawn> headings;
    for (const Drawn& d : DrawnSprites())
        if (d.handle >= SpriteHandle(T::LabelSprites, 35) && d.handle <= SpriteHandle(T::LabelSprites, 38))
            headings.push_back(d);
    const std::vector<Drawn> want = {{SpriteHandle(T::LabelSprites, 35), 320, 102},
                                     {SpriteHandle(T::LabelSprites, 36), 320, 182},
                                     {SpriteHandle(T::LabelSprites, 37), 320, 262},
                                     {SpriteHandle(T::LabelSprites, 38), 320, 342}};
    EXPECT_EQ(headings, want);
    // 13 at (254, 89) in 3 cells of 20 px; 260000 at (294, 114) in 7.
    const std::vector<Drawn> drawn = DrawnSprites();
    EXPECT_EQ(drawn[1], (Drawn{SpriteHandle(T::LabelSprites, 28), 254 + 40, 89}));
    EXPECT_EQ(drawn[2], (Drawn{SpriteHandle(T::LabelSprites, 26), 254 + 20, 89}));
    EXPECT_EQ(drawn[3], (Drawn{SpriteHandle(T::LabelSprites, 25), 294 + 120, 114}));
    EXPECT_EQ(GameState.score, 13 * 20000 + 2 * 20000 + 50000 + 2 * 100000);
    EXPECT_EQ(GameState.clearCount, 202);
    DrawStage();
    EXPECT_EQ(GameState.score, 13 * 20000 + 2 * 20000 + 50000 + 2 * 100000);

    // After a time-over only the words show.
    GameState.bossTimer = 0;
    fakeapi::Reset();
    DrawStage();
    EXPECT_EQ(DrawnText(), std::string("TIME OVER\0", 10));
    EXPECT_EQ(DrawnSprites().front(), (Drawn{SpriteHandle(T::FontSprites, 'T'), 168 + 6, 246}));
}

TEST_F(Screens, BitmapTextDrawsEveryByteThenItsEndAndNumbersKeepTheirLowDigits) {
    DrawFontNumber(10, 20, 123, 1);
    EXPECT_EQ(DrawnText(), "32");
    EXPECT_EQ(DrawnSprites()[0], (Drawn{SpriteHandle(T::FontSprites, '3'), 10 + 12 + 6, 26}));
    EXPECT_EQ(DrawnSprites()[1], (Drawn{SpriteHandle(T::FontSprites, '2'), 10 + 6, 26}));

    fakeapi::Reset();
    DrawFontText(0, 0, "");
    EXPECT_EQ(DrawnSprites(), (std::vector<Drawn>{{SpriteHandle(T::FontSprites, 0), 6, 6}}));

    fakeapi::Reset();
    DrawFontText(0, 0, "A\x82\x7F");
    EXPECT_EQ(DrawnText(), std::string("A\0\x7F\0", 4));

    fakeapi::Reset();
    DrawFont2Text(100, 50, "0");
    EXPECT_EQ(DrawnSprites(), (std::vector<Drawn>{{SpriteHandle(T::Font2Sprites, '0'), 106, 56},
                                                  {SpriteHandle(T::Font2Sprites, 0), 118, 56}}));

    fakeapi::Reset();
    DrawFontNumber(0, 0, 0, 3);
    EXPECT_EQ(DrawnSprites(), (std::vector<Drawn>{{SpriteHandle(T::FontSprites, '0'), 42, 6}}));
}

}  // namespace

}  // namespace StageDrawing_test
