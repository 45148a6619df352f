// Record a game, then watch it again through REPLAY, in one process of the game with the
// stand-in behaviours: title -> START -> NORMAL, stage 1 until every life is lost, GAME OVER,
// title -> REPLAY -> NORMAL, the same game back to GAME OVER, Esc.
//
// When the recorded game ends is found first by playing the same input through the
// headless pass in this process: the game is deterministic, so the script can press the
// REPLAY keys right after its GAME OVER screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "GameRules.h"
#include "GameRun.h"
#include "GameTypes.h"
#include "PlayLoop.h"
#include "PngRead.h"
#include "ScriptedGame.h"
#include "StandIns.h"

namespace {

using gamerun::Script;

constexpr int kStart = 150;              // START; NORMAL four presents later
constexpr int kFirstFrame = kStart + 6;  // the recorded game's first stage frame
constexpr int kGameOverFrames = 200;

// Fire and sweep for points, with one napalm charge, then sit still under the stand-ins'
// aimed fire until every life is lost.
Script RecordedGame() {
    Script s;
    s.Press(kStart, gamerun::kZ);
    s.Press(kStart + 4, gamerun::kZ);
    const int from = kFirstFrame + 150, stop = from + 400;
    s.Hold(from, stop, gamerun::kZ);
    for (int f = from, i = 0; f + 50 < stop; f += 50, i++) s.Hold(f, f + 40, i % 2 ? gamerun::kRight : gamerun::kLeft);
    s.Hold(from + 200, from + 300, gamerun::kX);
    return s;
}

// The recorded game's frames up to and including the one that loses the last life.
int FramesUntilGameOver(const Script& s) {
    StartHeadlessGame(1);
    FillReplayFromScript(s, kFirstFrame);
    InstallStandIns();
    SetupGame();
    int frames = 0;
    while (GameState.stage > 0 && frames < 20000) {
        SetupStage();
        do {
            RunHeadlessFrame();
            frames++;
        } while (!GameState.stageEnd && frames < 20000);
    }
    RemoveStandIns();
    return GameState.result == 1 ? frames : -1;
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

std::string Folder(const std::string& name) { return std::filesystem::absolute("record-replay/" + name).string(); }

std::string FramePath(const std::string& folder, int present) {
    char name[40];
    std::snprintf(name, sizeof name, "/frames/frame-%06d.png", present);
    return folder + name;
}

// 16-bit samples of a WAVE's data chunk, and how many make a second (rate x channels).
std::vector<int16_t> Samples(const std::string& wave, size_t* perSecond) {
    std::vector<int16_t> samples;
    *perSecond = 0;
    size_t at = 12;
    while (at + 8 <= wave.size()) {
        uint32_t size = 0;
        std::memcpy(&size, wave.data() + at + 4, 4);
        if (wave.compare(at, 4, "fmt ") == 0 && at + 16 <= wave.size()) {
            uint16_t channels = 0;
            uint32_t rate = 0;
            std::memcpy(&channels, wave.data() + at + 10, 2);
            std::memcpy(&rate, wave.data() + at + 12, 4);
            *perSecond = size_t{rate} * channels;
        }
        if (wave.compare(at, 4, "data") == 0) {
            size = std::min<uint32_t>(size, wave.size() - at - 8);
            samples.resize(size / 2);
            std::memcpy(samples.data(), wave.data() + at + 8, samples.size() * 2);
            break;
        }
        at += 8 + size + (size & 1);
    }
    return samples;
}

TEST(RecordReplay, TheReplayShowsTheRecordedGameFrameForFrame) {
    Script s = RecordedGame();
    const int game = FramesUntilGameOver(s);
    ASSERT_GT(game, 0) << "the recorded game does not end";
    const int32_t finalScore = GameState.score;
    // The title is back kGameOverFrames presents after the game; REPLAY, then NORMAL.
    const int title = kFirstFrame + game + kGameOverFrames + 5;
    const int replayFirst = title + 8 + 2;
    const int shown = game + kGameOverFrames;  // each game with its GAME OVER screen
    const int end = replayFirst + shown + 10;
    s.Press(title, gamerun::kDown);
    s.Press(title + 4, gamerun::kZ);
    s.Press(title + 8, gamerun::kZ);
    s.Down(end, gamerun::kEsc);

    // The second run takes screenshots of a few presents, to be compared with the first's capture.
    const int checks[] = {kFirstFrame + 100, kFirstFrame + game / 2, kFirstFrame + game + 50, replayFirst + game - 1};
    std::string shots = "QZ_SCREENSHOT=";
    for (int present : checks) shots += std::to_string(present) + ":" + Folder("run2") + "/shot-" + std::to_string(present) + ".png,";
    shots.pop_back();
    const std::string folder = Folder("run1");
    std::vector<gamerun::Run> runs = {
        {QZ_ZARNOVIK_STANDINS, folder, QZ_DATA_DIR, s,
         {"QZ_CAPTURE=" + folder + "/frames", "QZ_AUDIO_CAPTURE=" + folder + "/audio.wav"}},
        {QZ_ZARNOVIK_STANDINS, Folder("run2"), QZ_DATA_DIR, s, {shots}},
    };
    for (const gamerun::Run& run : runs) {
        std::filesystem::remove_all(run.folder);
        std::filesystem::create_directories(run.folder + "/frames");
    }
    const double started = gamerun::Seconds();
    EXPECT_EQ(gamerun::RunAll(runs), (std::vector<int>{0, 0}));
    const double seconds = gamerun::Seconds() - started;
    for (const gamerun::Run& run : runs) EXPECT_TRUE(gamerun::LogEndsWithEmptyDump(run.folder)) << run.folder;

    // The recorded game's files, untouched by the replay.
    const std::string score = gamerun::ReadFile(folder + "/score1.dat");
    EXPECT_GT(finalScore, 0);
    EXPECT_EQ(score, std::to_string(finalScore) + "\r\n");
    EXPECT_EQ(gamerun::ReadFile(folder + "/replay1.dat").size(), 216000u);
    // Written before the replay began, not again.
    EXPECT_GE(std::filesystem::last_write_time(FramePath(folder, replayFirst)),
              std::filesystem::last_write_time(folder + "/replay1.dat"));
    EXPECT_GE(std::filesystem::last_write_time(FramePath(folder, replayFirst)),
              std::filesystem::last_write_time(folder + "/score1.dat"));

    // Frame for frame, but the panel's HI-SCORE value, which now holds the new score.
    for (int i = 0; i < shown; i++) {
        int w1 = 0, h1 = 0, w2 = 0, h2 = 0;
        const std::vector<uint8_t> recorded = qztest::ReadPngRgbBytes(FramePath(folder, kFirstFrame + i), &w1, &h1);
        const std::vector<uint8_t> replayed = qztest::ReadPngRgbBytes(FramePath(folder, replayFirst + i), &w2, &h2);
        ASSERT_EQ(w1, 640) << kFirstFrame + i;
        ASSERT_EQ(w2, 640) << replayFirst + i;
        int row = 0;
        for (; row < 480; row++) {
            const uint8_t* a = recorded.data() + row * 640 * 3;
            const uint8_t* b = replayed.data() + row * 640 * 3;
            const bool same = row < 90 || row > 101 ? std::memcmp(a, b, 640 * 3) == 0
                                                    : std::memcmp(a, b, 495 * 3) == 0 &&
                                                          std::memcmp(a + 627 * 3, b + 627 * 3, 13 * 3) == 0;
            if (!same) break;
        }
        ASSERT_EQ(row, 480) << "frame " << i << " of the game differs in row " << row;
    }
    EXPECT_FALSE(IsGameOver(gamerun::ReadImage(FramePath(folder, kFirstFrame + game - 1))));
    EXPECT_TRUE(IsGameOver(gamerun::ReadImage(FramePath(folder, kFirstFrame + game))));
    EXPECT_TRUE(IsGameOver(gamerun::ReadImage(FramePath(folder, replayFirst + shown - 1))));

    // Sound from the title on: no second of the mix is silent after the loading.
    size_t second = 0;
    const std::vector<int16_t> samples = Samples(gamerun::ReadFile(folder + "/audio.wav"), &second);
    ASSERT_FALSE(samples.empty());
    ASSERT_GT(second, 0u);
    int silent = 0, total = 0;
    for (size_t at = samples.size() / 8; at + second <= samples.size(); at += second, total++) {
        bool sound = false;
        for (size_t k = at; k < at + second && !sound; k++) sound = samples[k] != 0;
        silent += !sound;
    }
    EXPECT_EQ(silent, 0) << "of " << total << " seconds";

    // The second run showed the same frames.
    for (int present : checks)
        EXPECT_TRUE(gamerun::ReadImage(Folder("run2") + "/shot-" + std::to_string(present) + ".png").pixels ==
                    gamerun::ReadImage(FramePath(folder, present)).pixels)
            << "present " << present;
    std::printf("recorded game: %d frames from present %d, replayed from %d; %d presents; %.1f s\n", game, kFirstFrame,
                replayFirst, end + 1, seconds);
}

}  // namespace
