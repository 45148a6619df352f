// dmusic/objects.cpp: DirectMusic's loader, segments, performance and port list. A
// segment holds a standard MIDI file; the performance plays one segment at a time on the
// platform's MIDI player (player.h), which renders into the DirectSound mixer. Any
// thread; one object is used by one thread at a time.
#include <atomic>
#include <memory>
#include <vector>

#include "com/unknown.h"
#include "dmusic/objects.h"
#include "dmusic/player.h"
#include "dsound/mixer.h"
#include "dsound/objects.h"
#include "kernel/diag.h"

namespace dmusic {
namespace {

// The reference count every class here shares.
template <typename Interface>
class Counted : public Interface {
public:
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

protected:
    virtual ~Counted() = default;

private:
    std::atomic<ULONG> refs_{1};
};

class Segment final : public Counted<IDirectMusicSegment8> {
public:
    explicit Segment(midi::SongData song) : song_(std::move(song)) {}

    HRESULT QueryInterface(REFIID iid, void** object) override {
        return com::AnswerAs<IDirectMusicSegment8>(this, iid, object, {IID_IDirectMusicSegment, IID_IDirectMusicSegment8});
    }
    HRESULT SetRepeats(DWORD repeats) override {
        repeats_ = repeats;
        return S_OK;
    }
    HRESULT SetParam(REFGUID, DWORD, DWORD, MUSIC_TIME, void*) override { return S_OK; }
    HRESULT Download(IUnknown*) override { return S_OK; }
    HRESULT Unload(IUnknown*) override { return S_OK; }

    // Passes through the song: repeats + 1, or -1 for ever.
    int Plays() const {
        if (repeats_ == DMUS_SEG_REPEAT_INFINITE) return -1;
        return repeats_ >= 0x7FFFFFFE ? 0x7FFFFFFF : static_cast<int>(repeats_) + 1;
    }
    const midi::SongData& Song() const { return song_; }

private:
    midi::SongData song_;
    DWORD repeats_ = 0;
};

// Only our own segments reach the performance.
Segment* AsSegment(IUnknown* object) {
    if (object == nullptr) return nullptr;
    IDirectMusicSegment8* segment = nullptr;
    if (FAILED(object->QueryInterface(IID_IDirectMusicSegment8, reinterpret_cast<void**>(&segment)))) return nullptr;
    segment->Release();
    return static_cast<Segment*>(segment);
}

class Loader final : public Counted<IDirectMusicLoader8> {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override {
        return com::AnswerAs<IDirectMusicLoader8>(this, iid, object, {IID_IDirectMusicLoader8});
    }

    HRESULT GetObject(LPDMUS_OBJECTDESC desc, REFIID iid, LPVOID* object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (desc == nullptr || desc->dwSize != sizeof(DMUS_OBJECTDESC)) return E_INVALIDARG;
        if ((desc->dwValidData & DMUS_OBJ_CLASS) == 0) return DMUS_E_LOADER_NOCLASSID;
        if (desc->guidClass != CLSID_DirectMusicSegment) return DMUS_E_TYPE_UNSUPPORTED;
        if ((desc->dwValidData & DMUS_OBJ_MEMORY) == 0) return E_NOTIMPL;  // files and streams: unused here
        if (desc->pbMemData == nullptr || desc->llMemLength <= 0 || desc->llMemLength > 0x7FFFFFFF)
            return E_INVALIDARG;
        const size_t size = static_cast<size_t>(desc->llMemLength);
        if (!midi::IsPlayable(desc->pbMemData, size)) return DMUS_E_UNSUPPORTED_STREAM;
        auto song = std::make_shared<const std::vector<uint8_t>>(desc->pbMemData, desc->pbMemData + size);
        auto* segment = new Segment(std::move(song));
        const HRESULT result = segment->QueryInterface(iid, object);
        segment->Release();
        return result;
    }
};

class DirectMusic final : public Counted<IDirectMusic8> {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override {
        return com::AnswerAs<IDirectMusic8>(this, iid, object, {IID_IDirectMusic, IID_IDirectMusic8});
    }

    HRESULT EnumPort(DWORD index, LPDMUS_PORTCAPS caps) override {
        if (caps == nullptr || caps->dwSize != sizeof(DMUS_PORTCAPS)) return E_INVALIDARG;
        if (index > 0) return S_FALSE;
        const DWORD size = caps->dwSize;
        *caps = {};
        caps->dwSize = size;
        caps->dwFlags = DMUS_PC_DLS | DMUS_PC_SOFTWARESYNTH | DMUS_PC_SHAREABLE;
        caps->guidPort = {0x51A002FFu, 0x7A2B, 0x4C3D, {0x9E, 0x11, 0x50, 0x55, 0x4E, 0x44, 0x50, 0x00}};
        caps->dwClass = DMUS_PC_OUTPUTCLASS;
        caps->dwType = DMUS_PORT_USER_MODE_SYNTH;
        caps->dwMaxChannelGroups = 1000;
        caps->dwMaxVoices = 256;
        caps->dwMaxAudioChannels = 2;
        const char* name = "Platform MIDI Synthesizer";
        for (int i = 0; name[i] != '\0'; ++i) caps->wszDescription[i] = static_cast<WCHAR>(name[i]);
        return S_OK;
    }
};

class Performance final : public Counted<IDirectMusicPerformance8> {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override {
        return com::AnswerAs<IDirectMusicPerformance8>(this, iid, object, {IID_IDirectMusicPerformance8});
    }

