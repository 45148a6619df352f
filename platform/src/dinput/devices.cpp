// dinput/devices.cpp: IDirectInput7A, its devices (the keyboard, the mouse, one per pad)
// and force-feedback effects. Rules: dinput.h. Any thread, under the input lock.
//
// Acquisition is checked when a device is used: a pad (or any device with a foreground
// level) whose window is no longer the foreground window, or a pad that is gone, drops
// its acquisition there, and its next read reports DIERR_INPUTLOST once.
#include <atomic>
#include <cmath>
#include <cstring>
#include <set>
#include <string>

#include "com/unknown.h"
#include "com/factory.h"
#include "dinput/pads.h"
#include "dinput/objects.h"
#include "kernel/diag.h"
#include "kernel/text.h"
#include "platform/dinput.h"
#include "window/keys.h"
#include "window/model.h"

namespace input {
namespace {

enum class Kind { Keyboard, Mouse, Pad };

const char* KindName(Kind kind) {
    switch (kind) {
    case Kind::Keyboard: return "Keyboard";
    case Kind::Mouse: return "Mouse";
    case Kind::Pad: return "Pad";
    }
    return "";
}

// Counts for testing.h.
int g_reads[3] = {};
std::atomic<int> g_live{0};

bool Fault(const std::string& name) { return kernel::ConsumeFault(name.c_str()); }
bool Fault(const char* method, Kind kind) { return Fault(std::string(method) + ":" + KindName(kind)); }

bool IsForeground(HWND window) {
    std::lock_guard<std::mutex> hold(window::Mutex());
    return window != nullptr && window::Foreground() == window;
}

bool IsLiveWindow(HWND window) {
    std::lock_guard<std::mutex> hold(window::Mutex());
    return window::Find(window) != nullptr;
}

// ---- pads' axes ------------------------------------------------------------------------------
// The axis an object offset names: X, Y, Z, Rz, Rx, Ry, then the two sliders, in the
// order SDL numbers a pad's axes.
int AxisOfOffset(DWORD offset) {
    switch (offset) {
    case DIJOFS_X: return 0;
    case DIJOFS_Y: return 1;
    case DIJOFS_Z: return 2;
    case DIJOFS_RZ: return 3;
    case DIJOFS_RX: return 4;
    case DIJOFS_RY: return 5;
    case DIJOFS_SLIDER(0): return 6;
    case DIJOFS_SLIDER(1): return 7;
    default: return -1;
    }
}

const char* const kAxisNames[8] = {"X", "Y", "Z", "Rz", "Rx", "Ry", "Slider0", "Slider1"};

struct AxisSetting {
    bool rangeSet = false;
    LONG min = 0;
    LONG max = 65535;
    DWORD deadZone = 0;  // ten-thousandths of the half range
};

// A raw SDL value through the axis's range and dead zone.
LONG AxisReading(const AxisSetting& s, int raw) {
    if (!s.rangeSet && s.deadZone == 0) return raw + 32768;
    const double min = s.min, max = s.max;
    const double centre = (min + max) / 2, half = (max - min) / 2;
    const double deflection = raw >= 0 ? raw / 32767.0 : raw / 32768.0;
    const double zone = s.deadZone / 10000.0;
    const double size = std::fabs(deflection);
    double value = centre;
    if (size > zone) value = centre + std::copysign((size - zone) / (1.0 - zone), deflection) * half;
    value = std::trunc(value);
    if (value < min) value = min;
    if (value > max) value = max;
    return static_cast<LONG>(value);
}

DWORD PovOf(uint8_t hat) {
    switch (hat & 0x0F) {
    case 1: return 0;
    case 3: return 4500;
    case 2: return 9000;
    case 6: return 13500;
    case 4: return 18000;
    case 12: return 22500;
    case 8: return 27000;
    case 9: return 31500;
    default: return 0xFFFFFFFFu;
    }
}

// ---- names ------------------------------------------------------------------------------------
GUID PadGuid(int id, bool product) {
    return {0x51B20000u + static_cast<DWORD>(id), 0x7A2B, 0x4C3D,
            {0x9E, 0x11, 0x50, 0x41, 0x44, static_cast<BYTE>(product ? 0x50 : 0x49), 0x00, 0x01}};
}

int PadIdOfGuid(REFGUID guid) {
    GUID probe = guid;
    int id = static_cast<int>(probe.Data1 - 0x51B20000u);
    if (probe.Data1 < 0x51B20001u || probe.Data1 > 0x51B2FFFFu) return 0;
    return PadGuid(id, false) == guid ? id : 0;
}

// CP932, cut between characters to fit the field with its terminator.
void CopyName(CHAR* field, const std::string& utf8) {
    std::string cp932 = kernel::Utf8ToCp932(utf8);
    size_t length = 0;
    while (length < cp932.size()) {
        size_t step = kernel::IsSjisLeadByte(static_cast<unsigned char>(cp932[length])) ? 2 : 1;
        if (length + step > MAX_PATH - 1) break;
        length += step;
    }
    std::memcpy(field, cp932.data(), length);
    field[length] = '\0';
}

DIDEVICEINSTANCEA InstanceOf(Kind kind, const Pad* pad) {
    DIDEVICEINSTANCEA info = {};
    info.dwSize = sizeof info;
    switch (kind) {
    case Kind::Keyboard:
        info.guidInstance = info.guidProduct = GUID_SysKeyboard;
        info.dwDevType = DIDEVTYPE_KEYBOARD;
        CopyName(info.tszInstanceName, "Keyboard");
        CopyName(info.tszProductName, "Keyboard");
        break;
    case Kind::Mouse:
        info.guidInstance = info.guidProduct = GUID_SysMouse;
        info.dwDevType = DIDEVTYPE_MOUSE;
        CopyName(info.tszInstanceName, "Mouse");
        CopyName(info.tszProductName, "Mouse");
        break;
    case Kind::Pad:
        info.guidInstance = PadGuid(pad->id, false);
        info.guidProduct = PadGuid(pad->id, true);
        info.dwDevType = DIDEVTYPE_JOYSTICK;
        CopyName(info.tszInstanceName, pad->name);
        CopyName(info.tszProductName, pad->name);
        break;
    }
    return info;
}

// ---- effects ------------------------------------------------------------------------------------
class Effect final : public IDirectInputEffect {
public:
    Effect(int pad, int slot) : pad_(pad), slot_(slot) { ++g_live; }
    ~Effect() { --g_live; }

