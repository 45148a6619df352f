// dinput/script.cpp: input scripts (QZ_INPUT, testing.h): key and pad events by frame,
// played into the same key state, pads and key messages the machine's input reaches.
//
// A line is "frame device event [value]" with '#' starting a comment:
//   frame    decimal, 0-2147483647
//   key XX V     XX: DirectInput code, one or two hex digits; V: 1 down, 0 up
//   padN axisA V N: 1-8; A: 0-7; V: -32768..32767
//   padN buttonB V   B: 0-31; V: 1 held, 0 released
// Anything else makes the whole script fail with the line's number: a script that
// half-plays would be worse than none. The file is read whole, at most 64 MB.
//
// Threads: the player's state is guarded by the input lock.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "dinput/pads.h"
#include "kernel/controls.h"

namespace input {
namespace {

constexpr size_t kMaxScriptBytes = 64u << 20;

struct Player {
    bool environmentRead = false;
    bool running = false;
    InputScript script;
    size_t next = 0;
    int presented = 0;  // frames presented since the script started
    std::vector<Pad*> pads;
};
Player& g_player = *new Player;  // never destroyed

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Splits a line into its words, the comment dropped.
std::vector<std::string_view> Words(std::string_view line) {
    size_t hash = line.find('#');
    if (hash != std::string_view::npos) line = line.substr(0, hash);
    std::vector<std::string_view> words;
    size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && IsSpace(line[at])) at++;
        size_t start = at;
        while (at < line.size() && !IsSpace(line[at])) at++;
        if (at > start) words.push_back(line.substr(start, at - start));
    }
    return words;
}

// A decimal number with an optional '-' within [low, high].
bool ParseDecimal(std::string_view text, long long low, long long high, int* out) {
    if (text.empty() || text.size() > 12) return false;
    size_t at = 0;
    bool negative = false;
    if (text[0] == '-') {
        negative = true;
        at = 1;
    }
    if (at == text.size()) return false;
    long long value = 0;
    for (; at < text.size(); at++) {
        if (text[at] < '0' || text[at] > '9') return false;
        value = value * 10 + (text[at] - '0');
    }
    if (negative) value = -value;
    if (value < low || value > high) return false;
    *out = static_cast<int>(value);
    return true;
}

bool ParseHexByte(std::string_view text, int* out) {
    if (text.empty() || text.size() > 2) return false;
    int value = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else
            return false;
        value = value * 16 + digit;
    }
    *out = value;
    return true;
}

// "name" followed by a number in [low, high].
bool ParseNamed(std::string_view word, std::string_view name, int low, int high, int* out) {
    if (word.size() <= name.size() || word.substr(0, name.size()) != name) return false;
    std::string_view digits = word.substr(name.size());
    if (digits[0] == '-') return false;
    return ParseDecimal(digits, low, high, out);
}

bool ParseLine(std::string_view line, ScriptEvent* event, bool* empty, std::string* what) {
    std::vector<std::string_view> words = Words(line);
    *empty = words.empty();
    if (words.empty()) return true;
    int frame = 0;
    if (!ParseDecimal(words[0], 0, 2147483647, &frame)) {
        *what = "the frame must be a number from 0";
        return false;
    }
    event->frame = static_cast<uint32_t>(frame);
    if (words.size() >= 2 && words[1] == "key") {
        if (words.size() != 4) {
            *what = "a key event is \"frame key code 0|1\"";
            return false;
        }
        event->kind = ScriptEvent::Key;
        if (!ParseHexByte(words[2], &event->index)) {
            *what = "the key code must be one or two hex digits";
            return false;
        }
        if (!ParseDecimal(words[3], 0, 1, &event->value)) {
            *what = "a key is 1 (down) or 0 (up)";
            return false;
        }
        return true;
    }
    if (words.size() >= 2 && ParseNamed(words[1], "pad", 1, 8, &event->pad)) {
        if (words.size() != 4) {
            *what = "a pad event is \"frame padN axisA value\" or \"frame padN buttonB 0|1\"";
            return false;
        }
        if (ParseNamed(words[2], "axis", 0, 7, &event->index)) {
            event->kind = ScriptEvent::Axis;
            if (!ParseDecimal(words[3], -32768, 32767, &event->value)) {
                *what = "an axis value is -32768..32767";
                return false;
            }
            return true;
        }
        if (ParseNamed(words[2], "button", 0, 31, &event->index)) {
            event->kind = ScriptEvent::Button;
            if (!ParseDecimal(words[3], 0, 1, &event->value)) {
                *what = "a button is 1 (held) or 0 (released)";
                return false;
            }
            return true;
        }
        *what = "a pad event is axis0-axis7 or button0-button31";
        return false;
    }
    *what = "the device must be \"key\" or pad1-pad8";
    return false;
}

