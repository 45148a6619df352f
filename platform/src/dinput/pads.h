// dinput/pads.h: the pads DirectInput and the joystick functions read (pads.cpp) and the
// devices' signals (devices.cpp). Everything here is used with the input lock held.
#pragma once

#include <string>
#include <vector>

#include "backend/input.h"
#include "dinput/input.h"

namespace input {

// ---- pads (pads.cpp) -----------------------------------------------------------------------------
struct EffectSlot {
    backend::MachineEffect spec;
    int machineEffect = -1;  // the backend's effect, once made on the main thread
    ptest::PadEffectRecord record;
};

struct Pad {
    enum Source { Machine, Test, Script };
    int id = 0;  // from 1, never reused; the order of enumeration
    Source source = Test;
    int machineId = 0;
    std::string name;  // UTF-8
    int axes = 0, buttons = 0, hats = 0;
    int16_t axis[8] = {};
    uint32_t buttonBits = 0;
    uint8_t hat[4] = {};
    bool attached = true;
    bool fakeForceFeedback = false;
    bool machineHaptic = false;
    std::vector<EffectSlot> effects;
};

// Lock held for all of these.
// The attached pads in the order DirectInput enumerates them.
std::vector<Pad*> AttachedPads();
// A pad by id, attached or not; null for an id never given out.
Pad* FindPad(int id);
bool HasForceFeedback(const Pad& pad);
// An effect on the pad; its index, or -1 when the pad has no force feedback.
int CreateEffect(Pad* pad, const backend::MachineEffect& spec);
void RunEffect(Pad* pad, int effect, bool run);
void DestroyEffect(Pad* pad, int effect);
// The layer's own pads.
Pad* AddPad(Pad::Source source, const std::string& name, int axes, int buttons, int hats, bool fakeForceFeedback);
void SetAxis(Pad* pad, int axis, int value);
void SetButton(Pad* pad, int button, bool held);

// ---- devices (devices.cpp; Lock held unless said) -----------------------------------------------------
// Signal the events of the acquired devices whose state changed.
void SignalPadDevices(int pad);
void SignalMouseDevices();
// Counts for testing.h.
int LiveObjects();
void ResetDeviceCounts();

}  // namespace input
