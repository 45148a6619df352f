// null/null_backend.h: what the headless backend keeps of the frames it was shown, and
// the reset of its desktop control.
#pragma once

#include <cstdint>
#include <vector>

namespace backend {

uint64_t NullFrameCount();
std::vector<uint32_t> NullLastFrame(int* width, int* height);  // a copy of the last frame

// ptest::SetDesktopSize back to 1920 x 1080 (ptest::ResetControls).
void ResetNullDesktop();

}  // namespace backend
