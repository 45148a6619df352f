// backend/backend.h: what the platform needs of the machine below it, as a table
// chosen once by name (QZ_BACKEND, see testing.h): "sdl", a real window, audio and
// pads, or "null", headless, for tests and benchmarks. Nothing above this table asks
// which backend it has. Main thread only, unless a member says otherwise.
#pragma once

#include <cstdint>

namespace backend {

struct Backend {
    const char* name;  // "sdl" or "null"

    // Makes the backend usable; false when it cannot run here.
    bool (*open)();
    // Releases what open made.
    void (*close)();

    // One finished frame in X8R8G8B8, shown at once (the caller has already waited for
    // the vertical blank). width x height pixels, pitch in bytes.
    void (*present)(const uint32_t* xrgb, int width, int height, int pitch);

    // Turns pending machine events into window messages.
    void (*pumpEvents)();
};

// The backend in use, chosen on first use from the controls and opened then.
const Backend& Current();

// The two backends, for the selection and for tests that want one directly.
const Backend& NullBackend();
const Backend& SdlBackend();

}  // namespace backend
