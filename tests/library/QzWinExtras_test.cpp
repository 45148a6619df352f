// The window extras: when the menu is on the window, the menu-item table, the shape made
// from an image, the cursor, the mouse in screen-mode coordinates and dropped names.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "LibraryFixture.h"
#include "QzInputKey.h"
#include "QzWinExtras.h"
#include "QzWinMenu.h"
#include "QzWinWindow.h"
#include "platform/gdi.h"

namespace QzWinExtras_test {

namespace {

using WindowExtrasTest = LibraryTest;

// ---- the menu on the window ------------------------------------------------------------------------

struct AttachCase {
    int mouseY;  // client y
    bool hidden;
    bool alwaysShown;
    bool shown[2];  // full screen, window mode
};
const AttachCase kAttachCases[] = {
    {59, false, false, {true, true}},   {60, false, false, {false, true}}, {60, false, true, {true, true}},
    {0, true, false, {false, false}},   {300, true, true, {false, false}},
};

TEST_F(WindowExtrasTest, TheMenuIsOnTheWindowInWindowModeOrNearTheTopInFullScreen) {
    for (int windowMode : {0, 1}) {
        ApiChangeWindowMode(windowMode);
        ASSERT_EQ(ApiInitializeLibrary(), 0);
        HWND window = GetMainWindowHwnd();
        for (const AttachCase& c : kAttachCases) {
            const RECT client = g_windowSystem.clientRect;
            ptest::SetMousePosition(client.left + 10, client.top + c.mouseY);
            const bool attached = Locked([&c] {
                g_windowSystem.menu.alwaysShown = c.alwaysShown;
                SetMenuEnabled(1);
                SetMenuVisible(c.hidden ? 0 : 1);
                UpdateFullScreenMenu();
                bool on = GetMenu(GetMainWindowHwnd()) != nullptr;
                SetMenuEnabled(0);
                return on;
            });
            EXPECT_EQ(attached, c.shown[windowMode])
                << (windowMode ? "window" : "full screen") << ", mouse y " << c.mouseY << (c.hidden ? ", hidden" : "")
                << (c.alwaysShown ? ", always shown" : "");
            EXPECT_EQ(GetMenu(window), nullptr) << "switched off again";
        }
        ApiTerminateLibrary();
    }
}

// ---- the item table --------------------------------------------------------------------------------------

TEST_F(WindowExtrasTest, TheItemTableListsItemsDepthFirstWithoutSeparators) {
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    HMENU menu = CreateMenu();
    HMENU sub = CreateMenu();
    ptest::AppendMenuItem(menu, "A", 1);
    ptest::AppendMenuItem(menu, "", 0, true);
    ptest::AppendMenuItem(menu, "B", 2, false, sub);
    ptest::AppendMenuItem(sub, "B1", 3);
    ptest::AppendMenuItem(sub, "", 0, true);
    ptest::AppendMenuItem(sub, "B2", 0x10004);
    ptest::AppendMenuItem(menu, "C", 5);
    Locked([menu] {
        g_windowSystem.menu.inUse = 1;
        return EnumMenuItems(menu);
    });
    const MenuState& m = g_windowSystem.menu;
    std::vector<std::string> names;
    for (int i = 0; i < m.itemCount; i++) names.push_back(m.items[i].name);
    EXPECT_EQ(names, (std::vector<std::string>{"A", "B", "B1", "B2", "C"}));
    EXPECT_EQ(m.items[3].menu, sub);
    EXPECT_EQ(m.items[3].position, 2);

    Locked([&] {
        EXPECT_EQ(FindMenuItemEntry("B1", 0), &m.items[2]);
        EXPECT_EQ(FindMenuItemEntry(nullptr, 0x20004), &m.items[3]) << "ids are 16 bits";
        EXPECT_EQ(FindMenuItemEntry("Z", 0), nullptr);
        HMENU found = nullptr;
        int position = -1;
        EXPECT_EQ(SearchMenuItem("B2", 0, menu, &found, &position), 1);
        EXPECT_EQ(found, sub);
        EXPECT_EQ(position, 2);
        EXPECT_EQ(SearchMenuItem(nullptr, 5, menu, &found, &position), 1);
        EXPECT_EQ(position, 3);
        EXPECT_EQ(SearchMenuItem(nullptr, 99, menu, &found, &position), 0);
        char name[128];
        EXPECT_EQ(LookUpMenuItemName(3, name), 0);
        EXPECT_STREQ(name, "B1");
        EXPECT_EQ(GetFreeMenuItemId(), 6) << "5 entries: 5 is used";

        HMENU made = GetMenuItemSubMenu("A", 0);
        EXPECT_NE(made, nullptr);
        EXPECT_EQ(GetMenuItemSubMenu("A", 0), made) << "made once";
        EXPECT_EQ(GetMenuItemSubMenu("B", 0), sub);
        EXPECT_EQ(GetMenuItemSubMenu("none", 0), nullptr);

        EXPECT_EQ(DeleteMenuItemEntry("B", 0), 0);
        EXPECT_EQ(m.itemCount, 4);
        EXPECT_STREQ(m.items[1].name, "B1") << "later entries move up";
        EXPECT_EQ(DeleteMenuItemEntry(nullptr, 42), -1);
        return 0;
    });
    DestroyMenu(menu);
    g_windowSystem.menu.inUse = 0;
}

TEST_F(WindowExtrasTest, TheItemTableStopsAt128AndCutsLongNames) {
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    HMENU menu = CreateMenu();
    for (int i = 0; i < 130; i++) ptest::AppendMenuItem(menu, "item" + std::to_string(i), static_cast<UINT>(i));
    Locked([menu] { return EnumMenuItems(menu); });
    EXPECT_EQ(g_windowSystem.menu.itemCount, 128);
    EXPECT_EQ(Locked([] { return AddMenuItemEntry(nullptr, 0, 1, "x"); }), -1);
    Locked([] {
        g_windowSystem.menu.itemCount = 0;
        // 100 two-byte characters: 127 bytes would end inside one.
        std::string name;
        for (int i = 0; i < 100; i++) name += "\x83\x41";
        return AddMenuItemEntry(nullptr, 0, 1, name.c_str());
    });
    EXPECT_EQ(std::strlen(g_windowSystem.menu.items[0].name), 126u);
    g_windowSystem.menu.itemCount = 0;
    DestroyMenu(menu);
}

// ---- the shape from an image --------------------------------------------------------------------------------

std::vector<std::vector<LONG>> Rects(HRGN region) {
    std::vector<RECT> rects;
    EXPECT_TRUE(ptest::GetRegionRects(region, &rects));
    std::vector<std::vector<LONG>> out;
    for (const RECT& r : rects) out.push_back({r.left, r.top, r.right, r.bottom});
    return out;
}

TEST(WindowRegionFromImage, RunsOfNonZeroPixelsBecomeRectangles) {
    for (int bytes = 1; bytes <= 4; bytes++) {
        SCOPED_TRACE("bytes per pixel " + std::to_string(bytes));
        // Rows 5 pixels wide, padded to 24 bytes; the last row's padding is not there to read.
        const int width = 5, height = 3, pitch = 24;
        const size_t size = static_cast<size_t>(pitch) * (height - 1) + static_cast<size_t>(width) * bytes;
        std::unique_ptr<unsigned char[]> pixels(new unsigned char[size]());
        auto set = [&](int x, int y) { pixels[static_cast<size_t>(y) * pitch + x * bytes + bytes - 1] = 1; };
        set(1, 0);
        set(2, 0);
        set(4, 0);
        set(1, 1);
        set(2, 1);
        set(0, 2);
        std::memset(&pixels[static_cast<size_t>(width) * bytes], 0xFF, static_cast<size_t>(pitch - width * bytes));
        HRGN region = MakeRegionFromImage(width, height, pixels.get(), pitch, bytes);
        ASSERT_NE(region, nullptr);
        EXPECT_EQ(Rects(region),
                  (std::vector<std::vector<LONG>>{{1, 0, 3, 1}, {4, 0, 5, 1}, {1, 1, 3, 2}, {0, 2, 1, 3}}));
        DeleteObject(region);
    }
    const unsigned char rgb[6] = {0, 0, 1, 0, 0, 0};  // (0, 0, 1) counts, (0, 0, 0) does not
    HRGN region = MakeRegionFromImage(2, 1, rgb, 6, 3);
    EXPECT_EQ(Rects(region), (std::vector<std::vector<LONG>>{{0, 0, 1, 1}}));
    DeleteObject(region);
    EXPECT_EQ(MakeRegionFromImage(2, 1, rgb, 6, 0), nullptr) << "below a byte a pixel";
    EXPECT_EQ(MakeRegionFromImage(2, 1, rgb, 6, 5), nullptr);
}

TEST_F(WindowExtrasTest, RemovingTheShapeLeavesTheWindowWithoutOne) {
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    const unsigned char pixels[4] = {1, 0, 1, 1};
    Locked([&] {
        g_windowSystem.windowRegion = MakeRegionFromImage(4, 1, pixels, 4, 1);
        SetWindowRgn(GetMainWindowHwnd(), g_windowSystem.windowRegion, TRUE);
        return 0;
    });
    std::vector<RECT> rects;
    EXPECT_TRUE(ptest::GetWindowRegionRects(GetMainWindowHwnd(), &rects));
    EXPECT_EQ(rects.size(), 2u);
    EXPECT_EQ(Locked([] { return SetWindowRegionFromFile(nullptr); }), 0);
    EXPECT_EQ(HasWindowRegion(), 0);
    EXPECT_FALSE(ptest::GetWindowRegionRects(GetMainWindowHwnd(), &rects));
    EXPECT_EQ(Locked([] { return SetWindowRegionFromFile("shape.bmp"); }), -1) << "no such file";
}

// ---- the cursor and the mouse ---------------------------------------------------------------------------------

// The display count, read by one step up and back.
int CursorCount() {
    int count = ShowCursor(TRUE) - 1;
    ShowCursor(FALSE);
    return count;
}

TEST_F(WindowExtrasTest, HidingTheCursorTakesTheCountBelowZeroOnce) {
    ApiChangeWindowMode(1);
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    int seen = 0;
    static int* counter = &seen;
    g_windowSystem.userMessageCallback = [](HWND, UINT message, WPARAM, LPARAM) {
        if (message == WM_SETCURSOR) ++*counter;
    };
    Locked([] {
        for (int i = 0; i < 3; i++) ShowCursor(TRUE);
        return UpdateCursorVisibility(0);
    });
    EXPECT_LT(CursorCount(), 0);
    EXPECT_FALSE(ptest::IsCursorShown());
    ApiProcessMessage();
    EXPECT_GE(seen, 1) << "WM_SETCURSOR posted";
    const int count = CursorCount();
    Locked([] { return UpdateCursorVisibility(0); });
    EXPECT_EQ(CursorCount(), count) << "no change, no call";
    Locked([] { return UpdateCursorVisibility(1); });
    EXPECT_EQ(CursorCount(), 0);
    g_windowSystem.userMessageCallback = nullptr;
}

TEST_F(WindowExtrasTest, TheMousePositionIsInScreenModeCoordinates) {
    ApiChangeWindowMode(1);
    g_windowSystem.windowScale = 2.0;
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    const RECT client = g_windowSystem.clientRect;
    ASSERT_EQ(client.right - client.left, 1280);
    ptest::SetMousePosition(client.left + 100, client.top + 31);
    int x = -1, y = -1;
    Locked([&] { return GetClientMousePosition(&x, &y); });
    EXPECT_EQ(x, 50);
    EXPECT_EQ(y, 15);
    EXPECT_EQ(Locked([] { return GetClientMousePosition(nullptr, nullptr); }), 0);
}

// ---- dropped files --------------------------------------------------------------------------------------------

TEST_F(WindowExtrasTest, ADropKeepsItsNamesInDriveFormUntilFreed) {
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    const int before = g_windowSystem.tracker.count;
    HDROP drop = ptest::MakeDrop({"/data/one.bmp", "/data/two.wav", reinterpret_cast<const char*>(u8"/data/三.txt")});
    Locked([drop] { return PostMessageA(GetMainWindowHwnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0); });
    ApiProcessMessage();
    ASSERT_EQ(g_windowSystem.droppedFileCount, 3);
    EXPECT_STREQ(g_windowSystem.droppedFiles[0], "C:\\data\\one.bmp");
    EXPECT_STREQ(g_windowSystem.droppedFiles[2], "C:\\data\\\x8E\x4F.txt");
    EXPECT_EQ(DragQueryFileA(drop, 0xFFFFFFFFu, nullptr, 0), 0u) << "the drop was finished";
    EXPECT_EQ(g_windowSystem.tracker.count, before + 3);
    EXPECT_EQ(Locked([] { return FreeDroppedFileNames(); }), 0);
    EXPECT_EQ(g_windowSystem.droppedFileCount, 0);
    EXPECT_EQ(g_windowSystem.tracker.count, before) << "no tracked block left";
}

}  // namespace

}  // namespace QzWinExtras_test
