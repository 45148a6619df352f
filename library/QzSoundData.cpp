// QzSoundData.cpp: the sound table (kind 2, 4096 slots), buffer copies, loading a whole
// sound from a file or a memory image, deletion, play, stop, the playing test, volume,
// the single sound file and SplitPathAndFileName. Stream sounds share the record and the
// table; their own work is in QzSoundStream.cpp. Under the library lock.
//
// Loading decodes the whole file to PCM once and copies it into the first buffer; the
// other copies are duplicates sharing its memory. A PCM WAVE needs no decoding: its
// samples go from the image straight into the buffer, and the record keeps no second
// copy of what the buffer already holds (pcmData stays null). Each play moves on to the
// next copy, cyclically, so one effect overlaps itself up to the number of copies.
#include "QzSoundData.h"

#include <cstring>

#include "QzSoundDecoderKinds.h"
#include "QzSoundStream.h"
#include "QzSoundSystem.h"
#include "QzWinLog.h"
#include "QzWinMemory.h"
#include "QzWinMessage.h"

namespace {

constexpr DWORD kCopyFlags = 0x80E2;      // global focus, volume, pan, frequency, static
constexpr DWORD kCopyFlagsRetry = 0xC2;   // volume, pan, static
constexpr DWORD kRingFlags = 0x180E2;     // the copy flags and the precise play cursor
constexpr int kRingSeconds = 6;

bool IsPlaying(IDirectSoundBuffer* buffer, bool* failed) {
    DWORD status = 0;
    if (FAILED(buffer->GetStatus(&status))) {
        *failed = true;
        return false;
    }
    return (status & DSBSTATUS_PLAYING) != 0;
}

// Copies the PCM into every copy (they share memory, but each is written as its own).
int FillSoundCopies(SoundData* sound, const void* samples) {
    for (int i = 0; i < sound->bufferCount; i++) {
        void* part[2] = {nullptr, nullptr};
        DWORD bytes[2] = {0, 0};
        if (FAILED(sound->buffers[i]->Lock(0, static_cast<DWORD>(sound->pcmSize), &part[0], &bytes[0], &part[1],
                                           &bytes[1], 0)))
            return WriteLogFormat("サウンドデータの転送に失敗しました_1");
        const uint8_t* from = static_cast<const uint8_t*>(samples);
        DWORD first = bytes[0] < static_cast<DWORD>(sound->pcmSize) ? bytes[0] : static_cast<DWORD>(sound->pcmSize);
        if (part[0] != nullptr) std::memcpy(part[0], from, first);
        DWORD second = static_cast<DWORD>(sound->pcmSize) - first;
        if (second > bytes[1]) second = bytes[1];
        if (part[1] != nullptr && second > 0) std::memcpy(part[1], from + first, second);
        if (FAILED(sound->buffers[i]->Unlock(part[0], bytes[0], part[1], bytes[1])))
            return WriteLogFormat("サウンドデータの転送に失敗しました_2");
    }
    return 0;
}

}  // namespace

SoundData* GetSoundData(int handle) {
    if (!IsSoundStarted()) return nullptr;
    return static_cast<SoundData*>(GetHandleRecord(GetSoundTable(), handle));
}

int AddSoundData(int handle) {
    if (!IsSoundStarted()) return -1;
    HandleTable* table = GetSoundTable();
    int slot = -1;
    if (handle != -1) {
        // Only a sound handle names a slot of this table.
        if (handle < 0 || GetHandleKind(handle) != kHandleKindSound || GetHandleSlot(handle) >= kSoundTableSize)
            return -1;
        if (table->records[GetHandleSlot(handle)] == nullptr) slot = GetHandleSlot(handle);
    }
    const bool given = slot >= 0;
    if (!given) {
        slot = ChooseHandleSlot(table);
        if (slot < 0) return WriteLog("サウンドの数が許容量を越えました\n");
    }
    auto* sound = static_cast<SoundData*>(AllocZeroedMemory(sizeof(SoundData), kSoundAllocName, __LINE__));
    if (sound == nullptr) return WriteLogFormat("メモリ領域の確保に失敗しました in AddSoundData");
    if (!given) return TakeHandleSlot(table, slot, sound);
    // The handle's own slot and check number; the counter stays. The high-water index
    // still covers the slot, or the rule would later hand the same slot out again.
    sound->checkNumber = GetHandleCheck(handle);
    table->records[slot] = sound;
    table->count++;
    if (slot >= table->highWater) table->highWater = slot + 1;
    return handle;
}

