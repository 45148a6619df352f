// sdl/sdl_backend.cpp: the backend of a real machine: an SDL2 window, its events and
// its pads. SDL is started lazily and touched only from the main thread.
#include <SDL.h>

#include "backend/backend.h"

namespace backend {
namespace {

bool Open() { return SDL_Init(SDL_INIT_EVENTS) == 0; }
void Close() { SDL_QuitSubSystem(SDL_INIT_EVENTS); }
void Present(const uint32_t*, int, int, int) {}
void PumpEvents() { SDL_PumpEvents(); }

}  // namespace

const Backend& SdlBackend() {
    static const Backend table = {"sdl", Open, Close, Present, PumpEvents};
    return table;
}

}  // namespace backend
