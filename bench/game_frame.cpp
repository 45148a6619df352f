// One headless frame-loop pass of the game, as a replay plays it (sound off): over a busy
// world (stand-in guns firing, about 400 enemy bullets and 200 particles, the player's
// shots flying) and, as its peer, over empty lists: the pass's fixed cost. Prints each
// time as a share of the 17-ms frame, and the busy / empty ratio.
#include <cstdio>
#include <cstring>

#include "BenchRatios.h"
#include "GameRules.h"
#include "GameTypes.h"
#include "Player.h"
#include "PlayLoop.h"
#include "Spawners.h"
#include "StandIns.h"

namespace {

void StartStage() {
    BuildSinCosTables();
    GameState = GameStateRecord{};
    GameState.soundMode = 0;
    GameState.playMode = 1;
    GameState.stage = 1;
    // Replay input: fire, sweeping left and right.
    for (int32_t i = 0; i < kReplayBytes; i++)
        ReplayBuffer[i] = static_cast<uint8_t>(kPadButton1 | ((i / 60) % 2 ? kPadLeft : kPadRight));
    InstallStandIns();
    SetupGame();
    SetupStage();
    GameState.stageFrame = 150;
}

// Guns across the top, bullets crossing the field, particles in flight. The player is
// invulnerable, so bullets pass through and the frame stays a frame of play.
void Populate() {
    for (cChara* list : {&GroundEnemyList, &GroundPartList, &AirEnemyList, &AirPartList, &BulletList, &EffectList,
                         &ItemList, &WreckList, &PopupList, &ShockwaveList})
        for (CharaData* r = list->head; r;) r = list->RemoveNode(r);
    GameState.invulnTime = 1 << 30;
    GameState.rank = 200;
    for (int i = 0; i < 16; i++) SpawnGroundEnemy(17, &GroundEnemyList, (i * 44 - 330) * 1024, -200 * 1024, 256);
    for (int i = 0; i < 4; i++) SpawnAirEnemy(1, &AirEnemyList, (i * 150 - 220) * 1024, -150 * 1024, 256);
    for (int i = 0; i < 400; i++) {
        CharaData* b = AllocateChara();
        b->state = 2;
        b->type = i % 4;
        b->x = (i * 37 % 440 - 220) * 1024;
        b->y = (i * 53 % 400 - 230) * 1024;
        b->angle = i * 97 % 1024;
        b->speed = b->work2 = 8;
        b->vx = 8 * CosTable[b->angle];
        b->vy = 8 * SinTable[b->angle];
        b->hitW = b->hitH = 3;
        b->animFrame = 1;
        BulletList.AppendNode(b);
    }
    for (int i = 0; i < 25; i++) SpawnExplosion(&EffectList, (i * 29 % 400 - 200) * 1024, -100 * 1024, 8, 6, 1, i % 4, 8);
}

double Count(const cChara& list) {
    double n = 0;
    for (const CharaData* r = list.head; r; r = r->next) n++;
    return n;
}

// Frame passes, the world restored untimed every 8 frames so it stays as busy.
void RunFrames(benchmark::State& state, void (*refill)()) {
    int frames = 0;
    for (auto _ : state) {
        RunHeadlessFrame();
        if (++frames % 8 == 0) {
            state.PauseTiming();
            refill();
            state.ResumeTiming();
        }
    }
}

void BM_FramePassBusy(benchmark::State& state) {
    StartStage();
    Populate();
    RunFrames(state, Populate);
    Populate();
    state.counters["bullets"] = Count(BulletList);
    state.counters["particles"] = Count(EffectList);
    RemoveStandIns();
}
BENCHMARK(BM_FramePassBusy)->Unit(benchmark::kMicrosecond);

void BM_FramePassEmpty(benchmark::State& state) {
    StartStage();
    RunFrames(state, [] {
        for (cChara* list : {&BulletList, &EffectList}) list->Clear();
    });
    RemoveStandIns();
}
BENCHMARK(BM_FramePassEmpty)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    qzbench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const char* name : {"BM_FramePassBusy", "BM_FramePassEmpty"}) {
        double us = reporter.Time(name);
        if (us > 0) std::printf("share %-48s %6.3f%% of the 17-ms frame\n", name, us / 17000.0 * 100.0);
    }
    qzbench::PrintRatios(reporter, {{"frame pass: busy world / empty lists", "BM_FramePassBusy", "BM_FramePassEmpty"}});
    benchmark::Shutdown();
    return 0;
}
