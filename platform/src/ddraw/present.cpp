// ddraw/present.cpp: showing the primary surface. Every write to the primary hands the
// visible part to the backend as one X8R8G8B8 frame: in window mode the main window's
// client rectangle of the desktop-sized primary, in full screen the front buffer.
// 16-bit frames are widened, 8-bit frames go through the primary's palette. With a
// capture folder (QZ_CAPTURE) each frame is first written as a PNG, so capturing works
// with either backend. Screenshots (QZ_SCREENSHOT) are taken after the backend has shown
// the frame, from what the machine shows.
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "backend/backend.h"
#include "backend/present_mode.h"
#include "ddraw/internal.h"
#include "dinput/input.h"
#include "kernel/controls.h"
#include "kernel/diag.h"
#include "platform/testing.h"
#include "simd_pixel.h"

namespace ddraw {
namespace {

struct Capture {
    bool fromEnvironment = true;
    std::string folder;
    bool hashLogFromEnvironment = true;
    std::string hashLog;
    ptest::PresentHook hook = nullptr;
    int next = 0;
    bool screenshotsFromEnvironment = true;
    std::map<uint64_t, std::vector<std::string>> screenshots;  // present number -> files
    uint64_t presents = 0;                                     // since the list was set
};

Capture& CaptureState() {
    static Capture capture;
    return capture;
}

// "n:file[,n:file...]": the file name runs from the first colon to the next comma.
std::map<uint64_t, std::vector<std::string>> ParseScreenshots(const std::string& list) {
    std::map<uint64_t, std::vector<std::string>> shots;
    size_t at = 0;
    while (at < list.size()) {
        size_t end = list.find(',', at);
        if (end == std::string::npos)
            end = list.size();
        const std::string entry = list.substr(at, end - at);
        const size_t colon = entry.find(':');
        char* stop = nullptr;
        const unsigned long long n = colon == std::string::npos ? 0 : std::strtoull(entry.c_str(), &stop, 10);
        if (colon == 0 || colon == std::string::npos || colon + 1 == entry.size() || stop != entry.c_str() + colon)
            kernel::Diag("ddraw: QZ_SCREENSHOT entry \"%s\" is not n:file; skipped", entry.c_str());
        else
            shots[n].push_back(entry.substr(colon + 1));
        at = end + 1;
    }
    return shots;
}

const std::map<uint64_t, std::vector<std::string>>& Screenshots() {
    Capture& c = CaptureState();
    if (c.screenshotsFromEnvironment) {
        c.screenshots = ParseScreenshots(kernel::EnvironmentScreenshots());
        c.screenshotsFromEnvironment = false;
    }
    return c.screenshots;
}

const std::string& CaptureFolder() {
    Capture& c = CaptureState();
    if (c.fromEnvironment) {
        c.folder = kernel::EnvironmentCaptureFolder();
        c.fromEnvironment = false;
    }
    return c.folder;
}

const std::string& FrameHashLog() {
    Capture& c = CaptureState();
    if (c.hashLogFromEnvironment) {
        c.hashLog = kernel::EnvironmentFrameHashLog();
        c.hashLogFromEnvironment = false;
    }
    return c.hashLog;
}

void LogFrameHash(uint64_t present, const std::vector<uint32_t>& frame) {
    const std::string& path = FrameHashLog();
    if (path.empty())
        return;
    FILE* file = std::fopen(path.c_str(), "a");
    if (file == nullptr) {
        kernel::Diag("ddraw: cannot append to %s", path.c_str());
        return;
    }
    std::fprintf(file, "%llu %016llx\n", (unsigned long long)present,
                 (unsigned long long)ptest::HashFrame(frame.data(), frame.size()));
    std::fclose(file);
}

ptest::PresentedFrame g_lastFrame;
uint64_t g_frameCount = 0;

// A channel of `width` bits widened to 8 by repeating its top bits.
uint32_t Widen(uint32_t value, uint32_t mask) {
    if (mask == 0)
        return 0;
    int shift = 0;
    while (!(mask >> shift & 1))
        ++shift;
    int width = 0;
    while (shift + width < 32 && (mask >> (shift + width) & 1))
        ++width;
    uint32_t c = (value & mask) >> shift;
    if (width >= 8)
        return c >> (width - 8) & 0xFF;
    uint32_t out = c << (8 - width);
    for (int have = width; have < 8; have *= 2)
        out |= out >> have;
    return out & 0xFF;
}

uint32_t ToXrgb(const Surface& s, const uint8_t* p) {
    const DDPIXELFORMAT& f = s.format();
    int bytes = s.bytesPerPixel();
    if (bytes == 1) {
        Palette* palette = s.palette();
        if (palette == nullptr)
            return (uint32_t)*p * 0x010101u;
        const PALETTEENTRY& e = palette->entries()[*p];
        return (uint32_t)e.peRed << 16 | (uint32_t)e.peGreen << 8 | e.peBlue;
    }
    uint32_t v = 0;
    std::memcpy(&v, p, (size_t)bytes);
    if (bytes == 4 && f.dwRBitMask == 0xFF0000 && f.dwGBitMask == 0xFF00 && f.dwBBitMask == 0xFF)
        return v & 0xFFFFFF;
    return Widen(v, f.dwRBitMask) << 16 | Widen(v, f.dwGBitMask) << 8 | Widen(v, f.dwBBitMask);
}

void WritePng(const std::string& path, const uint32_t* xrgb, int width, int height) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        kernel::Diag("ddraw: cannot write %s", path.c_str());
        return;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<uint8_t> row((size_t)width * 3);
    if (png && info && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        // Whole games are captured frame by frame: fast deflate keeps that cheap.
        png_set_compression_level(png, 1);
        png_set_IHDR(png, info, (png_uint_32)width, (png_uint_32)height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                uint32_t v = xrgb[(size_t)y * width + x];
                row[(size_t)x * 3] = (uint8_t)(v >> 16);
                row[(size_t)x * 3 + 1] = (uint8_t)(v >> 8);
                row[(size_t)x * 3 + 2] = (uint8_t)v;
            }
            png_write_row(png, row.data());
        }
        png_write_end(png, nullptr);
    } else {
        kernel::Diag("ddraw: cannot encode %s", path.c_str());
    }
    png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
    std::fclose(file);
}

