// Pixel stores, 2D pieces and the software-draw bracket: the store table and its kinds,
// the nested lock, the rebuild steps, shared stores, captures, the bracket's decisions
// and the 2D front ends. Graphic records are built by hand: the graphic table comes later.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "LibraryFixture.h"
#include "PngRead.h"
#include "QzDraw2D.h"
#include "QzDraw2DDraw.h"
#include "QzDrawDevice.h"
#include "QzDrawPresent.h"
#include "QzDrawScreen.h"
#include "QzDrawScreenColor.h"
#include "QzDrawSurfaceData.h"
#include "QzDrawSurfaces.h"
#include "QzGraphicsDrawState.h"
#include "QzGraphicsFront.h"
#include "QzGraphicsSystem.h"
#include "QzWinMemory.h"
#include "QzWinWindow.h"

namespace QzDrawPieces_test {

namespace {

uint8_t* Flags(uint8_t flags[8], int alpha, int system, int depth, int palette = 0, int texture = 0) {
    std::memset(flags, 0, 8);
    flags[0] = (uint8_t)texture;
    flags[1] = (uint8_t)alpha;
    flags[3] = (uint8_t)system;
    flags[5] = (uint8_t)depth;
    flags[7] = (uint8_t)palette;
    return flags;
}

class PiecesTest : public LibraryTest {
protected:
    void Start(int windowMode = 1) {
        ApiChangeWindowMode(windowMode);
        ASSERT_EQ(ApiInitializeLibrary(), 0);
        EnterLibraryLock();
        locked_ = true;
    }
    void TearDown() override {
        if (locked_)
            LeaveLibraryLock();
        LibraryTest::TearDown();
    }
    // A graphic record of the 2D path with its one piece.
    GraphData* Graph(int width, int height, int alpha = 0, int system = 0) {
        auto* g = (GraphData*)AllocZeroedMemory(sizeof(GraphData), "test", __LINE__);
        g->handle = -1;
        g->width = width;
        g->height = height;
        g->alphaChannel = (uint8_t)alpha;
        g->systemMemory = (uint8_t)system;
        g->colorBitDepth = (uint8_t)GetColorBitDepth();
        g->movie = -1;
        graphs_.push_back(g);
        return g;
    }
    void TearDownGraphs() {
        for (GraphData* g : graphs_) {
            DeleteGraphSurfaces2D(g);
            FreeMemory(g);
        }
        graphs_.clear();
    }
    static std::vector<ptest::GraphicsCall> Journal(void (*call)(void*), void* context) {
        ptest::RecordGraphicsCalls(true);
        call(context);
        std::vector<ptest::GraphicsCall> calls = ptest::TakeGraphicsCalls();
        ptest::RecordGraphicsCalls(false);
        return calls;
    }
    bool locked_ = false;
    std::vector<GraphData*> graphs_;
};

// ---- pixel stores ---------------------------------------------------------------------------

TEST_F(PiecesTest, InvalidStoreHandlesFailEveryOperation) {
    Start();
    uint8_t flags[8];
    int good = AddSurfaceData(1, 8, 8, 0, Flags(flags, 0, 1, 32));
    ASSERT_GT(good, 0);
    int slot = GetHandleSlot(good), check = GetHandleCheck(good);
    struct Bad {
        const char* name;
        int handle;
    };
    const Bad bad[] = {
        {"another kind", MakeHandle(kHandleKindSurface2D, slot, check)},
        {"slot past the table", MakeHandle(kHandleKindSurfaceData, 0, 0) | 0x0000FFFF},
        {"empty slot", MakeHandle(kHandleKindSurfaceData, slot + 1, check)},
        {"stale check number", MakeHandle(kHandleKindSurfaceData, slot, check + 1)},
        {"negative", -1},
    };
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.name);
        int pitch;
        void* pointer;
        EXPECT_EQ(GetSurfaceData(b.handle), nullptr);
        EXPECT_EQ(IncSurfaceDataRefCount(b.handle), -1);
        EXPECT_EQ(DecSurfaceDataRefCount(b.handle), -1);
        EXPECT_EQ(SetupSurfaceDataSurface(b.handle), -1);
        EXPECT_EQ(ReleaseSurfaceDataSurface(b.handle), -1);
        EXPECT_EQ(SetSurfaceDataZBuffer(b.handle, 1), -1);
        EXPECT_EQ(SetSurfaceDataColorKey(b.handle), -1);
        EXPECT_EQ(RestoreSurfaceData(b.handle), -1);
        EXPECT_EQ(LockSurfaceData(b.handle, &pitch, &pointer, 0, nullptr, nullptr), -1);
        EXPECT_EQ(UnlockSurfaceData(b.handle, nullptr), -1);
        EXPECT_EQ(FillSurfaceData(b.handle, 1, 2, 3, 4), -1);
        EXPECT_EQ(DeleteSurfaceData(b.handle), -1);
    }
    EXPECT_NE(GetSurfaceData(good), nullptr);
    EXPECT_EQ(DeleteSurfaceData(good), 0);
}

