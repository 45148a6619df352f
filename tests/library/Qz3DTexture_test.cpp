// Texture pieces: the split rule, the pieces of new and derived graphics and their shared
// stores, uploads (key to alpha, the temporary-texture path, refused rectangles) and the
// two fatal texts of that path.
#include <algorithm>

#include "Qz3DFixture.h"
#include "QzGraphicsSystem.h"

namespace Qz3DTexture_test {

namespace {

using d3dfix::Pattern;

class TextureTest : public d3dfix::D3DTest {
protected:
    static std::vector<int> Split(int size, int whole) {
        int sides[64];
        int n = G_D3D_SplitTextureSize(size, sides, whole);
        return n < 0 ? std::vector<int>{} : std::vector<int>(sides, sides + n);
    }
    static uint32_t Texel(const GraphData* g, int x, int y, int piece = 0) {
        SurfaceData* sd = Store(g, piece);
        std::vector<uint32_t> t = Read32(sd->surface);
        return t[(size_t)y * sd->width + x];
    }
};

TEST_F(TextureTest, SplitRuleTable) {
    Start();
    struct Case {
        const char* name;
        int size, whole, minT, maxT, screenWidth;
        std::vector<int> sides;
    };
    const Case cases[] = {
        {"640 wide", 640, 0, 1, 2048, 640, {512, 128}},
        {"480 high: one side", 480, 0, 1, 2048, 640, {512}},
        {"1000: the rest doubles the side", 1000, 0, 1, 2048, 640, {1024}},
        {"700", 700, 0, 1, 2048, 640, {512, 128, 64}},
        {"10 with minimum 1", 10, 0, 1, 2048, 640, {16}},
        {"10 with minimum 32", 10, 0, 32, 2048, 640, {32}},
        {"render target 300 with maximum 256", 300, 1, 1, 256, 640, {256, 64}},
        {"render target 200 with maximum 256", 200, 1, 1, 256, 640, {256}},
        {"1024 screen, device maximum 512", 1000, 0, 1, 512, 1024, {512, 512}},
        {"more than 64 sides", 65535, 0, 1, 32, 640, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_d3d.minTextureSize = c.minT;
        g_d3d.maxTextureSize = c.maxT;
        g_screen.width = c.screenWidth;
        EXPECT_EQ(Split(c.size, c.whole), c.sides);
    }
    g_d3d.minTextureSize = 1;
    g_d3d.maxTextureSize = 2048;
    g_screen.width = 640;
}

TEST_F(TextureTest, PiecesOfNewGraphics) {
    Start();
    GraphData* wide = TextureGraph(640, 480);
    ASSERT_EQ(wide->pieceCount, 2);
    const Surface3DData* a = Piece(wide, 0);
    const Surface3DData* b = Piece(wide, 1);
    EXPECT_EQ(Store(wide, 0)->width, 512);
    EXPECT_EQ(Store(wide, 0)->height, 512);
    EXPECT_EQ(Store(wide, 1)->width, 128);
    EXPECT_EQ(Store(wide, 1)->height, 512);
    EXPECT_EQ(a->x, 0);
    EXPECT_EQ(b->x, 512);
    EXPECT_EQ(a->width, 512);
    EXPECT_EQ(a->height, 480);
    EXPECT_EQ(b->width, 128);
    EXPECT_EQ(b->height, 480);
    EXPECT_EQ(GetHandleKind(wide->pieces[0]), kHandleKindSurface3D);
    EXPECT_EQ((uint32_t)wide->pieces[0] & 0xF8000000u, 0x30000000u);
    EXPECT_EQ(a->ownerGraph, wide->handle);
    // Corners on or above the diagonal from (0, 480) to (640, 0).
    EXPECT_EQ((std::vector<int>(a->cornerFlags, a->cornerFlags + 4)), (std::vector<int>{1, 1, 1, 0}));
    EXPECT_EQ((std::vector<int>(b->cornerFlags, b->cornerFlags + 4)), (std::vector<int>{1, 1, 0, 0}));

    GraphData* small = TextureGraph(20, 20);
    ASSERT_EQ(small->pieceCount, 1);
    EXPECT_EQ(Store(small)->width, 32);
    EXPECT_EQ(Piece(small)->vertices[3].u, 0.625f);
    EXPECT_EQ(Piece(small)->vertices[3].v, 0.625f);
    EXPECT_EQ(Piece(small)->vertices[3].x, 20.0f);
}

TEST_F(TextureTest, TooManyPiecesAndEmptySizesAreRefused) {
    Start();
    g_d3d.maxTextureSize = 64;  // 576 x 512 needs 9 x 8 pieces
    auto* g = (GraphData*)AllocZeroedMemory((int)sizeof(GraphData), "test", __LINE__);
    g->useTexture = 1;
    g->colorBitDepth = 32;
    g->width = 576;
    g->height = 512;
    int pieces = GetSurface3DTable()->count;
    EXPECT_EQ(G_D3D_BuildGraphPieces(g), -1);
    EXPECT_NE(Log().find("エラー：画像の分割数が最大数の 64 を超えました\r\n"), std::string::npos);
    EXPECT_EQ(GetSurface3DTable()->count, pieces);
    g_d3d.maxTextureSize = 2048;
    g->width = 0;
    EXPECT_EQ(G_D3D_BuildGraphPieces(g), -1);
    FreeMemory(g);
}

TEST_F(TextureTest, SquareOnlyDevicesCutPiecesIntoSquares) {
    Start();
    g_d3d.deviceDesc.dpcTriCaps.dwTextureCaps |= D3DPTEXTURECAPS_SQUAREONLY;
    GraphData* g = TextureGraph(640, 480);
    g_d3d.deviceDesc.dpcTriCaps.dwTextureCaps &= ~D3DPTEXTURECAPS_SQUAREONLY;
    ASSERT_EQ(g->pieceCount, 5);
    const int ys[] = {0, 0, 128, 256, 384};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Store(g, i)->width, Store(g, i)->height);
        EXPECT_EQ(Piece(g, i)->y, ys[i]);
    }
    EXPECT_EQ(Piece(g, 4)->height, 96);
}

TEST_F(TextureTest, DerivedPiecesShareTheirParentsTextures) {
    Start();
    GraphData* sheet = FilledGraph(64, 64, Pattern);
    auto* part = (GraphData*)AllocZeroedMemory((int)sizeof(GraphData), "test", __LINE__);
    *part = *sheet;
    part->pieceCount = 0;
    part->width = part->height = 50;
    RegisterGraphData(part);
    graphs_.push_back(part);
    ASSERT_EQ(G_D3D_BuildDerivedGraphPieces(part, 10, 10, 50, 50, sheet), 0);
    ASSERT_EQ(part->pieceCount, 1);
    const Surface3DData* p = Piece(part);
    EXPECT_EQ(p->textureX, 10);
    EXPECT_EQ(p->textureY, 10);
    EXPECT_EQ(p->surfaceData, Piece(sheet)->surfaceData);
    EXPECT_EQ(p->vertices[0].u, 10.0f / 64);
    EXPECT_EQ(Store(sheet)->refCount, 2);

    // Deleting the source first leaves the texture to the derived graphic.
    ASSERT_EQ(G_D3D_DeleteGraphPieces(sheet), 0);
    ASSERT_NE(Store(part), nullptr);
    EXPECT_EQ(Store(part)->refCount, 1);
    ClearBack();
    ASSERT_EQ(G_D3D_DrawGraph(0, 0, part, 0, 1), 0);
    EXPECT_EQ(At(Back(), 3, 4), Pattern(13, 14));
    int store = p->surfaceData;
    ASSERT_EQ(G_D3D_DeleteGraphPieces(part), 0);
    EXPECT_EQ(GetSurfaceData(store), nullptr);

    GraphData* wide = FilledGraph(640, 64, Pattern);
    auto* inSecond = (GraphData*)AllocZeroedMemory((int)sizeof(GraphData), "test", __LINE__);
    *inSecond = *wide;
    inSecond->pieceCount = 0;
    inSecond->width = inSecond->height = 30;
    RegisterGraphData(inSecond);
    graphs_.push_back(inSecond);
    ASSERT_EQ(G_D3D_BuildDerivedGraphPieces(inSecond, 520, 7, 30, 30, wide), 0);
    ASSERT_EQ(inSecond->pieceCount, 1);
    EXPECT_EQ(Piece(inSecond)->x, 0);
    EXPECT_EQ(Piece(inSecond)->textureX, 8);
    EXPECT_EQ(Piece(inSecond)->textureY, 7);
    EXPECT_EQ(Piece(inSecond)->surfaceData, Piece(wide, 1)->surfaceData);
}

TEST_F(TextureTest, KeyBecomesAlphaZeroExactlyOnTheKey) {
    Start();
    g_graphCreateSettings.transColor = 0x00FF00FF;
    GraphData* g = FilledGraph(16, 16, [](int x, int y) { return (x + y) % 3 == 0 ? 0x00FF00FFu : 0x00FE00FFu; }, 0,
                               1);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(Texel(g, x, y) >> 24, (x + y) % 3 == 0 ? 0u : 255u) << x << "," << y;
    // Drawn transparent: the alpha test keeps the screen where the key was.
    ClearBack();
    ASSERT_EQ(G_D3D_DrawGraph(0, 0, g, 1, 1), 0);
    std::vector<uint32_t> screen = Back();
    EXPECT_EQ(At(screen, 0, 0), d3dfix::kGuard);
    EXPECT_EQ(At(screen, 1, 0), 0xFE00FFu);
}

TEST_F(TextureTest, UploadsRefuseRectanglesOutsideTheSourceOrTexture) {
    Start();
    GraphData* g = FilledGraph(32, 32, Pattern);
    d3dfix::Image shrunk(20, 20, false, [](int, int) { return 0x00FFFFFFu; });
    EXPECT_EQ(G_D3D_UploadImageToGraph(nullptr, nullptr, nullptr, 0, 0, g, 0, &shrunk.image, nullptr), -1);
    RECT outside = {10, 10, 30, 30};
    EXPECT_EQ(G_D3D_UploadTexturePiece(nullptr, nullptr, nullptr, &outside, 0, 0, g->pieces[0], 0, &shrunk.image,
                                       nullptr, 0),
              -1);
    RECT fits = {0, 0, 20, 20};
    EXPECT_EQ(G_D3D_UploadTexturePiece(nullptr, nullptr, nullptr, &fits, 20, 0, g->pieces[0], 0, &shrunk.image,
                                       nullptr, 0),
              -1);  // past the texture's right edge
    EXPECT_EQ(Texel(g, 5, 5), Pattern(5, 5));
    EXPECT_EQ(Texel(g, 31, 31), Pattern(31, 31));

    // A region across both pieces of a wide graphic.
    GraphData* wide = FilledGraph(640, 16, Pattern);
    d3dfix::Image patch(40, 8, false, [](int x, int) { return 0x00010101u * (uint32_t)x; });
    RECT source = {0, 0, 40, 8};
    ASSERT_EQ(G_D3D_UploadImageRegionToGraph(nullptr, nullptr, nullptr, &source, 500, 4, wide, 0, &patch.image,
                                             nullptr),
              0);
    EXPECT_EQ(Texel(wide, 511, 4, 0), 0x00010101u * 11);
    EXPECT_EQ(Texel(wide, 0, 4, 1), 0x00010101u * 12);
    EXPECT_EQ(Texel(wide, 27, 11, 1), 0x00010101u * 39);
    EXPECT_EQ(Texel(wide, 28, 11, 1), Pattern(540, 11));
    EXPECT_EQ(Texel(wide, 499, 4, 0), Pattern(499, 4));
}

TEST_F(TextureTest, FailingLockTakesTheTemporaryTextureAndLoadsTheRectangle) {
    Start();
    GraphData* g = TextureGraph(64, 64);
    d3dfix::Image image(16, 8, false, Pattern);
    RECT source = {0, 0, 16, 8};
    ptest::FailCall("LockSurface");
    std::vector<ptest::D3DCall> calls = Calls([&] {
        EXPECT_EQ(G_D3D_UploadTexturePiece(nullptr, nullptr, nullptr, &source, 20, 30, g->pieces[0], 0, &image.image,
                                           nullptr, 0),
                  0);
    });
    const ptest::D3DCall* load = nullptr;
    for (const auto& c : calls)
        if (c.method == "Load")
            load = &c;
    ASSERT_NE(load, nullptr);
    EXPECT_EQ(load->result, 0);
    // Destination point, then the source rectangle D.
    EXPECT_EQ((std::vector<uint64_t>(load->args.begin() + 1, load->args.begin() + 3)), (std::vector<uint64_t>{20, 30}));
    EXPECT_EQ((std::vector<uint64_t>(load->args.begin() + 4, load->args.begin() + 8)),
              (std::vector<uint64_t>{20, 30, 36, 38}));
    EXPECT_EQ(Texel(g, 20, 30), Pattern(0, 0));
    EXPECT_EQ(Texel(g, 35, 37), Pattern(15, 7));
    EXPECT_EQ(Texel(g, 36, 37), 0u);
}

TEST_F(TextureTest, TemporaryPathFailuresAreFatal) {
    struct Case {
        const char* name;
        const char* text;
    };
    const Case cases[] = {
        {"temporary texture", "テンポラリテクスチャサーフェスの作成に失敗しました"},
        {"load", "作業用テクスチャサーフェスから描画用テクスチャサーフェスへの画像転送に失敗しました"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto upload = [&] {
            Start();
            GraphData* g = TextureGraph(32, 32);
            d3dfix::Image image(8, 8, false, Pattern);
            RECT source = {0, 0, 8, 8};
            ptest::FailCall("LockSurface");
            if (std::string(c.name) == "load")
                ptest::SetD3DLoadBusy(1);
            else
                ptest::FailCall("CreateSurface:Texture");
            G_D3D_UploadTexturePiece(nullptr, nullptr, nullptr, &source, 0, 0, g->pieces[0], 0, &image.image, nullptr,
                                     0);
        };
        EXPECT_EXIT(upload(), ::testing::ExitedWithCode(255), "");
        EXPECT_NE(Log().find(std::string(c.text) + "\r\n"), std::string::npos);
    }
}

TEST_F(TextureTest, InvalidPieceHandlesAreRefused) {
    Start();
    GraphData* g = TextureGraph(16, 16);
    int bad[] = {-1, g->pieces[0] + 1, MakeHandle(kHandleKindSurfaceData, GetHandleSlot(g->pieces[0]), 0)};
    for (int h : bad) {
        EXPECT_EQ(GetSurface3DData(h), nullptr) << h;
        EXPECT_EQ(DeleteSurface3DData(h), -1) << h;
        EXPECT_EQ(G_D3D_UnlockTexture(h, nullptr), -1) << h;
    }
    int deleted = 0;
    auto* notify = &deleted;
    Piece(g)->deleteNotify = notify;
    int handle = g->pieces[0];
    EXPECT_EQ(DeleteSurface3DData(handle), 0);
    EXPECT_EQ(deleted, 1);
    EXPECT_EQ(GetSurface3DData(handle), nullptr);
    g->pieceCount = 0;
}

}  // namespace

}  // namespace Qz3DTexture_test
