// backend/input.h: the machine's pads, their force feedback and the mouse position, as
// their own small table chosen by the same name as the window backend (QZ_BACKEND, see
// testing.h): "sdl", SDL's joysticks and haptics, or "null", a machine without pads
// whose mouse sits where a test puts it. Virtual pads of tests and of input scripts live
// above this table (platform/src/dinput); nothing above it asks which machine it has.
//
// Threads: readPads and the effect members touch SDL and are called only on the main
// thread (the input layer queues what other threads ask for); mousePosition from any
// thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace backend {

// One attached pad as the machine reports it now.
struct MachinePad {
    int id = 0;        // stable while the pad stays attached, never reused
    std::string name;  // UTF-8
    int axes = 0;      // at most 8 are read
    int buttons = 0;   // at most 32 are read
    int hats = 0;      // at most 4 are read
    bool haptic = false;
    int16_t axis[8] = {};
    uint32_t buttonBits = 0;  // button i in bit i
    uint8_t hat[4] = {};      // SDL hat bits: 1 up, 2 right, 4 down, 8 left
};

// A force-feedback effect in DirectInput's units.
struct MachineEffect {
    enum Kind { Sine, Constant } kind = Sine;
    uint32_t durationMicroseconds = 0xFFFFFFFFu;  // 0xFFFFFFFF: until stopped
    uint32_t gain = 10000;  // 0..10000
    int magnitude = 10000;  // 0..10000 (constant: -10000..10000)
    uint32_t periodMicroseconds = 0;
    uint32_t attackLevel = 0, attackMicroseconds = 0;
    uint32_t fadeLevel = 0, fadeMicroseconds = 0;
};

struct InputBackend {
    const char* name;  // "sdl" or "null"

    // Main thread: brings the machine's pads up to date and reports the attached ones.
    void (*readPads)(std::vector<MachinePad>* pads);
    // Main thread: a new effect on a pad with haptics; -1 when it cannot be made.
    int (*createEffect)(int pad, const MachineEffect& effect);
    // Main thread: run (once) or stop an effect; destroy frees it.
    void (*runEffect)(int pad, int effect, bool run);
    void (*destroyEffect)(int pad, int effect);
    // Any thread: the mouse on the desktop.
    void (*mousePosition)(int* x, int* y);
};

// The input backend of QZ_BACKEND's name.
const InputBackend& CurrentInput();
const InputBackend& NullInput();
const InputBackend& SdlInput();

}  // namespace backend