TEST_F(PiecesTest, StoreTableLimitAndHighWaterMark) {
    Start();
    uint8_t flags[8];
    Flags(flags, 0, 1, 32);
    // Stores made at start-up (the on-screen log font's work piece) stay below these.
    HandleTable* table = GetSurfaceDataTable();
    int base = table->highWater;
    int a = AddSurfaceData(1, 4, 4, 0, flags), b = AddSurfaceData(1, 4, 4, 0, flags),
        c = AddSurfaceData(1, 4, 4, 0, flags);
    EXPECT_EQ(table->highWater, GetHandleSlot(c) + 1);
    DeleteSurfaceData(c);
    EXPECT_EQ(table->highWater, GetHandleSlot(b) + 1);
    DeleteSurfaceData(a);
    DeleteSurfaceData(b);
    EXPECT_EQ(table->highWater, base);
    int again = AddSurfaceData(1, 4, 4, 0, flags);
    EXPECT_EQ(GetHandleSlot(again), base);

    // A full table: the 65537th store is refused with its line.
    int count = table->count;
    table->count = kSurfaceDataTableSize;
    EXPECT_EQ(AddSurfaceData(1, 4, 4, 0, flags), -1);
    table->count = count;
    EXPECT_NE(Log().find("サーフェスのデータ数が許容量を越えました。\r\n"), std::string::npos);
    // Sizes beyond 16 bits are refused rather than cut.
    EXPECT_EQ(AddSurfaceData(1, 65536, 4, 0, flags), -1);
    EXPECT_EQ(AddSurfaceData(1, 4, 0, 0, flags), -1);
    DeleteSurfaceData(again);
}

