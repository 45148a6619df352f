// QzSoundMusic.cpp: the music table (kind 11, 256 slots), playing through MCI (mode 0)
// or DirectMusic segments (mode 1), the end-of-song notice and the play-state poll, and
// the single music file. Under the library lock.
//
// Mode 0 keeps one song open at a time: a play stops the last one, writes the file image
// to a new "tmp" file and opens it on the "sequencer"; the temporary file lives until the
// stop, the end of a play-and-wait, the next play or the end of sound. Mode 1 counts a
// song as playing from its play until the performance has been seen playing it and then
// not; a segment not seen playing within two seconds of its play counts as stopped, so a
// play-and-wait always ends.
#include "QzSoundMusic.h"

#include <cstring>

#include "QzSoundData.h"
#include "QzSoundDecoderKinds.h"
#include "QzSoundSystem.h"
#include "QzWinFileAccess.h"
#include "QzWinFileTemp.h"
#include "QzWinLog.h"
#include "QzWinMemory.h"
#include "QzWinMessage.h"
#include "QzWinTime.h"
#include "QzWinWindow.h"

namespace {

constexpr int kStopPumpPasses = 5;

bool MusicMode() { return g_soundSystem.systemMode == 1; }

MusicData* GetMusicData(int handle) {
    if (!IsSoundStarted()) return nullptr;
    return static_cast<MusicData*>(GetHandleRecord(GetMusicTable(), handle));
}

void CloseMciSong() { mciSendCommandA(g_soundSystem.mci.mciDeviceId, MCI_CLOSE, 0, 0); }

void DeleteTempFileIfInUse() {
    MciState& mci = g_soundSystem.mci;
    if (mci.tempFileInUse == 1) {
        DeleteFileA(mci.tempFileName);
        mci.tempFileInUse = 0;
    }
}

// Mode 0: the image to a new temporary file, opened and played on the sequencer. 0 or -1.
int PlayThroughMci(MusicData* music) {
    MciState& mci = g_soundSystem.mci;
    if (mci.tempFileName[0] != '\0') DeleteFileA(mci.tempFileName);
    mci.tempFileName[0] = '\0';
    HANDLE file = CreateTemporaryFile(mci.tempFileName);
    if (file == nullptr || file == INVALID_HANDLE_VALUE) return -1;
    DWORD written = 0;
    WriteFile(file, music->fileImage, static_cast<DWORD>(music->fileSize), &written, nullptr);
    CloseHandle(file);

    MCI_OPEN_PARMSA open;
    std::memset(&open, 0, sizeof open);
    open.lpstrDeviceType = "sequencer";
    open.lpstrElementName = mci.tempFileName;
    if (mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT, reinterpret_cast<DWORD_PTR>(&open)) != 0) {
        DeleteFileA(mci.tempFileName);
        return -1;
    }
    mci.mciDeviceId = open.wDeviceID;
    MCI_STATUS_PARMS status;
    std::memset(&status, 0, sizeof status);
    status.dwItem = MCI_SEQ_STATUS_PORT;
    if (mciSendCommandA(mci.mciDeviceId, MCI_STATUS, MCI_STATUS_ITEM, reinterpret_cast<DWORD_PTR>(&status)) != 0) {
        CloseMciSong();
        WriteLog("ＭＩＤＩ演奏開始処理でエラーが起きました１\n");
        DeleteFileA(mci.tempFileName);
        return -1;
    }
    if ((status.dwReturn & 0xFFFF) != MIDI_MAPPER) {
        CloseMciSong();
        return WriteLog("ＭＩＤＩ演奏開始処理でエラーが起きました２\n");
    }
    MCI_PLAY_PARMS play;
    std::memset(&play, 0, sizeof play);
    play.dwCallback = reinterpret_cast<DWORD_PTR>(GetMainWindowHwnd());
    if (mciSendCommandA(mci.mciDeviceId, MCI_PLAY, MCI_NOTIFY, reinterpret_cast<DWORD_PTR>(&play)) != 0) {
        CloseMciSong();
        return WriteLog("ＭＩＤＩ演奏に失敗しました\n");
    }
    mci.tempFileInUse = 1;
    return 0;
}

}  // namespace

int AddMusicData() {
    if (!IsSoundStarted()) return -1;
    HandleTable* table = GetMusicTable();
    const int slot = ChooseHandleSlot(table);
    if (slot < 0) return WriteLog("ミュージックデータの数が許容量を越えました終了します");
    auto* music = static_cast<MusicData*>(AllocZeroedMemory(sizeof(MusicData), kSoundAllocName, __LINE__));
    if (music == nullptr) return WriteLogFormat("メモリ領域の確保に失敗しました in AddMusicData");
    return TakeHandleSlot(table, slot, music);
}

