// dsound/buffer.cpp: IDirectSoundBuffer. A secondary buffer is a voice of the mixer over
// sample memory it shares with its duplicates; the primary only carries the output's
// format. The mixing thread never reads memory a caller is writing: a lock taken while
// a voice over the samples plays hands out a staging copy that Unlock writes back under
// the mixer's lock; any other lock hands out the samples themselves (mixer.h says what
// a voice started meanwhile plays), and Unlock has nothing to copy. Any thread.
#include "com/unknown.h"
#include "dsound/buffer.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <list>

#include "dsound/mixer.h"
#include "kernel/diag.h"

namespace dsound {
namespace {

bool IsSecondaryFlags(DWORD flags) {
    return flags == 0x80E2 || flags == 0xC2 || flags == 0x180E2 || flags == 0x8002;
}

bool IsPcmFormat(const WAVEFORMATEX& f) {
    return f.wFormatTag == WAVE_FORMAT_PCM && (f.nChannels == 1 || f.nChannels == 2) &&
           (f.wBitsPerSample == 8 || f.wBitsPerSample == 16) && f.nSamplesPerSec >= DSBFREQUENCY_MIN &&
           f.nSamplesPerSec <= DSBFREQUENCY_MAX && f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8 &&
           f.nAvgBytesPerSec == f.nSamplesPerSec * f.nBlockAlign;
}

class SoundBuffer final : public IDirectSoundBuffer {
public:
    SoundBuffer(bool primary, DWORD flags) : primary_(primary), flags_(flags) {}

    HRESULT QueryInterface(REFIID iid, void** object) override {
        return com::AnswerAs<IDirectSoundBuffer>(this, iid, object, {IID_IDirectSoundBuffer});
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        const ULONG left = --refs_;
        if (left == 0) {
            if (!primary_) {
                std::lock_guard<std::mutex> hold(MixLock());
                RemoveVoice(&voice_);
                // Locks never unlocked end with the buffer.
                for (const Staging& s : locks_)
                    if (s.inPlace) EndInPlaceLock();
            }
            delete this;
        }
        return left;
    }

    HRESULT GetCurrentPosition(LPDWORD playCursor, LPDWORD writeCursor) override {
        SyncDevice();
        DWORD play = 0, write = 0;
        if (!primary_) {
            std::lock_guard<std::mutex> hold(MixLock());
            const uint32_t frame = static_cast<uint32_t>(voice_.position >> 32) % voice_.frames;
            play = frame * static_cast<DWORD>(voice_.blockAlign);
            // The write cursor runs ahead by about 10 ms, as a device's does.
            const uint32_t lead = std::max(1, voice_.rate / 100);
            write = ((frame + lead) % voice_.frames) * static_cast<DWORD>(voice_.blockAlign);
        }
        if (playCursor != nullptr) *playCursor = play;
        if (writeCursor != nullptr) *writeCursor = write;
        return DS_OK;
    }

    HRESULT GetStatus(LPDWORD status) override {
        if (status == nullptr) return DSERR_INVALIDPARAM;
        SyncDevice();
        std::lock_guard<std::mutex> hold(MixLock());
        const bool playing = primary_ ? primaryPlaying_ : voice_.playing;
        const bool looping = primary_ ? primaryPlaying_ : voice_.looping;
        *status = playing ? (DSBSTATUS_PLAYING | (looping ? DSBSTATUS_LOOPING : 0u)) : 0u;
        return DS_OK;
    }

