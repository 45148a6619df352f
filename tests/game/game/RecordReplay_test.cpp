// Record a game, then watch it again through REPLAY, in one process of the game with the
// stand-in behaviours: title -> START -> NORMAL, stage 1 until every life is lost, GAME OVER,
// title -> REPLAY -> NORMAL, the same game back to GAME OVER, Esc.
//
// The game's length depends on the stage and the stand-ins, so a first run plays the same
// script with screenshots every 25 frames and finds the GAME OVER screen; the recorded run
// then adds the REPLAY keys after it. Two recorded runs go at once and must agree.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "GameRun.h"

namespace {

using gamerun::Key;
using gamerun::Script;

constexpr int kStart = 150;              // START; NORMAL four presents later
constexpr int kFirstFrame = kStart + 6;  // the recorded game's first stage frame
constexpr int kProbeStep = 25;
constexpr int kProbeFrames = 6000;       // the longest game looked for

// Fire and sweep for points, with one napalm charge, then sit still under the stand-ins'
// aimed fire until every life is lost. `until` releases every key.
void Play(Script& s, int from, int until) {
    const int stop = std::min(from + 400, until);
    s.Hold(from, stop, gamerun::kZ);
    for (int f = from, i = 0; f + 50 < stop; f += 50, i++) s.Hold(f, f + 40, i % 2 ? gamerun::kRight : gamerun::kLeft);
    if (from + 300 < stop) s.Hold(from + 200, from + 300, gamerun::kX);
}

Script RecordedGame(int until) {
    Script s;
    s.Press(kStart, gamerun::kZ);
    s.Press(kStart + 4, gamerun::kZ);
    Play(s, kFirstFrame + 150, until);
    return s;
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

// 16-bit samples of a WAVE's data chunk.
std::vector<int16_t> Samples(const std::string& wave) {
    std::vector<int16_t> samples;
    size_t at = 12;
    while (at + 8 <= wave.size()) {
        uint32_t size = 0;
        std::memcpy(&size, wave.data() + at + 4, 4);
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
    // Probe: when does the recorded game reach GAME OVER?
    const std::string probe = Folder("probe");
    gamerun::Run run{QZ_ZARNOVIK_STANDINS, probe, QZ_DATA_DIR, RecordedGame(kProbeFrames), {}};
    run.script.Down(kProbeFrames + 10, gamerun::kEsc);
    std::string shots = "QZ_SCREENSHOT=";
    for (int f = kFirstFrame + 200; f < kProbeFrames; f += kProbeStep)
        shots += std::to_string(f) + ":" + probe + "/shot-" + std::to_string(f) + ".png,";
    shots.pop_back();
    run.environment = {shots};
    std::filesystem::remove_all(probe);
    const double started = gamerun::Seconds();
    ASSERT_EQ(gamerun::RunAll({run}), std::vector<int>{0});
    int seen = 0;
    for (int f = kFirstFrame + 200; f < kProbeFrames && !seen; f += kProbeStep)
        if (IsGameOver(gamerun::ReadImage(probe + "/shot-" + std::to_string(f) + ".png"))) seen = f;
    ASSERT_GT(seen, 0) << "no GAME OVER within " << kProbeFrames << " presents";
    const std::string score = gamerun::ReadFile(probe + "/score1.dat");
    const std::string replay = gamerun::ReadFile(probe + "/replay1.dat");
    ASSERT_EQ(replay.size(), 216000u);
    ASSERT_GE(score.size(), 3u);
    EXPECT_EQ(score.substr(score.size() - 2), "\r\n");
    EXPECT_GT(std::stoi(score), 0);

    // The GAME OVER screen began after seen - kProbeStep and lasts 200 frames: the title
    // is up by seen + 200. Then REPLAY, NORMAL, the same game, GAME OVER, Esc.
    const int title = seen + 210;
    const int replayFirst = title + 8 + 6;
    const int shown = seen - kFirstFrame - kProbeStep + 200;  // frames surely inside both games
    const int end = replayFirst + (seen - kFirstFrame) + 230;
    Script s = RecordedGame(seen);
    s.Press(title, gamerun::kDown);
    s.Press(title + 4, gamerun::kZ);
    s.Press(title + 8, gamerun::kZ);
    s.Down(end, gamerun::kEsc);
    std::vector<gamerun::Run> runs;
    for (const char* name : {"run1", "run2"}) {
        const std::string folder = Folder(name);
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder + "/frames");
        runs.push_back({QZ_ZARNOVIK_STANDINS, folder, QZ_DATA_DIR, s,
                        {"QZ_CAPTURE=" + folder + "/frames", "QZ_AUDIO_CAPTURE=" + folder + "/audio.wav"}});
    }
    const std::vector<int> codes = gamerun::RunAll(runs);
    const double seconds = gamerun::Seconds() - started;
    const std::string folder = runs[0].folder;
    EXPECT_EQ(codes, (std::vector<int>{0, 0}));
    for (const gamerun::Run& r : runs) EXPECT_TRUE(gamerun::LogEndsWithEmptyDump(r.folder)) << r.folder;
    // The replay wrote nothing: both files are the recorded game's.
    EXPECT_EQ(gamerun::ReadFile(folder + "/score1.dat"), score);
    EXPECT_EQ(gamerun::ReadFile(folder + "/replay1.dat"), replay);

    int compared = 0;
    for (int i = 0; i < shown; i++) {
        const gamerun::Image recorded = gamerun::ReadImage(FramePath(folder, kFirstFrame + i));
        const gamerun::Image replayed = gamerun::ReadImage(FramePath(folder, replayFirst + i));
        ASSERT_EQ(recorded.width, 640) << kFirstFrame + i;
        ASSERT_EQ(replayed.width, 640) << replayFirst + i;
        // Everything but the panel's HI-SCORE value, which now holds the new score.
        for (int y = 0; y < 480; y++)
            for (int x = 0; x < 640; x++)
                if ((x < 495 || x > 626 || y < 90 || y > 101) && recorded.At(x, y) != replayed.At(x, y)) {
                    ADD_FAILURE() << "frame " << i << " of the game differs at (" << x << ", " << y << ")";
                    i = shown, y = 480, x = 640;
                }
        compared++;
    }
    EXPECT_TRUE(IsGameOver(gamerun::ReadImage(FramePath(folder, replayFirst + shown - 1))));

    // Sound from the title on: the mix is not silent in any second after the loading.
    const std::vector<int16_t> samples = Samples(gamerun::ReadFile(folder + "/audio.wav"));
    ASSERT_FALSE(samples.empty());
    const size_t second = 22050 * 2;
    int silentSeconds = 0, seconds_ = 0;
    for (size_t at = samples.size() / 8; at + second <= samples.size(); at += second, seconds_++) {
        bool sound = false;
        for (size_t k = at; k < at + second && !sound; k++) sound = samples[k] != 0;
        silentSeconds += !sound;
    }
    EXPECT_EQ(silentSeconds, 0) << "of " << seconds_;

    // The second run captured the same frames, byte for byte.
    int frames = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder + "/frames")) {
        const std::string name = entry.path().filename();
        ASSERT_EQ(gamerun::ReadFile(entry.path()), gamerun::ReadFile(runs[1].folder + "/frames/" + name)) << name;
        frames++;
    }
    std::printf("recorded game: %d presents from %d; %d frames compared; %d presents in all; %.1f s\n",
                seen - kFirstFrame, kFirstFrame, compared, frames, seconds);
}

}  // namespace
