// backend/audio.h: the sound output below the mixer, as its own small table chosen by
// the same name as the window backend (QZ_BACKEND, see testing.h): "sdl", the machine's
// audio device, mixed on SDL's audio thread; or "null", a device that always exists
// and mixes on the platform clock (real or fast) unless a test takes it over
// (testing.h). Nothing above this table asks which one it has.
//
// Threads: open, close and reopen come from the thread that starts sound (the main
// thread, where SDL may be touched); sync and pumpPass from any thread, never while
// the caller holds the mixer's lock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace backend {

// Fills `frames` frames of 16-bit output, interleaved in the output's channels.
using AudioRenderFn = void (*)(int16_t* out, int frames);

struct AudioFormat {
    int rate = 44100;
    int channels = 2;
};

struct AudioBackend {
    const char* name;  // "sdl" or "null"

    // Starts pulling from `render` in this format; false when there is no device.
    bool (*open)(const AudioFormat& format, AudioRenderFn render);
    // Stops pulling; nothing is rendered after it returns.
    void (*close)();
    // Brings the output up to now: the null device on the platform clock mixes what
    // the clock has passed; a device with its own thread does nothing.
    void (*sync)();
    // Output devices by name (UTF-8), the default first.
    std::vector<std::string> (*deviceNames)();
};

// The audio backend of QZ_BACKEND's name.
const AudioBackend& CurrentAudio();
const AudioBackend& NullAudio();
const AudioBackend& SdlAudio();

// Called once per message-pump pass by the window layer: the null device mixes the
// frames a test asked for per pass, or catches up with the platform clock.
void AudioPumpPass();

}  // namespace backend