    HRESULT Lock(DWORD offset, DWORD bytes, LPVOID* part1, LPDWORD bytes1, LPVOID* part2, LPDWORD bytes2,
                 DWORD flags) override {
        if (primary_) return DSERR_INVALIDCALL;
        if (part1 == nullptr || bytes1 == nullptr) return DSERR_INVALIDPARAM;
        if (kernel::ConsumeFault("LockSoundBuffer")) return DSERR_INVALIDCALL;
        SyncDevice();
        std::lock_guard<std::mutex> hold(MixLock());
        const DWORD size = static_cast<DWORD>(voice_.store->bytes.size());
        if (flags & DSBLOCK_FROMWRITECURSOR) {
            const uint32_t frame = static_cast<uint32_t>(voice_.position >> 32) % voice_.frames;
            offset = ((frame + std::max(1, voice_.rate / 100)) % voice_.frames) * static_cast<DWORD>(voice_.blockAlign);
        }
        if (flags & DSBLOCK_ENTIREBUFFER) bytes = size;
        if (offset >= size || bytes == 0 || bytes > size) return DSERR_INVALIDPARAM;
        const DWORD first = std::min(bytes, size - offset);
        const DWORD second = bytes - first;
        if (second > 0 && (part2 == nullptr || bytes2 == nullptr)) return DSERR_INVALIDPARAM;
        SampleStore& store = *voice_.store;
        locks_.emplace_back();
        Staging& s = locks_.back();
        s.offset = offset;
        s.first = first;
        s.second = second;
        if (IsStorePlaying(&store)) {
            s.bytes.assign(store.bytes.begin() + offset, store.bytes.begin() + offset + first);
            s.bytes.insert(s.bytes.end(), store.bytes.begin(), store.bytes.begin() + second);
            s.part1 = s.bytes.data();
            s.part2 = s.bytes.data() + first;
        } else {
            s.inPlace = true;
            s.part1 = store.bytes.data() + offset;
            s.part2 = store.bytes.data();
            ++store.writers;
        }
        *part1 = s.part1;
        *bytes1 = first;
        if (part2 != nullptr) *part2 = second > 0 ? s.part2 : nullptr;
        if (bytes2 != nullptr) *bytes2 = second;
        return DS_OK;
    }

    HRESULT Unlock(LPVOID part1, DWORD bytes1, LPVOID part2, DWORD bytes2) override {
        if (primary_) return DSERR_INVALIDCALL;
        std::lock_guard<std::mutex> hold(MixLock());
        // Two locks in place from the same offset share their first pointer: the one
        // whose spans hold what is unlocked is the one meant.
        auto it = std::find_if(locks_.begin(), locks_.end(), [&](const Staging& s) {
            return s.part1 == part1 && bytes1 <= s.first && (bytes2 == 0 || (part2 == s.part2 && bytes2 <= s.second));
        });
        if (it == locks_.end()) return DSERR_INVALIDPARAM;
        if (it->inPlace) {
            EndInPlaceLock();
        } else {
            // A voice playing the held copy hears the write as well.
            for (std::vector<uint8_t>* to : {&voice_.store->bytes, &voice_.store->held}) {
                if (to->empty()) continue;
                std::memcpy(to->data() + it->offset, it->part1, bytes1);
                if (bytes2 > 0) std::memcpy(to->data(), it->part2, bytes2);
            }
        }
        locks_.erase(it);
        return DS_OK;
    }

    HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) override {
        if (reserved != 0 || priority != 0 || (flags & ~DSBPLAY_LOOPING) != 0) return DSERR_INVALIDPARAM;
        SyncDevice();
        std::lock_guard<std::mutex> hold(MixLock());
        if (primary_) {
            primaryPlaying_ = true;
        } else {
            SampleStore& store = *voice_.store;
            if (store.writers > 0 && store.held.empty()) store.held = store.bytes;
            voice_.playing = true;
            voice_.looping = (flags & DSBPLAY_LOOPING) != 0;
        }
        return DS_OK;
    }

    HRESULT SetCurrentPosition(DWORD playCursor) override {
        if (primary_) return DSERR_INVALIDCALL;
        SyncDevice();
        std::lock_guard<std::mutex> hold(MixLock());
        if (playCursor >= voice_.store->bytes.size()) return DSERR_INVALIDPARAM;
        voice_.position = static_cast<uint64_t>(playCursor / static_cast<DWORD>(voice_.blockAlign)) << 32;
        if ((voice_.position >> 32) >= voice_.frames) voice_.position = 0;
        return DS_OK;
    }

    HRESULT SetFormat(LPCWAVEFORMATEX format) override {
        if (!primary_) return DSERR_INVALIDCALL;
        if (format == nullptr || !IsPcmFormat(*format)) return DSERR_INVALIDPARAM;
        OutputFormat out;
        out.rate = static_cast<int>(format->nSamplesPerSec);
        out.channels = format->nChannels;
        out.bits = format->wBitsPerSample;
        return SetOutputFormat(out);
    }

    HRESULT SetVolume(LONG volume) override {
        if (primary_ || (flags_ & DSBCAPS_CTRLVOLUME) == 0) return DSERR_CONTROLUNAVAIL;
        if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
        SyncDevice();
        std::lock_guard<std::mutex> hold(MixLock());
        voice_.gain = GainOfVolume(volume);
        return DS_OK;
    }

    HRESULT Stop() override {
        SyncDevice();
        std::lock_guard<std::mutex> hold(MixLock());
        if (primary_)
            primaryPlaying_ = false;
        else
            voice_.playing = false;
        return DS_OK;
    }

