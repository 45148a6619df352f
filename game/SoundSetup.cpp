// SoundSetup.cpp: the effects and the music. Load results are not tested: a sound that
// fails leaves an invalid handle, which plays nothing.
#include "SoundSetup.h"

#include "GameTypes.h"
#include "SaveFiles.h"
#include "StageDrawing.h"
#include "QzApi.h"

int MusicHandles[kMusicTrackCount];

namespace {

struct EffectFile {
    const char* path;
    int volume;
};
// In GameSoundHandles' order.
constexpr EffectFile kEffectFiles[kSoundEffectCount] = {
    {"data/hit.wav", 8500},   {"data/bak1.wav", 8500},  {"data/tekitama.wav", 7400}, {"data/jikitama.wav", 8500},
    {"data/bak2.wav", 8500},  {"data/bak3.wav", 8500},  {"data/cursol.wav", 8600},   {"data/shot.wav", 8400},
    {"data/gure.wav", 8600},  {"data/power.wav", 9000}, {"data/maxim.wav", 9000},    {"data/bonus.wav", 9000},
    {"data/gun.wav", 8500},   {"data/ext.wav", 9000},   {"data/laser.wav", 9000},
};

constexpr const char* kOggTracks[kMusicTrackCount] = {
    "data/zarnovik-title.ogg", "data/zarnovik-bgm1.ogg", "data/zarnovik-bgm2.ogg", "data/zarnovik-bgm3.ogg",
    "data/zarnovik-end.ogg",
};
constexpr const char* kMidiTracks[2][kMusicTrackCount] = {
    {"data/titlz.mid", "data/bgm01z.mid", "data/bgm02z.mid", "data/bgm03z.mid", "data/endz.mid"},
    {"data/titl.mid", "data/bgm01.mid", "data/bgm02.mid", "data/bgm03.mid", "data/end.mid"},
};

// Three buffer copies each, so an effect can overlap itself three times.
void LoadEffects() {
    for (int i = 0; i < kSoundEffectCount; i++) {
        GameSoundHandles[i] = ApiLoadFileToSound(kEffectFiles[i].path, 3);
        ApiSetSoundHandleVolume(kEffectFiles[i].volume, GameSoundHandles[i]);
    }
}

}  // namespace

void SetupSound() {
    DrawFontText(200, 240, "NOW LOADING");
    const uint32_t colour = ApiGetScreenColorValue(254, 191, 114);
    ApiDrawRectangle(20, 300, 620, 320, colour, 0);
    LoadSoundMode();
    if (GameState.soundMode != 1 && GameState.soundMode != 4) return;
    ApiSetSoundSystemMode(1);
    ApiDeleteAllSounds(0);
    if (GameState.soundMode == 1)
        for (int track = 0; track < kMusicTrackCount; track++) {
            MusicHandles[track] = ApiLoadFileToSound(kOggTracks[track], 3);
            ApiSetSoundHandleVolume(10000, MusicHandles[track]);
            ApiDrawRectangle(20, 300, 140 + 120 * track, 320, colour, 1);
        }
    LoadEffects();
    ApiDrawRectangle(20, 300, 620, 320, colour, 1);
}

int SwitchMusic(int track) {
    if (GameState.soundMode == 0 || track == GameState.currentMusic) return 0;
    if (track < 0 || track >= kMusicTrackCount) return 0;
    int result = 0;
    switch (GameState.soundMode) {
    case 1:
        if (GameState.currentMusic >= 0 && GameState.currentMusic < kMusicTrackCount)
            ApiStopSoundHandle(MusicHandles[GameState.currentMusic]);
        result = ApiPlaySoundHandle(MusicHandles[track], 3, 1);
        break;
    case 2:
    case 3: {
        // Started once under the MIDI player's mode, stopped, then for good under the
        // music system's, whose restart drops every sound: the effects load again.
        const char* file = kMidiTracks[GameState.soundMode - 2][track];
        ApiStopSingleMusicFile();
        GameState.currentMusic = -1;
        ApiSetSoundSystemMode(0);
        ApiPlaySingleMusicFile(file, 3);
        ApiStopSingleMusicFile();
        GameState.currentMusic = -1;
        ApiSetSoundSystemMode(1);
        ApiDeleteAllSounds(0);
        LoadEffects();
        result = ApiPlaySingleMusicFile(file, 3);
        break;
    }
    case 4:
        ApiStopSingleSoundFile();
        GameState.currentMusic = -1;
        result = ApiPlaySingleSoundFile(kOggTracks[track], 3);
        break;
    default:
        return 0;
    }
    GameState.currentMusic = track;
    return result;
}
