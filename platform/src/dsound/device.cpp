// dsound/device.cpp: IDirectSound, the object that opens the sound device and makes
// buffers, and DirectSoundEnumerateA. Any thread; the device is opened by Initialize,
// on the thread that starts sound.
#include <atomic>
#include <string>
#include <vector>

#include "com/unknown.h"
#include "backend/audio.h"
#include "dsound/buffer.h"
#include "dsound/mixer.h"
#include "dsound/objects.h"
#include "kernel/diag.h"
#include "kernel/text.h"

namespace dsound {
namespace {

// The device ids DirectSoundEnumerateA hands out, after the primary driver's NULL.
constexpr int kMaxDevices = 16;
GUID DeviceGuid(int index) {
    return {0x51A00100u + static_cast<DWORD>(index), 0x7A2B, 0x4C3D, {0x9E, 0x11, 0x50, 0x55, 0x4E, 0x44, 0x44, 0x56}};
}

bool IsKnownDevice(const GUID* device) {
    if (device == nullptr) return true;
    for (int i = 0; i < kMaxDevices; ++i)
        if (*device == DeviceGuid(i)) return true;
    return false;
}

class DirectSound final : public IDirectSound {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override {
        return com::AnswerAs<IDirectSound>(this, iid, object, {IID_IDirectSound, IID_IDirectSound8});
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        const ULONG left = --refs_;
        if (left == 0) {
            if (initialized_) CloseDevice();
            delete this;
        }
        return left;
    }

    HRESULT CreateSoundBuffer(LPCDSBUFFERDESC desc, LPDIRECTSOUNDBUFFER* buffer, LPUNKNOWN outer) override {
        if (!initialized_) return DSERR_UNINITIALIZED;
        if (outer != nullptr) return DSERR_NOAGGREGATION;
        return CreateBuffer(desc, buffer);
    }

    HRESULT GetCaps(LPDSCAPS caps) override {
        if (!initialized_) return DSERR_UNINITIALIZED;
        if (caps == nullptr || caps->dwSize != sizeof(DSCAPS)) return DSERR_INVALIDPARAM;
        *caps = CurrentCaps();
        return DS_OK;
    }

    HRESULT DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER original, LPDIRECTSOUNDBUFFER* duplicate) override {
        if (!initialized_) return DSERR_UNINITIALIZED;
        return DuplicateBuffer(original, duplicate);
    }

    HRESULT SetCooperativeLevel(HWND, DWORD level) override {
        if (!initialized_) return DSERR_UNINITIALIZED;
        if (level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY) return DSERR_INVALIDPARAM;
        return DS_OK;
    }

    HRESULT Initialize(const GUID* device) override {
        if (initialized_) return DSERR_ALREADYINITIALIZED;
        if (!IsKnownDevice(device)) return DSERR_NODRIVER;
        const HRESULT result = OpenDevice();
        if (FAILED(result)) return result;
        initialized_ = true;
        return DS_OK;
    }

private:
    ~DirectSound() = default;
    std::atomic<ULONG> refs_{1};
    bool initialized_ = false;
};

}  // namespace

HRESULT CreateDirectSound(REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (kernel::ConsumeFault("CreateDirectSound")) return E_FAIL;
    auto* ds = new DirectSound();
    const HRESULT result = ds->QueryInterface(iid, object);
    ds->Release();
    return result;
}

HRESULT CreateReadyDirectSound(IDirectSound** object) {
    *object = nullptr;
    auto* ds = new DirectSound();
    const HRESULT result = ds->Initialize(nullptr);
    if (FAILED(result)) {
        ds->Release();
        return result;
    }
    *object = ds;
    return DS_OK;
}

}  // namespace dsound

HRESULT WINAPI DirectSoundEnumerateA(LPDSENUMCALLBACKA callback, LPVOID context) {
    if (callback == nullptr) return DSERR_INVALIDPARAM;
    if (callback(nullptr, "Primary Sound Driver", "", context) == FALSE) return DS_OK;
    const bool null = &backend::CurrentAudio() == &backend::NullAudio();
    const std::vector<std::string> names = backend::CurrentAudio().deviceNames();
    static GUID guids[dsound::kMaxDevices];
    for (size_t i = 0; i < names.size() && i < static_cast<size_t>(dsound::kMaxDevices); ++i) {
        guids[i] = dsound::DeviceGuid(static_cast<int>(i));
        const std::string description = kernel::Utf8ToCp932(names[i]);
        if (callback(&guids[i], description.c_str(), null ? "null" : "sdl", context) == FALSE) break;
    }
    return DS_OK;
}