int AlignDownToFormatBlock(int bytes, const WAVEFORMATEX* format) {
    if (format->nBlockAlign == 0) return bytes;
    return bytes - bytes % format->nBlockAlign;
}

int AlignDownToSoundBlock(int bytes, SoundData* sound) { return AlignDownToFormatBlock(bytes, &sound->format); }

int CreateSoundDataBuffers(const WAVEFORMATEX* format, int bytes, int kind, int count, int handle) {
    SoundData* sound = GetSoundData(handle);
    if (sound == nullptr || format == nullptr) return -1;
    SoundSystemState& s = g_soundSystem;
    WAVEFORMATEX f = *format;
    DSBUFFERDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.lpwfxFormat = &f;
    if (kind == 0) {
        desc.dwFlags = kCopyFlags;
        desc.dwBufferBytes = static_cast<DWORD>(bytes);
        IDirectSoundBuffer* first = nullptr;
        if (FAILED(s.directSound->CreateSoundBuffer(&desc, &first, nullptr)) || first == nullptr) {
            desc.dwFlags = kCopyFlagsRetry;
            first = nullptr;
            if (FAILED(s.directSound->CreateSoundBuffer(&desc, &first, nullptr)) || first == nullptr)
                ExitWithFatalError("DirectSoundBuffer の作成に失敗しました");
        }
        sound->buffers[0] = first;
        int made = 1;
        for (; made < count && made < kMaxSoundCopies; made++) {
            IDirectSoundBuffer* copy = nullptr;
            if (FAILED(s.directSound->DuplicateSoundBuffer(first, &copy)) || copy == nullptr) break;
            sound->buffers[made] = copy;
        }
        sound->bufferCount = made;
    } else {
        desc.dwFlags = kRingFlags;
        desc.dwBufferBytes = static_cast<DWORD>(kRingSeconds) * format->nAvgBytesPerSec;
        IDirectSoundBuffer* ring = nullptr;
        if (FAILED(s.directSound->CreateSoundBuffer(&desc, &ring, nullptr)) || ring == nullptr)
            ExitWithFatalError("ストリーム風サウンドバッファの作成に失敗しました");
        sound->buffers[0] = ring;
        sound->bufferCount = 1;
    }
    sound->bytesPerSecond = static_cast<int32_t>(format->nAvgBytesPerSec);
    sound->isStream = kind;
    if (kind == 1) InsertHandleListNode(&s.streamList[0], &sound->listNode, handle, sound);
    return 0;
}

int LoadFileToSound(const char* path, int copies) { return CreateSoundDataFromFile(path, copies); }

int CreateSoundDataFromFile(const char* path, int copies) {
    if (!IsSoundStarted()) return -1;
    // Without a copy a later play would have no buffer to move on to.
    if (copies < 1) return -1;
    if (copies > kMaxSoundCopies) copies = kMaxSoundCopies;
    SoundSystemState& s = g_soundSystem;
    if (s.createType == 0) {
        void* image = nullptr;
        int size = 0;
        if (ReadSoundFileToMemory(path, &image, &size) != 0)
            return WriteLogFormat("右記の音声ファイルのロードに失敗しました_1：%s", path);
        int handle = CreateSoundDataFromMemory(image, size, copies);
        if (handle == -1) WriteLogFormat("右記の音声ファイルのロードに失敗しました_2：%s", path);
        FreeMemory(image);
        return handle;
    }
    int handle = AddSoundData(-1);
    if (handle == -1) return -1;
    if (AddFileToStreamSound(path, 0, handle, s.createType) != 0 || PrepareStreamSound(handle) != 0) {
        DeleteSoundData(handle, 0);
        return -1;
    }
    return handle;
}