    HRESULT QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (iid != IID_IUnknown) return E_NOINTERFACE;
        AddRef();
        *object = static_cast<IUnknown*>(this);
        return S_OK;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        const ULONG left = --refs_;
        if (left == 0) {
            {
                std::lock_guard<std::mutex> hold(Lock());
                DestroyEffect(FindPad(pad_), slot_);
            }
            delete this;
        }
        return left;
    }

    HRESULT Start(DWORD, DWORD) override { return Run(true); }
    HRESULT Stop() override { return Run(false); }

private:
    HRESULT Run(bool run) {
        std::lock_guard<std::mutex> hold(Lock());
        Pad* pad = FindPad(pad_);
        if (pad == nullptr || !pad->attached) return DIERR_INPUTLOST;
        RunEffect(pad, slot_, run);
        return DI_OK;
    }

    std::atomic<ULONG> refs_{1};
    int pad_;
    int slot_;
};

// ---- devices -------------------------------------------------------------------------------------
class Device;
std::set<Device*>& g_devices = *new std::set<Device*>;  // guarded by Lock(); never destroyed

class Device final : public IDirectInputDevice7A {
public:
    Device(Kind kind, int pad) : kind_(kind), pad_(pad) {
        ++g_live;
        g_devices.insert(this);
    }
    ~Device() {
        g_devices.erase(this);
        --g_live;
    }

    Kind kind() const { return kind_; }
    int pad() const { return pad_; }

    // Signals the device's event for a change of its state, while it is acquired.
    void Signal() {
        CheckAcquisition();
        if (acquired_ && event_ != nullptr) SetEvent(event_);
    }

    HRESULT QueryInterface(REFIID iid, void** object) override {
        return com::AnswerAs<IDirectInputDevice7A>(this, iid, object, {IID_IDirectInputDevice7A});
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        const ULONG left = --refs_;
        if (left == 0) {
            std::lock_guard<std::mutex> hold(Lock());
            delete this;
        }
        return left;
    }

