// QzSoundStream.cpp: stream sounds (rules in QzSoundStream.h): adding sources, the first
// fill, play and stop, the count of played bytes, and the refill the message pump runs.
// Under the library lock, on whichever thread pumps.
//
// Refill amounts: while the ring plays, 1/8 second, or enough to bring the lead over the
// cursor back to three seconds when it has fallen below; the first fill is four seconds.
// Every amount is rounded down to whole frames, so every offset stays on a frame.
#include "QzSoundStream.h"

#include <cstring>

#include "QzSoundDecoderKinds.h"
#include "QzSoundSystem.h"
#include "QzWinLog.h"
#include "QzWinMemory.h"
#include "QzWinMessage.h"

namespace {

constexpr int kRingSeconds = 6;
constexpr int kFirstFillSeconds = 4;
constexpr int kZoneSeconds = 4;
constexpr int kLeadTarget = 384;  // three seconds in 1/128 s
// Advances in a row without a byte of data: more than every play of every source could
// need, so sources that deliver nothing end the fill instead of spinning for ever.
constexpr int kMaxEmptyAdvances = kMaxStreamSources * 256 + 1;

int ReadCursor(SoundData* sound) {
    DWORD cursor = 0;
    sound->buffers[0]->GetCurrentPosition(&cursor, nullptr);
    return static_cast<int>(cursor);
}

bool RingPlaying(SoundData* sound, bool* failed) {
    DWORD status = 0;
    if (FAILED(sound->buffers[0]->GetStatus(&status))) {
        *failed = true;
        return false;
    }
    return (status & DSBSTATUS_PLAYING) != 0;
}

bool InZone(const SoundData* sound, int cursor) {
    const int k = sound->keepFrom;
    const int w = sound->writePos;
    if (k <= w) return k <= cursor && cursor <= w;
    return cursor >= k || cursor <= w;
}

void AdvanceWritePos(SoundData* sound, int amount) {
    sound->writePos += amount;
    if (sound->writePos >= sound->ringSize) sound->writePos -= sound->ringSize;
    sound->keepFrom = sound->writePos - kZoneSeconds * sound->bytesPerSecond;
    if (sound->keepFrom < 0) sound->keepFrom += sound->ringSize;
}

// The cursor has gone past the data's end since the end was written: it lies further
// from the cursor's place at the end than the end itself.
bool PassedEnd(const SoundData* sound, int cursor) {
    const int r = sound->ringSize;
    const int toCursor = ((cursor - sound->cursorAtEnd) % r + r) % r;
    const int toEnd = ((sound->endPos - sound->cursorAtEnd) % r + r) % r;
    return toCursor > toEnd;
}

int LockRing(SoundData* sound, int start, int bytes, StreamRingParts* parts) {
    std::memset(parts, 0, sizeof *parts);
    void* part[2] = {nullptr, nullptr};
    DWORD size[2] = {0, 0};
    if (FAILED(sound->buffers[0]->Lock(static_cast<DWORD>(start), static_cast<DWORD>(bytes), &part[0], &size[0],
                                       &part[1], &size[1], 0)))
        return -1;
    parts->lockStart = start;
    for (int k = 0; k < 2; k++) {
        parts->part[k] = static_cast<uint8_t*>(part[k]);
        parts->partBytes[k] = part[k] != nullptr ? static_cast<int32_t>(size[k]) : 0;
        parts->left[k] = parts->partBytes[k];
    }
    return 0;
}

void UnlockRing(SoundData* sound, StreamRingParts* parts) {
    sound->buffers[0]->Unlock(parts->part[0], static_cast<DWORD>(parts->partBytes[0]), parts->part[1],
                              static_cast<DWORD>(parts->partBytes[1]));
}

// The ring offset the writing has reached.
int ReachedOffset(const SoundData* sound, const StreamRingParts* parts) {
    if (parts->written[1] > 0) return parts->written[1];
    const int at = parts->lockStart + parts->written[0];
    return at >= sound->ringSize ? at - sound->ringSize : at;
}

void Rewind(SoundData* sound) {
    sound->sourcePos = 0;
    sound->playedBytes = 0;
    sound->loopPointPending = 0;
    sound->loopsDone = 0;
    sound->currentSource = 0;
    sound->prepared = 0;
}

SoundData* GetStream(int handle, bool* isStream) {
    SoundData* sound = GetSoundData(handle);
    *isStream = sound != nullptr && sound->isStream && sound->bufferCount > 0 && sound->buffers[0] != nullptr;
    return sound;
}

// Opens the source's decoder over its own memory stream of `image`. 0 or -1.
int OpenImageSource(StreamSource* source, void* image, int size) {
    source->image = image;
    source->imageSize = size;
    MemoryStream* memory = OpenMemoryStream(image, size);
    if (memory == nullptr) return -1;
    MakeMemoryReadStream(&source->stream, memory);
    if (OpenSoundDecoder(&source->stream, &source->decoder) != 0) {
        CloseMemoryStream(memory);
        std::memset(&source->stream, 0, sizeof source->stream);
        return -1;
    }
    return 0;
}

// Type 0: the whole stream decoded now and kept as a WAVE image. 0 or -1 (logged).
int AddDecodedSource(ReadStream* stream, StreamSource* source) {
    void* copy = nullptr;
    int copySize = 0;
    if (ReadStreamToMemory(stream, &copy, &copySize) != 0) return WriteLogFormat("音声データの読み込みに失敗しました");
    MemoryStream* memory = OpenMemoryStream(copy, copySize);
    auto* decoder = static_cast<SoundDecoder*>(AllocZeroedMemory(sizeof(SoundDecoder), kSoundAllocName, __LINE__));
    WAVEFORMATEX format;
    void* pcm = nullptr;
    int pcmSize = 0;
    int result = -1;
    if (memory != nullptr && decoder != nullptr) {
        ReadStream memoryStream;
        MakeMemoryReadStream(&memoryStream, memory);
        if (OpenSoundDecoder(&memoryStream, decoder) == 0) {
            result = DecodeWholeSound(decoder, &format, &pcm, &pcmSize);
            CloseSoundDecoder(decoder);
        }
    }
    FreeMemory(decoder);
    if (memory != nullptr) CloseMemoryStream(memory);
    FreeMemory(copy);
    if (result != 0) return WriteLogFormat("音声データの変換に失敗しました");
    void* image = nullptr;
    int imageSize = 0;
    result = BuildWaveImage(&image, &imageSize, &format, sizeof format, pcm, pcmSize);
    FreeMemory(pcm);
    if (result != 0) return WriteLogFormat("音声データの変換に失敗しました");
    if (OpenImageSource(source, image, imageSize) != 0) {
        FreeMemory(image);
        source->image = nullptr;
        return WriteLogFormat("音声データのオープンに失敗しました");
    }
    return 0;
}

}  // namespace

