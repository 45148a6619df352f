// The mask screen in hardware and software rendering: masked draws against unmasked ones
// on the presented frame, the blocking bytes, the mask's pitch, draws outside the draw
// area, masking without a buffer, freeing and rebuilding around a device reset, a draw
// target larger than the screen, and a work surface that cannot be locked.
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "GraphFixture.h"
#include "QzDrawPresent.h"
#include "QzDrawScreenColor.h"
#include "QzDrawScreenMode.h"
#include "QzGraphicsDraw.h"
#include "QzGraphicsDrawState.h"
#include "QzGraphicsFront.h"
#include "QzGraphicsMask.h"
#include "QzGraphicsRecovery.h"
#include "QzGraphicsSystem.h"
#include "QzWinWindow.h"

namespace QzGraphicsMask_test {

namespace {

enum class Render { Hardware, Software };

std::string RenderName(const ::testing::TestParamInfo<Render>& info) {
    return info.param == Render::Hardware ? "Hardware" : "Software";
}

class MaskTest : public GraphTest, public ::testing::WithParamInterface<Render> {
protected:
    bool Hardware() const { return GetParam() == Render::Hardware; }

    // A 640 x 480 x 32 screen in the mode asked for, drawing on the back screen.
    void StartMode() {
        if (!Hardware()) SetNewGraph3DFlag(0);
        Start();
        ASSERT_EQ(SetScreenMode(640, 480, 32, 60), 0);
        ASSERT_EQ(g_screen.softwareRender, Hardware() ? 0 : 1);
        ASSERT_EQ(SelectDrawTarget(kDrawTargetBack), 0);
        ASSERT_EQ(ClearDrawTarget(), 0);
    }

    // What a builder of the mask screen does: both parts, maskExists, the bytes, masking on.
    static void BuildMask(const std::function<uint8_t(int, int)>& byte) {
        ASSERT_EQ(BuildMaskScreen(1, 1), 0);
        g_maskScreen.maskExists = 1;
        WriteMask(byte);
        ASSERT_EQ(EnableMaskDraw(1), 0);
        ASSERT_EQ(g_drawState.maskActive, 1);
    }
    static void WriteMask(const std::function<uint8_t(int, int)>& byte) {
        ASSERT_NE(g_maskScreen.maskBuffer, nullptr);
        for (int y = 0; y < g_maskScreen.maskHeight; ++y)
            for (int x = 0; x < g_maskScreen.maskWidth; ++x)
                g_maskScreen.maskBuffer[(size_t)y * g_maskScreen.maskPitch + x] = byte(x, y);
    }

