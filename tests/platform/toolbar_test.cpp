// The toolbar control: a child strip of its parent, kept as a model that the TB_ messages
// change and the tests read back, on the headless backend.
#include "input_support.h"
#include "platform/commctrl.h"

namespace toolbar_test {

namespace {

using inputtest::InputTest;
using inputtest::Seen;
using ToolbarControlTest = InputTest;

HWND MakeToolbar(HWND parent) {
    InitCommonControls();
    return CreateWindowExA(0, TOOLBARCLASSNAMEA, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, parent, nullptr, nullptr,
                           nullptr);
}

TBBUTTON Button(int id, bool separator = false, bool enabled = true) {
    TBBUTTON b = {};
    b.idCommand = id;
    b.fsState = enabled ? TBSTATE_ENABLED : 0;
    b.fsStyle = separator ? TBSTYLE_SEP : TBSTYLE_BUTTON;
    return b;
}

TEST_F(ToolbarControlTest, AStripAlongTheTopThatFollowsItsBitmapSize) {
    HWND toolbar = MakeToolbar(window);
    ASSERT_NE(toolbar, nullptr);
    EXPECT_EQ(GetForegroundWindow(), window) << "a child never takes the front";
    RECT strip = {}, client = {};
    GetWindowRect(toolbar, &strip);
    GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    EXPECT_EQ(strip.left, origin.x);
    EXPECT_EQ(strip.top, origin.y);
    EXPECT_EQ(strip.right - strip.left, client.right);
    EXPECT_EQ(strip.bottom - strip.top, 15 + 7 + 4) << "16 x 15 bitmaps until told otherwise";

    EXPECT_EQ(SendMessageA(toolbar, TB_SETBITMAPSIZE, 0, MAKELONG(24, 20)), TRUE);
    GetWindowRect(toolbar, &strip);
    EXPECT_EQ(strip.bottom - strip.top, 20 + 7 + 4);

    InitCommonControls();  // a second call is harmless
    EXPECT_EQ(CreateWindowExA(0, TOOLBARCLASSNAMEA, nullptr, WS_CHILD, 0, 0, 0, 0, reinterpret_cast<HWND>(0x77),
                              nullptr, nullptr, nullptr),
              nullptr)
        << "a child needs a live parent";
}

TEST_F(ToolbarControlTest, BitmapsAndButtonsAreKeptInOrder) {
    HWND toolbar = MakeToolbar(window);
    ASSERT_NE(toolbar, nullptr);
    HBITMAP a = reinterpret_cast<HBITMAP>(0x1000), b = reinterpret_cast<HBITMAP>(0x2000);
    TBADDBITMAP add = {nullptr, reinterpret_cast<UINT_PTR>(a)};
    EXPECT_EQ(SendMessageA(toolbar, TB_ADDBITMAP, 4, reinterpret_cast<LPARAM>(&add)), 0);
    add.nID = reinterpret_cast<UINT_PTR>(b);
    EXPECT_EQ(SendMessageA(toolbar, TB_ADDBITMAP, 2, reinterpret_cast<LPARAM>(&add)), 4) << "after a's 4 images";
    TBREPLACEBITMAP replace = {nullptr, 0x9999, nullptr, 0x3000, 5};
    EXPECT_EQ(SendMessageA(toolbar, TB_REPLACEBITMAP, 0, reinterpret_cast<LPARAM>(&replace)), FALSE);
    replace.nIDOld = reinterpret_cast<UINT_PTR>(a);
    EXPECT_EQ(SendMessageA(toolbar, TB_REPLACEBITMAP, 0, reinterpret_cast<LPARAM>(&replace)), TRUE);

    const TBBUTTON two[] = {Button(0x501), Button(0x502, false, false)};
    const TBBUTTON separator = Button(0, true);
    EXPECT_EQ(SendMessageA(toolbar, TB_ADDBUTTONSA, 2, reinterpret_cast<LPARAM>(two)), TRUE);
    EXPECT_EQ(SendMessageA(toolbar, TB_INSERTBUTTONA, 0, reinterpret_cast<LPARAM>(&separator)), TRUE);
    EXPECT_EQ(SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0), 3);
    TBBUTTON got = {};
    ASSERT_EQ(SendMessageA(toolbar, TB_GETBUTTON, 1, reinterpret_cast<LPARAM>(&got)), TRUE);
    EXPECT_EQ(got.idCommand, 0x501);
    EXPECT_EQ(SendMessageA(toolbar, TB_GETBUTTON, 3, reinterpret_cast<LPARAM>(&got)), FALSE);
    EXPECT_EQ(SendMessageA(toolbar, TB_DELETEBUTTON, 3, 0), FALSE);

    ptest::ToolbarModel model;
    ASSERT_TRUE(ptest::GetToolbarModel(toolbar, &model));
    EXPECT_EQ(model.parent, window);
    ASSERT_EQ(model.bitmaps.size(), 2u);
    EXPECT_EQ(model.bitmaps[0].bitmap, reinterpret_cast<HBITMAP>(0x3000));
    EXPECT_EQ(model.bitmaps[0].images, 5);
    EXPECT_EQ(model.bitmaps[1].bitmap, b);

    // Only an enabled button that is not a separator tells the parent.
    Seen().clear();
    EXPECT_FALSE(ptest::ClickToolbarButton(toolbar, 0));
    EXPECT_FALSE(ptest::ClickToolbarButton(toolbar, 2));
    EXPECT_FALSE(ptest::ClickToolbarButton(toolbar, 3));
    EXPECT_TRUE(ptest::ClickToolbarButton(toolbar, 1));
    const std::vector<inputtest::Message> commands = inputtest::Take({WM_COMMAND});
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(LOWORD(commands[0].wParam), 0x501);
    EXPECT_EQ(commands[0].lParam, reinterpret_cast<LPARAM>(toolbar));

    EXPECT_EQ(SendMessageA(toolbar, TB_DELETEBUTTON, 0, 0), TRUE);
    ASSERT_TRUE(ptest::GetToolbarModel(toolbar, &model));
    ASSERT_EQ(model.buttons.size(), 2u);
    EXPECT_EQ(model.buttons[0].idCommand, 0x501);

    // The toolbar goes with its parent.
    DestroyWindow(window);
    EXPECT_FALSE(IsWindow(toolbar));
    EXPECT_FALSE(ptest::GetToolbarModel(toolbar, &model));
}

}  // namespace

}  // namespace toolbar_test
