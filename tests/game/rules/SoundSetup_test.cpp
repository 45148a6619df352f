// Sound set-up by mode, music switching and the background sets, as call sequences.
#include "ScreenFixture.h"
#include "SoundSetup.h"
#include "TempDir.h"

namespace SoundSetup_test {

namespace {

using fakeapi::Call;

const char* const kEffects[15] = {"data/hit.wav",   "data/bak1.wav",  "data/tekitama.wav", "data/jikitama.wav",
                                  "data/bak2.wav",  "data/bak3.wav",  "data/cursol.wav",   "data/shot.wav",
                                  "data/gure.wav",  "data/power.wav", "data/maxim.wav",    "data/bonus.wav",
                                  "data/gun.wav",   "data/ext.wav",   "data/laser.wav"};
const int kVolumes[15] = {8500, 8500, 7400, 8500, 8500, 8500, 8600, 8400, 8600, 9000, 9000, 9000, 8500, 9000, 9000};
const char* const kOgg[5] = {"data/zarnovik-title.ogg", "data/zarnovik-bgm1.ogg", "data/zarnovik-bgm2.ogg",
                             "data/zarnovik-bgm3.ogg", "data/zarnovik-end.ogg"};

// The calls of the sound entry points and the bar, with the handles the fake gave.
std::vector<Call> SoundAndBarCalls() {
    std::vector<Call> calls;
    for (const Call& call : fakeapi::log)
        if (call.name.find("Sound") != std::string::npos || call.name.find("Music") != std::string::npos ||
            call.name == "ApiDrawRectangle")
            calls.push_back(call);
    return calls;
}

// Effects loaded from handle `first` on, each followed by its volume.
void AppendEffects(std::vector<Call>& calls, int first) {
    for (int i = 0; i < 15; i++) {
        calls.push_back({"ApiLoadFileToSound", {3}, kEffects[i]});
        calls.push_back({"ApiSetSoundHandleVolume", {kVolumes[i], first + i}, ""});
    }
}

Call Bar(int x, int fill) { return {"ApiDrawRectangle", {20, 300, x, 320, 9, fill}, ""}; }

class Sound : public Screens {
protected:
    qztest::TempDir dir;
    void Setup(const char* mode) {
        if (mode) qztest::WriteWholeFile("soundon.txt", mode);
        fakeapi::results["ApiGetScreenColorValue"] = 9;
        SetupSound();
    }
};

TEST_F(Sound, EachModeLoadsItsSoundsInOrderWithTheBar) {
    struct Case {
        const char* file;
        int mode;
    } cases[] = {{nullptr, 1}, {"1", 1}, {"0", 0}, {"2", 2}, {"3", 3}, {"4", 4}};
    for (const Case& c : cases) {
        ResetGameWorld();
        std::remove("soundon.txt");
        Setup(c.file);
        EXPECT_EQ(GameState.soundMode, c.mode);
        std::vector<Call> want = {Bar(620, 0)};
        if (c.mode == 1 || c.mode == 4) {
            want.push_back({"ApiSetSoundSystemMode", {1}, ""});
            want.push_back({"ApiDeleteAllSounds", {0}, ""});
            int handle = 1000;
            if (c.mode == 1)
                for (int t = 0; t < 5; t++) {
                    want.push_back({"ApiLoadFileToSound", {3}, kOgg[t]});
                    want.push_back({"ApiSetSoundHandleVolume", {10000, handle++}, ""});
                    want.push_back(Bar(140 + 120 * t, 1));
                }
            AppendEffects(want, handle);
            want.push_back(Bar(620, 1));
        }
        EXPECT_EQ(SoundAndBarCalls(), want) << "mode " << c.mode;
        // "NOW LOADING" first, at (200, 240).
        EXPECT_EQ(DrawnText(), std::string("NOW LOADING\0", 12));
        EXPECT_EQ(DrawnSprites().front(), (Drawn{SpriteHandle(SpriteTable::FontSprites, 'N'), 206, 246}));
    }
}

TEST_F(Sound, SwitchingMusicFollowsTheModeAndTheSameTrackDoesNothing) {
    Setup("1");
    fakeapi::Reset();
    SwitchMusic(0);
    SwitchMusic(0);
    SwitchMusic(2);
    EXPECT_EQ(SoundAndBarCalls(), (std::vector<Call>{{"ApiPlaySoundHandle", {MusicHandles[0], 3, 1}, ""},
                                                      {"ApiStopSoundHandle", {MusicHandles[0]}, ""},
                                                      {"ApiPlaySoundHandle", {MusicHandles[2], 3, 1}, ""}}));
    EXPECT_EQ(GameState.currentMusic, 2);

    ResetGameWorld();
    Setup("4");
    fakeapi::Reset();
    SwitchMusic(4);
    EXPECT_EQ(SoundAndBarCalls(), (std::vector<Call>{{"ApiStopSingleSoundFile", {}, ""},
                                                      {"ApiPlaySingleSoundFile", {3}, kOgg[4]}}));

    ResetGameWorld();
    Setup("0");
    fakeapi::Reset();
    EXPECT_EQ(SwitchMusic(1), 0);
    EXPECT_TRUE(fakeapi::log.empty());
}

TEST_F(Sound, MidiModesStartTheTrackTwiceAndReloadEveryEffect) {
    for (int mode : {2, 3}) {
        ResetGameWorld();
        Setup(mode == 2 ? "2" : "3");
        const int before = GameSoundHandles[kSoundHit];
        fakeapi::Reset();
        fakeapi::nextHandle = 2000;
        SwitchMusic(1);
        const char* file = mode == 2 ? "data/bgm01z.mid" : "data/bgm01.mid";
        std::vector<Call> want = {{"ApiStopSingleMusicFile", {}, ""},  {"ApiSetSoundSystemMode", {0}, ""},
                                  {"ApiPlaySingleMusicFile", {3}, file}, {"ApiStopSingleMusicFile", {}, ""},
                                  {"ApiSetSoundSystemMode", {1}, ""},   {"ApiDeleteAllSounds", {0}, ""}};
        AppendEffects(want, 2000);
        want.push_back({"ApiPlaySingleMusicFile", {3}, file});
        EXPECT_EQ(SoundAndBarCalls(), want) << mode;
        EXPECT_NE(GameSoundHandles[kSoundHit], before);
        EXPECT_EQ(GameState.currentMusic, 1);
    }
}

// The handles of every BgTileSprites and TerrainSprites entry that is not 0.
std::vector<int> FilledBackgroundEntries() {
    std::vector<int> filled;
    for (int id = 0; id < 100; id++)
        if (BgTileSprites[id] != 0) filled.push_back(id);
    for (int kind = 0; kind < 55; kind++)
        if (TerrainSprites[kind] != 0) filled.push_back(1000 + kind);
    return filled;
}

TEST_F(Sound, AGroupChangeFreesTheOldSetAndCutsTheNew) {
    for (int& handle : BgTileSprites) handle = 0;
    for (int& handle : TerrainSprites) handle = 0;
    LoadBackgroundSet(2);
    EXPECT_EQ(GameState.currentBgSet, 1);
    std::vector<std::string> sheets;
    for (const Call& call : fakeapi::CallsOf("ApiLoadFileToGraph")) sheets.push_back(call.text);
    EXPECT_EQ(sheets, (std::vector<std::string>{"data/haikei1.bmp", "data/haikei2.bmp", "data/haikei3.bmp"}));
    std::vector<int> group1;
    for (int id = 1; id <= 23; id++) group1.push_back(id);
    for (int kind : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 52, 53, 54}) group1.push_back(1000 + kind);
    EXPECT_EQ(FilledBackgroundEntries(), group1);