    // The work copy's raw pixel, and a fill of all of it, in either mode.
    static uint32_t WorkPixel(int x, int y) {
        uint32_t v = 0xDEADBEEF;
        if (MEMIMG* m = GetMaskMEMIMG()) {
            std::memcpy(&v, m->pixels + (size_t)y * m->pitch + (size_t)x * m->format->pixelBytes, 4);
            return v;
        }
        DDSURFACEDESC2 d;
        std::memset(&d, 0, sizeof d);
        d.dwSize = sizeof d;
        RECT r = {x, y, x + 1, y + 1};
        if (GetMaskWorkSurface()->Lock(&r, &d, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) != DD_OK) return v;
        std::memcpy(&v, d.lpSurface, 4);
        GetMaskWorkSurface()->Unlock(&r);
        return v;
    }
    static void FillWork(uint32_t value) {
        if (MEMIMG* m = GetMaskMEMIMG()) {
            FillMEMIMGRawRect(m, nullptr, value);
            return;
        }
        DDSURFACEDESC2 d;
        std::memset(&d, 0, sizeof d);
        d.dwSize = sizeof d;
        ASSERT_EQ(GetMaskWorkSurface()->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
        for (DWORD y = 0; y < d.dwHeight; ++y)
            for (DWORD x = 0; x < d.dwWidth; ++x)
                std::memcpy((uint8_t*)d.lpSurface + (size_t)y * d.lPitch + x * 4, &value, 4);
        GetMaskWorkSurface()->Unlock(nullptr);
    }

    // The presented frame, 0xRRGGBB.
    static std::vector<uint32_t> Frame() {
        EXPECT_EQ(PresentScreen(), 0);
        ptest::PresentedFrame f = ptest::GetLastPresentedFrame();
        EXPECT_EQ(f.width, 640);
        for (uint32_t& p : f.pixels) p &= 0xFFFFFF;
        return f.pixels;
    }

    // Every third pixel black: black is the mask's key colour.
    static uint32_t Spotted(int x, int y) {
        return (x + y) % 3 == 0 ? 0u : (uint32_t)(0x30 + x * 9) << 16 | (uint32_t)(0x20 + y * 7) << 8 | 0xC0;
    }

    static constexpr uint32_t kBackground = 0x204060;
    static void FillBackground(int width = 640, int height = 480) {
        const int requested = g_drawState.maskRequested;
        EnableMaskDraw(0);
        ASSERT_EQ(DrawFilledBox(0, 0, width, height, GetScreenColorValue(0x20, 0x40, 0x60)), 0);
        EnableMaskDraw(requested);
    }
};

// An all-zero mask changes nothing, except that a drawn pixel of the key colour (black)
// leaves the old pixel in place.
TEST_P(MaskTest, AZeroMaskDrawsLikeNoMaskExceptTheKeyColour) {
    StartMode();
    const int flat = Graph(12, 8, Spotted, 0);
    const int texture = Hardware() ? Graph(12, 8, Spotted, 1) : -1;
    auto scene = [&] {
        ClearDrawTarget();
        FillBackground();
        EXPECT_EQ(DrawPlainGraph(10, 10, flat, 0), 0);
        if (texture != -1) {
            EXPECT_EQ(DrawPlainGraph(40, 10, texture, 0), 0);
        }
        EXPECT_EQ(DrawFilledBox(70, 10, 90, 30, GetScreenColorValue(200, 100, 50)), 0);
        EXPECT_EQ(DrawFilledBox(100, 10, 110, 20, GetScreenColorValue(0, 0, 0)), 0);
        return Frame();
    };
    const std::vector<uint32_t> plain = scene();
    ASSERT_EQ(plain.size(), 640u * 480u);
    ASSERT_EQ(At(plain, 75, 15), 0xC86432u);
    ASSERT_EQ(At(plain, 11, 10), Spotted(1, 0));
    ASSERT_EQ(At(plain, 105, 15), 0u);
    BuildMask([](int, int) { return 0; });
    const std::vector<uint32_t> masked = scene();
    ASSERT_EQ(masked.size(), plain.size());
    int keyed = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            const uint32_t want = At(plain, x, y) == 0 ? kBackground : At(plain, x, y);
            keyed += At(plain, x, y) == 0;
            ASSERT_EQ(At(masked, x, y), want) << x << "," << y;
        }
    EXPECT_GT(keyed, 100);
}

// Any byte but 0 blocks; the rectangle has an odd width and an unaligned left edge, and the
// mask is set beside it: nothing of the work copy outside the rectangle is keyed.
TEST_P(MaskTest, BytesOneAnd255BothBlockInsideTheRectangleOnly) {
    StartMode();
    FillBackground();
    BuildMask([](int x, int) { return x % 3 == 0 ? 1 : x % 3 == 1 ? 255 : 0; });
    FillWork(0x00ABCDEF);
    const RECT box = {13, 7, 30, 20};
    ASSERT_EQ(DrawFilledBox(box.left, box.top, box.right, box.bottom, GetScreenColorValue(200, 100, 50)), 0);
    for (int y = box.top - 1; y <= box.bottom; ++y) {
        EXPECT_EQ(WorkPixel(box.left - 1, y) & 0xFFFFFF, 0xABCDEFu) << "left of the rectangle, row " << y;
        EXPECT_EQ(WorkPixel(box.right, y) & 0xFFFFFF, 0xABCDEFu) << "right of the rectangle, row " << y;
    }
    EnableMaskDraw(0);
    const std::vector<uint32_t> frame = Frame();
    for (int y = box.top - 2; y < box.bottom + 2; ++y)
        for (int x = box.left - 3; x < box.right + 3; ++x) {
            const bool inside = x >= box.left && x < box.right && y >= box.top && y < box.bottom;
            const uint32_t want = inside && x % 3 == 2 ? 0xC86432u : kBackground;
            ASSERT_EQ(At(frame, x, y), want) << x << "," << y;
        }
}

// A draw whose rectangle lies outside the draw area touches neither the work copy nor the
// target.
TEST_P(MaskTest, ARectangleOutsideTheDrawAreaChangesNothing) {
    StartMode();
    FillBackground();
    BuildMask([](int x, int y) { return (x + y) % 2; });
    FillWork(0x00ABCDEF);
    ASSERT_EQ(SetDrawClipArea(0, 0, 100, 100), 0);
    EXPECT_EQ(DrawFilledBox(200, 200, 300, 300, GetScreenColorValue(255, 255, 255)), 0);
    EXPECT_EQ(SaveMaskBackground(150, 0, 400, 90, GetBackSurface(), nullptr), 0);
    EXPECT_EQ(ApplyMaskAfterDraw(150, 0, 400, 90, GetBackSurface(), nullptr), 0);
    for (int y = 0; y < 480; y += 7)
        for (int x = 0; x < 640; x += 7) ASSERT_EQ(WorkPixel(x, y) & 0xFFFFFF, 0xABCDEFu) << x << "," << y;
    EnableMaskDraw(0);
    const std::vector<uint32_t> frame = Frame();
    for (uint32_t p : frame) ASSERT_EQ(p, kBackground);
}

TEST_P(MaskTest, EnablingWithoutABufferFails) {
    StartMode();
    EXPECT_EQ(g_drawState.maskRequested, 1) << "start-up asks for masking";
    EXPECT_EQ(g_drawState.maskActive, 0);
    EXPECT_EQ(EnableMaskDraw(1), -1);
    EXPECT_EQ(EnableMaskDraw(0), -1);
    ASSERT_EQ(BuildMaskScreen(0, 1), 0);
    g_maskScreen.maskExists = 1;
    EXPECT_EQ(EnableMaskDraw(1), -1) << "a work copy alone is not enough";
    EXPECT_EQ(g_drawState.maskRequested, 1);
    EXPECT_EQ(g_drawState.maskActive, 0);
    EXPECT_EQ(IsMaskDrawEnabled(), 1);
}

// The parts go before a device reset and come back after it; the mask screen and the
// request stay, and masked drawing works again (with a fresh, zero mask).
TEST_P(MaskTest, FreeingAndRebuildingKeepsTheMaskScreenAndTheRequest) {
    StartMode();
    BuildMask([](int, int) { return 1; });
    ASSERT_EQ(FreeMaskScreenParts(), 0);
    EXPECT_EQ(g_maskScreen.maskBuffer, nullptr);
    EXPECT_EQ(GetMaskWorkSurface(), nullptr);
    EXPECT_EQ(GetMaskMEMIMG(), nullptr);
    EXPECT_EQ(g_maskScreen.maskUsesImage, 0);
    EXPECT_EQ(g_maskScreen.maskExists, 1);
    EXPECT_EQ(IsMaskDrawEnabled(), 1);
    ASSERT_EQ(RebuildMaskScreen(), 0);
    ASSERT_NE(g_maskScreen.maskBuffer, nullptr);
    EXPECT_EQ(g_maskScreen.maskBuffer[0], 0);
    EXPECT_EQ(Hardware() ? GetMaskWorkSurface() != nullptr : GetMaskMEMIMG() != nullptr, true);
    EXPECT_EQ(g_drawState.maskActive, 1);

    // The whole device rebuild frees and rebuilds them in its steps.
    ASSERT_EQ(RebuildGraphicsDevice(), 0);
    EXPECT_EQ(g_maskScreen.maskExists, 1);
    EXPECT_EQ(g_drawState.maskActive, 1);
    ASSERT_NE(g_maskScreen.maskBuffer, nullptr);
    SelectDrawTarget(kDrawTargetBack);
    FillBackground();
    WriteMask([](int x, int) { return x < 20 ? 1 : 0; });
    ASSERT_EQ(DrawFilledBox(10, 10, 30, 12, GetScreenColorValue(255, 255, 255)), 0);
    EnableMaskDraw(0);
    const std::vector<uint32_t> frame = Frame();
    EXPECT_EQ(At(frame, 19, 10), kBackground);
    EXPECT_EQ(At(frame, 20, 10), 0xFFFFFFu);

    ASSERT_EQ(RemoveMaskScreen(), 0);
    EXPECT_EQ(g_maskScreen.maskExists, 0);
    EXPECT_EQ(g_maskScreen.maskBuffer, nullptr);
    EXPECT_EQ(g_drawState.maskActive, 0);
}

// A graphic target larger than the screen: the mask screen covers only the screen's size,
// so the bracket stays inside the mask and the work copy, and the target outside them
// keeps its pixels.
TEST_P(MaskTest, AGraphicTargetLargerThanTheScreenStaysInBounds) {
    StartMode();
    g_graphCreateSettings.drawValid = 1;
    const int big = CreateBlankGraph(800, 600);
    g_graphCreateSettings.drawValid = 0;
    ASSERT_GE(big, 0);
    BuildMask([](int x, int) { return x % 2; });
    ASSERT_EQ(SelectDrawTarget(big), 0);
    EXPECT_EQ(g_drawState.maskActive, 1) << "the request survives the target change";
    FillBackground(800, 600);
    ASSERT_EQ(DrawFilledBox(0, 0, 800, 600, GetScreenColorValue(255, 255, 255)), 0);
    ASSERT_EQ(DrawFilledBox(600, 440, 800, 600, GetScreenColorValue(255, 255, 255)), 0);
    EnableMaskDraw(0);
    for (int y : {0, 300, 479, 480, 599})
        for (int x : {0, 1, 638, 639, 640, 641, 799}) {
            const bool onMask = x < 640 && y < 480;
            EXPECT_EQ(GraphPixel(big, x, y), onMask && x % 2 == 0 ? 0xFFFFFFu : kBackground) << x << "," << y;
        }

    // The bracket called straight with an 800 x 600 image.
    EnableMaskDraw(1);
    std::vector<uint32_t> pixels(800 * 600, 0x00112233);
    GraphImage image = {};
    image.colorFormat = *GetScreenColorFormat();
    image.width = 800;
    image.height = 600;
    image.pitch = 800 * 4;
    image.pixels = pixels.data();
    EXPECT_EQ(SaveMaskBackground(500, 400, 800, 600, nullptr, &image), 0);
    FillWork(0x00FFFFFF);
    EXPECT_EQ(ApplyMaskAfterDraw(500, 400, 800, 600, nullptr, &image), 0);
    EXPECT_EQ(pixels[479 * 800 + 638] & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(pixels[479 * 800 + 639] & 0xFFFFFF, 0x112233u);
    EXPECT_EQ(pixels[479 * 800 + 640] & 0xFFFFFF, 0x112233u);
    EXPECT_EQ(pixels[599 * 800 + 799] & 0xFFFFFF, 0x112233u);
}

INSTANTIATE_TEST_SUITE_P(Render, MaskTest, ::testing::Values(Render::Hardware, Render::Software), RenderName);

// ---- hardware only ------------------------------------------------------------------------------
class MaskHardwareTest : public MaskTest {};

TEST_P(MaskHardwareTest, AScreenWidthOf642GivesAPitchOf644) {
    StartMode();
    const struct {
        int width, pitch;
    } cases[] = {{642, 644}, {640, 640}, {643, 644}, {644, 644}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        ASSERT_EQ(SetScreenMode(c.width, 480, 32, 60), 0);
        EXPECT_EQ(g_maskScreen.maskBuffer, nullptr) << "the mode change removed the last one";
        ASSERT_EQ(BuildMaskScreen(1, 0), 0);
        EXPECT_EQ(g_maskScreen.maskPitch, c.pitch);
        ASSERT_NE(g_maskScreen.maskBuffer, nullptr);
        g_maskScreen.maskBuffer[(size_t)c.pitch * 480 - 1] = 1;  // the last byte is the buffer's
    }
}

// A work surface that is lost, or whose Lock fails once, ends the step without writing.
TEST_P(MaskHardwareTest, AWorkSurfaceThatCannotBeLockedSkipsTheStep) {
    StartMode();
    FillBackground();
    BuildMask([](int x, int) { return x % 2; });
    std::vector<uint32_t> pixels(64 * 32, 0x00112233);
    GraphImage image = {};
    image.colorFormat = *GetScreenColorFormat();
    image.width = 64;
    image.height = 32;
    image.pitch = 64 * 4;
    image.pixels = pixels.data();
    const struct {
        const char* name;
        bool save;
        int nth;  // the Lock that fails; 0: the surface is lost
    } cases[] = {{"save, lost", true, 0},          {"save, lock fails", true, 1},
                 {"apply, lost", false, 0},        {"apply, keying lock fails", false, 1},
                 {"apply, read-back lock fails", false, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FillWork(0x00FFFFFF);
        if (c.nth == 0)
            ptest::MarkSurfaceLost(GetMaskWorkSurface());
        else
            ptest::FailCall("LockSurface", c.nth);
        if (c.save)
            EXPECT_EQ(SaveMaskBackground(0, 0, 64, 32, nullptr, &image), 0);
        else
            EXPECT_EQ(ApplyMaskAfterDraw(0, 0, 64, 32, nullptr, &image), 0);
        for (uint32_t p : pixels) ASSERT_EQ(p & 0xFFFFFF, 0x112233u);
        EXPECT_EQ(ptest::GetLockedSurfaceCount(), 0);
        GetMaskWorkSurface()->Restore();
    }
    // A draw on a lost work surface leaves the screen alone.
    ptest::MarkSurfaceLost(GetMaskWorkSurface());
    EXPECT_EQ(DrawFilledBox(0, 0, 640, 480, GetScreenColorValue(255, 255, 255)), 0);
    EnableMaskDraw(0);
    const std::vector<uint32_t> frame = Frame();
    for (uint32_t p : frame) ASSERT_EQ(p, kBackground);
}

// In window mode the front surface covers the desktop: the bracket reads and writes the
// target at the client area's place, while the work copy keeps target coordinates.
TEST_P(MaskHardwareTest, TheFrontScreenInWindowModeIsMaskedInTheClientArea) {
    StartMode();
    ASSERT_EQ(SelectDrawTarget(kDrawTargetFront), 0);
    RECT client;
    ASSERT_EQ(GetWindowClientRect(&client), 0);
    ASSERT_GT(client.left, 0);
    FillBackground();
    BuildMask([](int x, int) { return x % 2; });
    EXPECT_EQ(g_drawState.drawOrigin.left, 0) << "masked draws land in the work copy at target coordinates";
    ASSERT_EQ(DrawFilledBox(10, 10, 30, 20, GetScreenColorValue(255, 255, 255)), 0);
    EnableMaskDraw(0);
    EXPECT_EQ(g_drawState.drawOrigin.left, client.left);
    G_D3D_EndScene();
    IDirectDrawSurface7* primary = GetPrimarySurface();
    DDSURFACEDESC2 d;
    std::memset(&d, 0, sizeof d);
    d.dwSize = sizeof d;
    ASSERT_EQ(primary->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_READONLY, nullptr), DD_OK);
    auto at = [&](int x, int y) {
        return *(const uint32_t*)((const uint8_t*)d.lpSurface + (size_t)(client.top + y) * d.lPitch +
                                  (size_t)(client.left + x) * 4) &
               0xFFFFFF;
    };
    for (int y = 9; y <= 20; ++y)
        for (int x = 9; x <= 30; ++x) {
            const bool inside = x >= 10 && x < 30 && y >= 10 && y < 20;
            EXPECT_EQ(at(x, y), inside && x % 2 == 0 ? 0xFFFFFFu : kBackground) << x << "," << y;
        }
    primary->Unlock(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Render, MaskHardwareTest, ::testing::Values(Render::Hardware), RenderName);

}  // namespace

}  // namespace QzGraphicsMask_test
