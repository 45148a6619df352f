// QzSoundSystem.cpp: starting and ending the sound system in its two modes, the beep and
// keep-alive buffers, the device log, and mode changes. Main thread under the library
// lock (the message thread never starts or ends sound).
//
// Start-up: mode 1 makes the DirectMusic loader, performance and (for the port log)
// DirectMusic, then lets the performance's InitAudio make the DirectSound object; without
// a loader it falls back to mode 0 for good. Mode 0 makes DirectSound itself with a
// primary buffer in the device's best format up to 44100 Hz. Both then make the beep
// buffer, start the silent keep-alive loop and log the devices.
#include "QzSoundSystem.h"

#include <cmath>
#include <cstring>

#include "QzSoundMusic.h"
#include "QzWinLog.h"
#include "QzWinWindow.h"

SoundSystemState g_soundSystem;

namespace {

constexpr int kBeepRate = 44100;
constexpr int kBeepBytes = 88200;  // one second, 16-bit mono
constexpr int kBeepFrequency = 8000;
constexpr DWORD kCopyFlags = 0x80E2;       // global focus, volume, pan, frequency, static
constexpr DWORD kKeepAliveFlags = 0x8002;  // global focus, static
constexpr int kKeepAliveBytes = 400;       // 100 frames of 16-bit stereo

template <typename T>
void ReleaseInto(T*& object) {
    if (object != nullptr) object->Release();
    object = nullptr;
}

WAVEFORMATEX PcmFormat(int rate, int channels, int bits) {
    WAVEFORMATEX f;
    std::memset(&f, 0, sizeof f);
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = static_cast<WORD>(channels);
    f.nSamplesPerSec = static_cast<DWORD>(rate);
    f.wBitsPerSample = static_cast<WORD>(bits);
    f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    f.nAvgBytesPerSec = f.nSamplesPerSec * f.nBlockAlign;
    return f;
}

const char* OkNo(DWORD flags, DWORD flag) { return (flags & flag) ? "OK" : "NO"; }

// Mode 0 up to the primary format. 0, or -1 with nothing left made.
int StartDirectSound() {
    SoundSystemState& s = g_soundSystem;
    WriteLog("DirectSound の初期化を行います\n");
    WriteLog("DirectSound インターフェースの取得を行います....  ");
    IDirectSound* ds = nullptr;
    if (FAILED(CoCreateInstance(CLSID_DirectSound, nullptr, CLSCTX_ALL, IID_IDirectSound, reinterpret_cast<void**>(&ds))) ||
        ds == nullptr)
        return WriteLog("DirectSoundインターフェースの作成に失敗しました\n");
    WriteLog("成功\n");
    WriteLog("引き続きインターフェースの初期化処理...  ");
    if (FAILED(ds->Initialize(nullptr))) {
        ds->Release();
        return WriteLog("初期化に失敗しました\n");
    }
    WriteLog("成功\n");
    // No desktop window exists here; the level is what matters.
    if (FAILED(ds->SetCooperativeLevel(GetMainWindowHwnd(), DSSCL_PRIORITY))) {
        ds->Release();
        return WriteLog("DirectSoundの協調レベルの設定に失敗しました\n");
    }
    DSBUFFERDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
    IDirectSoundBuffer* primary = nullptr;
    if (FAILED(ds->CreateSoundBuffer(&desc, &primary, nullptr)) || primary == nullptr) {
        ds->Release();
        return WriteLog("DirectSoundのプライマリサウンドバッファの作成に失敗しました\n");
    }
    DSCAPS caps;
    std::memset(&caps, 0, sizeof caps);
    caps.dwSize = sizeof caps;
    ds->GetCaps(&caps);
    DWORD rate = caps.dwMaxSecondarySampleRate;
    if (rate > 44100) rate = 44100;
    const int channels = (caps.dwFlags & DSCAPS_PRIMARYSTEREO) ? 2 : 1;
    const int bits = (caps.dwFlags & DSCAPS_PRIMARY16BIT) ? 16 : 8;
    WAVEFORMATEX format = PcmFormat(static_cast<int>(rate), channels, bits);
    if (FAILED(primary->SetFormat(&format)))
        WriteLog("DirectSoundのプライマリサウンドバッファのフォーマット設定に失敗しました\n");
    s.directSound = ds;
    s.primaryBuffer = primary;
    return 0;
}

void ReleaseMusicObjects() {
    SoundSystemState& s = g_soundSystem;
    ReleaseInto(s.musicPerformance);
    ReleaseInto(s.musicLoader);
}

// Mode 1. 0, -1 with nothing left made, or 1 when there is no loader (go on in mode 0).
int StartDirectMusic() {
    SoundSystemState& s = g_soundSystem;
    WriteLog("DirectSound8 の初期化を行います\n");
    if (FAILED(CoCreateInstance(CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectMusicLoader8,
                                reinterpret_cast<void**>(&s.musicLoader))) ||
        s.musicLoader == nullptr) {
        s.musicLoader = nullptr;
        WriteLog("DirectMusicLoader8 オブジェクトの作成に失敗しました\n");
        WriteLog("前バージョンでの初期化処理に移ります\n");
        return 1;
    }
    if (FAILED(CoCreateInstance(CLSID_DirectMusicPerformance, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IDirectMusicPerformance8, reinterpret_cast<void**>(&s.musicPerformance))) ||
        s.musicPerformance == nullptr) {
        s.musicPerformance = nullptr;
        WriteLog("DirectMusicPerformance オブジェクトの作成に失敗しました\n");
        ReleaseMusicObjects();
        return -1;
    }
    IDirectMusic* music = nullptr;
    if (FAILED(CoCreateInstance(CLSID_DirectMusic, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectMusic,
                                reinterpret_cast<void**>(&music))) ||
        music == nullptr) {
        WriteLog("DirectMusic オブジェクトの取得に失敗しました\n");
        ReleaseMusicObjects();
        return -1;
    }
    IDirectMusic8* music8 = nullptr;
    if (FAILED(music->QueryInterface(IID_IDirectMusic8, reinterpret_cast<void**>(&music8))) || music8 == nullptr) {
        music->Release();
        WriteLog("DirectMusic8 オブジェクトの取得に失敗しました\n");
        ReleaseMusicObjects();
        return -1;
    }
    for (DWORD index = 0;; index++) {
        DMUS_PORTCAPS caps;
        std::memset(&caps, 0, sizeof caps);
        caps.dwSize = sizeof caps;
        const HRESULT result = music8->EnumPort(index, &caps);
        if (result == S_FALSE || FAILED(result)) break;
        char name[256];
        if (WideCharToMultiByte(CP_ACP, 0, caps.wszDescription, -1, name, sizeof name, nullptr, nullptr) <= 0)
            name[0] = '\0';
        name[sizeof name - 1] = '\0';
        WriteLogFormat("%s  Device%d:%s ", caps.dwClass == DMUS_PC_OUTPUTCLASS ? "出力ポート" : "入力ポート",
                       static_cast<int>(index), name);
    }
    music8->Release();
    music->Release();

    DMUS_AUDIOPARAMS params;
    std::memset(&params, 0, sizeof params);
    params.dwSize = sizeof params;
    params.fInitNow = TRUE;
    params.dwValidData = DMUS_AUDIOPARAMS_FEATURES | DMUS_AUDIOPARAMS_SAMPLERATE;
    params.dwFeatures = DMUS_AUDIOF_ALL;
    params.dwSampleRate = 44100;
    IDirectMusic* made = nullptr;
    IDirectSound* ds = nullptr;
    if (FAILED(s.musicPerformance->InitAudio(&made, &ds, nullptr, DMUS_APATH_SHARED_STEREOPLUSREVERB, 64,
                                             DMUS_AUDIOF_ALL, &params)) ||
        ds == nullptr) {
        if (made != nullptr) made->Release();
        if (ds != nullptr) ds->Release();
        WriteLog("DirectMusicPerformanceオブジェクトの初期化に失敗しました\n");
        ReleaseMusicObjects();
        return -1;
    }
    // The DirectMusic object InitAudio makes is not used further.
    if (made != nullptr) made->Release();
    s.directSound = ds;
    return 0;
}

void StartKeepAliveBuffer() {
    SoundSystemState& s = g_soundSystem;
    WAVEFORMATEX format = PcmFormat(44100, 2, 16);
    DSBUFFERDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = kKeepAliveFlags;
    desc.dwBufferBytes = kKeepAliveBytes;
    desc.lpwfxFormat = &format;
    IDirectSoundBuffer* buffer = nullptr;
    if (FAILED(s.directSound->CreateSoundBuffer(&desc, &buffer, nullptr)) || buffer == nullptr) {
        WriteLog("無音バッファの作成に失敗しました");
        return;
    }
    void* part1 = nullptr;
    void* part2 = nullptr;
    DWORD bytes1 = 0, bytes2 = 0;
    if (FAILED(buffer->Lock(0, kKeepAliveBytes, &part1, &bytes1, &part2, &bytes2, 0))) {
        WriteLog("無音バッファのロックに失敗しました");
        buffer->Release();
        return;
    }
    if (part1 != nullptr) std::memset(part1, 0, bytes1);
    if (part2 != nullptr) std::memset(part2, 0, bytes2);
    buffer->Unlock(part1, bytes1, part2, bytes2);
    buffer->Play(0, 0, DSBPLAY_LOOPING);
    s.keepAliveBuffer = buffer;
}

void LogSoundDevices() {
    SoundSystemState& s = g_soundSystem;
    IndentLog();
    DSCAPS caps;
    std::memset(&caps, 0, sizeof caps);
    caps.dwSize = sizeof caps;
    s.directSound->GetCaps(&caps);
    WriteLog("DirectSound デバイスを列挙します\n");
    IndentLog();
    HMODULE module = LoadLibraryA("DSOUND.DLL");
    if (module == nullptr) {
        WriteLog("DSOUND.DLL のロードに失敗しました\n");
        UnindentLog();
        UnindentLog();
        return;
    }
    auto enumerate = reinterpret_cast<HRESULT(WINAPI*)(LPDSENUMCALLBACKA, LPVOID)>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, "DirectSoundEnumerateA")));
    if (enumerate == nullptr) {
        WriteLog("DirectSound デバイスの列挙用関数のポインタ取得に失敗しました\n");
        UnindentLog();
        UnindentLog();
        FreeLibrary(module);
        return;
    }
    enumerate(EnumSoundDeviceCallback, nullptr);
    UnindentLog();
    WriteLogFormat("最大サンプリングレート:%.2fKHz 最小サンプリングレート:%.2fKHz ",
                   caps.dwMaxSecondarySampleRate / 1000.0, caps.dwMinSecondarySampleRate / 1000.0);
    WriteLogFormat("総サウンドメモリ領域:%.2fKB 空きサウンドメモリ領域:%.2fKB \n", caps.dwTotalHwMemBytes / 1024.0,
                   caps.dwFreeHwMemBytes / 1024.0);
    WriteLog("利用可能サンプリング精度\n");
    WriteLogFormat(" プライマリ １６bit = %s  ８bit = %s ", OkNo(caps.dwFlags, DSCAPS_PRIMARY16BIT),
                   OkNo(caps.dwFlags, DSCAPS_PRIMARY8BIT));
    WriteLogFormat(" セカンダリ １６bit = %s  ８bit = %s \n", OkNo(caps.dwFlags, DSCAPS_SECONDARY16BIT),
                   OkNo(caps.dwFlags, DSCAPS_SECONDARY8BIT));
    WriteLog("利用可能チャンネル\n");
    WriteLogFormat(" プライマリ MONO = %s  STEREO = %s ", OkNo(caps.dwFlags, DSCAPS_PRIMARYMONO),
                   OkNo(caps.dwFlags, DSCAPS_PRIMARYSTEREO));
    WriteLogFormat(" セカンダリ MONO = %s  STEREO = %s \n", OkNo(caps.dwFlags, DSCAPS_SECONDARYMONO),
                   OkNo(caps.dwFlags, DSCAPS_SECONDARYSTEREO));
    UnindentLog();
    FreeLibrary(module);
}