    HRESULT InitAudio(IDirectMusic** directMusic, IDirectSound** directSound, HWND, DWORD pathType, DWORD, DWORD,
                      DMUS_AUDIOPARAMS* params) override {
        if (initialized_) return DMUS_E_ALREADY_INITED;
        if (params != nullptr && params->dwSize != sizeof(DMUS_AUDIOPARAMS)) return E_INVALIDARG;
        if (pathType != 0 && pathType != DMUS_APATH_SHARED_STEREOPLUSREVERB && pathType != DMUS_APATH_DYNAMIC_3D &&
            pathType != DMUS_APATH_DYNAMIC_MONO && pathType != DMUS_APATH_DYNAMIC_STEREO)
            return E_INVALIDARG;
        IDirectSound* ds = nullptr;
        if (directSound != nullptr && *directSound != nullptr) {
            ds = *directSound;  // the caller's own object
            ds->AddRef();
        } else {
            const HRESULT result = dsound::CreateReadyDirectSound(&ds);
            if (FAILED(result)) return result;
            if (directSound != nullptr) {
                ds->AddRef();
                *directSound = ds;
            }
        }
        directSound_ = ds;
        if (directMusic != nullptr && *directMusic == nullptr) *directMusic = new DirectMusic();
        initialized_ = true;
        return S_OK;
    }

    HRESULT PlaySegmentEx(IUnknown* source, WCHAR*, IUnknown*, DWORD, LONGLONG, IDirectMusicSegmentState** state,
                          IUnknown*, IUnknown*) override {
        if (state != nullptr) *state = nullptr;
        if (!initialized_) return DMUS_E_NOT_INIT;
        Segment* segment = AsSegment(source);
        if (segment == nullptr) return E_INVALIDARG;
        if (kernel::ConsumeFault("PlaySegmentEx")) return E_FAIL;
        dsound::SyncDevice();
        StopCurrent();
        segment->AddRef();
        current_ = segment;
        // A segment that never starts (a test's fault) stays current without sounding.
        if (!kernel::ConsumeFault("SegmentNeverStarts")) ticket_ = midi::Start(segment->Song(), segment->Plays(), nullptr);
        return S_OK;
    }

    HRESULT StopEx(IUnknown* object, LONGLONG, DWORD) override {
        if (!initialized_) return DMUS_E_NOT_INIT;
        if (object == nullptr || AsSegment(object) == current_) StopCurrent();
        return S_OK;
    }

    HRESULT Stop(IDirectMusicSegment* segment, IDirectMusicSegmentState*, MUSIC_TIME, DWORD) override {
        if (!initialized_) return DMUS_E_NOT_INIT;
        if (segment == nullptr || AsSegment(segment) == current_) StopCurrent();
        return S_OK;
    }

    HRESULT CloseDown() override {
        StopCurrent();
        if (directSound_ != nullptr) directSound_->Release();
        directSound_ = nullptr;
        initialized_ = false;
        return S_OK;
    }

    HRESULT IsPlaying(IDirectMusicSegment* segment, IDirectMusicSegmentState* state) override {
        if (segment == nullptr && state == nullptr) return E_POINTER;
        if (!initialized_) return DMUS_E_NOT_INIT;
        dsound::SyncDevice();
        if (current_ == nullptr || (segment != nullptr && AsSegment(segment) != current_)) return S_FALSE;
        return midi::GetState(ticket_) == midi::State::Playing ? S_OK : S_FALSE;
    }

private:
    ~Performance() override { CloseDown(); }

    void StopCurrent() {
        midi::Stop(ticket_);
        ticket_ = 0;
        if (current_ != nullptr) current_->Release();
        current_ = nullptr;
    }

    bool initialized_ = false;
    IDirectSound* directSound_ = nullptr;
    Segment* current_ = nullptr;  // holds a reference
    uint64_t ticket_ = 0;
};

template <typename T>
HRESULT Make(const char* fault, REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (kernel::ConsumeFault(fault)) return E_FAIL;
    auto* made = new T();
    const HRESULT result = made->QueryInterface(iid, object);
    made->Release();
    return result;
}

}  // namespace

HRESULT CreateLoader(REFIID iid, void** object) { return Make<Loader>("CreateDirectMusicLoader", iid, object); }
HRESULT CreatePerformance(REFIID iid, void** object) {
    return Make<Performance>("CreateDirectMusicPerformance", iid, object);
}
HRESULT CreateDirectMusic(REFIID iid, void** object) { return Make<DirectMusic>("CreateDirectMusic", iid, object); }

}  // namespace dmusic
