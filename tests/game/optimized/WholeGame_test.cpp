// The whole game, headless, one case per stage: the game's own WinMain in this process
// reaches stage s through STAGE SELECT, each menu key given once the screen it belongs to
// shows, and the pilot plays the stage to its end; the keys given are written as an input
// script, and the real executable replays them in a fresh folder. Both runs must present
// the same frames. From the present hook the harness only reads the game and presses keys:
// the bosses must set up with their parts, fire from around their hulls, and end through a
// shockwave in state 4 with bossLife 0. The replay also takes screenshots (a title frame,
// the first frame after the shutters, a mid-map frame, the frames before and after the boss
// timer starts): the timer's label shows from the first frame the timer runs, no save file
// is written, and stage 1 replayed twice gives the same bytes.
// Both plays run in the optimized build (the game's drawing under the sanitizers made each
// stage minutes long); the record-and-REPLAY case shows its frames hash as the sanitizer
// build's do.
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
#include "SheetCells.h"
#include "TempDir.h"
#include "enemies/EnemyUpdaters.h"
#include "platform/testing.h"

namespace WholeGame_test {


namespace {

using gamerun::Key;

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
    int menuKey = -1;        // a menu key pressed on the last present, released on this one
    bool started = false;    // the game was started from STAGE SELECT
    int startPresent = -1;
    bool leaving = false;    // stage s is over: back to the title and END
    bool spaceGiven = false;
    int bossDeadAt = -1;
    std::map<const CharaData*, BossSeen> bosses;
    std::set<const CharaData*> lastBullets;
    int lingering = 0;  // records seen past 21 turns in state 3 or 5
    bool timeOver = false;
    bool playing = false;  // stage s has begun
    int livesAtBoss = -1, deaths = 0, lastDying = 0;
    // Presents of the screens the replay takes.
    int titleAt = -1, shuttersOpenAt = -1, timerAt = -1, tallyAt = -1;
    pilot::Pilot pilot;
    sheetcells::Cell arrow, digits[10];
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

// ---- the menus, read off the screen ----------------------------------------------------

struct Frame {
    const uint32_t* pixels;
    int width, height;
};

// The row of a menu whose cursor ">" shows at (x, top + step * row); -1 when none does.
int CursorRow(const Frame& f, int x, int top, int step, int rows) {
    for (int row = 0; row < rows; row++)
        if (sheetcells::Shows(g->arrow, f.pixels, f.width, f.height, x, top + step * row)) return row;
    return -1;
}

// The digit drawn at (x, y); -1 when none.
int DigitAt(const Frame& f, int x, int y) {
    for (int d = 0; d < 10; d++)
        if (sheetcells::Shows(g->digits[d], f.pixels, f.width, f.height, x, y)) return d;
    return -1;
}

void PressMenuKey(uint64_t present, Key key) {
    SetKey(present, key, true);
    g->menuKey = key;
}

// The title's cursor row, when the title shows.
int TitleRow(const Frame& f) { return GameState.menuState == 0 ? CursorRow(f, 156, 323, 32, 4) : -1; }

// Title: STAGE SELECT; LEVEL SELECTION: NORMAL; STAGE SELECT: the stage, SHOT POWER 6,
// NAPALM POWER 6, SHIELD 2, start.
void Menus(uint64_t present, const Frame& f) {
    if (const int row = TitleRow(f); row >= 0) {
        if (g->titleAt < 0) g->titleAt = int(present);
        PressMenuKey(present, row == 2 ? gamerun::kZ : gamerun::kDown);
    } else if (GameState.menuState == 1) {
        const int row = CursorRow(f, 156, 128, 64, 5);
        if (row >= 0) PressMenuKey(present, row == 1 ? gamerun::kZ : gamerun::kDown);
    } else if (GameState.menuState == 2) {
        const int row = CursorRow(f, 164, 176, 16, 6);
        // Values are drawn right-aligned in eleven cells from x 240: the stage is one digit.
        if (row == 0) {
            PressMenuKey(present, DigitAt(f, 360, 176) == g->stage ? gamerun::kDown : gamerun::kRight);
        } else if (row == 1) {
            PressMenuKey(present, gamerun::kDown);
        } else if (row >= 2 && row <= 4) {
            const int32_t values[3] = {GameState.practiceShot, GameState.practiceNapalm, GameState.practiceShield};
            const int32_t wanted[3] = {6, 6, 2};
            if (values[row - 2] < wanted[row - 2]) {
                PressMenuKey(present, gamerun::kRight);
            } else if (row < 4) {
                PressMenuKey(present, gamerun::kDown);
            } else {
                PressMenuKey(present, gamerun::kZ);
                g->started = true;
                g->startPresent = int(present);
            }
        } else if (row == 5) {
            PressMenuKey(present, gamerun::kUp);
        }
    }
}

// Once stage s is over: Space while the practice game goes on, then END on the title.
void Leave(uint64_t present, const Frame& f) {
    if (GameState.stage > 0 && !g->spaceGiven) {
        PressMenuKey(present, gamerun::kSpace);
        g->spaceGiven = true;
        return;
    }
    if (const int row = TitleRow(f); row >= 0) PressMenuKey(present, row == 3 ? gamerun::kZ : gamerun::kDown);
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
    // New bullets around a boss in state 2: only looked for while one is.
    std::vector<std::pair<const CharaData*, BossSeen*>> firing;
    for (const CharaData* e = GroundEnemyList.head; e; e = e->next)
        if (IsBossType(e->type) && e->state == 2) firing.push_back({e, &g->bosses[e]});
    std::set<const CharaData*> now;
    for (const CharaData* bullet = firing.empty() ? nullptr : BulletList.head; bullet; bullet = bullet->next) {
        now.insert(bullet);
        if (g->lastBullets.count(bullet)) continue;
        for (const auto& [e, b] : firing)
            if (std::abs(bullet->x - e->x) <= (e->hitW + 100) * 1024 && std::abs(bullet->y - e->y) <= (e->hitH + 100) * 1024)
                b->bullets.insert(bullet->type);
    }
    g->lastBullets.swap(now);
    if (GameState.bossTimer == 0 && GameState.bossLife > 0 && GameState.stage == g->stage) g->timeOver = true;
}

void Hook(uint64_t present, const uint32_t* pixels, int width, int height) {
    const int n = int(present);
    const Frame frame{pixels, width, height};
    if (g->menuKey >= 0) {  // menus act on a press, so each key is let go before the next
        SetKey(present, Key(g->menuKey), false);
        g->menuKey = -1;
        return;
    }
    if (n > kLongestRun) {
        SetKey(present, gamerun::kEsc, true);
        return;
    }
    if (!g->started) return Menus(present, frame);
    if (g->leaving) return Leave(present, frame);
    if (!g->playing) {
        g->playing = GameState.stage == g->stage && GameState.stageFrame > 0;
        if (!g->playing && n > g->startPresent + 600) g->leaving = true;  // never began
        if (!g->playing) return;
    }
    Watch();
    if (GameState.stage == g->stage) {
        if (GameState.stageFrame == 174 && g->shuttersOpenAt < 0) g->shuttersOpenAt = n;
        if (GameState.bossTimer < 2000 && g->timerAt < 0) g->timerAt = n;
    }
    if (g->livesAtBoss < 0)
        for (const auto& [record, b] : g->bosses)
            if (b.active) g->livesAtBoss = PlayerList.self.hp;
    if (GameState.dyingTime != 0 && g->lastDying == 0) {
        g->deaths++;
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
    g->lastDying = GameState.dyingTime;
    if (GameState.bossLife == 0 && g->bossDeadAt < 0 && GameState.stage == g->stage) g->bossDeadAt = n;
    if (GameState.clearCount > 200 && g->tallyAt < 0 && GameState.stage == g->stage) g->tallyAt = n;
    // The stage is over once its tally has run (the next stage begins), at GAME OVER, or
    // when the game leaves play; END then follows.
    const bool over = GameState.stage != g->stage || GameState.result != 0 || GameState.quit != 0 ||
                      (g->bossDeadAt >= 0 && n > g->bossDeadAt + 700);
    if (over) {
        std::fprintf(stderr, "over at %d: stage %d result %d quit %d bossLife %d bossTimer %d lives %d\n", n,
                     GameState.stage, GameState.result, GameState.quit, GameState.bossLife, GameState.bossTimer,
                     PlayerList.self.hp);
        ReleaseAll(present);
        g->leaving = true;
        return;
    }
    Pilot(present);
}

// The tally shows for 200 frames once the stage-clear count passes 200, unless time ran out.
bool TallyShown(const Harness& h) { return h.tallyAt >= 0 && !h.timeOver; }

// The replay's screenshots, by name and present.
std::vector<std::pair<std::string, int>> Shots(const Harness& h) {
    std::vector<std::pair<std::string, int>> shots = {{"title", h.titleAt},
                                                      {"shutters-open", h.shuttersOpenAt},
                                                      {"mid-map", (h.shuttersOpenAt + h.timerAt) / 2},
                                                      {"before-timer", h.timerAt - 1},
                                                      {"timer", h.timerAt}};
    if (TallyShown(h)) shots.push_back({"tally", h.tallyAt + 100});
    return shots;
}

class WholeGame : public ::testing::TestWithParam<int> {};

TEST_P(WholeGame, ThroughStageSelectToItsEndReplayedFrameForFrameWithItsScreens) {
    const int stage = GetParam();
    const std::filesystem::path buildFolder = std::filesystem::current_path();  // the temporary folder becomes current
    qztest::TempDir dir;
    // Stage 1 is replayed twice: the screenshots must agree byte for byte.
    std::vector<std::string> replays = {dir.file("replayed")};
    if (stage == 1) replays.push_back(dir.file("replayed-again"));
    const std::string recorded = dir.file("recorded");
    std::vector<std::string> folders = replays;
    folders.push_back(recorded);
    for (const std::string& folder : folders) {
        gamerun::WriteStartFile(folder, "start1.dat", "8\r\n");
        qztest::WriteWholeFile(folder + "/soundon.txt", "0\r\n");
    }
    std::filesystem::create_directory_symlink(QZ_DATA_DIR, recorded + "/data");

    Harness harness;
    ASSERT_EQ(nullptr, g);
    harness.stage = stage;
    harness.arrow = sheetcells::LayoutCell(SpriteTable::FontSprites, '>');
    for (int d = 0; d < 10; d++) harness.digits[d] = sheetcells::LayoutCell(SpriteTable::FontSprites, '0' + d);
    ASSERT_FALSE(harness.arrow.opaque.empty());
    g = &harness;
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
    ASSERT_GT(harness.titleAt, 0);
    ASSERT_GT(harness.shuttersOpenAt, harness.titleAt);
    ASSERT_GT(harness.timerAt, harness.shuttersOpenAt);

    // The replays, in processes of the real game.
    std::vector<gamerun::Run> runs;
    for (const std::string& folder : replays) {
        std::string shots = "QZ_SCREENSHOT=";
        for (const auto& [name, at] : Shots(harness)) shots += std::to_string(at) + ":" + folder + "/" + name + ".png,";
        shots.pop_back();
        runs.push_back({QZ_ZARNOVIK, folder, QZ_DATA_DIR, harness.script, {"QZ_FRAMEHASH=" + folder + "/hashes.txt", shots}});
    }
    const double replayStarted = gamerun::Seconds();
    EXPECT_EQ(std::vector<int>(runs.size(), 0), gamerun::RunAll(runs));
    const double replaySeconds = gamerun::Seconds() - replayStarted;
    const std::string first = gamerun::ReadFile(recorded + "/hashes.txt");
    EXPECT_FALSE(first.empty());
    const sheetcells::Cell label = sheetcells::LayoutCell(SpriteTable::LabelSprites, 24);
    ASSERT_GT(label.opaque.size(), 20u);
    for (const std::string& folder : replays) {
        SCOPED_TRACE(folder);
        EXPECT_TRUE(gamerun::LogEndsWithEmptyDump(folder));
        EXPECT_TRUE(first == gamerun::ReadFile(folder + "/hashes.txt")) << "the replay's frames differ";
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            const std::string name = entry.path().filename();
            EXPECT_TRUE(name.rfind("score", 0) != 0 && name.rfind("replay", 0) != 0) << name << " was written";
        }
        EXPECT_EQ(gamerun::ReadFile(folder + "/start1.dat"), "8\r\n");
        // The boss timer's label, centred at (232, 18).
        const gamerun::Image before = gamerun::ReadImage(folder + "/before-timer.png");
        const gamerun::Image timer = gamerun::ReadImage(folder + "/timer.png");
        ASSERT_EQ(timer.width, 640);
        ASSERT_EQ(before.width, 640);
        const int left = 232 - label.width / 2, top = 18 - label.height / 2;
        EXPECT_EQ(int(label.opaque.size()), sheetcells::PixelsShown(label, timer.pixels.data(), 640, timer.height, left, top));
        EXPECT_LT(sheetcells::PixelsShown(label, before.pixels.data(), 640, before.height, left, top),
                  int(label.opaque.size()) / 4);
        for (const auto& [name, at] : Shots(harness))
            EXPECT_EQ(640, gamerun::ReadImage(folder + "/" + name + ".png").width) << name;
        // The tally's numbers leave its headings' words whole: the white of each heading
        // (centred at (320, 102 + 80 k)) shows in full.
        if (TallyShown(harness)) {
            const gamerun::Image tally = gamerun::ReadImage(folder + "/tally.png");
            ASSERT_EQ(tally.width, 640);
            for (int k = 0; k < (stage == 7 ? 4 : 3); k++) {
                sheetcells::Cell words = sheetcells::LayoutCell(SpriteTable::LabelSprites, 35 + k);
                std::erase_if(words.opaque, [](const auto& pixel) { return pixel.second != 0xFFFFFF; });
                ASSERT_GT(words.opaque.size(), 100u);
                EXPECT_EQ(int(words.opaque.size()),
                          sheetcells::PixelsShown(words, tally.pixels.data(), 640, tally.height, 320 - words.width / 2,
                                                  102 + 80 * k - words.height / 2))
                    << "heading " << 35 + k;
            }
        }
    }
    if (replays.size() > 1) {
        for (const auto& [name, at] : Shots(harness)) {
            const std::string shot = "/" + name + ".png";
            EXPECT_TRUE(gamerun::ReadFile(replays[0] + shot) == gamerun::ReadFile(replays[1] + shot)) << name;
        }
    }
    // The screenshots stay in the build folder for a person to look at.
    const std::filesystem::path kept = buildFolder / "every-stage" / ("stage" + std::to_string(stage));
    std::filesystem::create_directories(kept);
    for (const auto& [name, at] : Shots(harness))
        std::filesystem::copy_file(replays[0] + "/" + name + ".png", kept / (name + ".png"),
                                   std::filesystem::copy_options::overwrite_existing);
    // With the keys, the game can be played again to any frame (QZ_INPUT).
    qztest::WriteWholeFile((kept / "keys.txt").string(), harness.script.Text());
    const size_t frames = size_t(std::count(first.begin(), first.end(), '\n'));
    std::printf("stage %d: %zu presents, recorded in %.1f s, replayed in %.1f s (%zu process%s); lives at the boss %d, "
                "%d lost; %s\n",
                stage, frames, seconds, replaySeconds, runs.size(), runs.size() > 1 ? "es" : "", harness.livesAtBoss,
                harness.deaths, harness.timeOver ? "TIME OVER" : "boss destroyed");
}

INSTANTIATE_TEST_SUITE_P(Stages, WholeGame, ::testing::Range(1, 8));

}  // namespace

}  // namespace WholeGame_test
