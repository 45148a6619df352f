// The whole game, headless, one case per stage: the game's own WinMain in this process
// reaches stage s through STAGE SELECT and a pilot plays it to its end; the keys it gave are
// written as an input script, and the real executable replays them in a fresh folder. Both
// runs must present the same frames. From the present hook the harness only reads the game
// and presses keys: the bosses must set up with their parts, fire from around their hulls,
// and end through a shockwave in state 4 with bossLife 0.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "GameRules.h"
#include "GameRun.h"
#include "GameTypes.h"
#include "Pilot.h"
#include "Player.h"
#include "TempDir.h"
#include "enemies/EnemyUpdaters.h"
#include "platform/testing.h"


namespace {

using gamerun::Key;

constexpr int kFirstKey = 150;      // the menus wait; this leaves slack for the loading screen
constexpr int kLongestRun = 40000;  // presents; past it the harness asks the game to end

// What a boss's hull and parts fire from their first turn, by boss type.
struct BossWeapons {
    int32_t type;
    std::set<int32_t> parts;
    std::set<int32_t> bullets;
};
const BossWeapons kBossWeapons[] = {
    {20, {8, 10}, {1, 3}},  {32, {23, 24, 25, 26}, {2}}, {22, {15, 16}, {2}},  {28, {20, 21}, {1, 2}},
    {37, {27, 28, 29}, {0, 3}}, {16, {7, 8, 18}, {0, 2}}, {41, {30}, {1, 9}},
};
const BossWeapons& WeaponsOf(int32_t type) {
    for (const BossWeapons& w : kBossWeapons)
        if (w.type == type) return w;
    return kBossWeapons[0];
}

struct BossSeen {
    int32_t type = 0;
    bool active = false, shockwave = false, finished = false;
    std::set<int32_t> parts, bullets;
};

struct Harness {
    int stage = 1;
    gamerun::Script script;
    std::set<int> held;
    std::map<int, Key> plan;  // menu presses by present
    int startPresent = 0;     // the press that starts the game
    int endAt = -1;           // Space given here; Esc held from ten presents on
    int bossDeadAt = -1;
    std::map<const CharaData*, BossSeen> bosses;
    std::set<const CharaData*> lastBullets;
    int lingering = 0;  // records seen past 21 turns in state 3 or 5
    bool timeOver = false;
    bool playing = false;  // stage s has begun
    pilot::Pilot pilot;
};
Harness* g;

void SetKey(uint64_t present, Key key, bool down) {
    if (g->held.count(key) == size_t(down)) return;
    ptest::PressKey(key, down);
    // The press takes effect at the next pump: the script's event of the next frame.
    if (down) {
        g->script.Down(int(present) + 1, key);
        g->held.insert(key);
    } else {
        g->script.Up(int(present) + 1, key);
        g->held.erase(key);
    }
}

void PlanMenus(int stage) {
    int f = kFirstKey;
    auto press = [&](Key key) {
        g->plan[f] = key;
        f += 4;
    };
    // Title: STAGE SELECT; LEVEL SELECTION: NORMAL; the stage; SHOT POWER 6, NAPALM POWER 6,
    // SHIELD 2 (each raised by five presses); start.
    press(gamerun::kDown);
    press(gamerun::kDown);
    press(gamerun::kZ);
    press(gamerun::kZ);
    for (int i = 1; i < stage; i++) press(gamerun::kRight);
    press(gamerun::kDown);
    for (int row = 0; row < 3; row++) {
        press(gamerun::kDown);
        for (int i = 0; i < 5; i++) press(gamerun::kRight);
    }
    g->startPresent = f;
    press(gamerun::kZ);
}

void Pilot(uint64_t present) {
    const int32_t bits = g->pilot.Choose();
    SetKey(present, gamerun::kZ, bits & kPadButton1);
    SetKey(present, gamerun::kLeft, bits & kPadLeft);
    SetKey(present, gamerun::kRight, bits & kPadRight);
    SetKey(present, gamerun::kUp, bits & kPadUp);
    SetKey(present, gamerun::kDown, bits & kPadDown);
}

void ReleaseAll(uint64_t present) {
    for (Key k : {gamerun::kZ, gamerun::kLeft, gamerun::kRight, gamerun::kUp, gamerun::kDown}) SetKey(present, k, false);
}

void Watch() {
    for (const CharaData* e = GroundEnemyList.head; e; e = e->next) {
        if ((e->state == 3 || e->state == 5) && e->stateTimer > 21) g->lingering++;
        if (!IsBossType(e->type)) continue;
        BossSeen& b = g->bosses[e];
        b.type = e->type;
        if (e->state == 2 && !b.active) {
            b.active = true;
            for (const CharaData* p = GroundPartList.head; p; p = p->next)
                if (p->parent == e) b.parts.insert(p->type);
        }
        if (e->state == 3)
            for (const CharaData* s = ShockwaveList.head; s; s = s->next)
                if (s->type == 2 && std::abs(s->x - e->x) < 8 * 1024 && std::abs(s->y - e->y) < 64 * 1024) b.shockwave = true;
        if (e->state == 4) b.finished = true;
    }
    for (const CharaData* e = AirEnemyList.head; e; e = e->next)
        if ((e->state == 3 || e->state == 5) && e->stateTimer > 21) g->lingering++;
    std::set<const CharaData*> now;
    for (const CharaData* bullet = BulletList.head; bullet; bullet = bullet->next) {
        now.insert(bullet);
        if (g->lastBullets.count(bullet)) continue;
        for (const CharaData* e = GroundEnemyList.head; e; e = e->next) {
            if (!IsBossType(e->type) || e->state != 2) continue;
            if (std::abs(bullet->x - e->x) <= (e->hitW + 100) * 1024 && std::abs(bullet->y - e->y) <= (e->hitH + 100) * 1024)
                g->bosses[e].bullets.insert(bullet->type);
        }
    }
    g->lastBullets.swap(now);
    if (GameState.bossTimer == 0 && GameState.bossLife > 0 && GameState.stage == g->stage) g->timeOver = true;
}

void Hook(uint64_t present, const uint32_t*, int, int) {
    const int n = int(present);
    if (auto it = g->plan.find(n); it != g->plan.end()) {
        SetKey(present, it->second, true);
        return;
    }
    if (g->plan.count(n - 1)) SetKey(present, g->plan.at(n - 1), false);
    if (n <= g->startPresent) return;
    if (!g->playing) {
        g->playing = GameState.stage == g->stage && GameState.stageFrame > 0;
        if (!g->playing && n > g->startPresent + 600 && g->endAt < 0) g->endAt = n + 2;  // never began
        if (!g->playing && g->endAt < 0) return;
    }
    if (g->endAt >= 0) {
        if (n == g->endAt) SetKey(present, gamerun::kSpace, true);
        if (n == g->endAt + 1) SetKey(present, gamerun::kSpace, false);
        if (n == g->endAt + 10) SetKey(present, gamerun::kEsc, true);
        return;
    }
    Watch();
    static int lastDying = 0;
    if (GameState.dyingTime != 0 && lastDying == 0) {
        const CharaData& p = PlayerList.self;
        std::fprintf(stderr, "death at %d: player %d,%d\n", n, p.x / 1024, p.y / 1024);
        for (const CharaData* b = BulletList.head; b; b = b->next)
            if (std::abs(b->x - p.x) < 60 * 1024 && std::abs(b->y - p.y) < 60 * 1024)
                std::fprintf(stderr, "  bullet type %d at %d,%d v %d,%d speed %d angle %d hit %d state %d\n", b->type, b->x / 1024,
                             b->y / 1024, b->vx, b->vy, b->speed, b->angle, b->hitW, b->state);
        for (const CharaData* e = AirEnemyList.head; e; e = e->next)
            if (std::abs(e->x - p.x) < 150 * 1024 && std::abs(e->y - p.y) < 150 * 1024)
                std::fprintf(stderr, "  air type %d at %d,%d state %d\n", e->type, e->x / 1024, e->y / 1024, e->state);
    }
    lastDying = GameState.dyingTime;
    if (GameState.bossLife == 0 && g->bossDeadAt < 0 && GameState.stage == g->stage) g->bossDeadAt = n;
    // The stage is over once its tally has run (the next stage begins), at GAME OVER, or
    // when the game leaves play; END then follows.
    const bool over = GameState.stage != g->stage || GameState.result != 0 || GameState.quit != 0 ||
                      (g->bossDeadAt >= 0 && n > g->bossDeadAt + 700) || n > kLongestRun;
    if (over) {
        std::fprintf(stderr, "over at %d: stage %d result %d quit %d bossLife %d bossTimer %d lives %d\n", n,
                     GameState.stage, GameState.result, GameState.quit, GameState.bossLife, GameState.bossTimer,
                     PlayerList.self.hp);
        ReleaseAll(present);
        g->endAt = n + 2;
        return;
    }
    Pilot(present);
}

class WholeGame : public ::testing::TestWithParam<int> {};

TEST_P(WholeGame, StageIsPlayedToItsEndAndReplaysFrameForFrame) {
    const int stage = GetParam();
    qztest::TempDir dir;
    const std::string recorded = dir.file("recorded"), replayed = dir.file("replayed");
    for (const std::string& folder : {recorded, replayed}) {
        gamerun::WriteStartFile(folder, "start1.dat", "8\r\n");
        qztest::WriteWholeFile(folder + "/soundon.txt", "0\r\n");
    }
    std::filesystem::create_directory_symlink(QZ_DATA_DIR, recorded + "/data");

    Harness harness;
    ASSERT_EQ(nullptr, g);
    harness.stage = stage;
    g = &harness;
    PlanMenus(stage);
    ptest::SetMessageBoxAnswer(ptest::MessageBoxAnswer::No);
    ptest::SetWindowLockFolder(recorded);
    ptest::SetFrameHashLog(recorded + "/hashes.txt");
    ptest::SetPresentHook(Hook);
    const std::string cwd = std::filesystem::current_path();
    ASSERT_EQ(0, chdir(recorded.c_str()));
    const double started = gamerun::Seconds();
    static char emptyCommandLine[] = "";
    const int code = WinMain(GetModuleHandleA(nullptr), nullptr, emptyCommandLine, SW_SHOWDEFAULT);
    const double seconds = gamerun::Seconds() - started;
    ASSERT_EQ(0, chdir(cwd.c_str()));
    ptest::SetPresentHook(nullptr);
    ptest::SetFrameHashLog("");
    g = nullptr;
    EXPECT_EQ(0, code);
    EXPECT_TRUE(gamerun::LogEndsWithEmptyDump(recorded));

    // The bosses.
    ASSERT_TRUE(harness.playing) << "stage " << stage << " never began";
    ASSERT_FALSE(harness.bosses.empty()) << "the pilot never reached the boss";
    for (const auto& [record, b] : harness.bosses) {
        SCOPED_TRACE("boss " + std::to_string(b.type));
        const BossWeapons& w = WeaponsOf(b.type);
        EXPECT_TRUE(b.active);
        EXPECT_TRUE(std::includes(b.parts.begin(), b.parts.end(), w.parts.begin(), w.parts.end()));
        EXPECT_TRUE(std::includes(b.bullets.begin(), b.bullets.end(), w.bullets.begin(), w.bullets.end()));
        EXPECT_TRUE(b.shockwave);
        EXPECT_TRUE(b.finished);
    }
    EXPECT_GE(harness.bossDeadAt, 0) << "bossLife never reached 0";
    EXPECT_EQ(0, harness.lingering);

    // The replay, in a process of the real game.
    gamerun::Run replay{QZ_ZARNOVIK, replayed, QZ_DATA_DIR, harness.script, {"QZ_FRAMEHASH=" + replayed + "/hashes.txt"}};
    const double replayStarted = gamerun::Seconds();
    EXPECT_EQ(std::vector<int>{0}, gamerun::RunAll({replay}));
    const double replaySeconds = gamerun::Seconds() - replayStarted;
    EXPECT_TRUE(gamerun::LogEndsWithEmptyDump(replayed));
    const std::string first = gamerun::ReadFile(recorded + "/hashes.txt");
    const std::string second = gamerun::ReadFile(replayed + "/hashes.txt");
    EXPECT_FALSE(first.empty());
    EXPECT_TRUE(first == second) << "the replay's frames differ";
    const size_t frames = size_t(std::count(first.begin(), first.end(), '\n'));
    std::printf("stage %d: %zu presents, recorded in %.1f s, replayed in %.1f s%s\n", stage, frames, seconds,
                replaySeconds, harness.timeOver ? " (TIME OVER)" : "");
}

INSTANTIATE_TEST_SUITE_P(Stages, WholeGame, ::testing::Range(1, 8));

}  // namespace