void ReleaseStreamSource(SoundData* sound, int index) {
    StreamSource* source = &sound->sources[index];
    ReadStream outside = source->decoder.stream;
    if (source->decoder.isOpen) CloseSoundDecoder(&source->decoder);
    if (source->stream.data != nullptr) CloseMemoryStream(static_cast<MemoryStream*>(source->stream.data));
    FreeMemory(source->image);
    if (source->sourceType == 3 && sound->sourceOwned[index] && outside.data != nullptr && outside.functions.close)
        outside.functions.close(outside.data);
    std::memset(source, 0, sizeof *source);
    sound->sourceOwned[index] = 0;
}

int AddSreamSound(ReadStream* stream, int loopCount, int handle, int sourceType, int* takenOut) {
    SoundData* sound = GetSoundData(handle);
    if (sound == nullptr || stream == nullptr) return -1;
    // A whole sound has buffers but no sources: it takes no source either.
    if (sound->sourceCount > 0 || sound->bufferCount > 0) {
        if (!sound->isStream) return WriteLog("ストリーム風サウンドではないサウンドデータが渡されました in AddSreamSound\n");
        bool failed = false;
        if (RingPlaying(sound, &failed))
            return WriteLog("既に再生中のストリームサウンドデータにデータを追加しようとしました\n");
        if (sound->sourceCount >= kMaxStreamSources)
            return WriteLog("ストリーム風サウンドの制御データ領域がいっぱいです\n");
    }
    if (sourceType != 0 && sourceType != 2 && sourceType != 3) return -1;
    const int index = sound->sourceCount;
    StreamSource* source = &sound->sources[index];
    std::memset(source, 0, sizeof *source);
    source->sourceType = sourceType;
    stream->functions.seek(stream->data, 0, kSeekFromStart);
    int taken = 1;
    if (sourceType == 0) {
        if (AddDecodedSource(stream, source) != 0) {
            std::memset(source, 0, sizeof *source);
            return -1;
        }
    } else if (sourceType == 2) {
        void* image = nullptr;
        int size = 0;
        if (ReadStreamToMemory(stream, &image, &size) != 0) {
            std::memset(source, 0, sizeof *source);
            return WriteLogFormat("音声データの読み込みに失敗しました");
        }
        if (OpenImageSource(source, image, size) != 0) {
            FreeMemory(image);
            std::memset(source, 0, sizeof *source);
            return WriteLogFormat("音声データのオープンに失敗しました");
        }
    } else {
        if (OpenSoundDecoder(stream, &source->decoder) != 0) {
            std::memset(source, 0, sizeof *source);
            return WriteLogFormat("音声データのオープンに失敗しました");
        }
        taken = 0;
    }

    if (index == 0) {
        sound->format = source->decoder.format;
        const int ring = static_cast<int>(kRingSeconds * sound->format.nAvgBytesPerSec);
        CreateSoundDataBuffers(&sound->format, ring, 1, 1, handle);
        sound->ringSize = ring;
    } else if (std::memcmp(&sound->format, &source->decoder.format, sizeof(WAVEFORMATEX)) != 0) {
        // Taken data is the sound's to free; a caller's stream stays the caller's.
        ReleaseStreamSource(sound, index);
        return WriteLogFormat("フォーマットの違う音声データは同時に使うことは出来ません");
    }
    source->loopCount = static_cast<int8_t>(loopCount);
    sound->sourceCount++;
    if (takenOut != nullptr) *takenOut = taken;
    return 0;
}

