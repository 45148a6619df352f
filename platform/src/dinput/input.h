// dinput/input.h: the input layer's shared state: the pads (machine, test and script
// pads, pads.cpp), the DirectInput devices that read them (devices.cpp) and the input
// script (script.cpp). One lock guards all of it; SDL is touched only by Pump on the
// main thread.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "backend/input.h"
#include "platform/testing.h"
#include "platform/win32.h"

namespace input {

std::mutex& Lock();

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

// Main thread (else nothing): brings the machine's pads up to date, plays the script's
// due events, runs effect work other threads queued, and looks at the mouse. Called at
// every PeekMessageA; the input lock is NOT held.
void Pump();

// ---- devices (devices.cpp; Lock held unless said) -----------------------------------------------------
// Signal the events of the acquired devices whose state changed.
void SignalPadDevices(int pad);
void SignalMouseDevices();
// Lock NOT held: the key state changed (window/keys.cpp).
void OnKeyboardChanged();
// Counts for testing.h.
int LiveObjects();
void ResetDeviceCounts();

// ---- script (script.cpp) -------------------------------------------------------------------------------
struct ScriptEvent {
    enum Kind { Key, Axis, Button };
    uint32_t frame = 0;
    Kind kind = Key;
    int pad = 0;    // 1-8
    int index = 0;  // DIK code, axis or button
    int value = 0;  // 0/1 for keys and buttons, the raw value for axes
};
struct InputScript {
    std::vector<ScriptEvent> events;  // in frame order, a frame's events in file order
    int padCount = 0;                 // the highest pad named
};
// Reads a script's text. False with a message naming the line when a line is not an
// event; nothing is kept then.
bool ParseInputScript(std::string_view text, InputScript* script, std::string* error);

// Lock NOT held: whether a script runs (loading QZ_INPUT's first).
bool ScriptRunningUnlocked();
// Lock held.
bool ScriptRunning();
// Loads QZ_INPUT's script the first time the layer is used.
void LoadEnvironmentScript();
// The script's events that are due; keys are returned as (DIK code, down) pairs for the
// caller to deliver once the lock is released, pad events are applied here.
void TakeDueScriptEvents(std::vector<std::pair<int, bool>>* keys);
void ResetScript();

}  // namespace input
