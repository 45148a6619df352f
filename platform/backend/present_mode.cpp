// backend/present_mode.cpp: the full-screen flag of presented frames, and the read-back
// of what the machine shows (testing.h).
#include "backend/present_mode.h"

#include <cstring>

#include "backend/backend.h"
#include "backend/null/null_backend.h"
#include "platform/testing.h"

namespace backend {
namespace {
bool g_fullScreen = false;
}

void SetFullScreenPresent(bool on) {
    g_fullScreen = on;
}

bool FullScreenPresent() {
    return g_fullScreen;
}

}  // namespace backend

namespace ptest {

bool ReadBackScreen(std::vector<uint32_t>* pixels, int* width, int* height) {
    if (std::strcmp(backend::Current().name, "sdl") == 0)
        return backend::SdlReadBackShownFrame(pixels, width, height);
    *pixels = backend::NullLastFrame(width, height);
    return !pixels->empty();
}

}  // namespace ptest
