// null/null_backend.h: what the headless backend keeps of the frames it was shown.
#pragma once

#include <cstdint>
#include <vector>

namespace backend {

uint64_t NullFrameCount();
std::vector<uint32_t> NullLastFrame(int* width, int* height);  // a copy of the last frame

}  // namespace backend
