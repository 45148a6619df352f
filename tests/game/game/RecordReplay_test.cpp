// Record a game, then watch it again through REPLAY, in one process of the real game with
// sound on: title -> START -> NORMAL, stage 1 shooting its enemies for points and then
// flying into their fire until every life is lost, GAME OVER, title -> REPLAY -> NORMAL,
// the same game back to GAME OVER, Esc.
//
// The process is driven by an input script, which cannot wait for a screen: its presses
// are planned by frame with slack, and the captured frames show that each menu press met
// the screen it was meant for. The game's input is chosen first, frame by frame, by
// playing stage 1 through the headless pass in this process (the game is deterministic),
// which also tells on which present GAME OVER comes, so REPLAY is pressed right after it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <vector>

#include "GameRules.h"
#include "GameRun.h"
#include "GameTypes.h"
#include "Player.h"
#include "PlayLoop.h"
#include "PngRead.h"
#include "ScriptedGame.h"
#include "TempDir.h"

namespace RecordReplay_test {

namespace {

using gamerun::Script;

constexpr int kStart = 150;              // START; NORMAL four presents later
constexpr int kFirstFrame = kStart + 6;  // the recorded game's first stage frame
constexpr int kGameOverFrames = 200;
constexpr int kLongestGame = 6000;       // stage frames; a game not over by then fails

// Stage frames of the first part of the game: fire, under the nearest enemy ahead, with
// one napalm charge. Input is read from stage frame 150 on.
constexpr int kShootUntil = 900;

// The nearest record of the lists to the player (squared pixels), ahead of it if asked.
const CharaData* Nearest(std::initializer_list<const cChara*> lists, bool ahead) {
    const CharaData& p = PlayerList.self;
    const CharaData* nearest = nullptr;
    int64_t best = INT64_MAX;
    for (const cChara* list : lists)
        for (const CharaData* e = list->head; e; e = e->next) {
            if (ahead && (e->state != 2 || e->y > p.y - 60 * 1024)) continue;
            const int64_t dx = (e->x - p.x) / 1024, dy = (e->y - p.y) / 1024;
            if (dx * dx + dy * dy < best) {
                best = dx * dx + dy * dy;
                nearest = e;
            }
        }
    return nearest;
}

// Toward a point, within 4 px on each axis.
int Toward(int32_t x, int32_t y) {
    const CharaData& p = PlayerList.self;
    int bits = 0;
    if (x < p.x - 4 * 1024) bits |= kPadLeft;
    if (x > p.x + 4 * 1024) bits |= kPadRight;
    if (y < p.y - 4 * 1024) bits |= kPadUp;
    if (y > p.y + 4 * 1024) bits |= kPadDown;
    return bits;
}

// The input of stage frame k, chosen from the world before it. First the guns, then no
// fire and a course onto the nearest enemy bullet (else the nearest air enemy) until the
// last life is gone.
int ChooseInput(int k) {
    if (k < 150) return 0;
    if (k < kShootUntil) {
        const CharaData* target = Nearest({&GroundEnemyList, &AirEnemyList}, true);
        const int move = target ? Toward(target->x, 120 * 1024) : Toward(0, 120 * 1024);
        const bool napalm = k >= 450 && k < 520;
        return move | (napalm ? kPadButton2 : kPadButton1);
    }
    const CharaData* target = Nearest({&BulletList}, false);
    if (!target) target = Nearest({&AirEnemyList}, false);
    return target ? Toward(target->x, target->y) : 0;
}

struct RecordedGame {
    Script script;      // the menus and the game's keys
    int frames = -1;    // stage frames up to and including the one that loses the last life
    int32_t score = 0;
};

// Plays the game headless, choosing each frame's input, and writes the keys into the
// script: stage frame k reads the keys held at present kFirstFrame + k - 2.
RecordedGame PlayRecordedGame() {
    RecordedGame game;
    game.script.Press(kStart, gamerun::kZ);
    game.script.Press(kStart + 4, gamerun::kZ);
    StartHeadlessGame(1);
    std::fill(std::begin(ReplayBuffer), std::end(ReplayBuffer), 0);
    SetupGame();
    int k = 0;
    while (GameState.stage > 0 && k < kLongestGame) {
        SetupStage();
        do {
            k++;
            const int bits = ChooseInput(k);
            ReplayBuffer[32 + k] = static_cast<uint8_t>(bits);
            game.script.Pad(kFirstFrame + k - 2, bits);
            RunHeadlessFrame();
        } while (!GameState.stageEnd && k < kLongestGame);
    }
    // Nothing stays held into GAME OVER and the title, whose latches would take it.
    game.script.Pad(kFirstFrame + k - 1, 0);
    if (GameState.result == 1) game.frames = k;
    game.score = GameState.score;
    return game;
}

// The GAME OVER screen: words at the top left of the field, and no side panel.
bool IsGameOver(const gamerun::Image& image) {
    if (image.width != 640) return false;
    int words = 0;
    for (int y = 0; y < 12; y++)
        for (int x = 180; x < 276; x++) words += (image.At(x, y) & 0xFFFFFF) != 0;
    for (int y = 0; y < 480; y += 4)
        for (int x = 480; x < 640; x += 4)
            if (image.At(x, y) & 0xFFFFFF) return false;
    return words > 0;
}

// The menus draw their cursor, a 12-px glyph in near white, at x 156 on one of their rows:
// the title's four at y 323 + 32 n (on the dark blue of its frame), LEVEL SELECTION's at
// 128 + 64 n. The screen shows `menu` with the cursor on `row` when that cell holds bright
// pixels and the others of the menu none (the cells of the other menu's rows fall on dark
// places of this one's).
struct MenuRows {
    int first, step, count;
};
constexpr MenuRows kTitle{323, 32, 4}, kLevelSelection{128, 64, 4};

bool CursorOn(const gamerun::Image& image, const MenuRows& menu, int row) {
    if (image.width != 640) return false;
    for (int n = 0; n < menu.count; n++) {
        int lit = 0;
        for (int y = menu.first + menu.step * n; y < menu.first + menu.step * n + 12; y++)
            for (int x = 156; x < 168; x++) lit += (image.At(x, y) & 0xC0C0C0) == 0xC0C0C0;
        if ((lit > 0) != (n == row)) return false;
    }
    return true;
}

std::string Folder(const std::string& name) { return std::filesystem::absolute("record-replay/" + name).string(); }

std::string FramePath(const std::string& folder, int present) {
    char name[40];
    std::snprintf(name, sizeof name, "/frames/frame-%06d.png", present);
    return folder + name;
}

TEST(RecordReplay, TheReplayShowsTheRecordedGameFrameForFrame) {
    RecordedGame recorded = PlayRecordedGame();
    const int game = recorded.frames;
    ASSERT_GT(game, 0) << "the recorded game does not end within " << kLongestGame << " frames";
    ASSERT_GT(recorded.score, 0) << "nothing was shot";
    // The title is back kGameOverFrames presents after the game; REPLAY, then NORMAL.
    Script& s = recorded.script;
    const int title = kFirstFrame + game + kGameOverFrames + 5;
    const int replayFirst = title + 8 + 2;
    const int shown = game + kGameOverFrames;  // each game with its GAME OVER screen
    const int end = replayFirst + shown + 10;
    s.Press(title, gamerun::kDown);
    s.Press(title + 4, gamerun::kZ);
    s.Press(title + 8, gamerun::kZ);
    s.Down(end, gamerun::kEsc);

    // The second run takes screenshots of a few presents, to be compared with the first's capture.
    // The frame that loses the last life ends the stage before drawing (stage 0), so a
    // game's last drawn frame is the one before.
    const int checks[] = {kFirstFrame + 100, kFirstFrame + game / 2, kFirstFrame + game + 50, replayFirst + game - 2};
    std::string shots = "QZ_SCREENSHOT=";
    for (int present : checks) shots += std::to_string(present) + ":" + Folder("run2") + "/shot-" + std::to_string(present) + ".png,";
    shots.pop_back();
    const std::string folder = Folder("run1");
    std::vector<gamerun::Run> runs = {
        {QZ_ZARNOVIK, folder, QZ_DATA_DIR, s,
         {"QZ_CAPTURE=" + folder + "/frames", "QZ_AUDIO_CAPTURE=" + folder + "/audio.wav"}},
        {QZ_ZARNOVIK, Folder("run2"), QZ_DATA_DIR, s, {shots, "QZ_FRAMEHASH=" + Folder("run2") + "/hashes.txt"}},
        // The same game in the optimized build: the stages' whole games are played only
        // there, on the strength of its frames hashing as this build's do.
        {QZ_OPTIMIZED_ZARNOVIK, Folder("optimized"), QZ_DATA_DIR, s,
         {"QZ_FRAMEHASH=" + Folder("optimized") + "/hashes.txt"}},
    };
    for (const gamerun::Run& run : runs) {
        std::filesystem::remove_all(run.folder);
        std::filesystem::create_directories(run.folder + "/frames");
        // Sound on, the Ogg music preloaded: the mode a missing file also gives.
        qztest::WriteWholeFile(run.folder + "/soundon.txt", "1\r\n");
    }
    const double started = gamerun::Seconds();
    ASSERT_TRUE(std::filesystem::exists(QZ_OPTIMIZED_ZARNOVIK))
        << QZ_OPTIMIZED_ZARNOVIK << " is missing: build the plain -O3 build first, as scripts/test does";
    EXPECT_EQ(gamerun::RunAll(runs), (std::vector<int>{0, 0, 0}));
    const double seconds = gamerun::Seconds() - started;
    for (const gamerun::Run& run : runs) EXPECT_TRUE(gamerun::LogEndsWithEmptyDump(run.folder)) << run.folder;

    // Each menu press met its screen, on the present before it.
    const struct {
        int present;
        const MenuRows& menu;
        int row;
        const char* what;
    } presses[] = {
        {kStart, kTitle, 0, "START"},           {kStart + 4, kLevelSelection, 1, "NORMAL"},
        {title, kTitle, 0, "the title again"}, {title + 4, kTitle, 1, "REPLAY"},
        {title + 8, kLevelSelection, 1, "NORMAL for the replay"},
    };
    for (const auto& press : presses)
        EXPECT_TRUE(CursorOn(gamerun::ReadImage(FramePath(folder, press.present - 1)), press.menu, press.row))
            << press.what << " at present " << press.present;

    // The recorded game's files, untouched by the replay.
    EXPECT_EQ(gamerun::ReadFile(folder + "/score1.dat"), std::to_string(recorded.score) + "\r\n");
    EXPECT_EQ(gamerun::ReadFile(folder + "/replay1.dat").size(), 216000u);
    // Written before the replay began, not again.
    EXPECT_GE(std::filesystem::last_write_time(FramePath(folder, replayFirst)),
              std::filesystem::last_write_time(folder + "/replay1.dat"));
    EXPECT_GE(std::filesystem::last_write_time(FramePath(folder, replayFirst)),
              std::filesystem::last_write_time(folder + "/score1.dat"));

    // Frame for frame, but the panel's HI-SCORE value, which now holds the new score.
    const double compared = gamerun::Seconds();
    for (int i = 0; i < shown; i++) {
        int w1 = 0, h1 = 0, w2 = 0, h2 = 0;
        const std::vector<uint8_t> a = qztest::ReadPngRgbBytes(FramePath(folder, kFirstFrame + i), &w1, &h1);
        const std::vector<uint8_t> b = qztest::ReadPngRgbBytes(FramePath(folder, replayFirst + i), &w2, &h2);
        ASSERT_EQ(w1, 640) << kFirstFrame + i;
        ASSERT_EQ(w2, 640) << replayFirst + i;
        int row = 0;
        for (; row < 480; row++) {
            const uint8_t* ra = a.data() + row * 640 * 3;
            const uint8_t* rb = b.data() + row * 640 * 3;
            const bool same = row < 90 || row > 101 ? std::memcmp(ra, rb, 640 * 3) == 0
                                                    : std::memcmp(ra, rb, 495 * 3) == 0 &&
                                                          std::memcmp(ra + 627 * 3, rb + 627 * 3, 13 * 3) == 0;
            if (!same) break;
        }
        ASSERT_EQ(row, 480) << "frame " << i << " of the game differs in row " << row;
    }
    const double comparing = gamerun::Seconds() - compared;
    EXPECT_FALSE(IsGameOver(gamerun::ReadImage(FramePath(folder, kFirstFrame + game - 2))));
    EXPECT_TRUE(IsGameOver(gamerun::ReadImage(FramePath(folder, kFirstFrame + game))));
    EXPECT_TRUE(IsGameOver(gamerun::ReadImage(FramePath(folder, replayFirst + shown - 1))));

    // Sound from the title on: no whole second of the mix after the first title frame is
    // silent. A present takes at least 17 ms of the clock the mix follows, so the title's
    // sound is at least the last (presents since it) x 17 ms of the capture.
    size_t second = 0;
    const std::vector<int16_t> samples = gamerun::WaveSamples(gamerun::ReadFile(folder + "/audio.wav"), &second);
    ASSERT_FALSE(samples.empty());
    ASSERT_GT(second, 0u);
    int firstTitle = 0;
    while (firstTitle < kStart && !CursorOn(gamerun::ReadImage(FramePath(folder, firstTitle)), kTitle, 0)) firstTitle++;
    ASSERT_LT(firstTitle, kStart) << "no title before START";
    const size_t sinceTitle = std::min(samples.size(), size_t(end - firstTitle) * 17 * second / 1000);
    int silent = 0, total = 0;
    for (size_t at = samples.size() - sinceTitle; at + second <= samples.size(); at += second, total++) {
        bool sound = false;
        for (size_t k = at; k < at + second && !sound; k++) sound = samples[k] != 0;
        silent += !sound;
    }
    EXPECT_GT(total, 0);
    EXPECT_EQ(silent, 0) << "of " << total << " seconds";

    // Both builds presented the same frames, every one of them.
    const std::string hashes = gamerun::ReadFile(Folder("run2") + "/hashes.txt");
    EXPECT_GE(std::count(hashes.begin(), hashes.end(), '\n'), replayFirst + shown) << "a hash line for each present of both games";
    EXPECT_TRUE(hashes == gamerun::ReadFile(Folder("optimized") + "/hashes.txt"))
        << "the optimized build's frames differ from the sanitizer build's";

    // The second run showed the same frames.
    for (int present : checks)
        EXPECT_TRUE(gamerun::ReadImage(Folder("run2") + "/shot-" + std::to_string(present) + ".png").pixels ==
                    gamerun::ReadImage(FramePath(folder, present)).pixels)
            << "present " << present;
    std::printf("recorded game: %d frames from present %d, score %d, replayed from %d; %d presents in %.1f s; "
                "%d frame pairs compared in %.1f s\n",
                game, kFirstFrame, recorded.score, replayFirst, end + 1, seconds, shown, comparing);
}

}  // namespace

}  // namespace RecordReplay_test
