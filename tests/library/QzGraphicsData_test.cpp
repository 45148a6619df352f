// The graphic table: creation with the creation settings, deletion and the high-water
// index, loading from files and archive members, cutting sheets, deriving sub-images,
// and the log lines of what cannot be loaded.
#include <array>
#include <string>
#include <vector>

#include "ArchiveWriter.h"
#include "GraphFixture.h"
#include "MemoryWatch.h"
#include "QzArchive_FileSet.h"
#include "QzDrawScreen.h"
#include "QzDrawScreenMode.h"
#include "QzGraphicsDrawState.h"
#include "QzGraphicsSystem.h"
#include "QzWinLog.h"

namespace QzGraphicsData_test {

namespace {

TEST_F(GraphTest, ManagementStartsOnceAndLogs) {
    Start();
    const std::string log = Log();
    std::string missing;
    EXPECT_TRUE(InOrder(log,
                        {"グラフィック管理系の初期化を行います\r\n", "３Ｄグラフィック描画機能を使用します\r\n",
                         "グラフィック管理系の初期化は正常に終了しました\r\n"},
                        &missing))
        << missing;
    EXPECT_EQ(IsGraphDataInitialized(), 1);
    EXPECT_EQ(g_drawState.drawScreen, kDrawTargetFront);
    EXPECT_EQ(g_drawState.blendGraph, -1);
    EXPECT_EQ(g_drawState.brightColor, 0xFFFFFFu);
    EXPECT_EQ(g_graphCreateSettings.use3D, 1);
    EXPECT_EQ(g_graphCreateSettings.transColorUse, 1);
    // A screen-mode change ends graphics management and starts it again, with the
    // graphic counter back at 0; a second start changes nothing.
    CreateBlankGraph(8, 8);
    ASSERT_EQ(SetScreenMode(640, 480, 32, 60), 0);
    EXPECT_EQ(Count(Log(), "グラフィック管理系の終了処理は正常に終了しました\r\n"), 1);
    // The default font's cache texture is made first, by the restart itself.
    const int fontCaches = GetGraphTable()->count;
    const int first = CreateBlankGraph(8, 8);
    EXPECT_EQ(GetHandleCheck(first), fontCaches);
    EXPECT_EQ(GetHandleSlot(first), fontCaches);
    EXPECT_EQ(InitializeGraphData(), 0);
    EXPECT_EQ(Count(Log(), "グラフィック管理系の初期化を行います"), 2);
    EXPECT_NE(GetGraphData(first), nullptr);
}

TEST_F(GraphTest, DeletingKeepsTheHighWaterIndexOnePastTheHighest) {
    Start();
    HandleTable* table = GetGraphTable();
    std::vector<int> h;
    for (int i = 0; i < 4; ++i) h.push_back(CreateBlankGraph(4, 4));
    const int base = GetHandleSlot(h[0]);
    EXPECT_EQ(table->highWater, base + 4);
    int32_t notify = -1;
    ASSERT_EQ(SetGraphDeleteNotify(h[3], &notify), 0);
    EXPECT_EQ(notify, 0);
    EXPECT_EQ(DeleteOneGraph(h[1], 0), 0);
    EXPECT_EQ(DeleteOneGraph(h[3], 1), 0);
    EXPECT_EQ(notify, 1);
    EXPECT_EQ(table->highWater, base + 3);
    EXPECT_EQ(DeleteOneGraph(h[3], 0), -1) << "a stale handle fails";
    EXPECT_EQ(Count(Log(), "グラフィック  の削除\r\n"), 1);
    // The next graphic takes the high-water slot, not the free one below it.
    EXPECT_EQ(GetHandleSlot(CreateBlankGraph(4, 4)), base + 3);
    EXPECT_EQ(DeleteAllGraphs(0), 0);
    EXPECT_EQ(table->count, 0);
    EXPECT_EQ(table->highWater, 0);
    EXPECT_EQ(GetGraphData(h[0]), nullptr);
}

TEST_F(GraphTest, TheTableFullIsFatal) {
    auto run = [this] {
        Start();
        for (int i = 0; i < kGraphTableSize; ++i)
            if (AddGraphData(1, 1, 0, 0, nullptr, 0, 0) < 0) std::abort();
        AddGraphData(1, 1, 0, 0, nullptr, 0, 0);
    };
    EXPECT_EXIT(run(), ::testing::ExitedWithCode(255), "");
    EXPECT_EQ(Count(Log(), "グラフィックの数が許容量を越えました終了します\r\n"), 1);
}

TEST_F(GraphTest, SizesBelowOneMakeNothing) {
    Start();
    const int count = GetGraphTable()->count;
    for (auto [w, h] : {std::pair{0, 4}, {4, 0}, {-1, 4}}) {
        EXPECT_EQ(AddGraphData(w, h, 1, 0, nullptr, 0, 0), -1);
        EXPECT_EQ(MakeEmptyGraph(w, h, 1, 0, 0), -1);
    }
    EXPECT_EQ(GetGraphTable()->count, count);
}

// Pieces that cannot be made take their record with them: no slot stays taken.
TEST_F(GraphTest, AGraphicWhosePiecesFailLeavesNoRecord) {
    Start();
    HandleTable* table = GetGraphTable();
    const int count = table->count, highWater = table->highWater;
    ptest::FailCall("CreateSurface:Texture");
    EXPECT_EQ(CreateBlankGraph(16, 16), -1);
    EXPECT_EQ(Count(Log(), "グラフィックの作成に失敗しました\r\n"), 1);
    // A 2D piece keeps its size in 16 bits.
    EXPECT_EQ(MakeEmptyGraph(70000, 1, 0, 0, 0), -1);
    EXPECT_EQ(table->count, count);
    EXPECT_EQ(table->highWater, highWater);
    ptest::ClearFaults();
    EXPECT_GE(CreateBlankGraph(16, 16), 0);
}

// The flag bytes a new graphic takes from the creation settings, on both paths.
TEST_F(GraphTest, FlagsFollowTheCreationSettings) {
    Start();
    GraphCreateSettings& s = g_graphCreateSettings;
    struct Case {
        const char* name;
        int wantsTexture, alpha, palette;
        int drawValid, bitDepth, systemMemory, transColorUse;
        // expected
        int useTexture, flagAlpha, flagDrawValid, flagTrans, depth, flagSystem, flagPalette;
    };
    const int screen = g_screen.graphicsBitDepth;
    ASSERT_EQ(screen, 32);
    const Case cases[] = {
        {"texture, defaults", 1, 0, 0, 0, 0, 0, 1, 1, 0, 0, 1, screen, 0, 0},
        {"texture, alpha takes 32 bits", 1, 1, 0, 0, 0, 0, 1, 1, 1, 0, 1, 32, 0, 0},
        {"texture, bit depth setting", 1, 1, 0, 0, 16, 1, 1, 1, 1, 0, 1, 16, 0, 0},
        {"texture, draw valid drops alpha and key", 1, 1, 0, 1, 0, 0, 1, 1, 0, 1, 0, 32, 0, 0},
        {"2D, screen depth, system memory, palette", 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, screen, 1, 1},
        {"2D, bit depth setting", 0, 1, 0, 0, 16, 0, 1, 0, 1, 0, 1, 16, 0, 0},
        {"2D, draw valid", 0, 1, 1, 1, 0, 0, 1, 0, 0, 1, 0, screen, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        s.drawValid = c.drawValid;
        s.colorBitDepth = c.bitDepth;
        s.systemMemory = c.systemMemory;
        s.transColorUse = c.transColorUse;
        GraphData* g = nullptr;
        const int h = AddGraphData(8, 8, c.wantsTexture, 0, &g, c.alpha, c.palette);
        ASSERT_GE(h, 0);
        EXPECT_EQ(g->useTexture, c.useTexture);
        EXPECT_EQ(g->alphaChannel, c.flagAlpha);
        EXPECT_EQ(g->drawValid, c.flagDrawValid);
        EXPECT_EQ(g->transColorUse, c.flagTrans);
        EXPECT_EQ(g->colorBitDepth, c.depth);
        EXPECT_EQ(g->systemMemory, c.flagSystem);
        EXPECT_EQ(g->paletteImage, c.flagPalette);
        EXPECT_EQ(g->movie, -1);
        EXPECT_EQ(g->handle, h);
        EXPECT_EQ(DeleteOneGraph(h, 0), 0);
    }
    s.drawValid = 0, s.colorBitDepth = 0, s.systemMemory = 0, s.transColorUse = 1;
    // With 3D off for new graphics, a texture is never used.
    s.use3D = 0;
    GraphData* g = nullptr;
    ASSERT_GE(AddGraphData(8, 8, 1, 0, &g, 0, 0), 0);
    EXPECT_EQ(g->useTexture, 0);
}

// A picture loaded from a file and from an archive member, with and without its "_a"
// companion, on both paths; pixels read back from the pieces.
TEST_F(GraphTest, LoadFromFileAndArchiveMember) {
    const std::string sheet = Sheet(40, 20);
    qztest::WriteWholeFile(dir.file("sheet.bmp"), sheet);
    qztest::ArchiveWriter writer;
    writer.AddFile("SHEET.BMP", sheet, true);
    writer.AddFile("SHEET_A.BMP", Bmp(40, 20, std::vector<uint32_t>(800, 0x808080)));
    qztest::WriteWholeFile(dir.file("pack.qza"), writer.Build(qztest::ArchiveKey::First));
    Start();
    const struct {
        const char* name;
        int wantsTexture;
        int alpha;
    } cases[] = {{"sheet.bmp", 1, 0}, {"pack\\sheet.bmp", 1, 1}, {"sheet.bmp", 0, 0}, {"pack/sheet.bmp", 0, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + (c.wantsTexture ? " texture" : " 2D"));
        const int h = LoadFileToGraphCore(c.name, c.wantsTexture, 0, 0);
        ASSERT_GE(h, 0);
        GraphData* g = GetGraphData(h);
        EXPECT_EQ(g->useTexture, c.wantsTexture);
        EXPECT_EQ(g->alphaChannel, c.alpha);
        EXPECT_EQ(g->width, 40);
        EXPECT_EQ(g->height, 20);
        EXPECT_STREQ(g->fileName, c.name);
        EXPECT_NE(g->directory[0], '\0');
        for (auto [x, y] : {std::pair{0, 0}, {39, 0}, {17, 11}, {39, 19}})
            EXPECT_EQ(GraphPixel(h, x, y), SheetColor(x, y)) << x << "," << y;
        EXPECT_EQ(DeleteOneGraph(h, 0), 0);
    }
}

// Cutting a mirrored 64 x 32 sheet into 2 x 1: piece 0 comes from x 32 of the mirrored
// picture, which is the left half of the file mirrored; numbers keep their place.
TEST_F(GraphTest, CuttingAMirroredSheet) {
    qztest::WriteWholeFile(dir.file("sheet.bmp"), Sheet(64, 32));
    Start();
    for (int wantsTexture : {1, 0}) {
        SCOPED_TRACE(wantsTexture ? "texture" : "2D");
        const int fontCaches = GetGraphTable()->count;  // the fonts' cache textures
        int pieces[2] = {-1, -1};
        ASSERT_EQ(LoadFileToDivGraphCore("sheet.bmp", 2, 2, 1, 32, 32, pieces, wantsTexture, 1), 0);
        GraphData* p0 = GetGraphData(pieces[0]);
        GraphData* p1 = GetGraphData(pieces[1]);
        ASSERT_NE(p0, nullptr);
        ASSERT_NE(p1, nullptr);
        EXPECT_EQ(p0->sourceX, 32);
        EXPECT_EQ(p1->sourceX, 0);
        EXPECT_STREQ(p0->fileName, "sheet.bmp");
        for (auto [x, y] : {std::pair{0, 0}, {31, 5}, {7, 31}}) {
            EXPECT_EQ(GraphPixel(pieces[0], x, y), SheetColor(31 - x, y)) << x << "," << y;
            EXPECT_EQ(GraphPixel(pieces[1], x, y), SheetColor(63 - x, y)) << x << "," << y;
        }
        // Only the two pieces remain: the whole sheet's graphic is gone.
        EXPECT_EQ(GetGraphTable()->count, fontCaches + 2);
        DeleteAllGraphs(0);
    }
}

TEST_F(GraphTest, AFailedCutLeavesNoGraphic) {
    qztest::WriteWholeFile(dir.file("sheet.bmp"), Sheet(64, 32));
    Start();
    const int count = GetGraphTable()->count;
    const struct {
        const char* name;
        int total, xCount, yCount, w, h;
        bool logged;
    } cases[] = {
        {"total above x count x y count", 3, 2, 1, 32, 32, false},
        {"total 0", 0, 2, 1, 32, 32, false},
        {"piece width 0", 2, 2, 1, 0, 32, false},
        {"a piece outside the sheet", 3, 3, 1, 32, 32, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int pieces[4] = {-1, -1, -1, -1};
        const int lines = Count(Log(), "グラフィックの分割に失敗しました in CreateDivGraphFromGraphImage\r\n");
        EXPECT_EQ(LoadFileToDivGraph("sheet.bmp", c.total, c.xCount, c.yCount, c.w, c.h, pieces), -1);
        EXPECT_EQ(GetGraphTable()->count, count);
        EXPECT_EQ(Count(Log(), "グラフィックの分割に失敗しました in CreateDivGraphFromGraphImage\r\n"),
                  lines + (c.logged ? 1 : 0));
    }
}

TEST_F(GraphTest, DeriveSharesPixelsAndClampsItsSize) {
    qztest::WriteWholeFile(dir.file("sheet.bmp"), Sheet(64, 32));
    Start();
    for (int wantsTexture : {1, 0}) {
        SCOPED_TRACE(wantsTexture ? "texture" : "2D");
        const int sheet = LoadFileToGraphCore("sheet.bmp", wantsTexture, 0, 0);
        ASSERT_GE(sheet, 0);
        const int part = DeriveGraph(10, 4, 100, 5, sheet);
        ASSERT_GE(part, 0);
        GraphData* g = GetGraphData(part);
        EXPECT_EQ(g->width, 54);
        EXPECT_EQ(g->height, 5);
        EXPECT_EQ(g->sourceX, 10);
        EXPECT_EQ(g->sourceY, 4);
        EXPECT_STREQ(g->fileName, "sheet.bmp");
        const int inner = DeriveGraph(4, 1, 3, 3, part);
        EXPECT_EQ(GetGraphData(inner)->sourceX, 14);
        // Deleting the source leaves the derived graphics their pixels.
        EXPECT_EQ(DeleteOneGraph(sheet, 0), 0);
        EXPECT_EQ(GraphPixel(part, 0, 0), SheetColor(10, 4));
        EXPECT_EQ(GraphPixel(part, 53, 4), SheetColor(63, 8));
        EXPECT_EQ(GraphPixel(inner, 2, 2), SheetColor(16, 7));
        const int count = GetGraphTable()->count;
        for (auto [x, y, w, h] : {std::array{54, 0, 1, 1}, {0, 5, 1, 1}, {-1, 0, 1, 1}, {0, -1, 1, 1},
                                  {0, 0, 0, 1}, {0, 0, 1, 0}})
            EXPECT_EQ(DeriveGraph(x, y, w, h, part), -1) << x << "," << y << " " << w << "x" << h;
        EXPECT_EQ(DeriveGraph(0, 0, 1, 1, sheet), -1) << "a deleted source";
        EXPECT_EQ(GetGraphTable()->count, count);
        DeleteAllGraphs(0);
    }
}

TEST_F(GraphTest, FilesThatCannotBeLoaded) {
    qztest::WriteWholeFile(dir.file("junk.bmp"), std::string(500, 'j'));
    Start();
    const int count = GetGraphTable()->count;
    EXPECT_EQ(LoadFileToGraph("junk.bmp"), -1);
    EXPECT_EQ(Count(Log(), "右記のグラフィックファイルのロードに失敗しました：junk.bmp \r\n"), 1);
    EXPECT_EQ(LoadFileToGraph("none.bmp"), -1);
    EXPECT_EQ(Count(Log(), "グラフィックファイル none.bmp がありません\r\n"), 1);
    int pieces[2];
    EXPECT_EQ(LoadFileToDivGraph("junk.bmp", 2, 2, 1, 8, 8, pieces), -1);
    EXPECT_EQ(Count(Log(), "右記のグラフィックファイルのロードに失敗しました：junk.bmp\r\n"), 1);
    EXPECT_EQ(GetGraphTable()->count, count);
}

// A file name that would not fit is never stored cut short.
TEST_F(GraphTest, LongNamesAreNotRecorded) {
    const std::string name63 = std::string(59, 'n') + ".bmp";
    const std::string name64 = std::string(60, 'n') + ".bmp";
    qztest::WriteWholeFile(dir.file(name63), Sheet(4, 4));
    qztest::WriteWholeFile(dir.file(name64), Sheet(4, 4));
    Start();
    const int fits = LoadFileToGraph(name63.c_str());
    const int longer = LoadFileToGraph(name64.c_str());
    ASSERT_GE(fits, 0);
    ASSERT_GE(longer, 0);
    EXPECT_EQ(GetGraphData(fits)->fileName, name63);
    EXPECT_STREQ(GetGraphData(longer)->fileName, "");
    EXPECT_EQ(GetGraphDimensions(longer, nullptr, nullptr), 0);
    int w = 0, h = 0;
    EXPECT_EQ(GetGraphDimensions(kDrawTargetBack, &w, &h), 0);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(GetGraphDimensions(fits, &w, &h), 0);
    EXPECT_EQ(w, 4);
    EXPECT_EQ(GetGraphDimensions(MakeHandle(kHandleKindGraph, 9999, 0), &w, &h), -1);
}

}  // namespace

namespace {

int g_loaderCalls = 0;
int CountingLoader(ReadStream*, GraphImage*) {
    ++g_loaderCalls;
    return -1;
}

// A PNG chunk: length, type, data and the CRC over type and data.
std::string PngChunk(const char* type, const std::string& data, uint32_t declaredLength) {
    std::string chunk;
    for (int shift = 24; shift >= 0; shift -= 8) chunk += static_cast<char>(declaredLength >> shift & 0xFF);
    const std::string body = std::string(type, 4) + data;
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : body) {
        crc ^= c;
        for (int k = 0; k < 8; k++) crc = crc & 1 ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
    }
    crc ^= 0xFFFFFFFFu;
    chunk += body;
    for (int shift = 24; shift >= 0; shift -= 8) chunk += static_cast<char>(crc >> shift & 0xFF);
    return chunk;
}

}  // namespace

// A few dozen bytes declaring a gigabyte-long text chunk: refused at once, every reader
// tried once, and no block anywhere near the declared size asked of the allocator.
TEST_F(GraphTest, APngDeclaringAHugeChunkIsRefusedCheaply) {
    const std::string header = std::string("\0\0\0\x10\0\0\0\x10\x08\x02\0\0\0", 13);  // 16 x 16 RGB
    const std::string png = std::string("\x89PNG\r\n\x1a\n", 8) + PngChunk("IHDR", header, 13) +
                            PngChunk("tEXt", "", 0x3FFFFFFF);
    qztest::WriteWholeFile(dir.file("huge.png"), png);
    Start();
    ASSERT_EQ(AddUserGraphImageLoader(CountingLoader), 0);
    g_loaderCalls = 0;
    qztest::AllocationWatch::Start();
    EXPECT_EQ(LoadFileToGraph("huge.png"), -1);
    ClearUserGraphImageLoaders();
    EXPECT_EQ(g_loaderCalls, 1) << "readers tried for one file";
    if (qztest::AllocationWatch::Available()) {
        EXPECT_LT(qztest::AllocationWatch::LargestBlock(), size_t(16) << 20);
    }
}

}  // namespace QzGraphicsData_test