    HRESULT SetDataFormat(LPCDIDATAFORMAT format) override {
        std::lock_guard<std::mutex> hold(Lock());
        if (Fault("SetDataFormat", kind_)) return DIERR_GENERIC;
        if (acquired_) return DIERR_ACQUIRED;
        if (format == nullptr || format->dwSize != sizeof(DIDATAFORMAT) || format->dwDataSize != StateSize())
            return DIERR_INVALIDPARAM;
        formatSet_ = true;
        return DI_OK;
    }

    HRESULT SetCooperativeLevel(HWND window, DWORD flags) override {
        std::lock_guard<std::mutex> hold(Lock());
        if (Fault("SetCooperativeLevel", kind_)) return DIERR_GENERIC;
        const DWORD access = flags & (DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE);
        const DWORD focus = flags & (DISCL_FOREGROUND | DISCL_BACKGROUND);
        if ((access != DISCL_EXCLUSIVE && access != DISCL_NONEXCLUSIVE) ||
            (focus != DISCL_FOREGROUND && focus != DISCL_BACKGROUND))
            return DIERR_INVALIDPARAM;
        if ((flags & (DISCL_EXCLUSIVE | DISCL_FOREGROUND)) != 0 && !IsLiveWindow(window)) return DIERR_INVALIDPARAM;
        window_ = window;
        level_ = flags;
        return DI_OK;
    }

    HRESULT SetProperty(DIPROPERTYID property, LPCDIPROPHEADER header) override {
        std::lock_guard<std::mutex> hold(Lock());
        if (Fault("SetProperty", kind_)) return DIERR_GENERIC;
        if (header == nullptr || header->dwHeaderSize != sizeof(DIPROPHEADER)) return DIERR_INVALIDPARAM;
        if (property == DIPROP_BUFFERSIZE) {
            if (header->dwSize != sizeof(DIPROPDWORD) || header->dwHow != DIPH_DEVICE) return DIERR_INVALIDPARAM;
            if (Fault(std::string("SetProperty:") + KindName(kind_) + ":BufferSize")) return DIERR_GENERIC;
            bufferSize_ = reinterpret_cast<const DIPROPDWORD*>(header)->dwData;
            return DI_OK;
        }
        const bool range = property == DIPROP_RANGE;
        if (!range && property != DIPROP_DEADZONE) return DIERR_UNSUPPORTED;
        if (kind_ != Kind::Pad) return DIERR_UNSUPPORTED;
        if (header->dwSize != (range ? sizeof(DIPROPRANGE) : sizeof(DIPROPDWORD))) return DIERR_INVALIDPARAM;
        Pad* pad = FindPad(pad_);
        if (pad == nullptr) return DIERR_INPUTLOST;
        int first = 0, last = pad->axes - 1;
        if (header->dwHow == DIPH_BYOFFSET) {
            first = last = AxisOfOffset(header->dwObj);
            if (first < 0 || first >= pad->axes) return DIERR_OBJECTNOTFOUND;
            if (Fault(std::string("SetProperty:Pad:") + (range ? "Range" : "DeadZone") + kAxisNames[first]))
                return DIERR_GENERIC;
        } else if (header->dwHow != DIPH_DEVICE) {
            return DIERR_INVALIDPARAM;
        }
        if (range) {
            const auto* r = reinterpret_cast<const DIPROPRANGE*>(header);
            if (r->lMin >= r->lMax) return DIERR_INVALIDPARAM;
            for (int i = first; i <= last; i++) {
                axes_[i].rangeSet = true;
                axes_[i].min = r->lMin;
                axes_[i].max = r->lMax;
            }
        } else {
            DWORD zone = reinterpret_cast<const DIPROPDWORD*>(header)->dwData;
            if (zone > 10000) return DIERR_INVALIDPARAM;
            for (int i = first; i <= last; i++) axes_[i].deadZone = zone;
        }
        return DI_OK;
    }

    HRESULT SetEventNotification(HANDLE event) override {
        std::lock_guard<std::mutex> hold(Lock());
        if (Fault("SetEventNotification", kind_)) return DIERR_GENERIC;
        event_ = event;
        return DI_OK;
    }