int LoadMusicMem(const char* path) {
    if (!IsSoundStarted()) return -1;
    FileHandle file = FileAccessOpen(path, 0, 0);
    if (file == 0) return WriteLogFormat("ミュージックファイル %s の読み込みに失敗しました in LoadMusicMem", path);
    FileAccessSeek(file, 0, kSeekFromEnd);
    const int size = FileAccessTell(file);
    FileAccessSeek(file, 0, kSeekFromStart);
    void* data = size >= 0 ? AllocMemory(size > 0 ? size : 1, kSoundAllocName, __LINE__) : nullptr;
    if (data == nullptr) {
        FileAccessClose(file);
        return WriteLogFormat("ミュージックファイル %s を読み込むメモリ領域の確保に失敗しました in LoadMusicMem", path);
    }
    // Items of one byte: only the bytes that really came are handed on.
    int got = size > 0 ? FileAccessRead(data, 1, size, file) : 0;
    FileAccessClose(file);
    if (got < 0) got = 0;
    const int handle = CreateMusicDataFromMemory(data, got > size ? size : got);
    FreeMemory(data);
    return handle;
}

int CreateMusicDataFromMemory(const void* data, int size) {
    if (!IsSoundStarted() || data == nullptr || size < 0) return -1;
    const int handle = AddMusicData();
    if (handle == -1) return -1;
    MusicData* music = GetMusicData(handle);
    music->fileImage = AllocMemory(size > 0 ? size : 1, kSoundAllocName, __LINE__);
    if (music->fileImage == nullptr) {
        WriteLog("ミュージックデータを一時的に保存しておくメモリ領域の確保に失敗しました\n");
        DeleteMusicData(handle);
        return -1;
    }
    if (size > 0) std::memcpy(music->fileImage, data, static_cast<size_t>(size));
    music->fileSize = size;
    SoundSystemState& s = g_soundSystem;
    if (MusicMode()) {
        DMUS_OBJECTDESC desc;
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        desc.dwValidData = DMUS_OBJ_CLASS | DMUS_OBJ_MEMORY;
        desc.guidClass = CLSID_DirectMusicSegment;
        desc.pbMemData = static_cast<LPBYTE>(music->fileImage);
        desc.llMemLength = size;
        if (s.musicLoader == nullptr ||
            FAILED(s.musicLoader->GetObject(&desc, IID_IDirectMusicSegment8, reinterpret_cast<void**>(&music->segment))) ||
            music->segment == nullptr) {
            music->segment = nullptr;
            WriteLog("ミュージックデータから DirectMusicSegment8 を取得する処理が失敗しました\n");
            DeleteMusicData(handle);
            return -1;
        }
        music->segment->SetParam(GUID_StandardMIDIFile, 0xFFFFFFFF, 0, 0, nullptr);
        music->segment->Download(s.musicPerformance);
    }
    music->isPlaying = 0;
    return handle;
}

int DeleteMusicData(int handle) {
    MusicData* music = GetMusicData(handle);
    if (music == nullptr) return -1;
    if (IsMusicHandlePlaying(handle) == 1) StopMusicHandle(handle);
    // Stopping pumps messages; the record may be gone by now.
    music = GetMusicData(handle);
    if (music == nullptr) return 0;
    FreeMemory(music->fileImage);
    if (music->segment != nullptr) {
        if (g_soundSystem.musicPerformance != nullptr) music->segment->Unload(g_soundSystem.musicPerformance);
        music->segment->Release();
    }
    FreeMemory(music);
    ReleaseHandleSlot(GetMusicTable(), GetHandleSlot(handle));
    return 0;
}

int DeleteAllMusicData() {
    if (!IsSoundStarted()) return -1;
    HandleTable* table = GetMusicTable();
    for (int slot = 0; slot < table->size; slot++)
        if (table->records[slot] != nullptr) DeleteMusicData(GetSlotHandle(table, slot));
    return 0;
}

int PlayMusicHandle(int handle, int playType) {
    MusicData* music = GetMusicData(handle);
    if (music == nullptr) return -1;
    SoundSystemState& s = g_soundSystem;
    StopMusicHandle(s.mci.lastMusicHandle);
    music = GetMusicData(handle);
    if (music == nullptr) return -1;
    if (!MusicMode()) {
        if (PlayThroughMci(music) != 0) return -1;
    } else {
        if (music->segment == nullptr || s.musicPerformance == nullptr) return -1;
        music->segment->SetRepeats(playType == kPlayTypeLoop ? DMUS_SEG_REPEAT_INFINITE : 0);
        if (FAILED(s.musicPerformance->PlaySegmentEx(music->segment, nullptr, nullptr, DMUS_SEGF_REFTIME, 0, nullptr,
                                                     nullptr, nullptr)))
            return -1;
        s.mci.tempFileInUse = 0;
        music->playTime = static_cast<uint32_t>(GetMillisecondTime(0));
    }
    s.mci.mciPlaying = 1;
    s.mci.mciLoop = playType == kPlayTypeLoop ? 1 : 0;
    s.mci.lastMusicHandle = handle;
    music->isPlaying = 1;
    music->hasStarted = 0;
    if (playType == kPlayTypeWait) {
        while (ProcessMessage() == 0 && IsMusicHandlePlaying(handle) == 1) {
        }
        DeleteTempFileIfInUse();
    }
    return 0;
}