    // Set up before the buffer is shared; the voice joins the mixer last.
    bool primary_;
    DWORD flags_;
    Voice voice_;
    bool primaryPlaying_ = false;

private:
    ~SoundBuffer() = default;

    // One lock: in place, or a staging copy of the locked span in `bytes`.
    struct Staging {
        DWORD offset = 0, first = 0, second = 0;
        bool inPlace = false;
        uint8_t* part1 = nullptr;
        uint8_t* part2 = nullptr;
        std::vector<uint8_t> bytes;
    };

    // Under MixLock. The last in-place lock gone, voices play the samples again.
    void EndInPlaceLock() {
        SampleStore& store = *voice_.store;
        if (--store.writers == 0) std::vector<uint8_t>().swap(store.held);
    }

    std::atomic<ULONG> refs_{1};
    std::list<Staging> locks_;  // under MixLock
};

SoundBuffer* AsOurs(IDirectSoundBuffer* buffer) { return static_cast<SoundBuffer*>(buffer); }

}  // namespace

HRESULT CreateBuffer(LPCDSBUFFERDESC desc, LPDIRECTSOUNDBUFFER* buffer) {
    if (buffer == nullptr) return DSERR_INVALIDPARAM;
    *buffer = nullptr;
    if (desc == nullptr || desc->dwSize != sizeof(DSBUFFERDESC)) return DSERR_INVALIDPARAM;
    char flagsFault[40];
    std::snprintf(flagsFault, sizeof flagsFault, "CreateSoundBuffer:%X", desc->dwFlags);
    if (kernel::ConsumeFault("CreateSoundBuffer") || kernel::ConsumeFault(flagsFault)) return DSERR_ALLOCATED;
    if (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) {
        if (desc->dwFlags != DSBCAPS_PRIMARYBUFFER || desc->dwBufferBytes != 0 || desc->lpwfxFormat != nullptr)
            return DSERR_INVALIDPARAM;
        *buffer = new SoundBuffer(true, desc->dwFlags);
        return DS_OK;
    }
    if (!IsSecondaryFlags(desc->dwFlags) || desc->lpwfxFormat == nullptr || !IsPcmFormat(*desc->lpwfxFormat))
        return DSERR_INVALIDPARAM;
    const WAVEFORMATEX& f = *desc->lpwfxFormat;
    if (desc->dwBufferBytes < DSBSIZE_MIN || desc->dwBufferBytes > DSBSIZE_MAX || desc->dwBufferBytes < f.nBlockAlign)
        return DSERR_INVALIDPARAM;
    auto* b = new SoundBuffer(false, desc->dwFlags);
    b->voice_.store = std::make_shared<SampleStore>();
    // A new buffer holds silence in its own format.
    b->voice_.store->bytes.assign(desc->dwBufferBytes, f.wBitsPerSample == 8 ? 0x80 : 0x00);
    b->voice_.channels = f.nChannels;
    b->voice_.bits = f.wBitsPerSample;
    b->voice_.rate = static_cast<int>(f.nSamplesPerSec);
    b->voice_.blockAlign = f.nBlockAlign;
    b->voice_.frames = desc->dwBufferBytes / f.nBlockAlign;
    std::lock_guard<std::mutex> hold(MixLock());
    AddVoice(&b->voice_);
    *buffer = b;
    return DS_OK;
}

HRESULT DuplicateBuffer(LPDIRECTSOUNDBUFFER original, LPDIRECTSOUNDBUFFER* duplicate) {
    if (duplicate == nullptr) return DSERR_INVALIDPARAM;
    *duplicate = nullptr;
    if (original == nullptr || AsOurs(original)->primary_) return DSERR_INVALIDPARAM;
    if (kernel::ConsumeFault("DuplicateSoundBuffer")) return DSERR_ALLOCATED;
    SoundBuffer* from = AsOurs(original);
    auto* b = new SoundBuffer(false, from->flags_);
    std::lock_guard<std::mutex> hold(MixLock());
    b->voice_.store = from->voice_.store;
    b->voice_.channels = from->voice_.channels;
    b->voice_.bits = from->voice_.bits;
    b->voice_.rate = from->voice_.rate;
    b->voice_.blockAlign = from->voice_.blockAlign;
    b->voice_.frames = from->voice_.frames;
    b->voice_.gain = from->voice_.gain;
    AddVoice(&b->voice_);
    *duplicate = b;
    return DS_OK;
}

}  // namespace dsound