    HRESULT Acquire() override {
        std::lock_guard<std::mutex> hold(Lock());
        if (Fault("Acquire", kind_)) return DIERR_GENERIC;
        if (!formatSet_) return DIERR_INVALIDPARAM;
        CheckAcquisition();
        if (acquired_) return DI_NOEFFECT;
        if (kind_ == Kind::Pad && !PadUsable()) return DIERR_INPUTLOST;
        if ((level_ & DISCL_FOREGROUND) && !IsForeground(window_)) return DIERR_OTHERAPPHASPRIO;
        acquired_ = true;
        lostPending_ = false;
        if (kind_ == Kind::Mouse) Machine().mousePosition(&mouseX_, &mouseY_);
        return DI_OK;
    }

    HRESULT Unacquire() override {
        std::lock_guard<std::mutex> hold(Lock());
        lostPending_ = false;
        if (!acquired_) return DI_NOEFFECT;
        acquired_ = false;
        return DI_OK;
    }

    HRESULT Poll() override {
        std::lock_guard<std::mutex> hold(Lock());
        CheckAcquisition();
        if (!acquired_) return lostPending_ ? DIERR_INPUTLOST : DIERR_NOTACQUIRED;
        return DI_NOEFFECT;
    }

    HRESULT GetDeviceState(DWORD size, LPVOID data) override {
        std::lock_guard<std::mutex> hold(Lock());
        g_reads[static_cast<int>(kind_)]++;
        if (Fault("GetDeviceState", kind_)) {
            if (acquired_) acquired_ = false;
            return DIERR_GENERIC;
        }
        if (!formatSet_ || data == nullptr || size != StateSize()) return DIERR_INVALIDPARAM;
        CheckAcquisition();
        if (!acquired_) {
            if (lostPending_) {
                lostPending_ = false;
                return DIERR_INPUTLOST;
            }
            return DIERR_NOTACQUIRED;
        }
        switch (kind_) {
        case Kind::Keyboard: window::ReadDikState(static_cast<uint8_t*>(data)); break;
        case Kind::Mouse: ReadMouse(static_cast<DIMOUSESTATE*>(data)); break;
        case Kind::Pad: ReadPad(*FindPad(pad_), static_cast<DIJOYSTATE*>(data)); break;
        }
        return DI_OK;
    }

    HRESULT GetDeviceInfo(LPDIDEVICEINSTANCEA instance) override {
        std::lock_guard<std::mutex> hold(Lock());
        if (instance == nullptr || instance->dwSize != sizeof(DIDEVICEINSTANCEA)) return DIERR_INVALIDPARAM;
        const Pad* pad = kind_ == Kind::Pad ? FindPad(pad_) : nullptr;
        if (kind_ == Kind::Pad && pad == nullptr) return DIERR_INPUTLOST;
        *instance = InstanceOf(kind_, pad);
        return DI_OK;
    }

    HRESULT CreateEffect(REFGUID kind, LPCDIEFFECT effect, LPDIRECTINPUTEFFECT* out, LPUNKNOWN outer) override {
        if (out == nullptr) return DIERR_INVALIDPARAM;
        *out = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        std::lock_guard<std::mutex> hold(Lock());
        if (Fault("CreateEffect")) return DIERR_GENERIC;
        Pad* pad = kind_ == Kind::Pad ? FindPad(pad_) : nullptr;
        if (pad == nullptr || !HasForceFeedback(*pad)) return DIERR_UNSUPPORTED;
        if (!pad->attached) return DIERR_INPUTLOST;
        backend::MachineEffect spec;
        if (!ReadEffect(kind, effect, &spec)) return DIERR_INVALIDPARAM;
        int slot = input::CreateEffect(pad, spec);
        if (slot < 0) return DIERR_UNSUPPORTED;
        *out = new Effect(pad_, slot);
        return DI_OK;
    }

private:
    static const backend::InputBackend& Machine() { return backend::CurrentInput(); }

    DWORD StateSize() const {
        switch (kind_) {
        case Kind::Keyboard: return 256;
        case Kind::Mouse: return sizeof(DIMOUSESTATE);
        case Kind::Pad: return sizeof(DIJOYSTATE);
        }
        return 0;
    }