int AddFileToStreamSound(const char* path, int loopCount, int handle, int sourceType) {
    FileHandle file = FileAccessOpen(path, 0, 0);
    if (file == 0) return WriteLogFormat("右記のＷＡＶファイルのロードに失敗しました：%s \n", path);
    ReadStream stream;
    MakeFileReadStream(&stream, file);
    int taken = 0;
    if (AddSreamSound(&stream, loopCount, handle, sourceType, &taken) != 0) {
        WriteLogFormat("右記のＷＡＶファイルのセットアップに失敗しました：%s \n", path);
        FileAccessClose(file);
        return -1;
    }
    if (taken) FileAccessClose(file);
    SoundData* sound = GetSoundData(handle);
    sound->sourceOwned[sound->sourceCount - 1] = 1;
    return 0;
}

int AddMemoryToStreamSound(const void* image, int size, int loopCount, int handle, int sourceType) {
    if (sourceType == 3) sourceType = 2;
    MemoryStream* memory = OpenMemoryStream(image, size);
    if (memory == nullptr) return WriteLogFormat("ＷＡＶファイルのストリームイメージハンドルの作成に失敗しました \n");
    ReadStream stream;
    MakeMemoryReadStream(&stream, memory);
    int taken = 0;
    const int result = AddSreamSound(&stream, loopCount, handle, sourceType, &taken);
    CloseMemoryStream(memory);
    if (result != 0) return WriteLogFormat("ＷＡＶファイルのストリームイメージのセットアップに失敗しました \n");
    SoundData* sound = GetSoundData(handle);
    sound->sourceOwned[sound->sourceCount - 1] = 1;
    return 0;
}

int PrepareStreamSound(int handle) {
    bool isStream = false;
    SoundData* sound = GetStream(handle, &isStream);
    if (sound == nullptr) return -1;
    if (!isStream || sound->prepared) return 0;
    bool failed = false;
    if (RingPlaying(sound, &failed)) return 0;
    sound->buffers[0]->SetCurrentPosition(0);
    sound->lastCursor = 0;
    sound->writePos = kStreamNotFilled;
    sound->keepFrom = -1;
    sound->endReached = 0;
    if (sound->currentSource < sound->sourceCount)
        SeekSoundDecoder(&sound->sources[sound->currentSource].decoder,
                         sound->sourcePos / (sound->format.nBlockAlign ? sound->format.nBlockAlign : 1));
    sound->prepared = 1;
    return RefillStreamSound(handle);
}

