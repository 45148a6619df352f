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

// The pilot: of the nine moves, the one that keeps the most clearance from every enemy
// bullet and air enemy over the next 16 frames (all moving in straight lines, a pixel of
// doubt added per frame ahead). Clearances beyond 48 px count as equal; then the move that
// brings the player nearest its post, low in the field under the nearest enemy. Ties go to
// the first in a fixed order: still, then the eight directions.
constexpr int kMoves[9][2] = {{0, 0}, {-1, 0}, {1, 0}, {0, -1}, {0, 1}, {-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
constexpr int kSafe = 48;

int32_t ClearanceAfterMove(int dx, int dy) {
    const CharaData& p = PlayerList.self;
    int64_t worst = kSafe;
    for (int t = 1; t <= 16; t++) {
        // 4800 a frame, 3404 on each axis along a diagonal, as the player moves.
        const int64_t step = dx != 0 && dy != 0 ? 4800 * 100 / 141 : 4800;
        int64_t px = p.x + dx * step * t, py = p.y + dy * step * t;
        if (px < -200 * 1024 || px > 200 * 1024 || py < -40 * 1024 || py > 220 * 1024) return -1000;
        auto consider = [&](int64_t ex, int64_t ey, int64_t radius) {
            int64_t d = IntegerSquareRoot((ex / 1024) * (ex / 1024) + (ey / 1024) * (ey / 1024)) - radius - t;
            worst = std::min(worst, d);
        };
        for (const CharaData* b = BulletList.head; b; b = b->next) {
            if (b->type == 9 || b->type == 10) continue;
            consider(b->x + int64_t{b->vx} * t - px, b->y + int64_t{b->vy} * t - py, b->hitW + 6);
        }
        for (const CharaData* e = AirEnemyList.head; e; e = e->next)
            if (e->state == 1 || e->state == 2) consider(e->x + int64_t{e->vx} * t - px, e->y + int64_t{e->vy} * t - py, e->hitW + 8);
    }
    return int32_t(worst);
}

// Low in the field, under the nearest enemy still standing.
int64_t DistanceFromPost(int64_t x, int64_t y) {
    int64_t postX = 0, best = INT64_MAX;
    for (const cChara* list : {&GroundEnemyList, &AirEnemyList})
        for (const CharaData* e = list->head; e; e = e->next) {
            if (e->state != 2 || e->y > y - 80 * 1024) continue;
            int64_t d = std::abs(int64_t{e->x} - x);
            if (d < best) {
                best = d;
                postX = e->x;
            }
        }
    return std::abs(postX - x) / 1024 + std::abs(190 * 1024 - y) / 1024;
}

void Pilot(uint64_t present) {
    const CharaData& p = PlayerList.self;
    int best = 0;
    int32_t bestRoom = INT32_MIN;
    int64_t bestPost = INT64_MAX;
    for (int m = 0; m < 9; m++) {
        int32_t room = std::min(ClearanceAfterMove(kMoves[m][0], kMoves[m][1]), kSafe);
        const int64_t step = kMoves[m][0] != 0 && kMoves[m][1] != 0 ? 4800 * 100 / 141 : 4800;
        int64_t post = DistanceFromPost(p.x + kMoves[m][0] * step, p.y + kMoves[m][1] * step);
        if (room > bestRoom || (room == bestRoom && room == kSafe && post < bestPost)) {
            bestRoom = room;
            bestPost = post;
            best = m;
        }
    }
    SetKey(present, gamerun::kZ, true);
    SetKey(present, gamerun::kLeft, kMoves[best][0] < 0);
    SetKey(present, gamerun::kRight, kMoves[best][0] > 0);
    SetKey(present, gamerun::kUp, kMoves[best][1] < 0);
    SetKey(present, gamerun::kDown, kMoves[best][1] > 0);
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
    // The pilot still loses every life to stage 7's ring and fan fire before the boss area.
    if (stage == 7) GTEST_SKIP() << "the pilot does not yet reach stage 7's boss";
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