int CreateSoundDataFromMemory(const void* image, int size, int copies) {
    if (!IsSoundStarted()) return -1;
    if (copies > kMaxSoundCopies || copies < 1 || image == nullptr || size < 0) return -1;
    SoundSystemState& s = g_soundSystem;
    int handle = AddSoundData(-1);
    if (handle == -1) return -1;
    if (s.createType != 0) {
        if (AddMemoryToStreamSound(image, size, 0, handle, s.createType) != 0 || PrepareStreamSound(handle) != 0) {
            DeleteSoundData(handle, 0);
            return -1;
        }
        return handle;
    }

    MemoryStream* memory = OpenMemoryStream(image, size);
    if (memory == nullptr) {
        DeleteSoundData(handle, 0);
        return -1;
    }
    ReadStream stream;
    MakeMemoryReadStream(&stream, memory);
    auto* decoder = static_cast<SoundDecoder*>(AllocZeroedMemory(sizeof(SoundDecoder), kSoundAllocName, __LINE__));
    WAVEFORMATEX format;
    void* pcm = nullptr;
    const void* samples = nullptr;
    int pcmSize = 0;
    bool ok = false;
    if (decoder == nullptr) {
        WriteLogFormat("音声ファイルのＰＣＭへの変換に失敗しました");
    } else if (OpenSoundDecoder(&stream, decoder) != 0) {
        WriteLogFormat("音声ファイルのＰＣＭへの変換に失敗しました");
    } else {
        const bool found = FindWholePcmInImage(decoder, image, size, &format, &samples, &pcmSize) == 0;
        if (!found && DecodeWholeSound(decoder, &format, &pcm, &pcmSize) != 0)
            WriteLogFormat("音声ファイルを格納するメモリ領域の確保に失敗しました");
        // A buffer holds DSBSIZE_MIN to DSBSIZE_MAX bytes: anything else is no sound.
        else if (pcmSize < DSBSIZE_MIN || pcmSize > DSBSIZE_MAX)
            WriteLogFormat("音声ファイルのＰＣＭへの変換に失敗しました");
        else
            ok = true;
        if (!found) samples = pcm;
        CloseSoundDecoder(decoder);
    }
    FreeMemory(decoder);
    CloseMemoryStream(memory);
    if (!ok) {
        FreeMemory(pcm);
        DeleteSoundData(handle, 0);
        return -1;
    }
    CreateSoundDataBuffers(&format, pcmSize, 0, copies, handle);
    SoundData* sound = GetSoundData(handle);
    sound->format = format;
    sound->pcmData = pcm;
    sound->pcmSize = pcmSize;
    if (FillSoundCopies(sound, samples) != 0) {
        DeleteSoundData(handle, 0);
        return -1;
    }
    return handle;
}

int DeleteSoundData(int handle, int) {
    SoundData* sound = GetSoundData(handle);
    if (sound == nullptr) return -1;
    if (sound->buffers[0] != nullptr) StopSoundHandle(handle);
    if (sound->isStream) {
        RemoveHandleListNode(&sound->listNode);
        for (int i = 0; i < sound->sourceCount; i++) ReleaseStreamSource(sound, i);
    } else {
        FreeMemory(sound->pcmData);
    }
    for (int i = 0; i < sound->bufferCount; i++)
        if (sound->buffers[i] != nullptr) sound->buffers[i]->Release();
    FreeMemory(sound);
    ReleaseHandleSlot(GetSoundTable(), GetHandleSlot(handle));
    return 0;
}

int DeleteAllSounds(int) {
    if (!IsSoundStarted()) return -1;
    HandleTable* table = GetSoundTable();
    for (int slot = 0; slot < table->size; slot++)
        if (table->records[slot] != nullptr) DeleteSoundData(GetSlotHandle(table, slot), 0);
    g_soundSystem.singleSoundHandle = -1;
    return 0;
}

