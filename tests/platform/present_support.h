// present_support.h: a plain window for presenting into, and the check that a screenshot
// equals the frame captured for the same present, for the DirectDraw tests on either
// backend.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PngRead.h"
#include "TempDir.h"
#include "platform/win32.h"

namespace presenttest {

// A visible popup window of a class of this name (registered here), client area x, y, w, h.
inline HWND MakePopupWindow(const char* className, int x, int y, int width, int height) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = className;
    EXPECT_NE(RegisterClassExA(&wc), 0);
    return CreateWindowExA(0, className, className, WS_POPUP | WS_VISIBLE, x, y, width, height, nullptr, nullptr,
                           wc.hInstance, nullptr);
}

struct ShotCase {
    const char* shot;   // the screenshot's file in the folder
    const char* frame;  // the captured frame of the same present
    uint32_t colour;    // RGB expected at (x, y)
};

inline void ExpectShotMatchesFrame(const qztest::TempDir& dir, const ShotCase& c, int width, int height, int x, int y) {
    SCOPED_TRACE(c.shot);
    int w = 0, h = 0, fw = 0, fh = 0;
    const std::vector<uint32_t> shot = qztest::ReadPngRgb(dir.file(c.shot), &w, &h);
    const std::vector<uint32_t> frame = qztest::ReadPngRgb(dir.file(c.frame), &fw, &fh);
    ASSERT_EQ(w, width);
    ASSERT_EQ(h, height);
    EXPECT_EQ(shot[size_t(y) * width + x], c.colour);
    EXPECT_TRUE(shot == frame);
}

}  // namespace presenttest