int HandleMciNotify() {
    MciState& mci = g_soundSystem.mci;
    if (mci.mciLoop == 1) {
        MCI_PLAY_PARMS play;
        std::memset(&play, 0, sizeof play);
        play.dwCallback = reinterpret_cast<DWORD_PTR>(GetMainWindowHwnd());
        play.dwFrom = 0;
        mciSendCommandA(mci.mciDeviceId, MCI_PLAY, MCI_NOTIFY | MCI_FROM, reinterpret_cast<DWORD_PTR>(&play));
        mci.mciPlaying = 1;
    } else if (mci.mciPlaying == 1) {
        CloseMciSong();
        mci.mciPlaying = 0;
    }
    return 0;
}

int HandleMciNotifyOf(uint32_t deviceId) {
    if (deviceId != g_soundSystem.mci.mciDeviceId)
        return 0;
    return HandleMciNotify();
}

int StopMusicHandle(int handle) {
    MusicData* music = GetMusicData(handle);
    if (music == nullptr) return -1;
    SoundSystemState& s = g_soundSystem;
    s.mci.mciLoop = 0;
    if (!MusicMode()) {
        HandleMciNotify();
        for (int i = 0; i < kStopPumpPasses; i++) ProcessMessage();
    } else if (music->segment != nullptr) {
        s.musicPerformance->StopEx(music->segment, 0, 0);
    }
    DeleteTempFileIfInUse();
    music = GetMusicData(handle);
    if (music != nullptr) {
        music->isPlaying = 0;
        music->hasStarted = 0;
    }
    return 0;
}

int IsMusicHandlePlaying(int handle) {
    MusicData* music = GetMusicData(handle);
    if (music == nullptr) return -1;
    if (!MusicMode()) return g_soundSystem.mci.mciPlaying;
    return music->isPlaying;
}

int UpdateMusicPlayState() {
    if (!IsSoundStarted()) return -1;
    if (!MusicMode()) return 0;
    SoundSystemState& s = g_soundSystem;
    HandleTable* table = GetMusicTable();
    for (int slot = 0; slot < table->highWater; slot++) {
        auto* music = static_cast<MusicData*>(table->records[slot]);
        if (music == nullptr || !music->isPlaying || music->segment == nullptr) continue;
        const bool playing = s.musicPerformance->IsPlaying(music->segment, nullptr) == S_OK;
        if (music->hasStarted == 0) {
            if (playing)
                music->hasStarted = 1;
            else if (static_cast<uint32_t>(GetMillisecondTime(0)) - music->playTime >= kMusicStartTimeoutMs)
                music->isPlaying = 0;  // never started: it will not now
        } else {
            music->isPlaying = playing ? 1 : 0;
        }
    }
    return 0;
}

int PlaySingleMusicFile(const char* path, int playType) {
    SoundSystemState& s = g_soundSystem;
    if (s.singleMusicHandle != 0) {
        if (s.singleMusicIsSound)
            DeleteSoundData(s.singleMusicHandle, 0);
        else
            DeleteMusicData(s.singleMusicHandle);
        s.singleMusicHandle = 0;
        s.singleMusicIsSound = 0;
    }
    const int music = LoadMusicMem(path);
    if (music == -1) return -1;
    s.singleMusicHandle = music;
    s.singleMusicIsSound = 0;
    if (PlayMusicHandle(music, playType) == 0) return 0;
    DeleteMusicData(music);
    s.singleMusicHandle = 0;
    // Not playable as music: the same file as a stream sound.
    const int savedType = s.createType;
    s.createType = 2;
    const int sound = LoadFileToSound(path, 1);
    s.createType = savedType;
    if (sound == -1) return -1;
    s.singleMusicHandle = sound;
    s.singleMusicIsSound = 1;
    return PlaySoundHandle(sound, playType, 1);
}

int StopSingleMusicFile() {
    SoundSystemState& s = g_soundSystem;
    if (s.singleMusicHandle == 0) return 0;
    if (s.singleMusicIsSound) {
        StopSoundHandle(s.singleMusicHandle);
        DeleteSoundData(s.singleMusicHandle, 0);
    } else {
        StopMusicHandle(s.singleMusicHandle);
        DeleteMusicData(s.singleMusicHandle);
    }
    s.singleMusicHandle = 0;
    s.singleMusicIsSound = 0;
    return 0;
}

void DeleteMusicTempFile() {
    MciState& mci = g_soundSystem.mci;
    if (mci.tempFileName[0] != '\0') DeleteFileA(mci.tempFileName);
    mci.tempFileName[0] = '\0';
    mci.tempFileInUse = 0;
}