TEST_F(PiecesTest, FlagsChooseTheStoreKind) {
    Start();
    struct Case {
        const char* name;
        int alpha, system, depth, palette;
        bool memImage;
        int formatIndex;
        int pixelBytes;
        uint32_t key;
    };
    const Case cases[] = {
        {"plain video surface", 0, 0, 32, 0, false, 9, 4, 0},
        // The key is the transparent colour (black) packed with full alpha and fill bits.
        {"system memory", 0, 1, 32, 0, true, 12, 4, 0xFF000000u},
        {"alpha at 16 bits", 1, 0, 16, 0, true, 11, 4, 0xFFFF0000u},
        {"alpha at 32 bits", 1, 0, 32, 0, true, 13, 4, 0xFF000000u},
        {"16-bit system", 0, 1, 16, 0, true, 10, 2, 0},
        {"palette", 0, 1, 16, 1, true, 10, 1, 0xFFFF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        uint8_t flags[8];
        int h = AddSurfaceData(1, 8, 8, 0, Flags(flags, c.alpha, c.system, c.depth, c.palette));
        ASSERT_GT(h, 0);
        SurfaceData* sd = GetSurfaceData(h);
        EXPECT_EQ(sd->memImageStore != 0, c.memImage);
        EXPECT_EQ(sd->formatIndex, c.formatIndex);
        EXPECT_EQ(sd->drawValid, 1);
        EXPECT_EQ(sd->transColorUse, 0);
        if (c.memImage) {
            EXPECT_EQ(sd->surface, nullptr);
            EXPECT_EQ(sd->memImage.format->pixelBytes, c.pixelBytes);
            EXPECT_EQ(sd->memImage.colorKey, c.key);
            EXPECT_EQ(SetSurfaceDataColorKey(h), 0);  // nothing to do for a MEMIMG store
        } else {
            ASSERT_NE(sd->surface, nullptr);
            DDSCAPS2 caps = {};
            sd->surface->GetCaps(&caps);
            EXPECT_TRUE(caps.dwCaps & DDSCAPS_VIDEOMEMORY);
        }
        DeleteSurfaceData(h);
    }
    // Wider than the screen: system memory.
    uint8_t flags[8];
    int wide = AddSurfaceData(1, 700, 8, 0, Flags(flags, 0, 0, 32));
    EXPECT_EQ(GetSurfaceData(wide)->systemMemory, 1);
    DeleteSurfaceData(wide);
}

TEST_F(PiecesTest, NestedLocksSeeTheirOwnRectangle) {
    Start();
    uint8_t flags[8];
    for (int system : {0, 1}) {
        SCOPED_TRACE(system ? "MEMIMG store" : "surface store");
        int h = AddSurfaceData(1, 16, 16, 0, Flags(flags, 0, system, 32));
        int pitch = 0, pitch2 = 0;
        void* first = nullptr;
        void* second = nullptr;
        RECT outer = {2, 2, 12, 12};
        const ColorFormat* format = nullptr;
        ASSERT_EQ(LockSurfaceData(h, &pitch, &first, 0, &outer, &format), 0);
        ASSERT_NE(format, nullptr);
        RECT inner = {4, 5, 6, 7};
        EXPECT_EQ(LockSurfaceData(h, &pitch2, &second, 0, &inner, nullptr), -2);
        EXPECT_EQ((uint8_t*)second - (uint8_t*)first, (4 - 2) * 4 + (5 - 2) * pitch);
        RECT outside = {0, 0, 4, 4};
        EXPECT_EQ(LockSurfaceData(h, &pitch2, &second, 0, &outside, nullptr), -1);
        EXPECT_EQ(UnlockSurfaceData(h, &outer), 0);
        if (!system) {
            EXPECT_EQ(ptest::GetLockedSurfaceCount(), 1);  // still held once
        }
        EXPECT_EQ(UnlockSurfaceData(h, &outer), 0);
        EXPECT_EQ(ptest::GetLockedSurfaceCount(), 0);
        EXPECT_EQ(UnlockSurfaceData(h, &outer), -1);
        if (system) {
            RECT beyond = {10, 10, 20, 12};
            EXPECT_EQ(LockSurfaceData(h, &pitch, &first, 0, &beyond, nullptr), -1);
        }
        DeleteSurfaceData(h);
    }
}

TEST_F(PiecesTest, FillOfAMemImgStorePacksInItsOwnFormat) {
    Start();
    uint8_t flags[8];
    int h = AddSurfaceData(1, 4, 4, 0, Flags(flags, 0, 1, 16));
    EXPECT_EQ(FillSurfaceData(h, 255, 0, 0, 255), 0);
    uint16_t v;
    std::memcpy(&v, GetSurfaceData(h)->memImage.pixels, 2);
    EXPECT_EQ(v, 0xF800);
    DeleteSurfaceData(h);
}

TEST_F(PiecesTest, RebuildStepsKeepMemImgPixelsAndOneClipper) {
    Start();
    GraphData* memory = Graph(8, 8, 0, 1);
    GraphData* video = Graph(8, 8);
    ASSERT_EQ(CreateGraphSurface2D(memory), 0);
    ASSERT_EQ(CreateGraphSurface2D(video), 0);
    SurfaceData* sd = GetSurfaceData(GetSurface2D(memory->pieces[0])->store);
    std::memset(sd->memImage.pixels, 0x5A, 4);
    ptest::RecordGraphicsCalls(true);
    ReleaseMainSurfaces();
    ReleaseAllSurface2DSurfaces();
    ReleaseClipper();
    ReleaseDirectDrawObjects();
    RecreateDirectDrawObjects();
    ReapplyDisplayMode();
    RecreateAllSurface2DSurfaces();
    RecreateClipper();
    CreateMainSurfaces();
    std::vector<ptest::GraphicsCall> calls = ptest::TakeGraphicsCalls();
    ptest::RecordGraphicsCalls(false);
    int clippers = 0;
    for (const auto& c : calls)
        clippers += c.method == "CreateClipper";
    EXPECT_EQ(clippers, 1);
    EXPECT_NE(g_screen.clipper, nullptr);
    EXPECT_EQ(sd->memImage.pixels[0], 0x5A);
    EXPECT_NE(GetSurfaceData(GetSurface2D(video->pieces[0])->store)->surface, nullptr);
    TearDownGraphs();
}

// ---- 2D pieces -------------------------------------------------------------------------------

TEST_F(PiecesTest, SharedStoreLivesUntilItsLastPiece) {
    Start();
    GraphData* sheet = Graph(32, 16);
    ASSERT_EQ(CreateGraphSurface2D(sheet), 0);
    GraphData* part = Graph(8, 8);
    ASSERT_EQ(DeriveGraphSurface2D(part, 8, 4, 8, 8, sheet), 0);
    int store = GetSurface2D(sheet->pieces[0])->store;
    EXPECT_EQ(GetSurface2D(part->pieces[0])->store, store);
    EXPECT_EQ(GetSurfaceData(store)->refCount, 2);
    int32_t notify = 7;
    SetSurface2DDeleteNotify(sheet->pieces[0], &notify);
    EXPECT_EQ(notify, 0);
    DeleteGraphSurfaces2D(sheet);
    sheet->pieceCount = 0;
    EXPECT_EQ(notify, 1);
    EXPECT_EQ(GetSurfaceData(store)->refCount, 1);
    DeleteGraphSurfaces2D(part);
    part->pieceCount = 0;
    EXPECT_EQ(GetSurfaceData(store), nullptr);
    TearDownGraphs();
}

TEST_F(PiecesTest, AFullPieceTableRefusesWithItsLine) {
    Start();
    uint8_t flags[8];
    HandleTable* table = GetSurface2DTable();
    int count = table->count;
    table->count = kSurface2DTableSize;
    EXPECT_EQ(AddSurface2D(4, 4, 0, 0, -1, nullptr, 0, 0, Flags(flags, 0, 1, 32)), -1);
    table->count = count;
    EXPECT_NE(Log().find("２Ｄグラフィックの量が許容量を越えました\r\n"), std::string::npos);
}

TEST(BlendGraphTable, Cases) {
    SetupBlendGraphTable(nullptr, 0, 255);
    for (int i : {0, 100, 255}) {
        EXPECT_EQ(BlendGraphTable[i], 255) << i;
    }
    SetupBlendGraphTable(nullptr, 255, 0);
    EXPECT_EQ(BlendGraphTable[0], 0);
    EXPECT_EQ(BlendGraphTable[254], 0);
    EXPECT_EQ(BlendGraphTable[255], 1);
    // Border 128, range 63: i x 4 + 256 - (128 x 1280 >> 8 = 640), clamped.
    SetupBlendGraphTable(nullptr, 128, 63);
    EXPECT_EQ(BlendGraphTable[0], 0);
    EXPECT_EQ(BlendGraphTable[96], 0);
    EXPECT_EQ(BlendGraphTable[100], 16);
    EXPECT_EQ(BlendGraphTable[200], 255);
}

TEST_F(PiecesTest, CaptureRefusesBadRectanglesAndWritesAtThePiecePlace) {
    Start();
    SelectDrawTarget(-2);
    GraphData* sheet = Graph(32, 32, 0, 1);
    ASSERT_EQ(CreateGraphSurface2D(sheet), 0);
    GraphData* part = Graph(8, 8, 0, 1);
    ASSERT_EQ(DeriveGraphSurface2D(part, 16, 8, 8, 8, sheet), 0);
    struct Bad {
        const char* name;
        RECT r;
    };
    const Bad bad[] = {
        {"empty", {10, 10, 10, 18}},
        {"wider than the graphic", {0, 0, 9, 8}},
        {"left of 0", {-1, 0, 7, 8}},
        {"past the target", {636, 0, 644, 8}},
        {"below the target", {0, 476, 8, 484}},
    };
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.name);
        EXPECT_EQ(CaptureDrawTargetToSurface2D(b.r.left, b.r.top, b.r.right, b.r.bottom, part), -1);
    }
    DDBLTFX fx = {};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = 0x00C0FFEE;
    g_screen.back->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx);
    ASSERT_EQ(CaptureDrawTargetToSurface2D(100, 100, 108, 108, part), 0);
    const MEMIMG& m = GetSurfaceData(GetSurface2D(sheet->pieces[0])->store)->memImage;
    auto at = [&](int x, int y) { return *(const uint32_t*)(m.pixels + y * m.pitch + x * 4) & 0xFFFFFF; };
    EXPECT_EQ(at(16, 8), 0xC0FFEEu);
    EXPECT_EQ(at(23, 15), 0xC0FFEEu);
    EXPECT_NE(at(0, 0), 0xC0FFEEu);  // the rest of the shared store is untouched
    EXPECT_NE(at(24, 8), 0xC0FFEEu);
    TearDownGraphs();
}

