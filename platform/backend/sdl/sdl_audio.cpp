// sdl/sdl_audio.cpp: the machine's audio device through SDL. Opened and closed on the
// thread that starts sound (the main thread); SDL's audio thread pulls the mix. No
// other thread makes an SDL call here.
#include <SDL.h>

#include "backend/audio.h"
#include "kernel/diag.h"

namespace backend {
namespace {

SDL_AudioDeviceID g_device = 0;
AudioRenderFn g_render = nullptr;
int g_channels = 2;

void Callback(void*, Uint8* stream, int length) {
    g_render(reinterpret_cast<int16_t*>(stream), length / (2 * g_channels));
}

bool Open(const AudioFormat& format, AudioRenderFn render) {
    if (g_device != 0) return true;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        kernel::Diag("dsound: no audio device: %s", SDL_GetError());
        return false;
    }
    g_render = render;
    g_channels = format.channels;
    SDL_AudioSpec want = {};
    want.freq = format.rate;
    want.format = AUDIO_S16SYS;
    want.channels = static_cast<Uint8>(format.channels);
    want.samples = 1024;
    want.callback = Callback;
    // Without allowed changes SDL converts to whatever the device takes.
    g_device = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
    if (g_device == 0) {
        kernel::Diag("dsound: no audio device: %s", SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    SDL_PauseAudioDevice(g_device, 0);
    return true;
}

void Close() {
    if (g_device == 0) return;
    SDL_CloseAudioDevice(g_device);
    g_device = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void Sync() {}

std::vector<std::string> DeviceNames() {
    std::vector<std::string> names;
    if (SDL_WasInit(SDL_INIT_AUDIO) == 0) return names;
    const int count = SDL_GetNumAudioDevices(0);
    for (int i = 0; i < count; ++i) {
        const char* name = SDL_GetAudioDeviceName(i, 0);
        if (name != nullptr) names.emplace_back(name);
    }
    return names;
}

}  // namespace

const AudioBackend& SdlAudio() {
    static const AudioBackend table = {"sdl", Open, Close, Sync, DeviceNames};
    return table;
}

}  // namespace backend
