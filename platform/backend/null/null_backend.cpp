// null/null_backend.cpp: the headless backend. It keeps the last presented frame and
// counts frames, so tests see what a player would; it never touches a display.
#include <cstring>
#include <mutex>
#include <vector>

#include "backend/backend.h"
#include "backend/null/null_backend.h"

namespace backend {
namespace {

std::mutex g_frameLock;
std::vector<uint32_t> g_lastFrame;
int g_lastWidth = 0;
int g_lastHeight = 0;
uint64_t g_frameCount = 0;

bool Open() { return true; }
void Close() {}

void Present(const uint32_t* xrgb, int width, int height, int pitch) {
    std::lock_guard<std::mutex> hold(g_frameLock);
    g_lastFrame.resize(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        std::memcpy(&g_lastFrame[static_cast<size_t>(y) * width],
                    reinterpret_cast<const uint8_t*>(xrgb) + static_cast<ptrdiff_t>(y) * pitch,
                    static_cast<size_t>(width) * 4);
    g_lastWidth = width;
    g_lastHeight = height;
    ++g_frameCount;
}

void PumpEvents() {}

}  // namespace

const Backend& NullBackend() {
    static const Backend table = {"null", Open, Close, Present, PumpEvents};
    return table;
}

uint64_t NullFrameCount() {
    std::lock_guard<std::mutex> hold(g_frameLock);
    return g_frameCount;
}

std::vector<uint32_t> NullLastFrame(int* width, int* height) {
    std::lock_guard<std::mutex> hold(g_frameLock);
    if (width) *width = g_lastWidth;
    if (height) *height = g_lastHeight;
    return g_lastFrame;
}

}  // namespace backend