// ---- the bracket and the front ends -----------------------------------------------------------

struct BracketCase {
    const char* name;
    int blendMode, blendParam;
    uint32_t bright;
    int pieceAlpha;   // the piece's store carries alpha (a MEMIMG store)
    bool plain;       // one BltFast
    bool workCopy;    // the target is copied to work surface 1
};

TEST_F(PiecesTest, BracketDecisions) {
    Start();
    SelectDrawTarget(-2);
    const BracketCase cases[] = {
        {"plain", 0, 0, 0xFFFFFF, 0, true, false},
        {"mode 1 with parameter 255", 1, 255, 0xFFFFFF, 0, true, false},
        {"mode 1 with parameter 128", 1, 128, 0xFFFFFF, 0, false, true},
        {"add", 2, 255, 0xFFFFFF, 0, false, true},
        {"bright", 0, 0, 0x808080, 0, false, false},
        {"alpha piece", 0, 0, 0xFFFFFF, 1, false, true},
    };
    for (const BracketCase& c : cases) {
        SCOPED_TRACE(c.name);
        GraphData* g = Graph(16, 16, c.pieceAlpha);
        ASSERT_EQ(CreateGraphSurface2D(g), 0);
        g_drawState.blendMode = c.blendMode;
        g_drawState.blendParam = c.blendParam;
        g_drawState.brightColor = c.bright;
        RECT src = {0, 0, 16, 16}, dst = {10, 10, 26, 26};
        ASSERT_EQ(BeginMEMIMGDrawOnSurface(GetSurface2D(g->pieces[0]), 1, &src, &dst, 0, nullptr), 0);
        EXPECT_EQ(g_screen.bracket.plainCopy != 0, c.plain);
        if (!c.plain) {
            EXPECT_EQ(g_screen.bracket.destWorkCopy != 0, c.workCopy);
            EXPECT_EQ(g_drawState.drawArea.left, 10);  // narrowed to the bracket
            EXPECT_EQ(g_drawState.drawArea.bottom, 26);
            EndMEMIMGDrawOnSurface();
            EXPECT_EQ(g_drawState.drawArea.right, 640);
        }
        EXPECT_EQ(ptest::GetLockedSurfaceCount(), 0);
        g_drawState.blendMode = 0;
        g_drawState.blendParam = 0;
        g_drawState.brightColor = 0xFFFFFF;
    }
    // Nothing visible: -1.
    RECT dst = {700, 10, 720, 20};
    EXPECT_EQ(BeginMEMIMGDrawOnSurface(nullptr, 0, nullptr, &dst, 0, nullptr), -1);
    TearDownGraphs();
}

