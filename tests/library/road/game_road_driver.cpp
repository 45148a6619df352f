// game_road_driver: the game's road as a program of its own, run by game_road_check with
// the platform's controls in its environment (QZ_BACKEND, QZ_CLOCK, QZ_CAPTURE, QZ_MSGBOX,
// QZ_INPUT). It writes the fixtures into the current folder, runs the road and writes
// "road-report.txt": per milestone the number of frames presented so far, per EndFrame
// the frames presented before its pump and what the key and pad reads gave.
//
//   game_road_driver [--screenshot file.png]
//
// With --screenshot (a real window on an X display), the driver waits until the window is
// mapped, watching the X server's events, before the frame's present, and right after it
// reads the window's client rectangle (GetClientRect and ClientToScreen) off the root
// window into the PNG, and the window's X title and size into the report.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "GameRoad.h"
#include "platform/testing.h"
#include "platform/win32.h"

namespace {

// ---- the X screen -------------------------------------------------------------------------

std::string WindowTitle(Display* display, Window window) {
    Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(display, window, netName, 0, 1024, False, utf8, &type, &format, &count, &after, &data) ==
            Success &&
        data != nullptr) {
        title.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
        if (!title.empty()) return title;
    }
    char* name = nullptr;
    if (XFetchName(display, window, &name) && name != nullptr) {
        title = name;
        XFree(name);
    }
    return title;
}

// The top-level window titled `title`, or 0.
Window FindTitled(Display* display, const std::string& title) {
    Window root = DefaultRootWindow(display), parent, *children = nullptr;
    unsigned int count = 0;
    Window found = 0;
    if (!XQueryTree(display, root, &root, &parent, &children, &count)) return 0;
    for (unsigned int i = 0; i < count && found == 0; ++i)
        if (WindowTitle(display, children[i]) == title) found = children[i];
    if (children != nullptr) XFree(children);
    return found;
}

class XScreen {
public:
    ~XScreen() {
        if (display_ != nullptr) XCloseDisplay(display_);
    }

    // Waits, on the window's own structure events, until it is viewable.
    bool WaitMapped(std::string* report) {
        display_ = XOpenDisplay(nullptr);
        if (display_ == nullptr) return Fail(report, "no X display");
        window_ = FindTitled(display_, "ZARNOVIK");
        if (window_ == 0) return Fail(report, "no top-level window titled ZARNOVIK");
        XSelectInput(display_, window_, StructureNotifyMask);
        XWindowAttributes attributes;
        XGetWindowAttributes(display_, window_, &attributes);
        while (attributes.map_state != IsViewable) {
            XEvent event;
            XWindowEvent(display_, window_, StructureNotifyMask, &event);
            if (event.type == MapNotify) break;
            if (event.type == DestroyNotify) return Fail(report, "the window went before it was mapped");
        }
        return true;
    }

    // The window's title and size as the X server has them, and the root window's pixels
    // over `area`.
    bool Shoot(const RECT& area, std::vector<uint32_t>* pixels, std::string* report) {
        XSync(display_, False);
        XWindowAttributes attributes;
        XGetWindowAttributes(display_, window_, &attributes);
        char line[160];
        std::snprintf(line, sizeof line, "window %s %d %d\n", WindowTitle(display_, window_).c_str(), attributes.width,
                      attributes.height);
        *report += line;
        int width = area.right - area.left, height = area.bottom - area.top;
        XImage* image = XGetImage(display_, DefaultRootWindow(display_), area.left, area.top, (unsigned)width,
                                  (unsigned)height, AllPlanes, ZPixmap);
        if (image == nullptr) return Fail(report, "XGetImage failed");
        pixels->assign((size_t)width * height, 0);
        auto channel = [](unsigned long v, unsigned long mask) {
            if (mask == 0) return 0u;
            while (!(mask & 1)) mask >>= 1, v >>= 1;
            unsigned long top = mask;
            int bits = 0;
            while (top) top >>= 1, ++bits;
            return (unsigned)((v & mask) << 8 >> bits) & 0xFF;
        };
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                unsigned long v = XGetPixel(image, x, y);
                (*pixels)[(size_t)y * width + x] = channel(v, image->red_mask) << 16 |
                                                   channel(v, image->green_mask) << 8 |
                                                   channel(v, image->blue_mask);
            }
        XDestroyImage(image);
        return true;
    }