// A table of the sound system, its slots tied in on first use.
HandleTable* ReadyTable(HandleTable* table, int kind, int size, void** slots) {
    if (table->records == nullptr) {
        table->kind = kind;
        table->size = size;
        table->records = slots;
    }
    return table;
}

}  // namespace

HandleTable* GetSoundTable() {
    return ReadyTable(&g_soundSystem.soundTable, kHandleKindSound, kSoundTableSize, g_soundSystem.soundSlots);
}

HandleTable* GetMusicTable() {
    return ReadyTable(&g_soundSystem.musicTable, kHandleKindMusic, kMusicTableSize, g_soundSystem.musicSlots);
}

BOOL CALLBACK EnumSoundDeviceCallback(LPGUID, LPCSTR description, LPCSTR module, LPVOID) {
    WriteLogFormat("モジュール名:%15s  ドライバ記述:%s ", module != nullptr ? module : "",
                   description != nullptr ? description : "");
    return TRUE;
}

int CreateBeepBuffer(int frequency) {
    SoundSystemState& s = g_soundSystem;
    if (s.directSound == nullptr) return -1;
    // The period in whole samples is the divisor below: at least one, within the rate.
    if (frequency <= 0 || frequency > kBeepRate) return -1;
    WAVEFORMATEX format = PcmFormat(kBeepRate, 1, 16);
    DSBUFFERDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = kCopyFlags;
    desc.dwBufferBytes = kBeepBytes;
    desc.lpwfxFormat = &format;
    IDirectSoundBuffer* buffer = nullptr;
    if (FAILED(s.directSound->CreateSoundBuffer(&desc, &buffer, nullptr)) || buffer == nullptr)
        return WriteLog("ビープ用DirectSoundのプライマリサウンドバッファの作成に失敗しました\n");
    ReleaseInto(s.beepBuffer);
    s.beepBuffer = buffer;
    void* parts[2] = {nullptr, nullptr};
    DWORD sizes[2] = {0, 0};
    if (FAILED(buffer->Lock(0, kBeepBytes, &parts[0], &sizes[0], &parts[1], &sizes[1], 0))) return -1;
    const int period = kBeepRate / frequency;
    const double exactPeriod = static_cast<double>(kBeepRate) / frequency;
    int i = 0;
    for (int part = 0; part < 2; part++) {
        int16_t* samples = static_cast<int16_t*>(parts[part]);
        if (samples == nullptr) continue;
        for (DWORD k = 0; k < sizes[part] / 2; k++, i++)
            samples[k] = static_cast<int16_t>(std::sin(2.0 * M_PI * (i % period) / exactPeriod) * 32764.0);
    }
    buffer->Unlock(parts[0], sizes[0], parts[1], sizes[1]);
    return 0;
}