void Start(InputScript script) {
    g_player = Player{true, true, std::move(script), 0, 0, {}};
    for (int n = 1; n <= g_player.script.padCount; n++)
        g_player.pads.push_back(AddPad(Pad::Script, "Script Pad " + std::to_string(n), 6, 32, 0, false));
}

void Stop() {
    for (Pad* pad : g_player.pads) {
        pad->attached = false;
        SignalPadDevices(pad->id);
    }
    bool environmentRead = g_player.environmentRead;
    g_player = Player{};
    g_player.environmentRead = environmentRead;
}

// Reads and parses a Linux file; false with one line on stderr.
bool LoadFile(const std::string& path, InputScript* script) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "input: script %s cannot be read\n", path.c_str());
        return false;
    }
    std::string text;
    char block[65536];
    while (in.read(block, sizeof block) || in.gcount() > 0) {
        text.append(block, static_cast<size_t>(in.gcount()));
        if (text.size() > kMaxScriptBytes) {
            std::fprintf(stderr, "input: script %s is larger than 64 MB\n", path.c_str());
            return false;
        }
    }
    std::string error;
    if (!ParseInputScript(text, script, &error)) {
        std::fprintf(stderr, "input: script %s: %s\n", path.c_str(), error.c_str());
        return false;
    }
    return true;
}

}  // namespace

bool ParseInputScript(std::string_view text, InputScript* script, std::string* error) {
    InputScript parsed;
    int lineNumber = 0;
    size_t at = 0;
    while (at <= text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(at, end - at);
        lineNumber++;
        ScriptEvent event;
        bool empty = false;
        std::string what;
        if (!ParseLine(line, &event, &empty, &what)) {
            if (error) *error = "line " + std::to_string(lineNumber) + ": " + what;
            return false;
        }
        if (!empty) {
            parsed.events.push_back(event);
            if (event.kind != ScriptEvent::Key) parsed.padCount = std::max(parsed.padCount, event.pad);
        }
        if (end == text.size()) break;
        at = end + 1;
    }
    std::stable_sort(parsed.events.begin(), parsed.events.end(),
                     [](const ScriptEvent& a, const ScriptEvent& b) { return a.frame < b.frame; });
    *script = std::move(parsed);
    return true;
}

bool ScriptRunning() { return g_player.running; }

bool ScriptRunningUnlocked() {
    std::lock_guard<std::mutex> hold(Lock());
    LoadEnvironmentScript();
    return g_player.running;
}

void LoadEnvironmentScript() {
    if (g_player.environmentRead) return;
    g_player.environmentRead = true;
    const char* path = kernel::EnvironmentInputScript();
    InputScript script;
    if (path[0] != '\0' && LoadFile(path, &script)) Start(std::move(script));
}

void TakeDueScriptEvents(std::vector<std::pair<int, bool>>* keys) {
    while (g_player.running && g_player.next < g_player.script.events.size()) {
        const ScriptEvent& e = g_player.script.events[g_player.next];
        if (e.frame > static_cast<uint32_t>(g_player.presented)) break;
        g_player.next++;
        Pad* pad = e.kind == ScriptEvent::Key ? nullptr : g_player.pads[e.pad - 1];
        switch (e.kind) {
        case ScriptEvent::Key: keys->push_back({e.index, e.value != 0}); break;
        case ScriptEvent::Axis: SetAxis(pad, e.index, e.value); break;
        case ScriptEvent::Button: SetButton(pad, e.index, e.value != 0); break;
        }
    }
}

void CountPresentedFrames(int frames) {
    if (frames <= 0) return;
    std::lock_guard<std::mutex> hold(Lock());
    LoadEnvironmentScript();
    if (g_player.running) g_player.presented += frames;
}

void ResetScript() {
    Stop();
    g_player.environmentRead = false;
}

}  // namespace input

namespace ptest {

bool SetInputScript(const std::string& linuxPath) {
    input::InputScript script;
    bool loaded = linuxPath.empty() || input::LoadFile(linuxPath, &script);
    std::lock_guard<std::mutex> hold(input::Lock());
    // An explicit script replaces the environment's, now and later.
    input::Stop();
    input::g_player.environmentRead = true;
    if (!linuxPath.empty() && loaded) input::Start(std::move(script));
    return loaded;
}

bool IsInputScriptRunning() {
    std::lock_guard<std::mutex> hold(input::Lock());
    input::LoadEnvironmentScript();
    return input::g_player.running;
}

void AdvanceInputFrames(int frames) { input::CountPresentedFrames(frames); }

int GetInputFrame() {
    std::lock_guard<std::mutex> hold(input::Lock());
    return input::g_player.presented;
}

}  // namespace ptest
