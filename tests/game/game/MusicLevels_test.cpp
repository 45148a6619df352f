// The title music in each of the four sound modes, as the game's own audio capture hears
// it in a real process: the Ogg modes (1 and 4) carry no offset, and the two MIDI modes
// (2 and 3) play within 3 dB of them. One loop of the title is 32 beats at 120 bpm, 16 s;
// the measure is one whole loop, wherever it starts, so every mode is heard alike.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "GameRun.h"
#include "TempDir.h"

namespace MusicLevels_test {

namespace {

constexpr int kEscAt = 1400;  // presents: at least 17 ms of the mix's clock each
constexpr double kLoopSeconds = 16.0;

struct Level {
    double offset = 0;  // mean, of full scale
    double rmsDb = 0;   // root mean square, dB of full scale
};

TEST(MusicLevels, TheFourSoundModesPlayTheTitleAtOneLevelWithoutOffset) {
    qztest::TempDir dir;
    gamerun::Script script;
    script.Down(kEscAt, gamerun::kEsc);
    std::vector<gamerun::Run> runs;
    for (int mode = 1; mode <= 4; mode++) {
        const std::string folder = dir.file("mode" + std::to_string(mode));
        gamerun::WriteStartFile(folder, "soundon.txt", std::to_string(mode) + "\r\n");
        runs.push_back({QZ_ZARNOVIK, folder, QZ_DATA_DIR, script, {"QZ_AUDIO_CAPTURE=" + folder + "/audio.wav"}});
    }
    EXPECT_EQ(gamerun::RunAll(runs), std::vector<int>(runs.size(), 0));

    std::vector<Level> levels;
    for (const gamerun::Run& run : runs) {
        SCOPED_TRACE(run.folder);
        size_t second = 0;
        const std::vector<int16_t> samples = gamerun::WaveSamples(gamerun::ReadFile(run.folder + "/audio.wav"), &second);
        ASSERT_GT(second, 0u);
        // The loop before the last half second (the game ends its sound as it quits).
        const size_t loop = size_t(kLoopSeconds * double(second)), tail = second / 2;
        ASSERT_GE(samples.size(), loop + tail + 2 * second) << "the title did not play a whole loop";
        double sum = 0, squares = 0;
        for (size_t k = samples.size() - tail - loop; k < samples.size() - tail; k++) {
            const double v = samples[k] / 32768.0;
            sum += v;
            squares += v * v;
        }
        Level level;
        level.offset = sum / double(loop);
        level.rmsDb = 10 * std::log10(squares / double(loop));
        levels.push_back(level);
        std::printf("sound mode %zu: title music offset %+.5f, RMS %.2f dBFS\n", levels.size(), level.offset,
                    level.rmsDb);
    }
    ASSERT_EQ(levels.size(), 4u);
    for (int ogg : {0, 3}) {
        EXPECT_LT(std::fabs(levels[ogg].offset), 0.001) << "mode " << ogg + 1;
        for (int midi : {1, 2}) EXPECT_NEAR(levels[midi].rmsDb, levels[ogg].rmsDb, 3.0) << "modes " << midi + 1 << ", " << ogg + 1;
    }
}

}  // namespace

}  // namespace MusicLevels_test