int InitializeSoundSystem() {
    SoundSystemState& s = g_soundSystem;
    if (s.directSound != nullptr) return -1;
    int started = -1;
    if (s.systemMode == 1) {
        started = StartDirectMusic();
        if (started == 1) s.systemMode = 0;  // no DirectMusic here: mode 0 for good
    }
    if (s.systemMode != 1) started = StartDirectSound();
    if (started != 0) return -1;

    CreateBeepBuffer(kBeepFrequency);
    StartKeepAliveBuffer();
    s.createType = 0;
    InitHandleList(&s.streamList[0], &s.streamList[1]);
    LogSoundDevices();
    WriteLog("DirectSound の初期化は正常に終了しました\n");
    DeleteAllSounds(0);
    return 0;
}

int TerminateSoundSystem() {
    SoundSystemState& s = g_soundSystem;
    if (s.directSound == nullptr) return -1;
    DeleteAllSounds(0);
    DeleteAllMusicData();
    DeleteMusicTempFile();
    s.singleMusicHandle = 0;
    s.singleMusicIsSound = 0;
    if (s.musicPerformance != nullptr) {
        s.musicPerformance->Stop(nullptr, nullptr, 0, 0);
        s.musicPerformance->CloseDown();
    }
    ReleaseMusicObjects();
    if (s.primaryBuffer != nullptr) s.primaryBuffer->Stop();
    ReleaseInto(s.primaryBuffer);
    if (s.keepAliveBuffer != nullptr) s.keepAliveBuffer->Stop();
    ReleaseInto(s.keepAliveBuffer);
    ReleaseInto(s.beepBuffer);
    ReleaseInto(s.directSound);
    WriteLog("DirectSound の終了処理は正常に終了しました\n");
    return 0;
}

int SetSoundSystemMode(int mode) {
    SoundSystemState& s = g_soundSystem;
    if (mode == s.systemMode) return 0;
    s.systemMode = mode;
    if (s.directSound == nullptr) return 0;
    TerminateSoundSystem();
    return InitializeSoundSystem();
}

int GetSoundSystemMode() { return g_soundSystem.systemMode; }