    // The same group: nothing.
    fakeapi::Reset();
    LoadBackgroundSet(3);
    EXPECT_TRUE(fakeapi::log.empty());

    // Stage 7: group 1's three sheets and 38 cells freed, every entry back to 0, group 3 cut.
    const int tile1 = BgTileSprites[1];
    LoadBackgroundSet(7);
    const std::vector<Call> deletes = fakeapi::CallsOf("ApiDeleteOneGraph");
    ASSERT_EQ(deletes.size(), 3u + 23 + 15);
    EXPECT_EQ(deletes[3].args, (std::vector<int64_t>{tile1, 0}));
    EXPECT_EQ(fakeapi::CallsOf("ApiLoadFileToGraph").back().text, "data/haikei7.bmp");
    std::vector<int> group3;
    for (int id = 1; id <= 37; id++) group3.push_back(id);
    group3.push_back(1001);
    group3.push_back(1002);
    EXPECT_EQ(FilledBackgroundEntries(), group3);

    // The front end's 0 frees everything; stage 1 then loads group 1 again.
    LoadBackgroundSet(0);
    EXPECT_TRUE(FilledBackgroundEntries().empty());
    fakeapi::Reset();
    LoadBackgroundSet(1);
    EXPECT_EQ(fakeapi::CallsOf("ApiLoadFileToGraph").size(), 3u);
}

}  // namespace

}  // namespace SoundSetup_test