int PlayStreamSound(int handle, int playType, int fromTop) {
    bool isStream = false;
    SoundData* sound = GetStream(handle, &isStream);
    if (sound == nullptr) return -1;
    if (!isStream) return 0;
    bool failed = false;
    if (fromTop == 0 && RingPlaying(sound, &failed)) return 0;
    StopStreamSound(handle);
    // After a play that ran out there is no current source to go on with: start again.
    if (fromTop == 0 && sound->currentSource >= sound->sourceCount && !sound->endReached) fromTop = 1;
    const bool looping = playType == kPlayTypeLoop;
    const bool wasLooping = sound->playType == kPlayTypeLoop;
    if (sound->sourcesDone && looping != wasLooping) {
        sound->sourcesDone = 0;
        Rewind(sound);
    }
    if (fromTop == 1) {
        sound->sourcesDone = 0;
        if (sound->playedBytes != 0) Rewind(sound);
    }
    sound->playType = static_cast<uint8_t>(playType);
    PrepareStreamSound(handle);
    if (FAILED(sound->buffers[0]->Play(0, 0, DSBPLAY_LOOPING))) return -1;
    if (playType == kPlayTypeWait) {
        while (ProcessMessage() == 0 && IsStreamSoundPlaying(handle) == 1) {
        }
    }
    return 0;
}

int StopStreamSound(int handle) {
    bool isStream = false;
    SoundData* sound = GetStream(handle, &isStream);
    if (sound == nullptr) return -1;
    if (!isStream) return 0;
    UpdateStreamSoundCursor(handle, -1);
    bool failed = false;
    const bool playing = RingPlaying(sound, &failed);
    if (failed) return -1;
    if (playing) sound->buffers[0]->Stop();
    return 0;
}

int IsStreamSoundPlaying(int handle) {
    bool isStream = false;
    SoundData* sound = GetStream(handle, &isStream);
    if (sound == nullptr) return -1;
    if (!isStream) return 0;
    bool failed = false;
    return RingPlaying(sound, &failed) ? 1 : 0;
}

int UpdateStreamSoundCursor(int handle, int cursor) {
    bool isStream = false;
    SoundData* sound = GetStream(handle, &isStream);
    if (sound == nullptr) return -1;
    if (!isStream || !sound->prepared) return 0;
    const int p = cursor == -1 ? ReadCursor(sound) : cursor;
    const int l = sound->lastCursor;
    const int r = sound->ringSize;
    if (p == l) return 0;
    if (sound->loopPointPending) {
        const int m = sound->loopPointPos;
        const bool passed = (l < m && m <= p) || (p < l && (m > l || m < p));
        if (passed) {
            sound->playedBytes = p >= m ? p - m : r - m + p;
            sound->loopPointPending = 0;
            sound->lastCursor = p;
            return 0;
        }
    }
    sound->playedBytes += p >= l ? p - l : r - l + p;
    sound->lastCursor = p;
    return 0;
}

void FillStreamBufferSilence(SoundData* sound, StreamRingParts* parts, int bytes) {
    // 0x7F, as the 8-bit silence has always been written here.
    const int value = sound->format.wBitsPerSample == 8 ? 0x7F : 0;
    for (int k = 0; k < 2 && bytes > 0; k++) {
        const int n = parts->left[k] < bytes ? parts->left[k] : bytes;
        if (n <= 0) continue;
        std::memset(parts->part[k] + parts->written[k], value, static_cast<size_t>(n));
        parts->written[k] += n;
        parts->left[k] -= n;
        bytes -= n;
    }
}

int FillStreamBufferData(StreamRingParts* parts, SoundDecoder* decoder, int bytes) {
    int total = 0;
    for (int k = 0; k < 2 && bytes > 0; k++) {
        const int n = parts->left[k] < bytes ? parts->left[k] : bytes;
        if (n <= 0) continue;
        const int got = ReadSoundDecoder(decoder, parts->part[k] + parts->written[k], n);
        if (got <= 0) break;
        parts->written[k] += got;
        parts->left[k] -= got;
        bytes -= got;
        total += got;
        if (got < n) break;
    }
    return total;
}

