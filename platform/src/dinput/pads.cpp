// dinput/pads.cpp: the pads DirectInput and the joystick functions read: the machine's
// (the input backend's), a test's virtual pads and an input script's pads, in one list
// in the order they were attached. Also the layer's pump and the test controls of pads.
//
// Threads: any thread, under Lock(). The machine is read, and force feedback on machine
// pads is driven, only on the main thread: work asked for elsewhere (the message
// thread's vibration timers) waits in a queue for the main thread's next pump.
#include <functional>
#include <memory>

#include "dinput/pads.h"
#include "imm/ime.h"
#include "kernel/controls.h"
#include "window/keys.h"

namespace input {
namespace {

std::mutex& g_lock = *new std::mutex;  // never destroyed
std::vector<std::unique_ptr<Pad>>& g_pads = *new std::vector<std::unique_ptr<Pad>>;
int g_nextPadId = 1;
// Force-feedback work on machine pads, for the main thread.
std::vector<std::function<void()>>& g_machineWork = *new std::vector<std::function<void()>>;
int g_mouseX = 0, g_mouseY = 0;

const backend::InputBackend& Machine() { return backend::CurrentInput(); }

// Runs the machine work at once on the main thread, else leaves it for the pump.
void DoOnMain(std::function<void()> work) {
    g_machineWork.push_back(std::move(work));
    if (!ptest::IsMainThread()) return;
    std::vector<std::function<void()>> due;
    due.swap(g_machineWork);
    for (auto& step : due) step();
}

int ClampAxis(int value) { return value < -32768 ? -32768 : value > 32767 ? 32767 : value; }

void ReadMachinePads() {
    std::vector<backend::MachinePad> machine;
    Machine().readPads(&machine);
    for (const backend::MachinePad& m : machine) {
        Pad* pad = nullptr;
        for (auto& p : g_pads)
            if (p->source == Pad::Machine && p->attached && p->machineId == m.id) pad = p.get();
        if (!pad) {
            pad = AddPad(Pad::Machine, m.name, m.axes, m.buttons, m.hats, false);
            pad->machineId = m.id;
            pad->machineHaptic = m.haptic;
        }
        bool changed = pad->buttonBits != m.buttonBits;
        for (int i = 0; i < 8; i++) {
            changed = changed || pad->axis[i] != m.axis[i];
            pad->axis[i] = m.axis[i];
        }
        for (int i = 0; i < 4; i++) {
            changed = changed || pad->hat[i] != m.hat[i];
            pad->hat[i] = m.hat[i];
        }
        pad->buttonBits = m.buttonBits;
        if (changed) SignalPadDevices(pad->id);
    }
    for (auto& p : g_pads) {
        if (p->source != Pad::Machine || !p->attached) continue;
        bool present = false;
        for (const backend::MachinePad& m : machine) present = present || m.id == p->machineId;
        if (!present) {
            p->attached = false;
            SignalPadDevices(p->id);
        }
    }
}

void LookAtMouse() {
    int x = 0, y = 0;
    Machine().mousePosition(&x, &y);
    if (x == g_mouseX && y == g_mouseY) return;
    g_mouseX = x;
    g_mouseY = y;
    SignalMouseDevices();
}

EffectSlot* SlotOf(Pad* pad, int effect) {
    if (pad == nullptr || effect < 0 || effect >= static_cast<int>(pad->effects.size())) return nullptr;
    return &pad->effects[effect];
}

}  // namespace

std::mutex& Lock() { return g_lock; }

std::vector<Pad*> AttachedPads() {
    std::vector<Pad*> pads;
    for (auto& p : g_pads)
        if (p->attached && (p->source != Pad::Machine || !ScriptRunning())) pads.push_back(p.get());
    return pads;
}

Pad* FindPad(int id) {
    for (auto& p : g_pads)
        if (p->id == id) return p.get();
    return nullptr;
}

bool HasForceFeedback(const Pad& pad) { return pad.fakeForceFeedback || pad.machineHaptic; }

Pad* AddPad(Pad::Source source, const std::string& name, int axes, int buttons, int hats, bool fakeForceFeedback) {
    auto pad = std::make_unique<Pad>();
    pad->id = g_nextPadId++;
    pad->source = source;
    pad->name = name;
    pad->axes = axes < 0 ? 0 : axes > 8 ? 8 : axes;
    pad->buttons = buttons < 0 ? 0 : buttons > 32 ? 32 : buttons;
    pad->hats = hats < 0 ? 0 : hats > 4 ? 4 : hats;
    pad->fakeForceFeedback = fakeForceFeedback;
    g_pads.push_back(std::move(pad));
    return g_pads.back().get();
}

void SetAxis(Pad* pad, int axis, int value) {
    if (pad == nullptr || axis < 0 || axis >= pad->axes) return;
    int16_t raw = static_cast<int16_t>(ClampAxis(value));
    if (pad->axis[axis] == raw) return;
    pad->axis[axis] = raw;
    SignalPadDevices(pad->id);
}

void SetButton(Pad* pad, int button, bool held) {
    if (pad == nullptr || button < 0 || button >= pad->buttons) return;
    uint32_t bits = held ? (pad->buttonBits | 1u << button) : (pad->buttonBits & ~(1u << button));
    if (bits == pad->buttonBits) return;
    pad->buttonBits = bits;
    SignalPadDevices(pad->id);
}

int CreateEffect(Pad* pad, const backend::MachineEffect& spec) {
    if (pad == nullptr || !HasForceFeedback(*pad)) return -1;
    EffectSlot slot;
    slot.spec = spec;
    ptest::PadEffectRecord& r = slot.record;
    r.kind = spec.kind == backend::MachineEffect::Sine ? "sine" : "constant";
    r.duration = spec.durationMicroseconds;
    r.gain = spec.gain;
    r.magnitude = spec.magnitude;
    r.period = spec.periodMicroseconds;
    r.attackLevel = spec.attackLevel;
    r.attackTime = spec.attackMicroseconds;
    r.fadeLevel = spec.fadeLevel;
    r.fadeTime = spec.fadeMicroseconds;
    pad->effects.push_back(slot);
    int index = static_cast<int>(pad->effects.size()) - 1;
    if (pad->machineHaptic) {
        int padId = pad->id;
        DoOnMain([padId, index] {
            Pad* p = FindPad(padId);
            EffectSlot* s = SlotOf(p, index);
            if (s && p->attached && !s->record.released) s->machineEffect = Machine().createEffect(p->machineId, s->spec);
        });
    }
    return index;
}

void RunEffect(Pad* pad, int effect, bool run) {
    EffectSlot* slot = SlotOf(pad, effect);
    if (!slot || slot->record.released) return;
    if (run) {
        slot->record.starts++;
        slot->record.running = true;
    } else {
        slot->record.stops++;
        slot->record.running = false;
    }
    if (pad->machineHaptic) {
        int padId = pad->id;
        DoOnMain([padId, effect, run] {
            Pad* p = FindPad(padId);
            EffectSlot* s = SlotOf(p, effect);
            if (s && p->attached && s->machineEffect >= 0) Machine().runEffect(p->machineId, s->machineEffect, run);
        });
    }
}

void DestroyEffect(Pad* pad, int effect) {
    EffectSlot* slot = SlotOf(pad, effect);
    if (!slot || slot->record.released) return;
    slot->record.released = true;
    slot->record.running = false;
    if (pad->machineHaptic) {
        int padId = pad->id;
        DoOnMain([padId, effect] {
            Pad* p = FindPad(padId);
            EffectSlot* s = SlotOf(p, effect);
            if (s && s->machineEffect >= 0) {
                if (p->attached) Machine().destroyEffect(p->machineId, s->machineEffect);
                s->machineEffect = -1;
            }
        });
    }
}

void Pump() {
    if (!ptest::IsMainThread()) return;
    std::vector<std::pair<int, bool>> keys;
    {
        std::lock_guard<std::mutex> hold(g_lock);
        LoadEnvironmentScript();
        if (ScriptRunning())
            TakeDueScriptEvents(&keys);
        else
            ReadMachinePads();
        std::vector<std::function<void()>> due;
        due.swap(g_machineWork);
        for (auto& step : due) step();
        LookAtMouse();
    }
    for (const auto& [dik, down] : keys) window::PressKey(window::UsageOfDik(dik), down, false);
}

}  // namespace input

