// dinput/joystick.cpp: the multimedia joystick functions over the same pads DirectInput
// reads. Id i is the i-th attached pad in DirectInput's order; an id past the attached
// pads reads as unplugged. Any thread, under the input lock.
#include <cstring>

#include "dinput/pads.h"
#include "kernel/diag.h"
#include "kernel/text.h"
#include "platform/winmm.h"

namespace {

constexpr UINT kMaxJoysticks = 16;

input::Pad* PadOfId(UINT_PTR id) {
    std::vector<input::Pad*> pads = input::AttachedPads();
    return id < pads.size() ? pads[id] : nullptr;
}

DWORD Position(const input::Pad& pad, int axis) {
    return axis < pad.axes ? static_cast<DWORD>(pad.axis[axis] + 32768) : 32767u;
}

}  // namespace

MMRESULT joyGetDevCapsA(UINT_PTR id, LPJOYCAPSA caps, UINT size) {
    if (caps == nullptr || size != sizeof(JOYCAPSA)) return JOYERR_PARMS;
    std::lock_guard<std::mutex> hold(input::Lock());
    input::LoadEnvironmentScript();
    if (kernel::ConsumeFault("joyGetDevCapsA")) return MMSYSERR_ERROR;
    input::Pad* pad = PadOfId(id);
    if (pad == nullptr) return MMSYSERR_BADDEVICEID;
    std::memset(caps, 0, sizeof *caps);
    std::string name = kernel::Utf8ToCp932(pad->name);
    size_t length = 0;
    while (length < name.size()) {
        size_t step = kernel::IsSjisLeadByte(static_cast<unsigned char>(name[length])) ? 2 : 1;
        if (length + step > sizeof caps->szPname - 1) break;
        length += step;
    }
    std::memcpy(caps->szPname, name.data(), length);
    caps->wXmax = caps->wYmax = caps->wZmax = caps->wRmax = caps->wUmax = caps->wVmax = 65535;
    caps->wNumButtons = static_cast<UINT>(pad->buttons);
    caps->wMaxButtons = 32;
    caps->wMaxAxes = 6;
    caps->wNumAxes = static_cast<UINT>(pad->axes > 6 ? 6 : pad->axes);
    caps->wPeriodMin = 10;
    caps->wPeriodMax = 1000;
    if (pad->axes >= 3) caps->wCaps |= JOYCAPS_HASZ;
    if (pad->axes >= 4) caps->wCaps |= JOYCAPS_HASR;
    if (pad->axes >= 5) caps->wCaps |= JOYCAPS_HASU;
    if (pad->axes >= 6) caps->wCaps |= JOYCAPS_HASV;
    if (pad->hats > 0) caps->wCaps |= JOYCAPS_HASPOV;
    return JOYERR_NOERROR;
}

MMRESULT joyGetPosEx(UINT id, LPJOYINFOEX info) {
    if (info == nullptr || info->dwSize != sizeof(JOYINFOEX)) return JOYERR_PARMS;
    std::lock_guard<std::mutex> hold(input::Lock());
    input::LoadEnvironmentScript();
    if (kernel::ConsumeFault("joyGetPosEx")) return MMSYSERR_ERROR;
    input::Pad* pad = PadOfId(id);
    if (pad == nullptr) return id < kMaxJoysticks ? JOYERR_UNPLUGGED : JOYERR_PARMS;
    DWORD flags = info->dwFlags;
    std::memset(info, 0, sizeof *info);
    info->dwSize = sizeof *info;
    info->dwFlags = flags;
    info->dwXpos = Position(*pad, 0);
    info->dwYpos = Position(*pad, 1);
    info->dwZpos = Position(*pad, 2);
    info->dwRpos = Position(*pad, 3);
    info->dwUpos = Position(*pad, 4);
    info->dwVpos = Position(*pad, 5);
    info->dwButtons = pad->buttonBits;
    for (int i = 0; i < 32; i++)
        if (pad->buttonBits >> i & 1) info->dwButtonNumber++;
    info->dwPOV = 0xFFFF;  // centred
    return JOYERR_NOERROR;
}