void TakeScreenshots(uint64_t present) {
    const auto& shots = Screenshots();
    const auto found = shots.find(present);
    if (found == shots.end())
        return;
    std::vector<uint32_t> shown;
    int width = 0, height = 0;
    if (!ptest::ReadBackScreen(&shown, &width, &height)) {
        kernel::Diag("ddraw: screenshot of present %llu: nothing is shown", (unsigned long long)present);
        return;
    }
    for (const std::string& file : found->second)
        WritePng(file, shown.data(), width, height);
}

}  // namespace

void ResetCaptureControls() {
    CaptureState() = Capture();
    g_lastFrame = ptest::PresentedFrame();
}

void PresentPrimary(Surface* primary) {
    const Core& core = *primary->core();
    RECT area = {0, 0, primary->width(), primary->height()};
    if (!(core.cooperativeFlags & DDSCL_EXCLUSIVE)) {
        HWND window = core.cooperativeWindow;
        RECT client;
        if (window == nullptr || !IsWindow(window) || !GetClientRect(window, &client))
            return;
        POINT origin = {0, 0};
        ClientToScreen(window, &origin);
        area = RECT{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
    }
    // Only what lies on the primary is shown; the rest of the window stays black.
    int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0)
        return;
    // Two buffers take turns with the last frame's, so no frame allocates and faults in a
    // fresh block. Main thread.
    static std::vector<uint32_t> frame;
    int bytes = primary->bytesPerPixel();
    const DDPIXELFORMAT& format = primary->format();
    // The desktop's own X8R8G8B8 needs no per-pixel conversion: every frame goes through
    // here, so whole games run at the speed of this loop.
    const bool xrgb = bytes == 4 && format.dwRBitMask == 0xFF0000 && format.dwGBitMask == 0xFF00 &&
                      format.dwBBitMask == 0xFF;
    const int first = std::max(0, -(int)area.left), last = std::min(width, primary->width() - (int)area.left);
    // The fast rows: the two 16-bit formats widen eight pixels at a time, X8R8G8B8 four.
    const bool rgb565 = bytes == 2 && format.dwRBitMask == 0xF800 && format.dwGBitMask == 0x07E0 &&
                        format.dwBBitMask == 0x001F;
    const bool rgb555 = bytes == 2 && format.dwRBitMask == 0x7C00 && format.dwGBitMask == 0x03E0 &&
                        format.dwBBitMask == 0x001F;
    const bool fast = !GeneralPathForced() && (xrgb || rgb565 || rgb555);
    // A frame that lies wholly on the primary is overwritten everywhere: no clearing first.
    const bool covered = fast && first == 0 && last == width && area.top >= 0 && area.bottom <= primary->height();
    if (covered)
        frame.resize((size_t)width * height);
    else
        frame.assign((size_t)width * height, 0);
    for (int y = 0; y < height; ++y) {
        int sy = area.top + y;
        if (sy < 0 || sy >= primary->height())
            continue;
        const uint8_t* row = primary->bytes() + (ptrdiff_t)sy * primary->pitch();
        uint32_t* out = frame.data() + (size_t)y * width;
        if (fast && first < last) {
            const uint8_t* in = row + (ptrdiff_t)(area.left + first) * bytes;
            if (xrgb)
                simd::XrgbRow(in, out + first, last - first);
            else if (rgb565)
                simd::Widen16Row<true>(in, out + first, last - first);
            else
                simd::Widen16Row<false>(in, out + first, last - first);
            continue;
        }
        if (xrgb) {
            const uint8_t* in = row + (ptrdiff_t)(area.left + first) * 4;
            for (int x = first; x < last; ++x, in += 4) {
                uint32_t v;
                std::memcpy(&v, in, 4);
                out[x] = v & 0xFFFFFF;
            }
            continue;
        }
        for (int x = first; x < last; ++x)
            out[x] = ToXrgb(*primary, row + (ptrdiff_t)(area.left + x) * bytes);
    }
    const std::string& folder = CaptureFolder();
    if (!folder.empty()) {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%06d.png", CaptureState().next++);
        WritePng(folder + "/" + name, frame.data(), width, height);
    }
    const uint64_t present = g_frameCount++;
    // An input script counts its frames in presents.
    input::CountPresentedFrames(1);
    backend::SetFullScreenPresent((core.cooperativeFlags & DDSCL_EXCLUSIVE) != 0);
    backend::Current().present(frame.data(), width, height, width * 4);
    g_lastFrame.width = width;
    g_lastFrame.height = height;
    g_lastFrame.pixels.swap(frame);
    TakeScreenshots(CaptureState().presents++);
    LogFrameHash(present, g_lastFrame.pixels);
    if (ptest::PresentHook hook = CaptureState().hook)
        hook(present, g_lastFrame.pixels.data(), width, height);
}

}  // namespace ddraw

