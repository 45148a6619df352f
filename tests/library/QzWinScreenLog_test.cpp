// The on-screen log on a library started headless: line breaking, scrolling, the skipped
// bytes, the font's return after the font system deletes it, a smaller screen, and the
// pixels it draws. Widths come from a synthetic face put in as the log's font.
#include <string>
#include <vector>

#include "LibraryFixture.h"
#include "QzDraw2DDraw.h"
#include "QzDrawPresent.h"
#include "QzDrawScreen.h"
#include "QzDrawScreenColor.h"
#include "QzGraphicsFont.h"
#include "QzGraphicsFront.h"
#include "QzGraphicsText.h"
#include "QzWinScreenLog.h"

namespace QzWinScreenLog_test {

namespace {

ptest::SyntheticGlyph Glyph(int width, int height, int advance) {
    ptest::SyntheticGlyph g;
    g.width = width;
    g.height = height;
    g.advance = advance;
    g.originY = 12;
    g.levels.assign((size_t)width * height, 16);
    return g;
}

class ScreenLogTest : public LibraryTest {
protected:
    void Start() {
        g_screen.width = 640;
        g_screen.height = 480;
        g_screen.colorBitDepth = 32;
        ApiChangeWindowMode(0);
        ASSERT_EQ(ApiInitializeLibrary(), 0);
        EnterLibraryLock();
        locked = true;
    }
    // The log's font becomes a synthetic edge font: 'z' advances 0, 'a' and "あ" 100 (98
    // plus the edge's 2), the dot is a 2 x 2 block.
    void UseSyntheticFont() {
        ptest::SyntheticFace face;
        face.name = "LogFace";
        face.height = 16;
        face.ascent = 14;
        face.maxCharWidth = 16;
        face.glyphs = {{'z', Glyph(0, 0, -2)}, {'a', Glyph(2, 2, 98)}, {0x82A0, Glyph(2, 2, 98)}, {'.', Glyph(2, 2, 4)}};
        ptest::RegisterSyntheticFace(face);
        ScreenLogBlock& log = g_windowSystem.screenLog;
        DeleteFontData(log.font);
        log.font = CreateFontToHandle("LogFace", 16, 4, 1, -1, -1, -1, -1);
        ASSERT_NE(log.font, -1);
        SetFontDeleteNotify(log.font, &log.fontGone);
    }
    void TearDown() override {
        if (locked) LeaveLibraryLock();
        LibraryTest::TearDown();
    }
    static std::string Line(int i) { return g_windowSystem.screenLog.lines[i]; }
    bool locked = false;
};

TEST_F(ScreenLogTest, ThirtyLinesFitAndTheNextScrolls) {
    Start();
    ScreenLogBlock& log = g_windowSystem.screenLog;
    EXPECT_EQ(log.initialized, 1);
    EXPECT_EQ(CheckFontHandle(log.font), 1) << "the log's font lives from start-up";
    EXPECT_EQ(IsScreenLogVisible(), 0);
    std::string text;
    for (int i = 0; i < 30; ++i) text += "line" + std::to_string(i) + "\n";
    AddScreenLogText(text.substr(0, text.size() - 1).c_str());
    EXPECT_EQ(log.lineIndex, 29);
    EXPECT_EQ(Line(0), "line0");
    AddScreenLogText("\nline30");
    EXPECT_EQ(log.lineIndex, 29);
    EXPECT_EQ(Line(0), "line1");
    EXPECT_EQ(Line(29), "line30");
}

TEST_F(ScreenLogTest, BreaksTabsAndSkippedBytes) {
    Start();
    UseSyntheticFont();
    ScreenLogBlock& log = g_windowSystem.screenLog;
    AddScreenLogText("z\tz?z\r\x07z");
    EXPECT_EQ(Line(0), "z    zzz");
    ClearScreenLog();
    // A line holds at most 254 bytes.
    AddScreenLogText(std::string(300, 'z').c_str());
    EXPECT_EQ(Line(0).size(), 254u);
    EXPECT_EQ(Line(1).size(), 46u);
    ClearScreenLog();
    // A double-byte character that would reach 255 bytes goes whole to the next line.
    AddScreenLogText((std::string(253, 'z') + "あ").c_str());
    EXPECT_EQ(Line(0), std::string(253, 'z'));
    EXPECT_EQ(Line(1), "あ");
    ClearScreenLog();
    // Pixel widths: six characters of 100 reach 600; the seventh would reach 700 >= 640.
    AddScreenLogText("aaaaaaあa");
    EXPECT_EQ(Line(0), "aaaaaa");
    EXPECT_EQ(Line(1), "あa");
    EXPECT_EQ(log.lineWidth, 200);
    // A lead byte at the end of the text is one byte.
    ClearScreenLog();
    AddScreenLogText("z\x82");
    EXPECT_EQ(Line(0), "z\x82");
}

TEST_F(ScreenLogTest, FontReturnsAfterTheFontSystemDeletesIt) {
    Start();
    ScreenLogBlock& log = g_windowSystem.screenLog;
    int before = log.font;
    InitializeFonts();
    EXPECT_EQ(log.fontGone, 1);
    EXPECT_EQ(CheckFontHandle(before), 0);
    AddScreenLogText("x");
    EXPECT_EQ(log.fontGone, 0);
    EXPECT_EQ(CheckFontHandle(log.font), 1);
}

TEST_F(ScreenLogTest, ASmallerScreenKeepsTheNewestLinesVisible) {
    Start();
    ScreenLogBlock& log = g_windowSystem.screenLog;
    std::string text;
    for (int i = 0; i < 30; ++i) text += "n" + std::to_string(i) + (i < 29 ? "\n" : "");
    AddScreenLogText(text.c_str());
    g_screen.width = 320;  // as a change to 320 x 240 leaves it
    g_screen.height = 240;
    AddScreenLogText("+");
    EXPECT_EQ(log.lineIndex, 14);
    EXPECT_EQ(Line(14), "n29+");
    EXPECT_EQ(Line(0), "n15");
    g_screen.width = 640;
    g_screen.height = 480;
}

// White glyph pixels with a black edge at (0, line x 16).
TEST_F(ScreenLogTest, DrawsWhiteTextWithABlackEdge) {
    Start();
    UseSyntheticFont();
    AddScreenLogText("\n.");
    SelectDrawTarget(-2);
    FillBoxByCpu(0, 0, 640, 480, GetScreenColorValue(64, 64, 64));
    DrawScreenLog();
    PresentScreen();
    ptest::PresentedFrame frame = ptest::GetLastPresentedFrame();
    ASSERT_EQ(frame.width, 640);
    auto at = [&](int x, int y) { return frame.pixels[(size_t)y * 640 + x] & 0xFFFFFF; };
    // Line 1 at y 16; the 2 x 2 block lies e = 1 right and down of its box at y offset 2.
    int top = 16 + 2 + 1;
    EXPECT_EQ(at(1, top), 0xFFFFFFu);
    EXPECT_EQ(at(2, top + 1), 0xFFFFFFu);
    EXPECT_EQ(at(0, top), 0x000000u) << "edge";
    EXPECT_EQ(at(1, top - 1), 0x000000u) << "edge";
    EXPECT_EQ(at(3, top + 1), 0x000000u) << "edge";
    EXPECT_EQ(at(10, top), 0x404040u) << "background untouched";
}

}  // namespace

namespace {

// Japanese text through the drawing front end in the installed face, every font type:
// the frame shows ink inside each line's box and nowhere else. (QZ_CAPTURE=dir keeps the
// frame as a PNG to look at.)
TEST_F(ScreenLogTest, JapaneseTextReachesThePresentedFrame) {
    Start();
    SelectDrawTarget(-2);
    FillBoxByCpu(0, 0, 640, 480, GetScreenColorValue(0, 0, 64));
    const char* text = "日本語のテキスト ABC あいうえお";
    uint32_t white = GetScreenColorValue(255, 255, 255), red = GetScreenColorValue(255, 0, 0);
    int width[4] = {};
    for (int type = 0; type < 4; ++type) {
        int font = CreateFontToHandle(nullptr, 24, -1, type, -1, (type & 1) ? 2 : -1, -1, -1);
        ASSERT_NE(font, -1);
        width[type] = MeasureFontStringWidth(text, -1, font, 0);
        EXPECT_EQ(DrawStringWithFont(20, 40 + 40 * type, text, white, font, red, 0), 0);
    }
    PresentScreen();
    ptest::PresentedFrame frame = ptest::GetLastPresentedFrame();
    ASSERT_EQ(frame.width, 640);
    for (int type = 0; type < 4; ++type) {
        int inside = 0, outside = 0;
        for (int y = 40 + 40 * type - 4; y < 40 + 40 * type + 36; ++y)
            for (int x = 0; x < 640; ++x) {
                bool box = x >= 20 && x < 20 + width[type] && y >= 40 + 40 * type && y < 40 + 40 * type + 30;
                bool ink = (frame.pixels[(size_t)y * 640 + x] & 0xFFFFFF) != 0x000040;
                (box ? inside : outside) += ink;
            }
        EXPECT_GT(inside, 300) << "type " << type;
        EXPECT_EQ(outside, 0) << "type " << type;
    }
}

}  // namespace

}  // namespace QzWinScreenLog_test