TEST_F(PiecesTest, JournalOfAPlainAndABlendedDraw) {
    Start();
    SelectDrawTarget(-2);
    GraphData* g = Graph(16, 16);
    ASSERT_EQ(CreateGraphSurface2D(g), 0);
    int piece = g->pieces[0];
    ptest::RecordGraphicsCalls(true);
    DrawSurface2D(20, 30, piece, 1);
    std::vector<ptest::GraphicsCall> calls = ptest::TakeGraphicsCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].method, "BltFast");
    EXPECT_EQ(calls[0].flags, DDBLTFAST_SRCCOLORKEY);
    EXPECT_EQ(calls[0].rect.left, 20);
    EXPECT_EQ(calls[0].rect.top, 30);

    g_drawState.blendMode = 1;
    g_drawState.blendParam = 128;
    DrawSurface2D(20, 30, piece, 1);
    calls = ptest::TakeGraphicsCalls();
    ptest::RecordGraphicsCalls(false);
    std::vector<std::string> methods;
    for (const auto& c : calls)
        if (c.method != "GetDC" && c.method != "ReleaseDC")
            methods.push_back(c.method);
    // Copy the target out (GDI or BltFast), lock the work copy and the source, unlock
    // both, copy the work back.
    ASSERT_GE(methods.size(), 5u);
    EXPECT_TRUE(methods.front() == "BitBlt" || methods.front() == "BltFast");
    EXPECT_TRUE(methods.back() == "BitBlt" || methods.back() == "BltFast");
    EXPECT_EQ(std::count(methods.begin(), methods.end(), "Lock"),
              std::count(methods.begin(), methods.end(), "Unlock"));
    EXPECT_EQ(ptest::GetLockedSurfaceCount(), 0);
    g_drawState.blendMode = 0;
    g_drawState.blendParam = 0;
    TearDownGraphs();
}

