// A whole game frame on the null backend with the real library and the generated data:
// the frame's logic, DrawStage and the end of the frame without its wait (messages, the
// present, the back screen's clear), over a game of stage 1 with its own enemies, played
// back from a fixed input; when the player has lost every life the game starts again.
// Its peer is the headless pass over the same frames, the logic alone. Prints the median
// per frame, its share of the 17-ms frame, and the ratio to the peer.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "BenchRatios.h"
#include "GameRules.h"
#include "GameTypes.h"
#include "PlayLoop.h"
#include "Player.h"
#include "QzApi.h"
#include "SpriteTables.h"
#include "StageDrawing.h"
#include "platform/testing.h"

namespace {

constexpr int kGameFrames = 3000;  // the game starts again after this many

struct Game {
    char folder[64] = "/tmp/qz-bench-game-XXXXXX";
    bool started = false;
    int frames = 0;

    Game() {
        setenv("QZ_BACKEND", "null", 0);
        if (mkdtemp(folder) == nullptr || chdir(folder) != 0 || symlink(QZ_DATA_DIR, "data") != 0) return;
        ptest::SetWindowLockFolder(folder);
        // Waits end at once, so a frame costs its work and nothing else.
        ptest::SetClockMode(ptest::ClockMode::Fast);
        ApiChangeWindowMode(1);
        if (ApiInitializeLibrary() != 0) return;
        ApiSetScreenMode(640, 480, 32, 60);
        CutStartupSheets();
        BuildSinCosTables();
        LoadBackgroundSet(1);
        ApiSelectDrawTarget(-2);
        started = true;
    }
    void Stop() {
        if (!started) return;
        ApiDeleteAllGraphs(0);
        ApiTerminateLibrary();
        unlink("data");
        unlink("AppLog.txt");
        if (chdir("/") == 0) rmdir(folder);
        started = false;
    }
};

Game& TheGame() {
    static Game game;
    return game;
}

// Stage 1 from its start, played back: fire, sweep, charge napalm now and then.
void StartGame() {
    GameState.soundMode = 0;
    GameState.playMode = 1;
    GameState.mode = 0;
    GameState.level = 1;
    GameState.stage = 1;
    for (int32_t i = 0; i < kReplayBytes; i++)
        ReplayBuffer[i] = static_cast<uint8_t>(((i % 400) < 80 ? kPadButton2 : kPadButton1) |
                                               ((i / 60) % 2 ? kPadLeft : kPadRight));
    SetupGame();
    SetupStage();
}

double Now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e6 + t.tv_nsec / 1e3;
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
}

std::vector<double> g_wholeFrames, g_passFrames;

// Frames of the game, timed one by one; the game restarts (untimed) when it ends.
void RunGame(benchmark::State& state, void (*frame)(), std::vector<double>& times) {
    StartGame();
    int frames = 0, games = 1;
    double bullets = 0;
    for (auto _ : state) {
        if (GameState.stage == 0 || ++frames > kGameFrames) {
            StartGame();
            frames = 1;
            games++;
        } else if (GameState.stageEnd) {
            SetupStage();
        }
        const double start = Now();
        frame();
        const double took = Now() - start;
        state.SetIterationTime(took / 1e6);
        times.push_back(took);
        for (const CharaData* b = BulletList.head; b; b = b->next) bullets++;
    }
    state.counters["games"] = games;
    state.counters["bullets"] = bullets / double(times.size());
}

void WholeFrame() {
    UpdateFrameLogic();
    if (GameState.stage > 0) DrawStage();
    ApiProcessMessage();
    ApiPresentScreen();
    ApiSelectDrawTarget(-2);
    ApiClearDrawTarget();
    FinishFrame();
}

void BM_WholeFrame(benchmark::State& state) {
    if (!TheGame().started) return state.SkipWithError("the library did not start");
    RunGame(state, WholeFrame, g_wholeFrames);
}
BENCHMARK(BM_WholeFrame)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(kGameFrames);

void BM_HeadlessPass(benchmark::State& state) {
    RunGame(state, RunHeadlessFrame, g_passFrames);
}
BENCHMARK(BM_HeadlessPass)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(kGameFrames);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    qzbench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double whole = Median(g_wholeFrames), pass = Median(g_passFrames);
    std::printf("median whole game frame   %8.1f us, %6.2f%% of the 17-ms frame\n", whole, whole / 170.0);
    std::printf("median headless pass      %8.1f us, %6.2f%% of the 17-ms frame\n", pass, pass / 170.0);
    reporter.times["median whole frame"] = whole;
    reporter.times["median headless pass"] = pass;
    qzbench::PrintRatios(reporter, {{"whole frame / headless pass (medians)", "median whole frame", "median headless pass"}});
    TheGame().Stop();
    benchmark::Shutdown();
    return 0;
}
