// The older views of DirectDraw objects and surfaces that the movie code uses, and the
// overlay model: one object or surface behind every view, the first surface description,
// UpdateOverlay's record, the overlay capabilities a test sets, and the faults by name.
#include <gtest/gtest.h>

#include <cstring>

#include "dshow_support.h"

namespace ddraw_views_test {

using namespace movietest;

namespace {

TEST(DirectDrawViews, EveryViewIsTheSameObjectWithOneCount) {
    Screen screen;
    IDirectDraw4* dd4 = nullptr;
    ASSERT_EQ(screen.dd->QueryInterface(IID_IDirectDraw4, (void**)&dd4), S_OK);
    IUnknown* a = nullptr;
    IUnknown* b = nullptr;
    dd4->QueryInterface(IID_IUnknown, (void**)&a);
    screen.dd->QueryInterface(IID_IUnknown, (void**)&b);
    EXPECT_EQ(a, b);
    a->Release();
    b->Release();

    IDirectDrawSurface* first = screen.Surface(8, 4, X8R8G8B8());
    IDirectDrawSurface4* fourth = nullptr;
    IDirectDrawSurface7* seventh = nullptr;
    ASSERT_EQ(first->QueryInterface(IID_IDirectDrawSurface4, (void**)&fourth), S_OK);
    ASSERT_EQ(fourth->QueryInterface(IID_IDirectDrawSurface7, (void**)&seventh), S_OK);
    const std::string label = ptest::GetSurfaceLabel(seventh);
    EXPECT_EQ(label.rfind("offscreen", 0), 0u);
    // Released in any order, the surface lives until the last view goes.
    first->Release();
    seventh->Release();
    EXPECT_EQ(ptest::GetSurfaceLabel(seventh), label);
    EXPECT_EQ(fourth->IsLost(), DD_OK);
    fourth->Release();
    EXPECT_EQ(ptest::GetSurfaceLabel(seventh), "");
    dd4->Release();
}

TEST(DirectDrawViews, EachViewLocksDescribesAndRestoresTheSamePixels) {
    Screen screen;
    IDirectDrawSurface* first = screen.Surface(8, 4, R5G6B5());
    IDirectDrawSurface4* fourth = nullptr;
    IDirectDrawSurface7* seventh = nullptr;
    first->QueryInterface(IID_IDirectDrawSurface4, (void**)&fourth);
    first->QueryInterface(IID_IDirectDrawSurface7, (void**)&seventh);

    DDSURFACEDESC old;
    std::memset(&old, 0, sizeof old);
    old.dwSize = sizeof old;
    ASSERT_EQ(first->GetSurfaceDesc(&old), DD_OK);
    EXPECT_EQ(old.dwWidth, 8u);
    EXPECT_EQ(old.dwHeight, 4u);
    EXPECT_EQ(old.ddpfPixelFormat.dwRBitMask, 0xF800u);
    EXPECT_TRUE(old.ddsCaps.dwCaps & DDSCAPS_SYSTEMMEMORY);
    DDSURFACEDESC2 full = {};
    full.dwSize = sizeof full;
    ASSERT_EQ(fourth->GetSurfaceDesc(&full), DD_OK);
    EXPECT_EQ(full.lPitch, old.lPitch);

    // Written through the first view, read through the fourth.
    ASSERT_EQ(first->Lock(nullptr, &old, DDLOCK_WAIT, nullptr), DD_OK);
    static_cast<uint16_t*>(old.lpSurface)[3] = 0xF800;
    EXPECT_EQ(ptest::GetLockedSurfaceCount(), 1);
    EXPECT_EQ(fourth->Lock(nullptr, &full, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    ASSERT_EQ(first->Unlock(old.lpSurface), DD_OK);
    EXPECT_EQ(PixelAt(fourth, 3, 0), 0xFF0000u);

    // A description of the wrong size is refused by both.
    DDSURFACEDESC wrong;
    std::memset(&wrong, 0, sizeof wrong);
    wrong.dwSize = sizeof(DDSURFACEDESC2);
    EXPECT_EQ(first->Lock(nullptr, &wrong, 0, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(first->GetSurfaceDesc(&wrong), DDERR_INVALIDPARAMS);

    // Loss is seen, and mended, through every view.
    ptest::MarkSurfaceLost(seventh);
    EXPECT_EQ(first->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(fourth->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(fourth->Lock(nullptr, &full, DDLOCK_WAIT, nullptr), DDERR_SURFACELOST);
    EXPECT_EQ(first->Restore(), DD_OK);
    EXPECT_EQ(seventh->IsLost(), DD_OK);
    EXPECT_EQ(fourth->Restore(), DD_OK);
    EXPECT_EQ(PixelAt(fourth, 3, 0), 0u);  // restored pixels are zero
    first->Release();
    fourth->Release();
    seventh->Release();
}

TEST(DirectDrawViews, QueryInterfaceFaultsByName) {
    Screen screen;
    IDirectDrawSurface* first = screen.Surface(8, 4, X8R8G8B8());
    const struct {
        const char* fault;
        IUnknown* object;
        const IID* iid;
    } cases[] = {
        {"QueryInterface:IDirectDraw4", screen.dd, &IID_IDirectDraw4},
        {"QueryInterface:IDirectDrawSurface4", first, &IID_IDirectDrawSurface4},
        {"QueryInterface:IDirectDrawSurface7", first, &IID_IDirectDrawSurface7},
    };
    for (const auto& c : cases) {
        ptest::FailCall(c.fault);
        void* got = &screen;
        EXPECT_EQ(c.object->QueryInterface(*c.iid, &got), E_NOINTERFACE) << c.fault;
        EXPECT_EQ(got, nullptr) << c.fault;
        ASSERT_EQ(c.object->QueryInterface(*c.iid, &got), S_OK) << c.fault << ": only the next call fails";
        static_cast<IUnknown*>(got)->Release();
    }
    first->Release();
}

TEST(DirectDrawViews, OverlayCapsAreWhatTheTestSet) {
    Screen screen;
    IDirectDraw* older = nullptr;
    screen.dd->QueryInterface(IID_IDirectDraw, (void**)&older);
    DDCAPS caps = {};
    caps.dwSize = sizeof caps;
    ASSERT_EQ(older->GetCaps(&caps, nullptr), DD_OK);
    EXPECT_EQ(caps.dwCaps & (DDCAPS_ALIGNBOUNDARYSRC | DDCAPS_ALIGNSIZESRC | DDCAPS_ALIGNBOUNDARYDEST |
                             DDCAPS_ALIGNSIZEDEST),
              0u);
    ptest::OverlayCaps set;
    set.minStretch = 1000;
    set.maxStretch = 4000;
    set.alignFlags = DDCAPS_ALIGNBOUNDARYSRC | DDCAPS_ALIGNSIZEDEST;
    set.boundarySrc = 4;
    set.sizeSrc = 2;
    set.boundaryDest = 8;
    set.sizeDest = 16;
    ptest::SetOverlayCaps(set);
    ASSERT_EQ(older->GetCaps(&caps, nullptr), DD_OK);
    EXPECT_EQ(caps.dwMinOverlayStretch, 1000u);
    EXPECT_EQ(caps.dwMaxOverlayStretch, 4000u);
    EXPECT_EQ(caps.dwCaps & 0x1Eu, DDCAPS_ALIGNBOUNDARYSRC | DDCAPS_ALIGNSIZEDEST);
    EXPECT_EQ(caps.dwAlignBoundarySrc, 4u);
    EXPECT_EQ(caps.dwAlignSizeSrc, 2u);
    EXPECT_EQ(caps.dwAlignBoundaryDest, 8u);
    EXPECT_EQ(caps.dwAlignSizeDest, 16u);
    older->Release();
}

TEST(DirectDrawViews, UpdateOverlayKeepsTheLastPlacement) {
    ptest::AllowOverlayFormat("YUY2");
    Screen screen;
    IDirectDrawSurface* overlayView =
        screen.Surface(64, 48, FourCC('Y', 'U', 'Y', '2'), DDSCAPS_OVERLAY | DDSCAPS_VIDEOMEMORY);
    IDirectDrawSurface7* overlay = nullptr;
    overlayView->QueryInterface(IID_IDirectDrawSurface7, (void**)&overlay);
    overlayView->Release();
    DDSURFACEDESC2 desc = {};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    IDirectDrawSurface7* primary = nullptr;
    ASSERT_EQ(screen.dd->CreateSurface(&desc, &primary, nullptr), DD_OK);
    IDirectDrawSurface* plainView = screen.Surface(64, 48, X8R8G8B8());
    IDirectDrawSurface7* plain = nullptr;
    plainView->QueryInterface(IID_IDirectDrawSurface7, (void**)&plain);
    plainView->Release();

    EXPECT_EQ(ptest::GetLastOverlayPlacement().updates, 0);
    RECT src = {2, 4, 34, 28};
    RECT dst = {100, 50, 164, 98};
    ASSERT_EQ(overlay->UpdateOverlay(&src, primary, &dst, DDOVER_SHOW, nullptr), DD_OK);
    ptest::OverlayPlacement placed = ptest::GetLastOverlayPlacement();
    EXPECT_EQ(placed.updates, 1);
    EXPECT_EQ(placed.surface, ptest::GetSurfaceLabel(overlay));
    EXPECT_TRUE(placed.shown);
    EXPECT_EQ(placed.source.left, 2);
    EXPECT_EQ(placed.source.bottom, 28);
    EXPECT_EQ(placed.destination.left, 100);
    EXPECT_EQ(placed.destination.bottom, 98);

    // Refused calls leave the record as it was.
    RECT outside = {0, 0, 65, 48};
    RECT empty = {10, 10, 10, 20};
    EXPECT_EQ(overlay->UpdateOverlay(&outside, primary, &dst, DDOVER_SHOW, nullptr), DDERR_INVALIDRECT);
    EXPECT_EQ(overlay->UpdateOverlay(&src, primary, &empty, DDOVER_SHOW, nullptr), DDERR_INVALIDRECT);
    EXPECT_EQ(overlay->UpdateOverlay(&src, primary, &dst, DDOVER_SHOW | DDOVER_HIDE, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(overlay->UpdateOverlay(&src, plain, &dst, DDOVER_SHOW, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(plain->UpdateOverlay(&src, primary, &dst, DDOVER_SHOW, nullptr), DDERR_NOTAOVERLAYSURFACE);
    EXPECT_EQ(ptest::GetLastOverlayPlacement().updates, 1);

    ASSERT_EQ(overlay->UpdateOverlay(nullptr, primary, nullptr, DDOVER_HIDE, nullptr), DD_OK);
    placed = ptest::GetLastOverlayPlacement();
    EXPECT_EQ(placed.updates, 2);
    EXPECT_FALSE(placed.shown);
    EXPECT_EQ(placed.destination.right, 0);
    overlay->Release();
    plain->Release();
    primary->Release();
}

}  // namespace

}  // namespace ddraw_views_test