int AdvanceStreamSoundSource(SoundData* sound, StreamRingParts* parts, int cursor) {
    sound->loopsDone++;
    const StreamSource* source = &sound->sources[sound->currentSource];
    if (source->loopCount != -1 && sound->loopsDone > source->loopCount) {
        sound->loopsDone = 0;
        sound->currentSource++;
    }
    if (sound->currentSource >= sound->sourceCount) {
        sound->sourcesDone = 1;
        if (sound->playType != kPlayTypeLoop) {
            sound->endReached = 1;
            sound->endPos = ReachedOffset(sound, parts);
            sound->cursorAtEnd = cursor;
            // Everything locked past the data becomes silence: older audio there would
            // play if the pump stalled before the ring is stopped.
            FillStreamBufferSilence(sound, parts, parts->left[0] + parts->left[1]);
            return -1;
        }
        sound->currentSource = 0;
        sound->loopPointPending = 1;
        sound->loopPointPos = ReachedOffset(sound, parts);
    }
    sound->sourcePos = 0;
    SeekSoundDecoder(&sound->sources[sound->currentSource].decoder, 0);
    return 0;
}

int RefillStreamSound(int handle) {
    bool isStream = false;
    SoundData* sound = GetStream(handle, &isStream);
    if (sound == nullptr) return -1;
    if (!isStream || !sound->prepared) return 0;
    UpdateStreamSoundCursor(handle, -1);
    const int cursor = sound->lastCursor;
    const int b = sound->bytesPerSecond;
    const int r = sound->ringSize;
    StreamRingParts parts;

    if (sound->endReached) {
        if (PassedEnd(sound, cursor)) {
            sound->buffers[0]->Stop();
            sound->endReached = 0;
            return 0;
        }
        if (!InZone(sound, cursor)) return -1;
        const int amount = AlignDownToSoundBlock(b / 8, sound);
        if (amount <= 0 || LockRing(sound, sound->writePos, amount, &parts) != 0) return -1;
        FillStreamBufferSilence(sound, &parts, amount);
        UnlockRing(sound, &parts);
        AdvanceWritePos(sound, amount);
        return 0;
    }

    bool failed = false;
    const bool playing = RingPlaying(sound, &failed);
    const bool firstFill = !playing;
    int amount;
    int start;
    if (playing) {
        if (!InZone(sound, cursor)) return -1;
        amount = b / 8;
        const int64_t ahead = ((sound->writePos - cursor) % r + r) % r;
        const int64_t lead = ahead * 128 / b;
        if (lead < kLeadTarget) amount = static_cast<int>((kLeadTarget - lead) * b / 128);
        start = sound->writePos;
    } else {
        if (sound->writePos != kStreamNotFilled) return 0;
        amount = kFirstFillSeconds * b;
        start = 0;
    }
    amount = AlignDownToSoundBlock(amount, sound);
    if (amount <= 0) return 0;
    // Nothing is written, and nothing moves, when the ring cannot be locked.
    if (LockRing(sound, start, amount, &parts) != 0) return -1;
    int wanted = amount;
    int emptyAdvances = 0;
    while (wanted > 0 && !sound->endReached) {
        if (sound->currentSource < 0 || sound->currentSource >= sound->sourceCount ||
            emptyAdvances > kMaxEmptyAdvances) {
            FillStreamBufferSilence(sound, &parts, wanted);
            break;
        }
        const int got = FillStreamBufferData(&parts, &sound->sources[sound->currentSource].decoder, wanted);
        if (got == 0) {
            emptyAdvances++;
            if (AdvanceStreamSoundSource(sound, &parts, cursor) == -1) break;
        } else {
            emptyAdvances = 0;
            wanted -= got;
            sound->sourcePos += got;
        }
    }
    UnlockRing(sound, &parts);
    if (firstFill) {
        sound->writePos = kFirstFillSeconds * b;
        sound->keepFrom = 0;
    } else {
        AdvanceWritePos(sound, amount);
    }
    return 0;
}

int RefillAllStreamSounds() {
    if (!IsSoundStarted()) return -1;
    HandleListNode* last = &g_soundSystem.streamList[1];
    for (HandleListNode* node = g_soundSystem.streamList[0].next; node != nullptr && node != last;) {
        HandleListNode* next = node->next;
        RefillStreamSound(node->handle);
        node = next;
    }
    return 0;
}
