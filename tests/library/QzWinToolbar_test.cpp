// The toolbar strip, the window shape from a bitmap file and the inactive window's
// background picture, on the headless machine with fixtures written here.
#include <cstdio>
#include <string>
#include <vector>

#include "ImageWriters.h"
#include "LibraryFixture.h"
#include "QzDrawPresent.h"
#include "QzDrawScreenColor.h"
#include "QzGraphicsData.h"
#include "QzGraphicsDraw.h"
#include "QzGraphicsFront.h"
#include "QzGraphicsDrawState.h"
#include "QzWinExtras.h"
#include "QzWinProc.h"
#include "QzWinToolbar.h"
#include "QzWinWindow.h"
#include "platform/commctrl.h"
#include "platform/gdi.h"

namespace QzWinToolbar_test {

namespace {

using ToolbarTest = LibraryTest;

void WriteFile(const std::string& name, const std::string& bytes) {
    FILE* f = std::fopen(name.c_str(), "wb");
    ASSERT_NE(f, nullptr) << name;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

// A 24-bit BMP of one colour, stored bottom row first.
std::string SolidBmp(int width, int height, uint32_t rgb) {
    qztest::BmpSpec spec;
    spec.width = width;
    spec.height = height;
    spec.pixels.assign(static_cast<size_t>(width) * height, rgb);
    return qztest::WriteBmp(spec);
}

int ClientHeight() {
    RECT client = {};
    GetClientRect(GetMainWindowHwnd(), &client);
    return client.bottom;
}

ptest::ToolbarModel Model() {
    ptest::ToolbarModel model;
    EXPECT_TRUE(ptest::GetToolbarModel(g_windowSystem.toolbar.window, &model));
    return model;
}

// ---- the toolbar ---------------------------------------------------------------------------------

TEST_F(ToolbarTest, BuildReplaceFindClickClearAndClose) {
    ApiChangeWindowMode(1);
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    WriteFile("tools.bmp", SolidBmp(64, 16, 0x808080));
    WriteFile("tools2.bmp", SolidBmp(60, 20, 0x404040));
    const ToolbarState& tb = g_windowSystem.toolbar;

    ASSERT_EQ(Locked([] { return BuildToolbar("tools.bmp", 4); }), 0);
    HWND window = tb.window;
    ptest::ToolbarModel model = Model();
    EXPECT_EQ(model.parent, GetMainWindowHwnd());
    EXPECT_EQ(model.structSize, 20) << "the library's own button records";
    ASSERT_EQ(model.bitmaps.size(), 1u);
    EXPECT_EQ(model.bitmaps[0].bitmap, tb.bitmap);
    EXPECT_EQ(model.bitmaps[0].images, 4);
    EXPECT_EQ(model.bitmapWidth, 16) << "bitmap width / button count";
    EXPECT_EQ(model.bitmapHeight, 16);
    EXPECT_EQ(g_windowSystem.windowStyleIndex, 6);
    const int height = MeasureToolbarHeight();
    EXPECT_GT(height, 16);
    EXPECT_EQ(ClientHeight(), 480 + height) << "the strip sits above the 480 screen rows";
    RECT strip = {}, shifted = {};
    GetWindowRect(window, &strip);
    GetWindowClientRect(&shifted);
    EXPECT_EQ(strip.top, g_windowSystem.clientRect.top);
    EXPECT_EQ(strip.right - strip.left, 640);
    EXPECT_EQ(shifted.top, g_windowSystem.clientRect.top + height);

    // A second bitmap goes into the same toolbar; the first is deleted.
    HBITMAP first = tb.bitmap;
    ASSERT_EQ(Locked([] { return BuildToolbar("tools2.bmp", 3); }), 0);
    EXPECT_EQ(tb.window, window);
    model = Model();
    ASSERT_EQ(model.bitmaps.size(), 1u);
    EXPECT_EQ(model.bitmaps[0].bitmap, tb.bitmap);
    EXPECT_NE(tb.bitmap, first);
    EXPECT_EQ(model.bitmaps[0].images, 3);
    EXPECT_EQ(model.bitmapWidth, 20);
    BITMAP info;
    EXPECT_EQ(GetObjectA(first, sizeof info, &info), 0) << "the old bitmap is gone";
    EXPECT_EQ(MeasureToolbarHeight(), height + 4) << "the strip follows the taller buttons";
    EXPECT_EQ(ClientHeight(), 480 + MeasureToolbarHeight());

    // Nothing in the library adds buttons: put three in as a program would.
    const struct {
        int id;
        int state;  // library record: 0 enabled, 3 separator
    } kButtons[] = {{7, 3}, {7, 0}, {9, 0}};
    for (int i = 0; i < 3; i++) {
        TBBUTTON b = {};
        b.idCommand = 0x500 + kButtons[i].id;
        b.fsState = TBSTATE_ENABLED;
        b.fsStyle = kButtons[i].state == 3 ? TBSTYLE_SEP : TBSTYLE_BUTTON;
        SendMessageA(window, TB_ADDBUTTONSA, 1, reinterpret_cast<LPARAM>(&b));
        g_windowSystem.toolbar.buttons[i] = {kButtons[i].id, 0, kButtons[i].state, 0, 0};
    }
    g_windowSystem.toolbar.buttonCount = 3;
    EXPECT_EQ(FindToolbarButton(7), 1) << "the separator is skipped";
    EXPECT_EQ(FindToolbarButton(9), 2);
    EXPECT_EQ(FindToolbarButton(8), -1);
    EXPECT_TRUE(Locked([window] { return ptest::ClickToolbarButton(window, 1); }));
    EXPECT_EQ(tb.buttons[1].clicked, 1) << "the window procedure marks the clicked button";
    EXPECT_EQ(tb.buttons[2].clicked, 0);

    EXPECT_EQ(Locked([] { return ClearToolbarButtons(); }), 0);
    EXPECT_EQ(tb.buttonCount, 0);
    EXPECT_TRUE(Model().buttons.empty());

    HBITMAP last = tb.bitmap;
    ASSERT_EQ(Locked([] { return BuildToolbar(nullptr, 0); }), 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(GetObjectA(last, sizeof info, &info), 0);
    EXPECT_EQ(tb.inUse, 0);
    EXPECT_EQ(MeasureToolbarHeight(), 0);
    EXPECT_EQ(ClientHeight(), 480);
    EXPECT_EQ(ClearToolbarButtons(), -1);
    EXPECT_EQ(FindToolbarButton(7), -1);
}

struct RefusalCase {
    const char* name;
    int windowMode;
    const char* file;
    int buttons;
    const char* failCall;  // platform fault, or null
    const char* logLine;   // expected in the log file (which ends lines with CR LF), or null
};
const RefusalCase kRefusals[] = {
    {"full screen", 0, "tools.bmp", 4, nullptr, nullptr},
    {"no such file", 1, "none.bmp", 4, nullptr, "ツールバーのボタン用のビットマップファイルの読み込みに失敗しました\r\n"},
    {"not a picture", 1, "junk.bmp", 4, nullptr, "ツールバーのボタン用のビットマップファイルの読み込みに失敗しました\r\n"},
    {"no buttons", 1, "tools.bmp", 0, nullptr, nullptr},
    {"window refused", 1, "tools.bmp", 4, "CreateWindowExA", "ツールバーウインドウの作成に失敗しました\r\n"},
};

TEST_F(ToolbarTest, RefusalsLeaveNoToolbar) {
    WriteFile("tools.bmp", SolidBmp(64, 16, 0x808080));
    WriteFile("junk.bmp", "not a bitmap at all");
    for (const RefusalCase& c : kRefusals) {
        ApiChangeWindowMode(c.windowMode);
        ASSERT_EQ(ApiInitializeLibrary(), 0) << c.name;
        const int clientHeight = ClientHeight();
        if (c.failCall) ptest::FailCall(c.failCall);
        EXPECT_EQ(Locked([&c] { return BuildToolbar(c.file, c.buttons); }), -1) << c.name;
        EXPECT_EQ(g_windowSystem.toolbar.inUse, 0) << c.name;
        EXPECT_EQ(g_windowSystem.toolbar.window, nullptr) << c.name;
        EXPECT_EQ(g_windowSystem.toolbar.bitmap, nullptr) << c.name;
        EXPECT_EQ(ClientHeight(), clientHeight) << c.name;
        ApiTerminateLibrary();
        if (c.logLine) {
            EXPECT_NE(Log().find(c.logLine), std::string::npos) << c.name;
        }
    }
}

// ---- the window shape from a bitmap file --------------------------------------------------------------

TEST_F(ToolbarTest, TheShapeFromABitmapFileIsTheRegionOfItsPixels) {
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    // 5 x 3, top row first; the odd row lengths leave padding in every stored row, and
    // (0, 0, 1) counts as a pixel while (0, 0, 0) does not.
    const std::vector<uint32_t> pixels = {
        0x000001, 0x000000, 0xFFFFFF, 0xFFFFFF, 0x000000,  //
        0x000000, 0x000000, 0x000000, 0x000000, 0x000000,  //
        0x010000, 0x010000, 0x000000, 0x000000, 0x000100,  //
    };
    struct ShapeCase {
        const char* name;
        int height;  // negative: stored top row first
    } const kCases[] = {{"bottom-up", 3}, {"top-down", -3}};
    for (const ShapeCase& c : kCases) {
        qztest::BmpSpec spec;
        spec.width = 5;
        spec.height = c.height;
        spec.pixels = pixels;
        WriteFile("shape.bmp", qztest::WriteBmp(spec));
        ASSERT_EQ(Locked([] { return SetWindowRegionFromFile("shape.bmp"); }), 0) << c.name;
        EXPECT_EQ(HasWindowRegion(), 1);

        std::vector<unsigned char> packed(static_cast<size_t>(16) * 3);  // 15 bytes a row, padded to 16
        for (int y = 0; y < 3; y++)
            for (int x = 0; x < 5; x++)
                for (int b = 0; b < 3; b++)
                    packed[static_cast<size_t>(y) * 16 + x * 3 + b] =
                        static_cast<unsigned char>(pixels[static_cast<size_t>(y) * 5 + x] >> (8 * b));
        HRGN expected = MakeRegionFromImage(5, 3, packed.data(), 16, 3);
        std::vector<RECT> want, got;
        ASSERT_TRUE(ptest::GetRegionRects(expected, &want));
        DeleteObject(expected);
        ASSERT_TRUE(ptest::GetWindowRegionRects(GetMainWindowHwnd(), &got)) << c.name;
        ASSERT_EQ(got.size(), want.size()) << c.name;
        for (size_t i = 0; i < want.size(); i++) {
            EXPECT_EQ(got[i].left, want[i].left) << c.name << " rect " << i;
            EXPECT_EQ(got[i].top, want[i].top) << c.name << " rect " << i;
            EXPECT_EQ(got[i].right, want[i].right) << c.name << " rect " << i;
            EXPECT_EQ(got[i].bottom, want[i].bottom) << c.name << " rect " << i;
        }
    }
    // An unreadable file keeps the shape there is.
    EXPECT_EQ(Locked([] { return SetWindowRegionFromFile("none.bmp"); }), -1);
    EXPECT_EQ(HasWindowRegion(), 1);
}

// ---- the background picture ---------------------------------------------------------------------------

uint32_t FrameCentre() {
    const ptest::PresentedFrame frame = ptest::GetLastPresentedFrame();
    if (frame.pixels.empty()) return 0xDEADBEEF;
    return frame.pixels[static_cast<size_t>(frame.height / 2) * frame.width + frame.width / 2] & 0xFFFFFF;
}

TEST_F(ToolbarTest, ThePictureIsKeptReplacedAndShownWhileInactive) {
    ApiChangeWindowMode(1);
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    HWND window = GetMainWindowHwnd();
    WindowSystemState& ws = g_windowSystem;
    EXPECT_EQ(Locked([] { return DrawInactiveBackground(nullptr); }), -1) << "no picture yet";
    EXPECT_EQ(Locked([] { return SetWindowBackgroundPicture(nullptr, nullptr, 0); }), 0);
    EXPECT_EQ(ws.backgroundImage.pixels, nullptr) << "both null does nothing";

    WriteFile("back.bmp", SolidBmp(8, 6, 0x3366CC));
    ASSERT_EQ(Locked([] { return SetWindowBackgroundPicture("back.bmp", nullptr, 0); }), 0);
    EXPECT_EQ(ws.backgroundImage.width, 8);
    const int firstGraph = ws.backgroundGraph;
    ASSERT_NE(GetGraphData(firstGraph), nullptr);

    // From memory: the old graphic goes. Bytes that are no picture keep the new one.
    const std::string memory = SolidBmp(16, 12, 0x33CC66);
    ASSERT_EQ(Locked([&] { return SetWindowBackgroundPicture(nullptr, memory.data(), (int)memory.size()); }), 0);
    EXPECT_EQ(GetGraphData(firstGraph), nullptr);
    EXPECT_EQ(ws.backgroundImage.width, 16);
    const int secondGraph = ws.backgroundGraph;
    EXPECT_NE(GetGraphData(secondGraph), nullptr);
    EXPECT_EQ(Locked([] { return SetWindowBackgroundPicture(nullptr, "junk", 4); }), -1);
    EXPECT_EQ(ws.backgroundGraph, secondGraph);
    EXPECT_EQ(ws.backgroundImage.width, 16);

    // The game's frame in progress on the back screen survives the picture.
    Locked([] {
        SelectDrawTarget(kDrawTargetBack);
        return DrawFilledBox(0, 0, 640, 480, GetScreenColorValue(0xFF, 0x00, 0x00));
    });
    // A lost graphic is made again from the kept picture.
    Locked([&] { return DeleteOneGraph(ws.backgroundGraph, 0); });
    Locked([window] { return SendMessageA(window, WM_ACTIVATE, WA_INACTIVE, 0); });
    EXPECT_EQ(ws.active, 0);
    EXPECT_EQ(FrameCentre(), 0x33CC66u) << "the picture stretched over the window";
    EXPECT_NE(GetGraphData(ws.backgroundGraph), nullptr);
    EXPECT_EQ(ws.runAlways, 0) << "run-always only for the drawing";
    EXPECT_EQ(GetSelectedDrawTarget(), kDrawTargetBack);

    Locked([window] { return SendMessageA(window, WM_ACTIVATE, WA_ACTIVE, 0); });
    Locked([] { return PresentScreen(); });
    EXPECT_EQ(FrameCentre(), 0xFF0000u) << "the back screen is put back";
}

// ---- the end of the window ------------------------------------------------------------------------------

TEST_F(ToolbarTest, TheEndOfTheWindowLeavesNoToolbarPictureOrShape) {
    ApiChangeWindowMode(1);
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    WriteFile("tools.bmp", SolidBmp(64, 16, 0x808080));
    WriteFile("back.bmp", SolidBmp(8, 6, 0x3366CC));
    ASSERT_EQ(Locked([] { return BuildToolbar("tools.bmp", 4); }), 0);
    ASSERT_EQ(Locked([] { return SetWindowBackgroundPicture("back.bmp", nullptr, 0); }), 0);
    ASSERT_EQ(Locked([] { return SetWindowRegionFromFile("back.bmp"); }), 0);
    HWND toolbar = g_windowSystem.toolbar.window;
    HBITMAP bitmap = g_windowSystem.toolbar.bitmap;

    ApiTerminateLibrary();
    EXPECT_FALSE(IsWindow(toolbar));
    BITMAP info;
    EXPECT_EQ(GetObjectA(bitmap, sizeof info, &info), 0);
    EXPECT_EQ(g_windowSystem.toolbar.inUse, 0);
    EXPECT_EQ(g_windowSystem.backgroundImage.pixels, nullptr);
    EXPECT_EQ(g_windowSystem.windowRegion, nullptr);
    EXPECT_EQ(g_windowSystem.tracker.count, 0) << "no tracked block is left";
}

}  // namespace

}  // namespace QzWinToolbar_test
