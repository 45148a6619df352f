// sdl/sdl_input.cpp: the real machine's input: SDL joysticks (virtual ones included) and
// their haptics, and SDL's global mouse position.
//
// Threads: SDL is touched only on the main thread. The joystick subsystem starts there
// lazily, at the first pad read; joystick events stay out of SDL's queue (the window
// backend would only drop them), so states are brought up to date with
// SDL_JoystickUpdate at every read. The mouse position read elsewhere is the main
// thread's last reading.
#include <SDL.h>

#include <atomic>
#include <cstdio>
#include <map>

#include "backend/input.h"
#include "platform/testing.h"

namespace backend {
namespace {

struct OpenPad {
    SDL_Joystick* joystick = nullptr;
    SDL_Haptic* haptic = nullptr;  // opened at the first effect
};

// Main thread only.
std::map<SDL_JoystickID, OpenPad>& g_open = *new std::map<SDL_JoystickID, OpenPad>;  // never destroyed
bool g_joysticksFailed = false;
std::atomic<int> g_mouseX{0};
std::atomic<int> g_mouseY{0};

bool EnsureJoysticks() {
    if (!ptest::IsMainThread()) return false;
    if (SDL_WasInit(SDL_INIT_JOYSTICK)) return true;
    if (g_joysticksFailed) return false;
    // Pads are read whatever window has the focus: DirectInput decides what a program in
    // the background may read.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) {
        g_joysticksFailed = true;
        std::fprintf(stderr, "sdl: joysticks cannot start (%s); no pads\n", SDL_GetError());
        return false;
    }
    SDL_JoystickEventState(SDL_IGNORE);
    return true;
}

void ReadPads(std::vector<MachinePad>* pads) {
    pads->clear();
    if (!EnsureJoysticks()) return;
    SDL_JoystickUpdate();
    // Newly attached joysticks are opened; those gone are closed.
    const int count = SDL_NumJoysticks();
    for (int index = 0; index < count; index++) {
        SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(index);
        if (id < 0 || g_open.count(id)) continue;
        if (SDL_Joystick* joystick = SDL_JoystickOpen(index)) g_open[id].joystick = joystick;
    }
    for (auto it = g_open.begin(); it != g_open.end();) {
        if (SDL_JoystickGetAttached(it->second.joystick)) {
            ++it;
            continue;
        }
        if (it->second.haptic) SDL_HapticClose(it->second.haptic);
        SDL_JoystickClose(it->second.joystick);
        it = g_open.erase(it);
    }
    for (auto& [id, open] : g_open) {
        SDL_Joystick* joystick = open.joystick;
        MachinePad pad;
        pad.id = id;
        const char* name = SDL_JoystickName(joystick);
        pad.name = name ? name : "Joystick";
        pad.axes = SDL_JoystickNumAxes(joystick);
        pad.buttons = SDL_JoystickNumButtons(joystick);
        pad.hats = SDL_JoystickNumHats(joystick);
        pad.haptic = SDL_JoystickIsHaptic(joystick) == SDL_TRUE;
        for (int i = 0; i < pad.axes && i < 8; i++) pad.axis[i] = SDL_JoystickGetAxis(joystick, i);
        for (int i = 0; i < pad.buttons && i < 32; i++)
            if (SDL_JoystickGetButton(joystick, i)) pad.buttonBits |= 1u << i;
        for (int i = 0; i < pad.hats && i < 4; i++) pad.hat[i] = SDL_JoystickGetHat(joystick, i);
        pads->push_back(pad);
    }
}

SDL_Haptic* HapticOf(int pad) {
    if (!ptest::IsMainThread()) return nullptr;
    auto it = g_open.find(pad);
    if (it == g_open.end()) return nullptr;
    if (it->second.haptic == nullptr) {
        if (!SDL_WasInit(SDL_INIT_HAPTIC) && SDL_InitSubSystem(SDL_INIT_HAPTIC) != 0) return nullptr;
        it->second.haptic = SDL_HapticOpenFromJoystick(it->second.joystick);
    }
    return it->second.haptic;
}

// DirectInput's microseconds and 0..10000 in SDL's milliseconds and 0..32767.
Uint32 Milliseconds(uint32_t microseconds) {
    return microseconds == 0xFFFFFFFFu ? SDL_HAPTIC_INFINITY : microseconds / 1000;
}
Uint16 ShortMilliseconds(uint32_t microseconds) {
    uint32_t ms = microseconds / 1000;
    return static_cast<Uint16>(ms > 0xFFFF ? 0xFFFF : ms);
}
int Level(long value, uint32_t gain) { return static_cast<int>(value * 32767 / 10000 * static_cast<long>(gain) / 10000); }

int CreateEffect(int pad, const MachineEffect& effect) {
    SDL_Haptic* haptic = HapticOf(pad);
    if (haptic == nullptr) return -1;
    SDL_HapticEffect e;
    SDL_memset(&e, 0, sizeof e);
    if (effect.kind == MachineEffect::Sine) {
        if (!(SDL_HapticQuery(haptic) & SDL_HAPTIC_SINE)) return -1;
        e.type = SDL_HAPTIC_SINE;
        e.periodic.direction.type = SDL_HAPTIC_POLAR;
        e.periodic.length = Milliseconds(effect.durationMicroseconds);
        e.periodic.period = ShortMilliseconds(effect.periodMicroseconds);
        e.periodic.magnitude = static_cast<Sint16>(Level(effect.magnitude, effect.gain));
        e.periodic.attack_length = ShortMilliseconds(effect.attackMicroseconds);
        e.periodic.attack_level = static_cast<Uint16>(Level(effect.attackLevel, 10000));
        e.periodic.fade_length = ShortMilliseconds(effect.fadeMicroseconds);
        e.periodic.fade_level = static_cast<Uint16>(Level(effect.fadeLevel, 10000));
    } else {
        if (!(SDL_HapticQuery(haptic) & SDL_HAPTIC_CONSTANT)) return -1;
        e.type = SDL_HAPTIC_CONSTANT;
        e.constant.direction.type = SDL_HAPTIC_CARTESIAN;
        e.constant.direction.dir[0] = 1;
        e.constant.length = Milliseconds(effect.durationMicroseconds);
        e.constant.level = static_cast<Sint16>(Level(effect.magnitude, effect.gain));
    }
    return SDL_HapticNewEffect(haptic, &e);
}

void RunEffect(int pad, int effect, bool run) {
    SDL_Haptic* haptic = HapticOf(pad);
    if (haptic == nullptr) return;
    if (run)
        SDL_HapticRunEffect(haptic, effect, 1);
    else
        SDL_HapticStopEffect(haptic, effect);
}

void DestroyEffect(int pad, int effect) {
    if (SDL_Haptic* haptic = HapticOf(pad)) SDL_HapticDestroyEffect(haptic, effect);
}

void MousePosition(int* x, int* y) {
    if (ptest::IsMainThread() && SDL_WasInit(SDL_INIT_VIDEO)) {
        int gx = 0, gy = 0;
        SDL_GetGlobalMouseState(&gx, &gy);
        g_mouseX = gx;
        g_mouseY = gy;
    }
    *x = g_mouseX.load();
    *y = g_mouseY.load();
}

}  // namespace

const InputBackend& SdlInput() {
    static const InputBackend table = {"sdl", ReadPads, CreateEffect, RunEffect, DestroyEffect, MousePosition};
    return table;
}

}  // namespace backend