TEST_F(PiecesTest, NoFrontEndLeavesASurfaceLocked) {
    Start();
    SelectDrawTarget(-2);
    GraphData* g = Graph(16, 16);
    ASSERT_EQ(CreateGraphSurface2D(g), 0);
    g_drawState.blendMode = 1;
    g_drawState.blendParam = 100;
    MEMIMGVertex tri[3] = {{0, 0, 0, 0}, {15, 0, 15, 0}, {0, 15, 0, 15}};
    const MEMIMGLine line = {1, 2, 30, 40, 5, 0};
    DrawSurface2D(5, 5, g->pieces[0], 0);
    EXPECT_EQ(ptest::GetLockedSurfaceCount(), 0);
    DrawGraphScaled2D(0, 0, 40, 20, g, 0, 1, -1);
    EXPECT_EQ(ptest::GetLockedSurfaceCount(), 0);
    DrawGraphRotated2D(50, 50, 1.5, 0.7, g, 1, 0);
    EXPECT_EQ(ptest::GetLockedSurfaceCount(), 0);
    DrawGraphTriangle2D(tri, g, 0, 0);
    DrawGraphQuad2D(0, 0, 15, 0, 0, 15, 15, 15, g, 0);
    EXPECT_EQ(ptest::GetLockedSurfaceCount(), 0);
    FillBoxByCpu(1, 1, 30, 30, 0xFF);
    OutlineBoxByCpu(1, 1, 30, 30, 0xFF);
    DrawLineList2D(&line, 1);
    EXPECT_EQ(ptest::GetLockedSurfaceCount(), 0);
    g_drawState.blendMode = 0;
    g_drawState.blendParam = 0;
    TearDownGraphs();
}

