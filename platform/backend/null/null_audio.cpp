// null/null_audio.cpp: the headless sound device. It always exists. Until a test takes
// it over it mixes on the platform clock, catching up whenever someone syncs it (every
// sound call and every pump pass); taken over, it mixes only what PullAudio asks or the
// frames set per pump pass. With QZ_AUDIO_CAPTURE it writes all it mixed as a WAVE,
// kept valid after every write, so a process that ends at once leaves a whole file.
// Any thread: g_lock is taken before the mixer's lock, never after it.
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

#include "backend/audio.h"
#include "kernel/clock.h"
#include "kernel/controls.h"
#include "kernel/diag.h"
#include "platform/testing.h"

namespace backend {
namespace {

std::mutex g_lock;
bool g_open = false;
AudioFormat g_format;
AudioRenderFn g_render = nullptr;
bool g_takenOver = false;
int g_framesPerPass = 0;
uint64_t g_startMicros = 0;
uint64_t g_framesMixed = 0;  // since g_startMicros, on the platform clock
std::vector<int16_t> g_kept;

struct Capture {
    bool tried = false;
    FILE* file = nullptr;
    AudioFormat format;
    uint32_t bytes = 0;
    bool warned = false;
};
Capture g_capture;

void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void PutU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void WriteCaptureHeader() {
    uint8_t h[44];
    const uint16_t align = static_cast<uint16_t>(2 * g_capture.format.channels);
    std::memcpy(h, "RIFF", 4);
    PutU32(h + 4, 36 + g_capture.bytes);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    PutU32(h + 16, 16);
    PutU16(h + 20, 1);
    PutU16(h + 22, static_cast<uint16_t>(g_capture.format.channels));
    PutU32(h + 24, static_cast<uint32_t>(g_capture.format.rate));
    PutU32(h + 28, static_cast<uint32_t>(g_capture.format.rate) * align);
    PutU16(h + 32, align);
    PutU16(h + 34, 16);
    std::memcpy(h + 36, "data", 4);
    PutU32(h + 40, g_capture.bytes);
    std::fseek(g_capture.file, 0, SEEK_SET);
    std::fwrite(h, 1, sizeof h, g_capture.file);
}

// The capture file is opened at the first mix of the process and kept, so a sound
// system that restarts (a mode change) goes on writing into the same file.
void CaptureMix(const int16_t* samples, int frames) {
    if (!g_capture.tried) {
        g_capture.tried = true;
        const char* path = kernel::EnvironmentAudioCapture();
        if (*path != '\0') {
            g_capture.file = std::fopen(path, "wb");
            if (g_capture.file == nullptr) kernel::Diag("dsound: cannot write the capture %s", path);
            g_capture.format = g_format;
            if (g_capture.file != nullptr) WriteCaptureHeader();
        }
    }
    if (g_capture.file == nullptr) return;
    if (g_format.rate != g_capture.format.rate || g_format.channels != g_capture.format.channels) {
        if (!g_capture.warned) kernel::Diag("dsound: the output format changed; the capture keeps the first one");
        g_capture.warned = true;
        return;
    }
    const size_t bytes = static_cast<size_t>(frames) * g_format.channels * 2;
    if (g_capture.bytes + bytes > 0xFFFFFF00u) return;
    std::fseek(g_capture.file, 0, SEEK_END);
    std::fwrite(samples, 1, bytes, g_capture.file);
    g_capture.bytes += static_cast<uint32_t>(bytes);
    WriteCaptureHeader();
    std::fflush(g_capture.file);
}

// Mixes `frames` frames, under g_lock; appends them to `into` when given.
void MixLocked(int frames, std::vector<int16_t>* into) {
    std::vector<int16_t> chunk;
    while (frames > 0) {
        const int n = frames < 4096 ? frames : 4096;
        chunk.assign(static_cast<size_t>(n) * g_format.channels, 0);
        if (g_open && g_render != nullptr) g_render(chunk.data(), n);
        CaptureMix(chunk.data(), n);
        if (into != nullptr) into->insert(into->end(), chunk.begin(), chunk.end());
        frames -= n;
    }
}

uint64_t NowMicros() {
    // Reading the fast clock through the kernel would move it on the main thread.
    return kernel::IsFastClock() ? ptest::GetFastClockMicroseconds() : kernel::ReadClockMicroseconds();
}

bool Open(const AudioFormat& format, AudioRenderFn render) {
    std::lock_guard<std::mutex> hold(g_lock);
    g_format = format;
    g_render = render;
    g_open = true;
    g_startMicros = NowMicros();
    g_framesMixed = 0;
    return true;
}

void Close() {
    std::lock_guard<std::mutex> hold(g_lock);
    g_open = false;
    g_render = nullptr;
}

void Sync() {
    std::lock_guard<std::mutex> hold(g_lock);
    if (!g_open || g_takenOver) return;
    const uint64_t now = NowMicros();
    if (now <= g_startMicros) return;
    const uint64_t due = (now - g_startMicros) * static_cast<uint64_t>(g_format.rate) / 1000000;
    if (due <= g_framesMixed) return;
    // A clock that leapt far ahead (a test moving the fast clock) is not mixed in full.
    const uint64_t limit = static_cast<uint64_t>(g_format.rate) * 10;
    const uint64_t frames = due - g_framesMixed;
    MixLocked(static_cast<int>(frames < limit ? frames : limit), nullptr);
    g_framesMixed = due;
}

std::vector<std::string> DeviceNames() { return {"Null Audio Device"}; }

}  // namespace

const AudioBackend& NullAudio() {
    static const AudioBackend table = {"null", Open, Close, Sync, DeviceNames};
    return table;
}

void AudioPumpPass() {
    if (&CurrentAudio() != &NullAudio()) return;
    {
        std::lock_guard<std::mutex> hold(g_lock);
        if (g_takenOver) {
            if (g_framesPerPass > 0) MixLocked(g_framesPerPass, &g_kept);
            return;
        }
    }
    Sync();
}

}  // namespace backend

namespace ptest {

std::vector<int16_t> PullAudio(int frames) {
    std::vector<int16_t> out;
    std::lock_guard<std::mutex> hold(backend::g_lock);
    backend::g_takenOver = true;
    if (frames > 0) backend::MixLocked(frames, &out);
    return out;
}

void SetAudioFramesPerPumpPass(int frames) {
    std::lock_guard<std::mutex> hold(backend::g_lock);
    backend::g_framesPerPass = frames > 0 ? frames : 0;
    if (frames > 0) backend::g_takenOver = true;
}

std::vector<int16_t> TakeMixedAudio() {
    std::lock_guard<std::mutex> hold(backend::g_lock);
    std::vector<int16_t> out;
    out.swap(backend::g_kept);
    return out;
}

}  // namespace ptest

namespace dsound {
void ResetCapsOverride();  // dsound/caps.cpp
}

namespace kernel {

void ResetAudioControls() {
    {
        std::lock_guard<std::mutex> hold(backend::g_lock);
        backend::g_takenOver = false;
        backend::g_framesPerPass = 0;
        backend::g_kept.clear();
        backend::g_startMicros = backend::NowMicros();
        backend::g_framesMixed = 0;
    }
    dsound::ResetCapsOverride();
}

}  // namespace kernel