private:
    static bool Fail(std::string* report, const char* what) {
        *report += std::string("x11 ") + what + "\n";
        return false;
    }
    Display* display_ = nullptr;
    Window window_ = 0;
};

bool WritePng(const std::string& path, const std::vector<uint32_t>& pixels, int width, int height) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    bool ok = false;
    std::vector<uint8_t> row((size_t)width * 3);
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, (png_uint_32)width, (png_uint_32)height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                uint32_t v = pixels[(size_t)y * width + x];
                row[(size_t)x * 3] = (uint8_t)(v >> 16);
                row[(size_t)x * 3 + 1] = (uint8_t)(v >> 8);
                row[(size_t)x * 3 + 2] = (uint8_t)v;
            }
            png_write_row(png, row.data());
        }
        png_write_end(png, nullptr);
        ok = true;
    }
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return ok;
}

// ---- the road's hooks ---------------------------------------------------------------------

class Recorder : public road::Hooks {
public:
    std::string report;
    std::string screenshot;  // "": no window run

    bool At(road::Milestone m, const road::Handles&) override {
        if (m == road::Milestone::FrameDrawn && !screenshot.empty() && !screen_.WaitMapped(&report)) return false;
        if (m == road::Milestone::FramePresented && !screenshot.empty() && !Shoot()) return false;
        report += std::string("milestone ") + road::MilestoneName(m) + " " +
                  std::to_string(ptest::GetPresentedFrameCount()) + "\n";
        return true;
    }

    void FramePumped(int frame, int spaceKey, int padBits) override {
        char line[96];
        std::snprintf(line, sizeof line, "pump %d %llu %d %d\n", frame,
                      (unsigned long long)presentsBeforePump_, spaceKey, padBits);
        report += line;
    }

    void BeforePump(int) override { presentsBeforePump_ = ptest::GetPresentedFrameCount(); }

private:
    bool Shoot() {
        HWND window = FindWindowA("QzLib", nullptr);
        RECT client = {};
        POINT origin = {0, 0};
        if (window == nullptr || !GetClientRect(window, &client) || !ClientToScreen(window, &origin)) {
            report += "x11 no client rectangle\n";
            return false;
        }
        RECT area = {origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
        std::vector<uint32_t> pixels;
        if (!screen_.Shoot(area, &pixels, &report)) return false;
        char line[96];
        std::snprintf(line, sizeof line, "client %d %d %d %d\n", (int)area.left, (int)area.top,
                      (int)(area.right - area.left), (int)(area.bottom - area.top));
        report += line;
        if (!WritePng(screenshot, pixels, area.right - area.left, area.bottom - area.top)) {
            report += "cannot write " + screenshot + "\n";
            return false;
        }
        return true;
    }

    XScreen screen_;
    uint64_t presentsBeforePump_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    Recorder recorder;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc) {
            recorder.screenshot = argv[++i];
        } else {
            std::fprintf(stderr, "usage: game_road_driver [--screenshot file.png]\n");
            return 2;
        }
    }
    road::WriteFixtures(".");
    std::string failure;
    int result = road::RunRoad(recorder, &failure);
    if (result != 0) recorder.report += "failure " + failure + "\n";
    FILE* out = std::fopen("road-report.txt", "wb");
    if (out != nullptr) {
        std::fwrite(recorder.report.data(), 1, recorder.report.size(), out);
        std::fclose(out);
    }
    if (result != 0) std::fprintf(stderr, "game_road_driver: %s\n", failure.c_str());
    return result == 0 ? 0 : 1;
}