    bool PadUsable() const {
        const Pad* pad = FindPad(pad_);
        if (pad == nullptr || !pad->attached) return false;
        // A script hides the machine's pads.
        return pad->source != Pad::Machine || !ScriptRunning();
    }

    // Drops the acquisition of a pad that is gone, and of a foreground device whose
    // window is no longer in front; the next read reports the loss.
    void CheckAcquisition() {
        if (!acquired_) return;
        bool lost = (kind_ == Kind::Pad && !PadUsable()) || ((level_ & DISCL_FOREGROUND) && !IsForeground(window_));
        if (!lost) return;
        acquired_ = false;
        lostPending_ = true;
    }

    void ReadMouse(DIMOUSESTATE* state) {
        int x = 0, y = 0;
        Machine().mousePosition(&x, &y);
        std::memset(state, 0, sizeof *state);
        state->lX = x - mouseX_;
        state->lY = y - mouseY_;
        mouseX_ = x;
        mouseY_ = y;
    }

    void ReadPad(const Pad& pad, DIJOYSTATE* state) const {
        std::memset(state, 0, sizeof *state);
        LONG* axes[8] = {&state->lX,  &state->lY,  &state->lZ,           &state->lRz,
                         &state->lRx, &state->lRy, &state->rglSlider[0], &state->rglSlider[1]};
        for (int i = 0; i < pad.axes; i++) *axes[i] = AxisReading(axes_[i], pad.axis[i]);
        for (int i = 0; i < 4; i++) state->rgdwPOV[i] = i < pad.hats ? PovOf(pad.hat[i]) : 0xFFFFFFFFu;
        for (int i = 0; i < pad.buttons; i++) state->rgbButtons[i] = (pad.buttonBits >> i & 1) ? 0x80 : 0;
    }

    static bool ReadEffect(REFGUID kind, LPCDIEFFECT effect, backend::MachineEffect* spec) {
        if (effect == nullptr || effect->dwSize != sizeof(DIEFFECT) || effect->lpvTypeSpecificParams == nullptr)
            return false;
        spec->durationMicroseconds = effect->dwDuration;
        spec->gain = effect->dwGain > 10000 ? 10000 : effect->dwGain;
        if (kind == GUID_Sine) {
            if (effect->cbTypeSpecificParams != sizeof(DIPERIODIC)) return false;
            const auto* periodic = static_cast<const DIPERIODIC*>(effect->lpvTypeSpecificParams);
            spec->kind = backend::MachineEffect::Sine;
            spec->magnitude = static_cast<int>(periodic->dwMagnitude > 10000 ? 10000 : periodic->dwMagnitude);
            spec->periodMicroseconds = periodic->dwPeriod;
        } else if (kind == GUID_ConstantForce) {
            if (effect->cbTypeSpecificParams != sizeof(DICONSTANTFORCE)) return false;
            const auto* constant = static_cast<const DICONSTANTFORCE*>(effect->lpvTypeSpecificParams);
            spec->kind = backend::MachineEffect::Constant;
            LONG magnitude = constant->lMagnitude;
            spec->magnitude = magnitude > 10000 ? 10000 : magnitude < -10000 ? -10000 : magnitude;
        } else {
            return false;
        }
        if (const DIENVELOPE* envelope = effect->lpEnvelope) {
            if (envelope->dwSize != sizeof(DIENVELOPE)) return false;
            spec->attackLevel = envelope->dwAttackLevel;
            spec->attackMicroseconds = envelope->dwAttackTime;
            spec->fadeLevel = envelope->dwFadeLevel;
            spec->fadeMicroseconds = envelope->dwFadeTime;
        }
        return true;
    }

    std::atomic<ULONG> refs_{1};
    const Kind kind_;
    const int pad_;  // Kind::Pad only
    bool formatSet_ = false;
    HWND window_ = nullptr;
    DWORD level_ = DISCL_NONEXCLUSIVE | DISCL_BACKGROUND;
    bool acquired_ = false;
    bool lostPending_ = false;  // the next read reports the loss
    HANDLE event_ = nullptr;
    AxisSetting axes_[8];
    DWORD bufferSize_ = 0;
    int mouseX_ = 0, mouseY_ = 0;
};

// ---- the DirectInput object -------------------------------------------------------------------------
class DirectInput final : public IDirectInput7A {
public:
    DirectInput() { ++g_live; }
    ~DirectInput() { --g_live; }

