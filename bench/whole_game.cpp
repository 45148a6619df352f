// The whole-game replay: one stage's recorded run, played by the game's own WinMain on the
// null backend with the fast clock and no capture (loading, menus, every frame drawn and
// presented), in frames per second against the 60 of real play. Its peer in the same run:
// the headless pass, the logic alone, fed the same pad bits.
//
// The run is recorded first through the headless pass: the whole-game tests' pilot plays
// stage QZ_BENCH_STAGE (default 1) of NORMAL ORIGINAL from STAGE SELECT (shot and napalm
// power 6, shield 2) to its end, and its keys become the input script the game replays.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "BenchRatios.h"
#include "GameRules.h"
#include "GameRun.h"
#include "GameTypes.h"
#include "Pilot.h"
#include "PlayLoop.h"
#include "Player.h"
#include "ScriptedGame.h"
#include "TempDir.h"
#include "platform/testing.h"
#include "platform/win32.h"

namespace {

using gamerun::Key;

struct Recording {
    gamerun::Script script;
    int firstFrame = 0;  // the present of the stage's first frame
    int stageFrames = 0;
};

// Menus on a fixed timing (they wait for their keys), then the pilot's play of the stage
// through the headless pass; Esc once it is over.
Recording Record(int stage) {
    Recording r;
    gamerun::Script& s = r.script;
    int f = 150;  // slack for the loading screen
    auto press = [&](Key key) {
        s.Press(f, key);
        f += 4;
    };
    press(gamerun::kDown);
    press(gamerun::kDown);
    press(gamerun::kZ);
    press(gamerun::kZ);
    for (int i = 1; i < stage; i++) press(gamerun::kRight);
    press(gamerun::kDown);
    for (int row = 0; row < 3; row++) {
        press(gamerun::kDown);
        s.Hold(f, f + 8, gamerun::kRight);
        f += 10;
    }
    s.Press(f, gamerun::kZ);
    r.firstFrame = f + 2;

    StartHeadlessGame(stage);
    std::fill(std::begin(ReplayBuffer), std::end(ReplayBuffer), 0);
    SetupGame();
    GameState.rank = 0;
    GameState.shotPower = GameState.napalmPower = 6;
    GameState.shield = 2;
    SetupStage();
    pilot::Pilot pilot;
    int k = 1, bossDeadAt = -1;
    for (; k < 20000 && GameState.stage == stage && GameState.result == 0; k++) {
        RunHeadlessFrame();
        if (GameState.bossLife == 0 && bossDeadAt < 0) bossDeadAt = k;
        if (bossDeadAt >= 0 && k > bossDeadAt + 700) break;
        // Keys given now reach the game two frames on, as in the whole-game runs.
        if (GameState.stageFrame >= 140 && 32 + k + 2 < kReplayBytes) {
            const int32_t bits = pilot.Choose();
            ReplayBuffer[32 + k + 2] = static_cast<uint8_t>(bits);
            s.Pad(r.firstFrame + k, bits);
        }
    }
    s.Pad(r.firstFrame + k, 0);
    s.Down(r.firstFrame + k + 1, gamerun::kEsc);
    r.stageFrames = k;
    return r;
}

int Stage() {
    const char* value = std::getenv("QZ_BENCH_STAGE");
    const int stage = value ? std::atoi(value) : 1;
    return stage >= 1 && stage <= 7 ? stage : 1;
}

Recording& TheRecording() {
    static Recording r = Record(Stage());
    return r;
}

int presents = 0;
void CountPresent(uint64_t, const uint32_t*, int, int) { presents++; }

// The whole game from start-up to Esc, in a folder of its own; the time per present.
void BM_WholeGameReplay(benchmark::State& state) {
    const Recording& r = TheRecording();
    for (auto _ : state) {
        qztest::TempDir dir;
        const std::string folder = dir.file("game");
        gamerun::WriteStartFile(folder, "start1.dat", "8\r\n");
        gamerun::WriteStartFile(folder, "soundon.txt", "0\r\n");
        gamerun::WriteStartFile(folder, "input.txt", r.script.Text());
        std::filesystem::create_directory_symlink(QZ_DATA_DIR, folder + "/data");
        const std::string cwd = std::filesystem::current_path();
        if (chdir(folder.c_str()) != 0) return state.SkipWithError("no folder");
        GameState = GameStateRecord{};
        ptest::SetClockMode(ptest::ClockMode::Fast);
        ptest::SetMessageBoxAnswer(ptest::MessageBoxAnswer::No);
        ptest::SetWindowLockFolder(folder);
        if (!ptest::SetInputScript(folder + "/input.txt")) return state.SkipWithError("no script");
        ptest::SetPresentHook(CountPresent);
        presents = 0;
        static char emptyCommandLine[] = "";
        const double started = gamerun::Seconds();
        const int code = WinMain(GetModuleHandleA(nullptr), nullptr, emptyCommandLine, SW_SHOWDEFAULT);
        const double seconds = gamerun::Seconds() - started;
        ptest::SetPresentHook(nullptr);
        if (chdir(cwd.c_str()) != 0 || code != 0) return state.SkipWithError("the game failed");
        state.SetIterationTime(seconds / presents);
        state.counters["presents"] = presents;
        state.counters["fps"] = presents / seconds;
        state.counters["x_real_play"] = presents / seconds / 60;
    }
}
BENCHMARK(BM_WholeGameReplay)->UseManualTime()->Iterations(1)->Unit(benchmark::kMicrosecond);

// The logic alone over the same stage frames and pad bits; the time per frame.
void BM_HeadlessPassSamePads(benchmark::State& state) {
    const Recording& r = TheRecording();
    for (auto _ : state) {
        StartHeadlessGame(Stage());
        FillReplayFromScript(r.script, r.firstFrame);
        SetupGame();
        GameState.rank = 0;
        GameState.shotPower = GameState.napalmPower = 6;
        GameState.shield = 2;
        SetupStage();
        const double started = gamerun::Seconds();
        for (int k = 1; k <= r.stageFrames; k++) RunHeadlessFrame();
        const double seconds = gamerun::Seconds() - started;
        state.SetIterationTime(seconds / r.stageFrames);
        state.counters["frames"] = r.stageFrames;
        state.counters["fps"] = r.stageFrames / seconds;
        state.counters["x_real_play"] = r.stageFrames / seconds / 60;
    }
}
BENCHMARK(BM_HeadlessPassSamePads)->UseManualTime()->Iterations(1)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    setenv("QZ_BACKEND", "null", 0);
    benchmark::Initialize(&argc, argv);
    qzbench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const char* name : {"BM_WholeGameReplay/iterations:1/manual_time", "BM_HeadlessPassSamePads/iterations:1/manual_time"}) {
        const double us = reporter.Time(name);
        if (us > 0) std::printf("%-50s %8.0f frames/s, %6.1f x the 60 of real play\n", name, 1e6 / us, 1e6 / us / 60);
    }
    qzbench::PrintRatios(reporter, {{"whole-game replay / headless pass, per frame",
                                     "BM_WholeGameReplay/iterations:1/manual_time",
                                     "BM_HeadlessPassSamePads/iterations:1/manual_time"}});
    benchmark::Shutdown();
    return 0;
}
