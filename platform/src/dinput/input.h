// dinput/input.h: the input layer as the rest of the platform meets it: its lock, its
// pump, the keyboard's change signal and input scripts (script.cpp). The pads and the
// devices that read them are in dinput/pads.h. One lock guards all of it; SDL is touched
// only by Pump on the main thread.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/testing.h"
#include "platform/win32.h"

namespace input {

std::mutex& Lock();

// Main thread (else nothing): brings the machine's pads up to date, plays the script's
// due events, runs effect work other threads queued, and looks at the mouse. Called at
// every PeekMessageA; the input lock is NOT held.
void Pump();

// ---- devices (devices.cpp) ------------------------------------------------------------------
// Lock NOT held: the key state changed (window/keys.cpp).
void OnKeyboardChanged();

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
// Lock NOT held: this many more frames have been presented (the present calls it; so does
// ptest::AdvanceInputFrames).
void CountPresentedFrames(int frames);
// Lock held.
bool ScriptRunning();
// Loads QZ_INPUT's script the first time the layer is used.
void LoadEnvironmentScript();
// The script's events that are due; keys are returned as (DIK code, down) pairs for the
// caller to deliver once the lock is released, pad events are applied here.
void TakeDueScriptEvents(std::vector<std::pair<int, bool>>* keys);
void ResetScript();

}  // namespace input
