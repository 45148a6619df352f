// Direct3D start-up and end: the device choice, the depth and texture formats and their
// copy chain, the size limits, each failing step, the log block, the format look-ups,
// and the end of a renderer that was lost.
#include <string>
#include <vector>

#include "Qz3DFixture.h"

namespace Qz3DSystem_test {

namespace {

DDPIXELFORMAT Rgb(int bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a, uint32_t extraFlags = 0) {
    DDPIXELFORMAT f = {};
    f.dwSize = sizeof f;
    f.dwFlags = DDPF_RGB | (a ? DDPF_ALPHAPIXELS : 0) | extraFlags;
    f.dwRGBBitCount = (DWORD)bits;
    f.dwRBitMask = r;
    f.dwGBitMask = g;
    f.dwBBitMask = b;
    f.dwRGBAlphaBitMask = a;
    return f;
}
const DDPIXELFORMAT kR5G6B5 = Rgb(16, 0xF800, 0x07E0, 0x001F, 0);
const DDPIXELFORMAT kX1R5G5B5 = Rgb(16, 0x7C00, 0x03E0, 0x001F, 0);
const DDPIXELFORMAT kA1R5G5B5 = Rgb(16, 0x7C00, 0x03E0, 0x001F, 0x8000);
const DDPIXELFORMAT kA4R4G4B4 = Rgb(16, 0x0F00, 0x00F0, 0x000F, 0xF000);
const DDPIXELFORMAT kX8R8G8B8 = Rgb(32, 0xFF0000, 0xFF00, 0xFF, 0);
const DDPIXELFORMAT kA8R8G8B8 = Rgb(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);

DDPIXELFORMAT Depth(int bits, uint32_t flags = DDPF_ZBUFFER) {
    DDPIXELFORMAT f = {};
    f.dwSize = sizeof f;
    f.dwFlags = flags;
    f.dwZBufferBitDepth = (DWORD)bits;
    f.dwZBitMask = bits == 16 ? 0xFFFF : 0xFFFFFF;
    return f;
}

ptest::D3DDeviceScript Device(const GUID& guid, DWORD depths, DWORD minW, DWORD minH, DWORD maxW, DWORD maxH) {
    ptest::D3DDeviceScript d;
    d.description = "device";
    d.name = "device";
    d.desc = ptest::DefaultD3DDeviceDesc();
    d.desc.deviceGUID = guid;
    d.desc.dwDeviceRenderBitDepth = depths;
    d.desc.dwMinTextureWidth = minW;
    d.desc.dwMinTextureHeight = minH;
    d.desc.dwMaxTextureWidth = maxW;
    d.desc.dwMaxTextureHeight = maxH;
    return d;
}

// The log without the milliseconds that start each line.
std::string WithoutTimes(const std::string& log) {
    std::string out;
    bool lineStart = true;
    for (size_t i = 0; i < log.size(); ++i) {
        if (lineStart) {
            size_t j = i;
            while (j < log.size() && log[j] >= '0' && log[j] <= '9')
                ++j;
            if (j > i && j < log.size() && log[j] == ':')
                i = j + 1;
            lineStart = false;
            if (i >= log.size())
                break;
        }
        out += log[i];
        lineStart = log[i] == '\n';
    }
    return out;
}

class StartUpTest : public d3dfix::D3DTest {
protected:
    // Restarts the renderer against a screen of this depth and format.
    int Restart(int depth, const DDPIXELFORMAT& screen) {
        TerminateDirect3D();
        g_screen.colorBitDepth = depth;
        SetColorFormatFromPixelFormat(&screen, &g_screen.screenFormat);
        return InitializeDirect3D();
    }
    void TearDown() override {
        if (locked_) {
            TerminateDirect3D();
            g_screen.colorBitDepth = 32;
            SetColorFormatFromPixelFormat(&kX8R8G8B8, &g_screen.screenFormat);
        }
        d3dfix::D3DTest::TearDown();
    }
    static bool SameFormat(int entry, const DDPIXELFORMAT& f) {
        ColorFormat want;
        SetColorFormatFromPixelFormat(&f, &want);
        return ComparePixelFormat(G_D3D_GetTextureColorFormat(entry), &want) == 1;
    }
    static bool NoSlotInUse() {
        for (int i = 0; i < kD3DDeviceSlots; ++i)
            if (GetUsedD3DDeviceSlot(i))
                return false;
        return true;
    }
};

TEST_F(StartUpTest, DeviceChoiceFollowsDepthAndKind) {
    Start();
    const GUID hal = IID_IDirect3DHALDevice, tnl = IID_IDirect3DTnLHalDevice;
    struct Case {
        const char* name;
        int depth;
        std::vector<ptest::D3DDeviceScript> devices;
        int result;
        DWORD maxWidth;  // tells the accepted device
    };
    const Case cases[] = {
        {"24-bit screen", 24, {Device(hal, DDBD_16 | DDBD_32, 1, 1, 2048, 2048)}, -1, 0},
        {"8-bit screen", 8, {Device(hal, DDBD_8 | DDBD_16 | DDBD_32, 1, 1, 2048, 2048)}, -1, 0},
        {"16-bit device on a 32-bit screen", 32, {Device(hal, DDBD_16, 1, 1, 2048, 2048)}, -1, 0},
        {"HAL then T&L HAL", 32, {Device(hal, DDBD_32, 1, 1, 1024, 1024), Device(tnl, DDBD_32, 1, 1, 512, 512)}, 0, 512},
        {"T&L HAL then HAL", 32, {Device(tnl, DDBD_32, 1, 1, 256, 256), Device(hal, DDBD_32, 1, 1, 1024, 1024)}, 0, 256},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ptest::ScriptD3DDevices(c.devices);
        int lines = Count(Log(), "現在の画面モードで使用できる描画デバイスが見つかりませんでした\r\n");
        EXPECT_EQ(Restart(c.depth, kX8R8G8B8), c.result);
        if (c.result == 0) {
            EXPECT_EQ(g_d3d.maxTextureSize, (int)c.maxWidth);
        } else {
            EXPECT_EQ(g_d3d.direct3D, nullptr);
            EXPECT_EQ(Count(Log(), "現在の画面モードで使用できる描画デバイスが見つかりませんでした\r\n"), lines + 1);
        }
    }
}

TEST_F(StartUpTest, TextureFormatsDepthFormatAndLimits) {
    Start();
    struct Case {
        const char* name;
        int depth;
        DDPIXELFORMAT screen;
        std::vector<DDPIXELFORMAT> formats;
        DWORD minW, minH, maxW, maxH;
        // Per entry 0-8 the expected format; null: empty.
        const DDPIXELFORMAT* entries[9];
        int minSize, maxSize;
    };
    const DDPIXELFORMAT* R565 = &kR5G6B5;
    const DDPIXELFORMAT* X555 = &kX1R5G5B5;
    const DDPIXELFORMAT* A555 = &kA1R5G5B5;
    const DDPIXELFORMAT* A444 = &kA4R4G4B4;
    const DDPIXELFORMAT* X888 = &kX8R8G8B8;
    const DDPIXELFORMAT* A888 = &kA8R8G8B8;
    DDPIXELFORMAT luminance = Rgb(16, 0x7C00, 0x03E0, 0x001F, 0, DDPF_LUMINANCE);
    DDPIXELFORMAT bump = Rgb(16, 0x7C00, 0x03E0, 0x001F, 0, DDPF_BUMPDUDV);
    DDPIXELFORMAT fourcc = Rgb(16, 0x7C00, 0x03E0, 0x001F, 0, DDPF_FOURCC);
    DDPIXELFORMAT alphaOnly = Rgb(16, 0, 0, 0, 0xFF00, DDPF_ALPHA);
    const Case cases[] = {
        {"platform list on a 32-bit screen", 32, kX8R8G8B8,
         {kR5G6B5, kX1R5G5B5, kA1R5G5B5, kA4R4G4B4, kX8R8G8B8, kA8R8G8B8}, 1, 1, 2048, 2048,
         {R565, X888, A444, A888, A555, A888, R565, X888, A888}, 1, 2048},
        {"R5G6B5 screen takes R5G6B5 listed second", 16, kR5G6B5, {kX1R5G5B5, kR5G6B5}, 1, 1, 2048, 2048,
         {R565, R565, nullptr, nullptr, nullptr, nullptr, R565, R565, nullptr}, 1, 2048},
        {"X1R5G5B5 screen takes X1R5G5B5 listed second", 16, kX1R5G5B5, {kR5G6B5, kX1R5G5B5}, 1, 1, 2048, 2048,
         {X555, X555, nullptr, nullptr, nullptr, nullptr, X555, X555, nullptr}, 1, 2048},
        {"no A8R8G8B8: A4R4G4B4 serves 3, 5 and 8", 32, kX8R8G8B8, {kR5G6B5, kX8R8G8B8, kA4R4G4B4}, 0, 0, 0, 0,
         {R565, X888, A444, A444, A444, A444, R565, X888, A444}, 32, 256},
        {"other kinds are passed over", 32, kX8R8G8B8, {luminance, bump, fourcc, alphaOnly, kR5G6B5}, 1, 1, 2048, 1024,
         {R565, R565, nullptr, nullptr, nullptr, nullptr, R565, R565, nullptr}, 1, 1024},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ptest::ScriptD3DDevices({Device(IID_IDirect3DHALDevice, DDBD_16 | DDBD_32, c.minW, c.minH, c.maxW, c.maxH)});
        ptest::ScriptD3DZBufferFormats({Depth(24), Depth(16, DDPF_ZBUFFER | 0x4000), Depth(16)});
        ptest::ScriptD3DTextureFormats(c.formats);
        ASSERT_EQ(Restart(c.depth, c.screen), 0);
        for (int i = 0; i < 9; ++i) {
            if (c.entries[i])
                EXPECT_TRUE(SameFormat(i, *c.entries[i])) << "entry " << i;
            else
                EXPECT_EQ(G_D3D_GetTextureColorFormat(i)->colorBitDepth, 0) << "entry " << i;
        }
        EXPECT_EQ(g_d3d.minTextureSize, c.minSize);
        EXPECT_EQ(g_d3d.maxTextureSize, c.maxSize);
        const DDPIXELFORMAT* z = G_D3D_GetZBufferPixelFormat(16);
        EXPECT_EQ(z->dwFlags, (DWORD)DDPF_ZBUFFER);
        EXPECT_EQ(z->dwZBufferBitDepth, 16u);
    }
}

TEST_F(StartUpTest, EachFailingStepLeavesNoObjectAndLogsItsLine) {
    Start();
    // The stage-0 addressing call of the start-up comes last before the texture formats.
    TerminateDirect3D();
    std::vector<ptest::D3DCall> calls = Calls([] { ASSERT_EQ(InitializeDirect3D(), 0); });
    int stageCalls = 0;
    for (const auto& c : calls) {
        if (c.method == "EnumTextureFormats")
            break;
        stageCalls += c.method == "SetTextureStageState";
    }
    struct Case {
        const char* fault;
        int nth;
        const char* line;  // null: the step logs nothing of its own
    };
    const Case cases[] = {
        {"QueryDirect3D", 1, "Direct3Dオブジェクトの作成に失敗しました\r\n"},
        {"EnumDevices", 1, "現在の画面モードで使用できる描画デバイスが見つかりませんでした\r\n"},
        {"EnumZBufferFormats", 1, "使用可能なＺバッファが見つかりませんでした\r\n"},
        {"CreateDevice", 1, "３Ｄデバイスの作成に失敗しました\r\n"},
        {"SetTextureStageState", stageCalls, nullptr},
        {"EnumTextureFormats", 1, "使用可能なテクスチャフォーマットが見つかりませんでした\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        TerminateDirect3D();
        std::string before = Log();
        ptest::FailCall(c.fault, c.nth);
        EXPECT_EQ(InitializeDirect3D(), -1);
        EXPECT_EQ(g_d3d.direct3D, nullptr);
        EXPECT_TRUE(NoSlotInUse());
        std::string log = Log();
        if (c.line) {
            EXPECT_EQ(Count(log, c.line), Count(before, c.line) + 1);
        }
        EXPECT_EQ(Count(log, "Direct3D 関連の初期化は正常に終了しました"),
                  Count(before, "Direct3D 関連の初期化は正常に終了しました"));
        ptest::ClearFaults();
    }
    ASSERT_EQ(InitializeDirect3D(), 0);
    std::string log = Log();
    EXPECT_EQ(InitializeDirect3D(), -1);
    EXPECT_EQ(Log(), log);
}

TEST_F(StartUpTest, LogBlockIsWrittenByteForByte) {
    Start();
    TerminateDirect3D();
    std::string before = Log();
    ASSERT_EQ(InitializeDirect3D(), 0);
    std::string block = Log().substr(before.size());
    block = WithoutTimes(block);
    size_t from = block.find("\tテクスチャ最大幅");
    ASSERT_NE(from, std::string::npos) << block;
    const std::string expected =
        "\tテクスチャ最大幅:2048 最小幅:1 \r\n"
        "\t描画制限: D_D3DPTEXTURECAPS_POW2 = 1  D_D3DPTEXTURECAPS_SQUAREONLY = 0 \r\n"
        "\tテクスチャピクセルフォーマット\r\n"
        "\t\t通常グラフィック用\r\n"
        "\t\t\t BIT:16  RED:5  GREEN:6  BLUE:5 \r\n"
        "\t\t\t RED:00f800 GREEN:0007e0 BLUE:00001f \r\n\r\n"
        "\t\t\t BIT:32  RED:8  GREEN:8  BLUE:8 \r\n"
        "\t\t\t RED:ff0000 GREEN:00ff00 BLUE:0000ff \r\n\r\n"
        "\t\tアルファチャンネル付きグラフィック用\r\n"
        "\t\t\t BIT:16  ALPHA:4  RED:4  GREEN:4  BLUE:4 \r\n"
        "\t\t\t ALPHA:0000f000 RED:00000f00 GREEN:000000f0 BLUE:0000000f \r\n\r\n"
        "\t\t\t BIT:32  ALPHA:8  RED:8  GREEN:8  BLUE:8 \r\n"
        "\t\t\t ALPHA:ff000000 RED:00ff0000 GREEN:0000ff00 BLUE:000000ff \r\n\r\n"
        "Direct3D 関連の初期化は正常に終了しました\r\n";
    EXPECT_EQ(block.substr(from), expected);
}

TEST_F(StartUpTest, FormatIndexFollowsTheFlagBytes) {
    struct Case {
        int depth, alpha, drawValid, transColor;
        int index;
    };
    const Case cases[] = {
        {16, 0, 0, 0, 0}, {32, 0, 0, 0, 1}, {16, 1, 0, 0, 2}, {32, 1, 0, 0, 3}, {16, 0, 0, 1, 4}, {32, 0, 0, 1, 5},
        {16, 0, 1, 0, 6}, {32, 0, 1, 0, 7}, {32, 1, 1, 0, 8}, {16, 0, 1, 1, 8}, {32, 1, 0, 1, 3},
    };
    for (const Case& c : cases) {
        uint8_t flags[8] = {1, (uint8_t)c.alpha, (uint8_t)c.drawValid, 0, (uint8_t)c.transColor, (uint8_t)c.depth, 0, 0};
        EXPECT_EQ(G_D3D_GetTextureFormatIndex(flags), c.index)
            << c.depth << " bits, alpha " << c.alpha << ", drawValid " << c.drawValid << ", key " << c.transColor;
    }
}

TEST_F(StartUpTest, EndOfALostRendererFreesItsPiecesAndSlot) {
    Start();
    FilledGraph(64, 64, d3dfix::Pattern);
    ASSERT_GT(GetSurface3DTable()->count, 0);
    ASSERT_EQ(ReleaseDirect3DObjects(), 0);
    EXPECT_NE(Log().find("Ｄｉｒｅｃｔ３Ｄオブジェクトを解放しました\r\n"), std::string::npos);
    EXPECT_EQ(ReleaseDirect3DObjects(), 0);
    EXPECT_NE(Log().find("Ｄｉｒｅｃｔ３Ｄオブジェクトは既に解放されています\r\n"), std::string::npos);
    EXPECT_EQ(TerminateDirect3D(), 0);
    EXPECT_EQ(GetSurface3DTable()->count, 0);
    EXPECT_TRUE(NoSlotInUse());
    EXPECT_EQ(TerminateDirect3D(), -1);
    EXPECT_EQ(RecreateDirect3DObjects(), 0);  // not started: nothing to do
    graphs_[0]->pieceCount = 0;               // its pieces went with the renderer
}

TEST_F(StartUpTest, RecreationOfAPresentObjectSaysSoOnOneLine) {
    Start();
    EXPECT_EQ(RecreateDirect3DObjects(), 0);
    EXPECT_NE(Log().find("Ｄｉｒｅｃｔ３Ｄオブジェクトは既に取得されています\r\n"), std::string::npos);
}

}  // namespace

}  // namespace Qz3DSystem_test
