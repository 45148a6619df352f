// The window extras kept in memory: menus, regions (and a window's copy of one) and the
// mouse position, on the headless backend.
#include "input_support.h"
#include "platform/gdi.h"

namespace window_extras_test {

namespace {

using inputtest::InputTest;
using WindowExtrasTest = InputTest;

TEST_F(WindowExtrasTest, MenusHoldItemsSubMenusAndNames) {
    HMENU menu = CreateMenu();
    HMENU sub = CreateMenu();
    ASSERT_TRUE(ptest::AppendMenuItem(menu, "File", 100));
    ASSERT_TRUE(ptest::AppendMenuItem(menu, "", 0, true));
    ASSERT_TRUE(ptest::AppendMenuItem(menu, "\x83\x81\x83\x6A\x83\x85\x81\x5B", 101, false, sub));  // メニュー
    EXPECT_EQ(GetMenuItemCount(menu), 3);
    EXPECT_EQ(GetMenuItemCount(reinterpret_cast<HMENU>(0x1234)), -1);

    char name[6];
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_TYPE | MIIM_ID | MIIM_SUBMENU | MIIM_STATE;
    info.dwTypeData = name;
    info.cch = sizeof name;
    ASSERT_TRUE(GetMenuItemInfoA(menu, 2, TRUE, &info));
    EXPECT_EQ(info.wID, 101u);
    EXPECT_EQ(info.hSubMenu, sub);
    EXPECT_STREQ(name, "\x83\x81\x83\x6A\x83") << "cut to cch - 1 bytes";
    info.cch = sizeof name;
    ASSERT_TRUE(GetMenuItemInfoA(menu, 1, TRUE, &info));
    EXPECT_TRUE(info.fType & MFT_SEPARATOR);
    EXPECT_FALSE(GetMenuItemInfoA(menu, 3, TRUE, &info));

    HMENU other = CreateMenu();
    MENUITEMINFOA change = {};
    change.cbSize = sizeof change;
    change.fMask = MIIM_SUBMENU;
    change.hSubMenu = other;
    ASSERT_TRUE(SetMenuItemInfoA(menu, 0, TRUE, &change));
    info.dwTypeData = nullptr;
    ASSERT_TRUE(GetMenuItemInfoA(menu, 0, TRUE, &info));
    EXPECT_EQ(info.hSubMenu, other);
    EXPECT_EQ(info.cch, 4u) << "no buffer: the name's length";

    EXPECT_TRUE(DestroyMenu(menu));
    EXPECT_EQ(GetMenuItemCount(sub), -1) << "sub-menus go with their menu";
    EXPECT_EQ(GetMenuItemCount(other), -1);
    EXPECT_FALSE(DestroyMenu(menu));
}

TEST_F(WindowExtrasTest, UnionsOfRectanglesKeepTheirShapeAndKind) {
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    std::vector<RECT> rects;
    ASSERT_TRUE(ptest::GetRegionRects(region, &rects));
    EXPECT_TRUE(rects.empty());
    HRGN a = CreateRectRgn(0, 0, 4, 2);
    EXPECT_EQ(CombineRgn(region, region, a, RGN_OR), SIMPLEREGION);
    HRGN b = CreateRectRgn(4, 0, 6, 2);
    EXPECT_EQ(CombineRgn(region, region, b, RGN_OR), SIMPLEREGION) << "touching spans merge";
    HRGN c = CreateRectRgn(2, 1, 8, 3);
    EXPECT_EQ(CombineRgn(region, c, region, RGN_OR), COMPLEXREGION);
    ASSERT_TRUE(ptest::GetRegionRects(region, &rects));
    const std::vector<std::vector<LONG>> expected = {{0, 0, 6, 1}, {0, 1, 8, 2}, {2, 2, 8, 3}};
    ASSERT_EQ(rects.size(), expected.size());
    for (size_t i = 0; i < rects.size(); i++)
        EXPECT_EQ((std::vector<LONG>{rects[i].left, rects[i].top, rects[i].right, rects[i].bottom}), expected[i])
            << "rectangle " << i;
    EXPECT_EQ(CombineRgn(region, a, b, RGN_AND), ERROR);
    for (HRGN r : {a, b, c}) EXPECT_TRUE(DeleteObject(r));
    EXPECT_EQ(CombineRgn(region, region, a, RGN_OR), ERROR) << "a deleted source";

    // The window keeps a copy: the caller's region may go.
    EXPECT_EQ(SetWindowRgn(window, region, TRUE), 1);
    EXPECT_TRUE(DeleteObject(region));
    ASSERT_TRUE(ptest::GetWindowRegionRects(window, &rects));
    EXPECT_EQ(rects.size(), 3u);
    EXPECT_EQ(SetWindowRgn(window, nullptr, TRUE), 1);
    EXPECT_FALSE(ptest::GetWindowRegionRects(window, &rects));
}

TEST_F(WindowExtrasTest, TheMousePositionIsTheTestsOnTheHeadlessDesktop) {
    POINT point = {-1, -1};
    ASSERT_TRUE(GetCursorPos(&point));
    EXPECT_EQ(point.x, 0);
    ptest::SetMousePosition(700, 35);
    ASSERT_TRUE(GetCursorPos(&point));
    EXPECT_EQ(point.x, 700);
    EXPECT_EQ(point.y, 35);
}

}  // namespace

}  // namespace window_extras_test
