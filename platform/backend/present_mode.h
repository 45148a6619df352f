// backend/present_mode.h: how presented frames are shown, and what the machine shows of
// them. The DirectDraw layer says before each frame whether it is a full-screen one: the
// sdl backend then shows the frame letterboxed in the desktop's full screen, else in the
// window at its size. Main thread.
#pragma once

#include <cstdint>
#include <vector>

namespace backend {

void SetFullScreenPresent(bool on);
bool FullScreenPresent();

// The sdl backend's window content as it shows now (X8R8G8B8, top row first); false
// when it shows nothing (sdl/sdl_backend.cpp).
bool SdlReadBackShownFrame(std::vector<uint32_t>* pixels, int* width, int* height);

}  // namespace backend
