// Fuzz target: arbitrary bytes as a replay, played back headless. The game must neither
// crash nor trip a sanitizer. A replay is one byte per frame, so a playback lasts as many
// frames as the input holds bytes to play: frames past them would only repeat an idle pad.
// One input in four, chosen by its bytes so a found input always gets the same check, is
// played a second time from the same start and must end in the same logic state: a frame
// costs the same in both playbacks, and playing every input twice halved the inputs tried
// while its mutations, checked a quarter of the time, still show state one playback
// leaves to the next. In replay with sound off a frame calls no entry point, so the real
// library stays linked but untouched. The stand-in enemies make the stage rows act.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "GameRules.h"
#include "GameTypes.h"
#include "LogicHash.h"
#include "PlayLoop.h"
#include "StandIns.h"

namespace {

// The first frame reads the byte after the header.
constexpr size_t kHeaderBytes = 32;

// Every object a playback made goes back before the input ends. An input that ends with
// more blocks allocated than freed makes libFuzzer run it again and then scan the whole
// heap for leaks, which for the first thousand such inputs tripled their cost.
void ReleaseObjects() {
    for (cChara* list : {&PlayerList, &GroundEnemyList, &GroundPartList, &AirEnemyList, &AirPartList, &BulletList,
                         &EffectList, &ItemList, &WreckList, &PopupList, &ShockwaveList})
        list->Clear();
    TerrainList.Clear();
}

// Whether this input is one of the quarter played twice: an FNV-1a hash of its bytes.
// The tested build plays every seed twice.
bool ChecksRepeat(const uint8_t* data, size_t size) {
#ifdef QZ_FUZZ_SEED_TEST
    (void)data;
    (void)size;
    return true;
#else
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i < size; i++) hash = (hash ^ data[i]) * 16777619u;
    return (hash & 3) == 0;
#endif
}

uint64_t PlayBack(const uint8_t* data, size_t size) {
    const size_t held = size < sizeof ReplayBuffer ? size : sizeof ReplayBuffer;
    const int frameLimit = held > kHeaderBytes ? static_cast<int>(held - kHeaderBytes) : 1;
    std::memset(ReplayBuffer, 0, sizeof ReplayBuffer);
    std::memcpy(ReplayBuffer, data, size < sizeof ReplayBuffer ? size : sizeof ReplayBuffer);
    BuildSinCosTables();
    GameState = GameStateRecord{};
    GameState.soundMode = 0;
    GameState.playMode = 1;
    // Bytes 0-31 are never played back: they choose the rule set and difficulty.
    GameState.mode = size > 0 ? data[0] & 1 : 0;
    GameState.level = size > 1 ? data[1] % 5 : 1;
    GameState.stage = size > 2 ? data[2] % 7 + 1 : 1;
    InstallStandIns();
    SetupGame();
    int frames = 0;
    while (GameState.stage > 0 && frames < frameLimit) {
        SetupStage();
        do {
            RunHeadlessFrame();
            frames++;
        } while (!GameState.stageEnd && frames < frameLimit);
    }
    const uint64_t hash = HashLogicState();
    ReleaseObjects();
    return hash;
}

}  // namespace

QZ_FUZZ_SMALL_QUARANTINE();

QZ_FUZZ_TARGET(GameReplay)(const uint8_t* data, size_t size) {
    const uint64_t first = PlayBack(data, size);
    if (ChecksRepeat(data, size) && PlayBack(data, size) != first) std::abort();
    return 0;
}

QZ_FUZZ_SEEDS(GameReplay) {
    std::vector<std::string> seeds;
    seeds.push_back(std::string(64, '\0'));
    // Fire and sweep, with a napalm charge now and then, on stage 1 in ORIGINAL. Seeds stay
    // short: every byte is a frame played twice, and mutations keep their lengths.
    std::string sweep(32 + 480, '\0');
    for (size_t i = 32; i < sweep.size(); i++)
        sweep[i] = static_cast<char>(((i / 40) % 2 ? 0x02 : 0x04) | ((i % 300) < 60 ? 0x20 : 0x10));
    seeds.push_back(sweep);
    // Every byte value in turn, REMIX, SHOOTING GOD, stage 7.
    std::string all(32 + 256, '\0');
    for (size_t i = 0; i < all.size(); i++) all[i] = static_cast<char>(i * 7);
    all[0] = 1;
    all[1] = 4;
    all[2] = 6;
    seeds.push_back(all);
    return seeds;
}