    HRESULT QueryInterface(REFIID iid, void** object) override {
        return com::AnswerAs<IDirectInput7A>(this, iid, object, {IID_IDirectInput7A});
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT Initialize(HINSTANCE, DWORD version) override {
        if (Fault("DirectInputInitialize")) return DIERR_GENERIC;
        if (version > DIRECTINPUT_VERSION) return DIERR_OLDDIRECTINPUTVERSION;
        initialized_ = true;
        return DI_OK;
    }

    HRESULT EnumDevices(DWORD deviceType, LPDIENUMDEVICESCALLBACKA callback, LPVOID context, DWORD) override {
        if (!initialized_) return DIERR_NOTINITIALIZED;
        if (callback == nullptr) return DIERR_INVALIDPARAM;
        std::vector<DIDEVICEINSTANCEA> found;
        {
            std::lock_guard<std::mutex> hold(Lock());
            const DWORD type = deviceType & 0xFF;
            if (type == 0 || type == DIDEVTYPE_KEYBOARD) found.push_back(InstanceOf(Kind::Keyboard, nullptr));
            if (type == 0 || type == DIDEVTYPE_MOUSE) found.push_back(InstanceOf(Kind::Mouse, nullptr));
            if (type == 0 || type == DIDEVTYPE_JOYSTICK)
                for (Pad* pad : AttachedPads()) found.push_back(InstanceOf(Kind::Pad, pad));
        }
        // The callback runs without the lock: it makes devices.
        for (const DIDEVICEINSTANCEA& instance : found)
            if (callback(&instance, context) == DIENUM_STOP) break;
        return DI_OK;
    }

    HRESULT CreateDeviceEx(REFGUID guid, REFIID iid, LPVOID* out, LPUNKNOWN outer) override {
        if (out == nullptr) return DIERR_INVALIDPARAM;
        *out = nullptr;
        if (!initialized_) return DIERR_NOTINITIALIZED;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        if (iid != IID_IDirectInputDevice7A && iid != IID_IUnknown) return DIERR_NOINTERFACE;
        std::lock_guard<std::mutex> hold(Lock());
        Kind kind;
        int padId = 0;
        if (guid == GUID_SysKeyboard) {
            kind = Kind::Keyboard;
        } else if (guid == GUID_SysMouse) {
            kind = Kind::Mouse;
        } else {
            kind = Kind::Pad;
            padId = PadIdOfGuid(guid);
            Pad* pad = padId ? FindPad(padId) : nullptr;
            if (pad == nullptr || !pad->attached) return DIERR_DEVICENOTREG;
        }
        if (Fault("CreateDeviceEx", kind)) return DIERR_GENERIC;
        *out = static_cast<IDirectInputDevice7A*>(new Device(kind, padId));
        return DI_OK;
    }

private:
    std::atomic<ULONG> refs_{1};
    bool initialized_ = false;
};

}  // namespace

void SignalPadDevices(int pad) {
    for (Device* device : g_devices)
        if (device->kind() == Kind::Pad && device->pad() == pad) device->Signal();
}

void SignalMouseDevices() {
    for (Device* device : g_devices)
        if (device->kind() == Kind::Mouse) device->Signal();
}

void OnKeyboardChanged() {
    std::lock_guard<std::mutex> hold(Lock());
    for (Device* device : g_devices)
        if (device->kind() == Kind::Keyboard) device->Signal();
}

int LiveObjects() { return g_live.load(); }

void ResetDeviceCounts() {
    for (int& reads : g_reads) reads = 0;
}

HRESULT CreateDirectInput(REFIID iid, void** object) {
    if (kernel::ConsumeFault("CreateDirectInput")) return E_FAIL;
    auto* created = new DirectInput;
    HRESULT result = created->QueryInterface(iid, object);
    created->Release();
    return result;
}

}  // namespace input

namespace ptest {

int GetDeviceReadCount(InputDevice device) {
    std::lock_guard<std::mutex> hold(input::Lock());
    return input::g_reads[static_cast<int>(device)];
}

int GetLiveInputObjects() { return input::LiveObjects(); }

}  // namespace ptest