namespace ptest {

PresentedFrame GetLastPresentedFrame() {
    return ddraw::g_lastFrame;
}

uint64_t GetPresentedFrameCount() {
    return ddraw::g_frameCount;
}

void SetCaptureFolder(const std::string& folder) {
    ddraw::Capture& c = ddraw::CaptureState();
    c.fromEnvironment = false;
    c.folder = folder;
    c.next = 0;
}

void SetFrameHashLog(const std::string& linuxPath) {
    ddraw::Capture& c = ddraw::CaptureState();
    c.hashLogFromEnvironment = false;
    c.hashLog = linuxPath;
}

uint64_t HashFrame(const uint32_t* pixels, size_t count) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (size_t i = 0; i < count; ++i)
        for (int b = 0; b < 4; ++b) {
            hash ^= (pixels[i] >> (8 * b)) & 0xFF;
            hash *= 0x100000001b3ull;
        }
    return hash;
}

void SetPresentHook(PresentHook hook) {
    ddraw::CaptureState().hook = hook;
}

void SetScreenshots(const std::string& list) {
    ddraw::Capture& c = ddraw::CaptureState();
    c.screenshotsFromEnvironment = false;
    c.screenshots = ddraw::ParseScreenshots(list);
    c.presents = 0;
}

}  // namespace ptest
