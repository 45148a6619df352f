// The sound system's start, end and modes: every operation refused before the start and
// without a device, the second start, mode 1's fall-back, handles lost across a mode
// change, the beep's samples, the device log line by line, and the silence of an idle
// output.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "SoundFixture.h"

namespace QzSoundSystem_test {

namespace {

using namespace soundlib;

struct Refusal {
    const char* name;
    std::function<int()> call;
    int result;  // before the start
};

// Every operation of the sound system, with a real-looking argument each.
std::vector<Refusal> AllOperations(int sound, int music) {
    const std::string wave = WaveFile(Tone(1000, 44100, 100), 44100, 2);
    WAVEFORMATEX f = Pcm(44100, 2, 16);
    return {
        {"AddSoundData", [] { return AddSoundData(-1); }, -1},
        {"CreateSoundDataBuffers", [f, sound] { return CreateSoundDataBuffers(&f, 400, 0, 1, sound); }, -1},
        {"LoadFileToSound", [] { return LoadFileToSound("x.wav", 1); }, -1},
        {"CreateSoundDataFromMemory",
         [wave] { return CreateSoundDataFromMemory(wave.data(), static_cast<int>(wave.size()), 1); }, -1},
        {"DeleteSoundData", [sound] { return DeleteSoundData(sound, 0); }, -1},
        {"DeleteAllSounds", [] { return DeleteAllSounds(0); }, -1},
        {"PlaySoundHandle", [sound] { return PlaySoundHandle(sound, 1, 1); }, -1},
        {"StopSoundHandle", [sound] { return StopSoundHandle(sound); }, -1},
        {"IsSoundHandlePlaying", [sound] { return IsSoundHandlePlaying(sound); }, -1},
        {"SetSoundHandleVolume", [sound] { return SetSoundHandleVolume(5000, sound); }, -1},
        {"PlaySingleSoundFile", [] { return PlaySingleSoundFile("x.wav", 1); }, -1},
        {"StopSingleSoundFile", [] { return StopSingleSoundFile(); }, -1},
        {"AddMemoryToStreamSound",
         [wave, sound] { return AddMemoryToStreamSound(wave.data(), static_cast<int>(wave.size()), 0, sound, 2); }, -1},
        {"AddFileToStreamSound", [sound] { return AddFileToStreamSound("x.wav", 0, sound, 2); }, -1},
        {"PrepareStreamSound", [sound] { return PrepareStreamSound(sound); }, -1},
        {"PlayStreamSound", [sound] { return PlayStreamSound(sound, 1, 1); }, -1},
        {"StopStreamSound", [sound] { return StopStreamSound(sound); }, -1},
        {"IsStreamSoundPlaying", [sound] { return IsStreamSoundPlaying(sound); }, -1},
        {"UpdateStreamSoundCursor", [sound] { return UpdateStreamSoundCursor(sound, 0); }, -1},
        {"RefillStreamSound", [sound] { return RefillStreamSound(sound); }, -1},
        {"RefillAllStreamSounds", [] { return RefillAllStreamSounds(); }, -1},
        {"TerminateSoundSystem", [] { return TerminateSoundSystem(); }, -1},
        {"CreateBeepBuffer", [] { return CreateBeepBuffer(8000); }, -1},
        {"AddMusicData", [] { return AddMusicData(); }, -1},
        {"LoadMusicMem", [] { return LoadMusicMem("song.mid"); }, -1},
        {"CreateMusicDataFromMemory", [] { return CreateMusicDataFromMemory("MThd", 4); }, -1},
        {"DeleteMusicData", [music] { return DeleteMusicData(music); }, -1},
        {"DeleteAllMusicData", [] { return DeleteAllMusicData(); }, -1},
        {"PlayMusicHandle", [music] { return PlayMusicHandle(music, 1); }, -1},
        {"StopMusicHandle", [music] { return StopMusicHandle(music); }, -1},
        {"IsMusicHandlePlaying", [music] { return IsMusicHandlePlaying(music); }, -1},
        {"UpdateMusicPlayState", [] { return UpdateMusicPlayState(); }, -1},
        {"PlaySingleMusicFile", [] { return PlaySingleMusicFile("song.mid", 1); }, -1},
        {"HandleMciNotify", [] { return HandleMciNotify(); }, 0},
        {"StopSingleMusicFile", [] { return StopSingleMusicFile(); }, 0},
        {"SetSoundSystemMode", [] { return SetSoundSystemMode(0); }, 0},
    };
}

void ExpectAllRefused(int sound, int music) {
    for (const Refusal& r : AllOperations(sound, music)) EXPECT_EQ(r.call(), r.result) << r.name;
}

using SoundSystemTest = SoundTest;

TEST_F(SoundSystemTest, BeforeTheStartEveryOperationIsRefused) {
    qztest::WriteWholeFile("x.wav", WaveFile(Tone(1000, 44100, 100), 44100, 2));
    qztest::WriteWholeFile("song.mid", soundtest::MidiFile(0.5));
    // Handles as a started system would have made them.
    ExpectAllRefused(MakeHandle(kHandleKindSound, 0, 0), MakeHandle(kHandleKindMusic, 0, 0));
}

TEST_F(SoundSystemTest, WithoutASoundDeviceTheStartFailsAndEverythingIsRefused) {
    qztest::WriteWholeFile("x.wav", WaveFile(Tone(1000, 44100, 100), 44100, 2));
    ptest::FailCall("SoundDevice");
    EXPECT_EQ(InitializeSoundSystem(), -1);
    EXPECT_FALSE(IsSoundStarted());
    const std::string log = Log();
    EXPECT_NE(log.find("引き続きインターフェースの初期化処理...  初期化に失敗しました\r\n"), std::string::npos) << log;
    ExpectAllRefused(MakeHandle(kHandleKindSound, 0, 0), MakeHandle(kHandleKindMusic, 0, 0));
    EXPECT_EQ(LiveBlocks(), 0);
}

TEST_F(SoundSystemTest, ASecondStartIsRefused) {
    Start();
    IDirectSound* first = g_soundSystem.directSound;
    EXPECT_EQ(InitializeSoundSystem(), -1);
    EXPECT_EQ(g_soundSystem.directSound, first);
}

TEST_F(SoundSystemTest, ModeOneWithoutALoaderRunsInModeZeroForGood) {
    ptest::FailCall("CreateDirectMusicLoader");
    SetSoundSystemMode(1);
    ASSERT_EQ(InitializeSoundSystem(), 0);
    EXPECT_EQ(GetSoundSystemMode(), 0);
    EXPECT_NE(g_soundSystem.primaryBuffer, nullptr);
    EXPECT_EQ(g_soundSystem.musicLoader, nullptr);
    const std::string log = Log();
    EXPECT_NE(log.find("DirectMusicLoader8 オブジェクトの作成に失敗しました\r\n"), std::string::npos);
    EXPECT_NE(log.find("前バージョンでの初期化処理に移ります\r\n"), std::string::npos);
    TerminateSoundSystem();
    ASSERT_EQ(InitializeSoundSystem(), 0);
    EXPECT_EQ(GetSoundSystemMode(), 0);
}

TEST_F(SoundSystemTest, ModeOneLogsItsPortAndTakesDirectSoundFromThePerformance) {
    Start(1);
    EXPECT_NE(g_soundSystem.musicPerformance, nullptr);
    EXPECT_EQ(g_soundSystem.primaryBuffer, nullptr);
    EXPECT_NE(Log().find("出力ポート  Device0:Platform MIDI Synthesizer \r\n"), std::string::npos) << Log();
    // A sound plays through the performance's DirectSound.
    const std::vector<int16_t> tone = Tone(1000, 44100, 4410);
    const int sound = Load(WaveFile(tone, 44100, 2));
    ASSERT_NE(sound, -1);
    ASSERT_EQ(PlaySoundHandle(sound, 1, 1), 0);
    EXPECT_EQ(ptest::PullAudio(4410), tone);
}

TEST_F(SoundSystemTest, AModeChangeLosesEveryHandleAndNoMemory) {
    Start(0);
    const int before = LiveBlocks();
    const int sound = Load(WaveFile(Tone(1000, 44100, 4410), 44100, 2), 3);
    const std::string song = soundtest::MidiFile(0.5);
    const int music = CreateMusicDataFromMemory(song.data(), static_cast<int>(song.size()));
    ASSERT_NE(sound, -1);
    ASSERT_NE(music, -1);
    EXPECT_EQ(SetSoundSystemMode(0), 0);  // the same mode: nothing happens
    EXPECT_EQ(IsSoundHandlePlaying(sound), 0);
    ASSERT_EQ(SetSoundSystemMode(1), 0);
    EXPECT_EQ(PlaySoundHandle(sound, 1, 1), -1);
    EXPECT_EQ(IsSoundHandlePlaying(sound), -1);
    EXPECT_EQ(PlayMusicHandle(music, 1), -1);
    EXPECT_EQ(DeleteMusicData(music), -1);
    EXPECT_EQ(LiveBlocks(), before);
    ASSERT_EQ(SetSoundSystemMode(0), 0);
    EXPECT_EQ(DeleteSoundData(sound, 0), -1);
    EXPECT_EQ(LiveBlocks(), before);
}

TEST_F(SoundSystemTest, TheBeepHoldsItsTone) {
    Start();
    auto first = [] {
        std::vector<int16_t> out(6);
        void* p1 = nullptr;
        void* p2 = nullptr;
        DWORD n1 = 0, n2 = 0;
        EXPECT_EQ(g_soundSystem.beepBuffer->Lock(0, 12, &p1, &n1, &p2, &n2, 0), DS_OK);
        std::memcpy(out.data(), p1, 12);
        g_soundSystem.beepBuffer->Unlock(p1, n1, p2, n2);
        return out;
    };
    EXPECT_EQ(first(), (std::vector<int16_t>{0, 29767, 24872, -8986, -32380, 0}));
    // A frequency with no whole period in the rate has no tone.
    EXPECT_EQ(CreateBeepBuffer(0), -1);
    EXPECT_EQ(CreateBeepBuffer(-5), -1);
    EXPECT_EQ(CreateBeepBuffer(44101), -1);
    EXPECT_EQ(CreateBeepBuffer(44100), 0);
    EXPECT_EQ(first(), (std::vector<int16_t>{0, 0, 0, 0, 0, 0}));
    // Nothing plays it; an idle output is exact silence.
    EXPECT_TRUE(AllZero(ptest::PullAudio(44100)));
}

// The device block of the start-up log: (indentation, text) from the enumeration on.
std::vector<std::pair<int, std::string>> DeviceBlock(const std::string& log) {
    std::vector<std::pair<int, std::string>> lines = LogLines(log), block;
    bool in = false;
    for (const auto& line : lines) {
        if (line.second.find("DirectSound デバイスを列挙します") == 0) in = true;
        if (in) block.push_back(line);
        if (line.second.find("DirectSound の初期化は正常に終了しました") == 0) break;
    }
    return block;
}

TEST_F(SoundSystemTest, TheDeviceLogLineByLine) {
    using Lines = std::vector<std::pair<int, std::string>>;
    const Lines whole = {
        {1, "DirectSound デバイスを列挙します"},
        {2, "モジュール名:" + std::string(15, ' ') + "  ドライバ記述:Primary Sound Driver "},
        {2, "モジュール名:" + std::string(11, ' ') + "null  ドライバ記述:Null Audio Device "},
        {1, "最大サンプリングレート:200.00KHz 最小サンプリングレート:0.10KHz "},
        {1, "総サウンドメモリ領域:0.00KB 空きサウンドメモリ領域:0.00KB "},
        {0, ""},
        {1, "利用可能サンプリング精度"},
        {1, " プライマリ １６bit = OK  ８bit = OK "},
        {1, " セカンダリ １６bit = OK  ８bit = OK "},
        {0, ""},
        {1, "利用可能チャンネル"},
        {1, " プライマリ MONO = OK  STEREO = OK "},
        {1, " セカンダリ MONO = OK  STEREO = OK "},
        {0, ""},
        {0, "DirectSound の初期化は正常に終了しました"},
    };
    Start();
    EXPECT_EQ(DeviceBlock(Log()), whole);

    struct Case {
        const char* fault;
        const char* line;
    };
    for (const Case& c : {Case{"LoadLibraryA:DSOUND.DLL", "DSOUND.DLL のロードに失敗しました"},
                          Case{"GetProcAddress:DirectSoundEnumerateA",
                               "DirectSound デバイスの列挙用関数のポインタ取得に失敗しました"}}) {
        SCOPED_TRACE(c.fault);
        TerminateSoundSystem();
        CreateLogFile();
        ptest::FailCall(c.fault);
        ASSERT_EQ(InitializeSoundSystem(), 0);
        const Lines want = {{1, "DirectSound デバイスを列挙します"}, {2, c.line}, {0, "DirectSound の初期化は正常に終了しました"}};
        EXPECT_EQ(DeviceBlock(Log()), want);
        EXPECT_EQ(g_windowSystem.logIndent, 0);
    }
}

TEST_F(SoundSystemTest, ThePrimaryFormatFollowsTheCapsUpTo44100Hz) {
    DSCAPS caps = {};
    caps.dwFlags = DSCAPS_PRIMARYMONO | DSCAPS_PRIMARY8BIT | DSCAPS_SECONDARYMONO | DSCAPS_SECONDARY16BIT;
    caps.dwMinSecondarySampleRate = 100;
    caps.dwMaxSecondarySampleRate = 48000;
    ptest::OverrideSoundCaps(&caps);
    Start();
    EXPECT_EQ(ptest::GetAudioOutputFormat().rate, 44100);
    EXPECT_EQ(ptest::GetAudioOutputFormat().channels, 1);
    EXPECT_EQ(ptest::GetAudioOutputFormat().bits, 8);
}

TEST_F(SoundSystemTest, ModeZeroStartLog) {
    Start();
    std::vector<std::string> texts;
    for (const auto& line : LogLines(Log())) texts.push_back(line.second);
    ASSERT_GE(texts.size(), 3u);
    EXPECT_EQ(texts[0], "DirectSound の初期化を行います");
    EXPECT_EQ(texts[1], "DirectSound インターフェースの取得を行います....  成功");
    EXPECT_EQ(texts[2], "引き続きインターフェースの初期化処理...  成功");
    EXPECT_EQ(ptest::GetAudioOutputFormat().rate, 44100);
    EXPECT_EQ(ptest::GetAudioOutputFormat().channels, 2);
    ASSERT_EQ(TerminateSoundSystem(), 0);
    EXPECT_NE(Log().find("DirectSound の終了処理は正常に終了しました\r\n"), std::string::npos);
    EXPECT_EQ(TerminateSoundSystem(), -1);
    EXPECT_EQ(LiveBlocks(), 0);
}

}  // namespace

}  // namespace QzSoundSystem_test