int PlaySoundHandle(int handle, int playType, int fromTop) {
    SoundData* sound = GetSoundData(handle);
    if (sound == nullptr) return -1;
    if (sound->isStream) return PlayStreamSound(handle, playType, fromTop);
    if (sound->bufferCount <= 0) return -1;
    DWORD cursor = 0;
    sound->buffers[sound->lastBuffer]->GetCurrentPosition(&cursor, nullptr);
    sound->lastBuffer++;
    if (sound->lastBuffer >= sound->bufferCount) sound->lastBuffer = 0;
    IDirectSoundBuffer* buffer = sound->buffers[sound->lastBuffer];
    bool failed = false;
    const bool playing = IsPlaying(buffer, &failed);
    if (failed) return -1;
    if (playing) {
        if (fromTop == 0) return 0;
        buffer->Stop();
    }
    buffer->SetCurrentPosition(fromTop == 1 ? 0 : cursor);
    if (FAILED(buffer->Play(0, 0, playType == kPlayTypeLoop ? DSBPLAY_LOOPING : 0))) return -1;
    if (playType == kPlayTypeWait) {
        while (ProcessMessage() == 0 && IsSoundHandlePlaying(handle) == 1) {
        }
    }
    return 0;
}

int StopSoundHandle(int handle) {
    SoundData* sound = GetSoundData(handle);
    if (sound == nullptr) return -1;
    if (sound->isStream) return StopStreamSound(handle);
    for (int i = 0; i < sound->bufferCount; i++) {
        bool failed = false;
        const bool playing = IsPlaying(sound->buffers[i], &failed);
        if (failed) return -1;
        if (playing) sound->buffers[i]->Stop();
    }
    return 0;
}

int IsSoundHandlePlaying(int handle) {
    SoundData* sound = GetSoundData(handle);
    if (sound == nullptr) return -1;
    if (sound->isStream) return IsStreamSoundPlaying(handle);
    for (int i = 0; i < sound->bufferCount; i++) {
        bool failed = false;
        if (IsPlaying(sound->buffers[i], &failed)) return 1;
    }
    return 0;
}

int SetSoundHandleVolume(int volume, int handle) {
    SoundData* sound = GetSoundData(handle);
    if (sound == nullptr) return -1;
    int64_t attenuation = static_cast<int64_t>(volume) - 10000;
    if (attenuation > DSBVOLUME_MAX) attenuation = DSBVOLUME_MAX;
    if (attenuation < DSBVOLUME_MIN) attenuation = DSBVOLUME_MIN;
    for (int i = 0; i < sound->bufferCount; i++) sound->buffers[i]->SetVolume(static_cast<LONG>(attenuation));
    return 0;
}

int PlaySingleSoundFile(const char* path, int playType) {
    if (!IsSoundStarted()) return -1;
    SoundSystemState& s = g_soundSystem;
    if (s.singleSoundHandle != -1) DeleteSoundData(s.singleSoundHandle, 0);
    s.singleSoundHandle = LoadFileToSound(path, 1);
    if (s.singleSoundHandle == -1) return -1;
    return PlaySoundHandle(s.singleSoundHandle, playType, 1);
}

int StopSingleSoundFile() {
    if (!IsSoundStarted()) return -1;
    if (g_soundSystem.singleSoundHandle == -1) return 0;
    return StopSoundHandle(g_soundSystem.singleSoundHandle);
}

int SplitPathAndFileName(const char* path, char* fileOut, char* dirOut) {
    const char* cut = nullptr;
    for (const char* p = path; *p != '\0';) {
        if (*p == '\\' || *p == '/' || *p == ':') cut = p;
        p += IsShiftJisLeadByte(static_cast<unsigned char>(*p)) && p[1] != '\0' ? 2 : 1;
    }
    if (fileOut != nullptr) CopyString(fileOut, cut != nullptr ? cut + 1 : path);
    if (dirOut != nullptr) {
        const size_t length = cut != nullptr ? static_cast<size_t>(cut - path) : 0;
        std::memcpy(dirOut, path, length);
        dirOut[length] = '\0';
    }
    return 0;
}