TEST_F(PiecesTest, BlendedDrawOnX1R5G5B5RoundTripsUntouchedPixels) {
    ptest::SetDisplay16Format(ptest::Display16::X1R5G5B5);
    g_screen.width = 640;
    g_screen.height = 480;
    g_screen.colorBitDepth = 16;
    Start(0);
    ASSERT_EQ(g_screen.screenFormatClass, 1);
    SelectDrawTarget(-2);
    GraphData* g = Graph(16, 16);
    ASSERT_EQ(CreateGraphSurface2D(g), 0);
    // The back surface holds X1R5G5B5 values (the X bit clear, as the layer writes them).
    DDSURFACEDESC2 d = {};
    d.dwSize = sizeof d;
    ASSERT_EQ(g_screen.back->Lock(nullptr, &d, 0, nullptr), DD_OK);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            uint16_t v = (uint16_t)((x * 7 + y * 13) & 0x7FFF);
            std::memcpy((uint8_t*)d.lpSurface + y * d.lPitch + x * 2, &v, 2);
        }
    std::vector<uint8_t> before((uint8_t*)d.lpSurface, (uint8_t*)d.lpSurface + 480 * d.lPitch);
    g_screen.back->Unlock(nullptr);
    g_drawState.blendMode = 1;
    g_drawState.blendParam = 128;
    DrawSurface2D(100, 100, g->pieces[0], 0);  // blends into (100, 100)-(116, 116) only
    ASSERT_EQ(g_screen.back->Lock(nullptr, &d, DDLOCK_READONLY, nullptr), DD_OK);
    int changedOutside = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            bool inside = x >= 100 && x < 116 && y >= 100 && y < 116;
            size_t at = (size_t)y * d.lPitch + x * 2;
            if (!inside && std::memcmp(before.data() + at, (uint8_t*)d.lpSurface + at, 2) != 0)
                ++changedOutside;
        }
    EXPECT_EQ(changedOutside, 0);
    g_screen.back->Unlock(nullptr);
    g_drawState.blendMode = 0;
    g_drawState.blendParam = 0;
    TearDownGraphs();
}

TEST_F(PiecesTest, ScaledDrawLocksOnlyTheVisibleSourceRectangle) {
    Start();
    SelectDrawTarget(-2);
    GraphData* g = Graph(100, 50);
    ASSERT_EQ(CreateGraphSurface2D(g), 0);
    g_drawState.blendMode = 1;
    g_drawState.blendParam = 128;
    SetDrawAreaRect(RECT{50, 0, 640, 480});
    ptest::RecordGraphicsCalls(true);
    // 100 x 50 doubled to 200 x 100 from x 0: the area cuts 50 destination pixels, so the
    // source starts at 25 and runs to its end.
    EXPECT_EQ(DrawGraphScaled2D(0, 0, 200, 100, g, 0, 1, -1), 0);
    std::vector<ptest::GraphicsCall> calls = ptest::TakeGraphicsCalls();
    ptest::RecordGraphicsCalls(false);
    // The store lies in video memory: its visible part is copied out to work surface 2.
    bool found = false;
    for (const auto& c : calls)
        if (c.method == "BitBlt" || c.method == "BltFast")
            found = found || (c.rect2.left == 25 && c.rect2.right == 100 && c.rect2.top == 0 && c.rect2.bottom == 50);
    EXPECT_TRUE(found);
    // A scale that does not fit 16.16 is refused.
    EXPECT_EQ(DrawGraphScaled2D(0, 0, 2000000000.0, 100, g, 0, 1, -1), -1);
    EXPECT_EQ(DrawGraphRotated2D(10, 10, 1.0 / 0.0, 0, g, 0, 0), -1);
    SetDrawAreaRect(RECT{0, 0, 640, 480});
    g_drawState.blendMode = 0;
    g_drawState.blendParam = 0;
    TearDownGraphs();
}

TEST_F(PiecesTest, OutlineBoxIsFourLinesInItsBracket) {
    Start();
    SelectDrawTarget(-2);
    ptest::RecordGraphicsCalls(true);
    EXPECT_EQ(OutlineBoxByCpu(10, 10, 20, 20, 1), 0);
    std::vector<ptest::GraphicsCall> calls = ptest::TakeGraphicsCalls();
    ptest::RecordGraphicsCalls(false);
    bool locked = false;
    for (const auto& c : calls)
        if (c.method == "Lock") {
            EXPECT_EQ(c.rect.left, 10);
            EXPECT_EQ(c.rect.top, 10);
            EXPECT_EQ(c.rect.right, 20);
            EXPECT_EQ(c.rect.bottom, 20);
            locked = true;
        }
    EXPECT_TRUE(locked);
}

}  // namespace

}  // namespace QzDrawPieces_test