namespace kernel {

void ResetInputControls() {
    {
        std::lock_guard<std::mutex> hold(input::g_lock);
        for (auto& p : input::g_pads)
            if (p->source != input::Pad::Machine) p->attached = false;
        input::ResetScript();
        input::ResetDeviceCounts();
    }
    window::ReleaseAllKeys();
    ptest::SetMousePosition(0, 0);
    imm::Reset();
}

}  // namespace kernel

namespace ptest {

int AttachPad(const PadSpec& spec) {
    std::lock_guard<std::mutex> hold(input::g_lock);
    return input::AddPad(input::Pad::Test, spec.name, spec.axes, spec.buttons, spec.hats, spec.forceFeedback)->id;
}

void DetachPad(int id) {
    std::lock_guard<std::mutex> hold(input::g_lock);
    input::Pad* pad = input::FindPad(id);
    if (!pad || !pad->attached) return;
    pad->attached = false;
    input::SignalPadDevices(id);
}

void SetPadAxis(int id, int axis, int value) {
    std::lock_guard<std::mutex> hold(input::g_lock);
    input::SetAxis(input::FindPad(id), axis, value);
}

void SetPadButton(int id, int button, bool held) {
    std::lock_guard<std::mutex> hold(input::g_lock);
    input::SetButton(input::FindPad(id), button, held);
}

void SetPadHat(int id, int hat, int sdlHat) {
    std::lock_guard<std::mutex> hold(input::g_lock);
    input::Pad* pad = input::FindPad(id);
    if (!pad || hat < 0 || hat >= pad->hats || pad->hat[hat] == (sdlHat & 0x0F)) return;
    pad->hat[hat] = static_cast<uint8_t>(sdlHat & 0x0F);
    input::SignalPadDevices(id);
}

void PressKey(int dik, bool down) { window::PressKey(window::UsageOfDik(dik), down, true); }

std::vector<PadEffectRecord> GetPadEffects(int id) {
    std::lock_guard<std::mutex> hold(input::g_lock);
    std::vector<PadEffectRecord> records;
    if (input::Pad* pad = input::FindPad(id))
        for (const input::EffectSlot& slot : pad->effects) records.push_back(slot.record);
    return records;
}

}  // namespace ptest
