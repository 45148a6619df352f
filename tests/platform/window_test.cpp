// Windows, message queues, machine events and the message box, on the headless backend.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "TempDir.h"
#include "com/factory.h"
#include "platform/gdi.h"
#include "platform/testing.h"
#include "platform/win32.h"

namespace window_test {

namespace {

// ---- a window procedure that records what it is given ---------------------------------------

struct Seen {
    DWORD thread;
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

std::mutex g_seenLock;
std::vector<Seen> g_seen;
// A test's own handling of a message; return true when it answered (in *result).
std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT*)> g_hook;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    {
        std::lock_guard<std::mutex> hold(g_seenLock);
        g_seen.push_back({GetCurrentThreadId(), window, message, wParam, lParam});
    }
    LRESULT result = 0;
    if (g_hook && g_hook(window, message, wParam, lParam, &result)) return result;
    return DefWindowProcA(window, message, wParam, lParam);
}

std::vector<Seen> TakeSeen() {
    std::lock_guard<std::mutex> hold(g_seenLock);
    std::vector<Seen> seen;
    seen.swap(g_seen);
    return seen;
}

// The messages seen, without the ones a test does not look at.
std::vector<UINT> Messages(const std::vector<Seen>& seen, std::vector<UINT> ignored = {WM_SETCURSOR, WM_PAINT}) {
    std::vector<UINT> out;
    for (const Seen& s : seen)
        if (std::find(ignored.begin(), ignored.end(), s.message) == ignored.end()) out.push_back(s.message);
    return out;
}

// Takes, translates and dispatches everything the calling thread has; the count.
int PumpAll() {
    MSG msg;
    int count = 0;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        ++count;
    }
    return count;
}

constexpr char kClass[] = "QzTestWindow";

ATOM RegisterTestClass(const char* name = kClass) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = name;
    return RegisterClassExA(&wc);
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ptest::SetWindowLockFolder(dir_.path());
        ASSERT_NE(RegisterTestClass(), 0);
    }
    void TearDown() override { g_hook = nullptr; }

    static HWND Make(DWORD style = WS_POPUP | WS_VISIBLE, DWORD exStyle = 0, RECT r = {100, 50, 740, 530}) {
        HWND window = CreateWindowExA(exStyle, kClass, "test", style, r.left, r.top, r.right - r.left,
                                      r.bottom - r.top, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        PumpAll();
        TakeSeen();
        return window;
    }

    qztest::TempDir dir_;
};

// ---- classes and windows ------------------------------------------------------------------------

TEST_F(WindowTest, ClassesRefuseWrongSizesDuplicatesAndInjectedFaults) {
    WNDCLASSEXA wc = {};
    wc.cbSize = 48;  // the 32-bit size
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = "Other";
    EXPECT_EQ(RegisterClassExA(&wc), 0);
    EXPECT_EQ(RegisterTestClass(), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
    EXPECT_EQ(RegisterTestClass("qztestWINDOW"), 0) << "class names ignore ASCII case";
    ptest::FailCall("RegisterClassExA");
    EXPECT_EQ(RegisterTestClass("Other"), 0);
    EXPECT_NE(RegisterTestClass("Other"), 0);
    EXPECT_TRUE(UnregisterClassA("Other", nullptr));
    EXPECT_NE(RegisterTestClass("Other"), 0);
    EXPECT_EQ(sizeof(WNDCLASSEXA), 80u);
}

TEST_F(WindowTest, CreationSendsCreateAndDestructionDropsTheWindowsMessages) {
    ptest::FailCall("CreateWindowExA");
    EXPECT_EQ(Make(), nullptr);

    std::vector<Seen> created;
    g_hook = [&](HWND, UINT message, WPARAM, LPARAM lParam, LRESULT*) {
        if (message == WM_CREATE) {
            auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
            EXPECT_EQ(cs->cx, 640);
            EXPECT_STREQ(cs->lpszClass, kClass);
        }
        return false;
    };
    HWND window = CreateWindowExA(0, kClass, "t", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(Messages(TakeSeen()), std::vector<UINT>{WM_CREATE});

    PostMessageA(window, WM_USER, 1, 2);
    PostMessageA(nullptr, WM_USER + 1, 0, 0);  // a thread message survives the window
    std::thread other([&] { EXPECT_FALSE(DestroyWindow(window)) << "only the owner thread destroys"; });
    other.join();
    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_EQ(Messages(TakeSeen()), std::vector<UINT>{WM_DESTROY});
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(PostMessageA(window, WM_USER, 0, 0));
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));

    HWND next = Make();
    EXPECT_NE(next, window) << "handles are not reused at once";
}

struct FrameCase {
    const char* name;
    DWORD style;
    DWORD exStyle;
    bool bordered;
    bool resizable;
};

const FrameCase kFrameCases[] = {
    {"popup", 0x80000000u, 0x8, false, false},
    {"caption, client edge", 0x80CA0000u, 0x300, true, false},
    {"caption, sizing frame", 0x80CA0000u | WS_THICKFRAME | WS_MAXIMIZEBOX, 0x300, true, true},
    {"tool window", 0x80CA0000u, 0x80, true, false},
    {"system menu only", 0x80080000u, 0x0, false, false},
    {"thin border", static_cast<DWORD>(WS_POPUP | WS_BORDER), 0x0, false, false},
    {"caption, window edge", 0x80C80000u, 0x100, true, false},
};

TEST_F(WindowTest, AWindowMadeFromAdjustWindowRectExHasTheClientSizeAskedFor) {
    for (const FrameCase& c : kFrameCases) {
        SCOPED_TRACE(c.name);
        RECT rect = {0, 0, 640, 480};
        ASSERT_TRUE(AdjustWindowRectEx(&rect, c.style, FALSE, c.exStyle));
        int x = 200, y = 100;
        HWND window = CreateWindowExA(c.exStyle, kClass, "t", c.style | WS_VISIBLE, x, y, rect.right - rect.left,
                                      rect.bottom - rect.top, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        RECT client, outer;
        GetClientRect(window, &client);
        GetWindowRect(window, &outer);
        EXPECT_EQ(client.right, 640);
        EXPECT_EQ(client.bottom, 480);
        EXPECT_EQ(outer.left, x);
        POINT origin = {0, 0};
        ClientToScreen(window, &origin);
        EXPECT_EQ(origin.x, x - rect.left);
        EXPECT_EQ(origin.y, y - rect.top);

        ptest::WindowView view = ptest::GetWindowView(window);
        EXPECT_TRUE(view.exists);
        EXPECT_EQ(view.x, origin.x);
        EXPECT_EQ(view.y, origin.y);
        EXPECT_EQ(view.width, 640);
        EXPECT_EQ(view.height, 480);
        EXPECT_TRUE(view.shown);
        EXPECT_EQ(view.bordered, c.bordered);
        EXPECT_EQ(view.resizable, c.resizable);
        EXPECT_EQ(view.onTop, (c.exStyle & WS_EX_TOPMOST) != 0);
        DestroyWindow(window);
    }
}

TEST_F(WindowTest, StyleBitsReadBackExactlyAndReachTheMachine) {
    HWND window = Make(WS_POPUP | WS_VISIBLE, 0);
    RECT before;
    GetWindowRect(window, &before);
    const LONG style = static_cast<LONG>(0x80CA0000u | WS_THICKFRAME | WS_MAXIMIZEBOX | WS_VISIBLE);
    SetWindowLongA(window, GWL_STYLE, style);
    SetWindowLongA(window, GWL_EXSTYLE, 0x320);
    EXPECT_EQ(GetWindowLongA(window, GWL_STYLE), style);
    EXPECT_EQ(GetWindowLongA(window, GWL_EXSTYLE), 0x320);
    RECT after;
    GetWindowRect(window, &after);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.right, before.right);
    ptest::WindowView view = ptest::GetWindowView(window);
    EXPECT_TRUE(view.bordered);
    EXPECT_TRUE(view.resizable);

    // Placement: top-most, and moves that announce only what changed.
    EXPECT_TRUE(SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOREDRAW));
    EXPECT_TRUE(ptest::GetWindowView(window).onTop);
    GetWindowRect(window, &after);
    EXPECT_EQ(after.right - after.left, before.right - before.left);
    EXPECT_EQ(Messages(TakeSeen()), std::vector<UINT>{});
    MoveWindow(window, 10, 20, before.right - before.left, before.bottom - before.top, TRUE);
    EXPECT_EQ(Messages(TakeSeen()), std::vector<UINT>{WM_MOVE});
    MoveWindow(window, 10, 20, 300, 200, TRUE);
    std::vector<Seen> seen = TakeSeen();
    ASSERT_EQ(Messages(seen), std::vector<UINT>{WM_SIZE});
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(seen[0].lParam, MAKELPARAM(client.right, client.bottom));

    // 64-bit: the procedure goes through the pointer-sized calls.
    EXPECT_EQ(GetWindowLongPtrA(window, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&RecordingProc));
}

TEST_F(WindowTest, TitlesReachTheMachineInUtf8) {
    HWND window = Make();
    SetWindowTextA(window, "ZARNOVIK");
    EXPECT_EQ(ptest::GetWindowView(window).title, "ZARNOVIK");
    SetWindowTextA(window, "\x83\x51\x81\x5B\x83\x80");  // ゲーム in CP932
    EXPECT_EQ(ptest::GetWindowView(window).title, reinterpret_cast<const char*>(u8"ゲーム"));
}

// ---- queues -----------------------------------------------------------------------------------

TEST_F(WindowTest, APostFromAnotherThreadReachesOnlyTheOwnersQueue) {
    HWND window = Make();
    std::atomic<bool> otherSawIt{true};
    std::thread other([&] {
        PostMessageA(window, WM_USER + 7, 1, 2);
        MSG msg;
        otherSawIt = PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) || PeekMessageA(&msg, window, 0, 0, PM_REMOVE);
    });
    other.join();
    EXPECT_FALSE(otherSawIt);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, window, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 7));
    EXPECT_EQ(msg.hwnd, window);
}

TEST_F(WindowTest, QuitComesBehindEarlierPostsAndThreadMessagesCanBeTakenFirst) {
    HWND window = Make();
    PostMessageA(window, WM_USER + 1, 0, 0);
    PostMessageA(window, WM_USER + 2, 0, 0);
    PostQuitMessage(5);
    PostMessageA(window, WM_USER + 3, 0, 0);

    MSG msg;
    const HWND threadOnly = reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1));
    ASSERT_TRUE(PeekMessageA(&msg, threadOnly, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 5u);

    std::vector<UINT> order;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) order.push_back(msg.message);
    EXPECT_EQ(order, (std::vector<UINT>{WM_USER + 1, WM_USER + 2, WM_QUIT, WM_USER + 3}));
}

TEST_F(WindowTest, SendMessageAcrossThreadsRunsAtTheOwnersPeek) {
    HWND window = Make();
    g_hook = [](HWND, UINT message, WPARAM wParam, LPARAM, LRESULT* result) {
        if (message != WM_USER + 9) return false;
        *result = static_cast<LRESULT>(wParam * 2);
        return true;
    };
    std::atomic<LRESULT> answer{0};
    std::atomic<bool> done{false};
    std::thread sender([&] {
        answer = SendMessageA(window, WM_USER + 9, 21, 0);
        done = true;
    });
    MSG msg;
    while (!done) PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    sender.join();
    EXPECT_EQ(answer.load(), 42);
    std::vector<Seen> seen = TakeSeen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].thread, GetCurrentThreadId()) << "the procedure runs on the owner's thread";
}

TEST_F(WindowTest, PaintComesOnlyWhenNothingElseIsQueuedAndUntilValidated) {
    HWND window = CreateWindowExA(0, kClass, "t", WS_POPUP, 0, 0, 64, 48, nullptr, nullptr, nullptr, nullptr);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "a hidden window is not painted";
    ShowWindow(window, SW_SHOW);
    PostMessageA(window, WM_USER, 0, 0);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "WM_PAINT stays until validated";
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
    DispatchMessageA(&msg);  // the default procedure validates
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));

    MoveWindow(window, 0, 0, 80, 60, TRUE);
    TakeSeen();
    UpdateWindow(window);
    EXPECT_EQ(Messages(TakeSeen(), {}), std::vector<UINT>{WM_PAINT});
}

// ---- machine events -------------------------------------------------------------------------------

struct KeyCase {
    const char* name;
    int usage;
    bool alt;
    std::vector<std::pair<UINT, WPARAM>> expected;  // message, wParam of the key going down
};

TEST_F(WindowTest, KeysBecomeKeyMessagesWithTheirCharacters) {
    const KeyCase cases[] = {
        {"Enter", ptest::key::Enter, false, {{WM_KEYDOWN, VK_RETURN}, {WM_CHAR, 13}}},
        {"Esc", ptest::key::Escape, false, {{WM_KEYDOWN, VK_ESCAPE}, {WM_CHAR, 27}}},
        {"Backspace", ptest::key::Backspace, false, {{WM_KEYDOWN, VK_BACK}, {WM_CHAR, 8}}},
        {"Tab", ptest::key::Tab, false, {{WM_KEYDOWN, VK_TAB}, {WM_CHAR, 9}}},
        {"Alt+Enter", ptest::key::Enter, true, {{WM_SYSKEYDOWN, VK_RETURN}, {WM_SYSCHAR, 13}}},
        {"Delete", ptest::key::Delete, false, {{WM_KEYDOWN, VK_DELETE}}},
        {"Left", ptest::key::Left, false, {{WM_KEYDOWN, VK_LEFT}}},
        {"A", ptest::key::A, false, {{WM_KEYDOWN, 'A'}}},
        {"0", ptest::key::Digit0, false, {{WM_KEYDOWN, '0'}}},
        {"F12", ptest::key::F12, false, {{WM_KEYDOWN, VK_F12}}},
        {"keypad 5", 93, false, {{WM_KEYDOWN, VK_NUMPAD5}}},
        {"JIS :", 52, false, {{WM_KEYDOWN, 0xBA}}},
        {"JIS ;", 51, false, {{WM_KEYDOWN, 0xBB}}},
        {"JIS @", 47, false, {{WM_KEYDOWN, 0xC0}}},
        {"JIS [", 48, false, {{WM_KEYDOWN, 0xDB}}},
        {"JIS yen", 137, false, {{WM_KEYDOWN, 0xDC}}},
        {"JIS ]", 49, false, {{WM_KEYDOWN, 0xDD}}},
        {"JIS ro", 135, false, {{WM_KEYDOWN, 0xE2}}},
    };
    HWND window = Make();
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.name);
        ptest::InjectKey(window, c.usage, true, c.alt);
        ptest::InjectKey(window, c.usage, false, c.alt);
        PumpAll();
        std::vector<Seen> seen = TakeSeen();
        std::vector<std::pair<UINT, WPARAM>> got;
        for (const Seen& s : seen)
            if (s.message != WM_KEYUP && s.message != WM_SYSKEYUP) got.push_back({s.message, s.wParam});
        EXPECT_EQ(got, c.expected);
        ASSERT_FALSE(seen.empty());
        EXPECT_EQ(seen.back().message, static_cast<UINT>(c.alt ? WM_SYSKEYUP : WM_KEYUP));
    }
}

TEST_F(WindowTest, TextBecomesOneCharacterMessagePerCp932Byte) {
    HWND window = Make();
    ptest::InjectText(window, reinterpret_cast<const char*>(u8"Aア"));
    PumpAll();
    std::vector<WPARAM> bytes;
    for (const Seen& s : TakeSeen())
        if (s.message == WM_CHAR) bytes.push_back(s.wParam);
    EXPECT_EQ(bytes, (std::vector<WPARAM>{0x41, 0x83, 0x41}));
}

TEST_F(WindowTest, FocusFromAnotherThreadWakesAThreadThatKeepsPeeking) {
    HWND window = CreateWindowExA(0, kClass, "t", WS_POPUP, 0, 0, 64, 48, nullptr, nullptr, nullptr, nullptr);
    TakeSeen();
    ShowWindow(window, SW_SHOW);
    EXPECT_EQ(Messages(TakeSeen()), (std::vector<UINT>{WM_ACTIVATEAPP, WM_ACTIVATE})) << "the first show activates";
    EXPECT_EQ(GetForegroundWindow(), window);

    ptest::InjectFocus(window, false);
    PumpAll();
    std::vector<Seen> seen = TakeSeen();
    ASSERT_EQ(Messages(seen), (std::vector<UINT>{WM_ACTIVATE, WM_ACTIVATEAPP}));
    EXPECT_EQ(LOWORD(seen[0].wParam), WA_INACTIVE);
    EXPECT_EQ(seen[1].wParam, static_cast<WPARAM>(FALSE));
    EXPECT_EQ(GetForegroundWindow(), nullptr);

    std::thread other([&] { ptest::InjectFocus(window, true); });
    MSG msg;
    while (GetForegroundWindow() != window) PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    other.join();
    seen = TakeSeen();
    ASSERT_EQ(Messages(seen), (std::vector<UINT>{WM_ACTIVATEAPP, WM_ACTIVATE}));
    EXPECT_EQ(seen[0].wParam, static_cast<WPARAM>(TRUE));
    EXPECT_EQ(LOWORD(seen[1].wParam), WA_ACTIVE);
    EXPECT_EQ(seen[0].thread, GetCurrentThreadId());
}

TEST_F(WindowTest, MouseSendsSetCursorThenPostsInClientCoordinates) {
    HWND window = Make(WS_POPUP | WS_CAPTION | WS_VISIBLE);
    ptest::InjectMouseMove(window, 10, 20);
    ptest::InjectMouseButton(window, 1, true, 11, 21);
    ptest::InjectWheel(window, -1);
    PumpAll();
    std::vector<Seen> seen = TakeSeen();
    ASSERT_EQ(Messages(seen, {WM_PAINT}),
              (std::vector<UINT>{WM_SETCURSOR, WM_SETCURSOR, WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_MOUSEWHEEL}))
        << "WM_SETCURSOR is sent during the peek, the mouse messages are posted";
    EXPECT_EQ(seen[2].lParam, MAKELPARAM(10, 20));
    EXPECT_EQ(seen[3].wParam, static_cast<WPARAM>(MK_LBUTTON));
    EXPECT_EQ(seen[3].lParam, MAKELPARAM(11, 21));
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(seen[4].wParam), -120);
}

TEST_F(WindowTest, AUserResizeAppliesTheSizingAnswer) {
    const DWORD style = 0x80CA0000u | WS_THICKFRAME | WS_VISIBLE;
    HWND window = Make(style, 0);
    RECT proposed = {};
    g_hook = [&](HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
        if (message != WM_SIZING) return false;
        EXPECT_EQ(wParam, static_cast<WPARAM>(WMSZ_BOTTOMRIGHT));
        auto* rect = reinterpret_cast<RECT*>(lParam);
        proposed = *rect;
        rect->bottom = rect->top + 300;  // the answer wins
        *result = TRUE;
        return true;
    };
    ptest::InjectResize(window, 800, 600);
    PumpAll();
    RECT frame = {0, 0, 0, 0};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    EXPECT_EQ(proposed.right - proposed.left, 800 + frame.right - frame.left);
    EXPECT_EQ(proposed.bottom - proposed.top, 600 + frame.bottom - frame.top);
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 800);
    EXPECT_EQ(client.bottom, 300 - (frame.bottom - frame.top));
    std::vector<Seen> seen = TakeSeen();
    ASSERT_EQ(Messages(seen), (std::vector<UINT>{WM_SIZING, WM_SIZE}));
    EXPECT_EQ(seen[1].lParam, MAKELPARAM(client.right, client.bottom));
    EXPECT_EQ(ptest::GetWindowView(window).height, client.bottom);

    g_hook = nullptr;
    ptest::InjectMaximize(window);
    ptest::InjectMinimize(window);
    PumpAll();
    seen = TakeSeen();
    ASSERT_EQ(Messages(seen), (std::vector<UINT>{WM_SIZE, WM_SIZE}));
    EXPECT_EQ(seen[0].wParam, static_cast<WPARAM>(SIZE_MAXIMIZED));
    EXPECT_EQ(seen[1].wParam, static_cast<WPARAM>(SIZE_MINIMIZED));
}

TEST_F(WindowTest, DropsReachOnlyWindowsThatAcceptFiles) {
    HWND plain = Make();
    HWND accepting = Make(WS_POPUP | WS_VISIBLE, WS_EX_ACCEPTFILES);
    // The emoji has no CP932 form: that name is left out.
    const std::vector<std::string> names = {"/tmp/a.txt", reinterpret_cast<const char*>(u8"/tmp/😀.txt"),
                                            reinterpret_cast<const char*>(u8"/tmp/データ.txt")};
    ptest::InjectDropFiles(plain, names);
    ptest::InjectDropFiles(accepting, names);
    HDROP drop = nullptr;
    g_hook = [&](HWND window, UINT message, WPARAM wParam, LPARAM, LRESULT*) {
        if (message == WM_DROPFILES) {
            EXPECT_EQ(window, accepting);
            drop = reinterpret_cast<HDROP>(wParam);
        }
        return message == WM_DROPFILES;
    };
    PumpAll();
    ASSERT_NE(drop, nullptr);
    const std::string japanese = "C:\\tmp\\\x83\x66\x81\x5B\x83\x5E.txt";  // drive form, CP932
    EXPECT_EQ(DragQueryFileA(drop, 0xFFFFFFFFu, nullptr, 0), 2u);
    EXPECT_EQ(DragQueryFileA(drop, 1, nullptr, 0), japanese.size());
    char buffer[64];
    EXPECT_EQ(DragQueryFileA(drop, 1, buffer, sizeof buffer), japanese.size());
    EXPECT_EQ(std::string(buffer), japanese);
    EXPECT_EQ(DragQueryFileA(drop, 0, buffer, 5), 4u) << "cut to the buffer";
    EXPECT_STREQ(buffer, "C:\\t");
    DragFinish(drop);
    EXPECT_EQ(DragQueryFileA(drop, 0xFFFFFFFFu, nullptr, 0), 0u) << "a finished drop names nothing";
}

TEST_F(WindowTest, CloseAndDisplayChangeEvents) {
    HWND first = Make();
    HWND second = Make();
    ptest::InjectDisplayChange(1024, 768, 16);
    PumpAll();
    std::vector<Seen> seen = TakeSeen();
    ASSERT_EQ(Messages(seen), (std::vector<UINT>{WM_DISPLAYCHANGE, WM_DISPLAYCHANGE}));
    EXPECT_EQ(seen[0].wParam, 16u);
    EXPECT_EQ(seen[0].lParam, MAKELPARAM(1024, 768));
    EXPECT_NE(seen[0].window, seen[1].window);

    // The default procedure turns the close request into WM_CLOSE and the end.
    ptest::InjectClose(first);
    PumpAll();
    seen = TakeSeen();
    ASSERT_EQ(Messages(seen), (std::vector<UINT>{WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY}));
    EXPECT_EQ(seen[0].wParam, static_cast<WPARAM>(SC_CLOSE));
    EXPECT_FALSE(IsWindow(first));
    EXPECT_TRUE(IsWindow(second));
}

// ---- desktop, cursor, settings ---------------------------------------------------------------------

TEST_F(WindowTest, DesktopCursorAndSettings) {
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 1080);
    ptest::SetDesktopSize(800, 600);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);

    HWND window = Make();
    HDC dc = GetDC(window);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES), 32);
    EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 800);
    EXPECT_EQ(ReleaseDC(window, dc), 1);
    EXPECT_EQ(ReleaseDC(window, dc), 0);

    EXPECT_TRUE(ptest::IsCursorShown());
    EXPECT_EQ(ShowCursor(FALSE), -1);
    EXPECT_FALSE(ptest::IsCursorShown());
    EXPECT_EQ(ShowCursor(TRUE), 0);
    EXPECT_TRUE(ptest::IsCursorShown());
    SetCursor(nullptr);
    EXPECT_FALSE(ptest::IsCursorShown());

    DWORD timeout = 0;
    SystemParametersInfoA(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &timeout, 0);
    SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, reinterpret_cast<LPVOID>(uintptr_t{0}), 0);
    DWORD zero = 1;
    SystemParametersInfoA(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &zero, 0);
    EXPECT_EQ(zero, 0u);
    EXPECT_NE(timeout, 0u);
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, FALSE, nullptr, SPIF_SENDWININICHANGE);
    EXPECT_FALSE(ptest::IsScreenSaverEnabled());

    EXPECT_TRUE(WINNLSEnableIME(window, FALSE));
    EXPECT_FALSE(ptest::IsImeEnabled(window));
    ptest::InjectText(window, "x");  // text keeps coming with the IME off
    PumpAll();
    EXPECT_EQ(Messages(TakeSeen()), std::vector<UINT>{WM_CHAR});

    EXPECT_EQ(LoadLibraryA("Tapwire.dll"), nullptr);
    EXPECT_NE(GetStockObject(BLACK_BRUSH), nullptr);
    EXPECT_NE(GetStockObject(NULL_BRUSH), GetStockObject(BLACK_BRUSH));
}

// ---- the message box ----------------------------------------------------------------------------------

TEST(MessageBox, AnswersFromTheControlOrWithTheDefaultButton) {
    struct Case {
        UINT type;
        ptest::MessageBoxAnswer answer;
        int expected;
    };
    const Case cases[] = {
        {MB_YESNO, ptest::MessageBoxAnswer::Yes, IDYES},
        {MB_YESNO | MB_DEFBUTTON2, ptest::MessageBoxAnswer::Yes, IDYES},
        {MB_YESNO, ptest::MessageBoxAnswer::No, IDNO},
        {MB_OKCANCEL, ptest::MessageBoxAnswer::Yes, IDOK},
        {MB_OKCANCEL, ptest::MessageBoxAnswer::No, IDCANCEL},
        {MB_OK, ptest::MessageBoxAnswer::No, IDOK},
        {MB_YESNO | MB_ICONQUESTION, ptest::MessageBoxAnswer::Show, IDYES},
        {MB_YESNO | MB_DEFBUTTON2, ptest::MessageBoxAnswer::Show, IDNO},
        {MB_OKCANCEL | MB_DEFBUTTON2, ptest::MessageBoxAnswer::Show, IDCANCEL},
        {3 /* yes, no, cancel */, ptest::MessageBoxAnswer::Show, 0},
    };
    for (const Case& c : cases) {
        ptest::SetMessageBoxAnswer(c.answer);
        EXPECT_EQ(MessageBoxA(nullptr, "FULL SCREEN GO", "?", c.type), c.expected)
            << "type 0x" << std::hex << c.type << " answer " << static_cast<int>(c.answer);
    }
}

// A box that cannot be shown answers 0, and standard error tells what was asked, what it
// answered and how to answer without a box.
TEST(MessageBox, ABoxThatCannotBeShownAnswersZeroAndSaysSo) {
    ptest::SetMessageBoxAnswer(ptest::MessageBoxAnswer::Show);
    ptest::FailCall("MessageBox");
    testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxA(nullptr, "FULL SCREEN GO", "?", MB_YESNO | MB_ICONQUESTION), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "window: the message box \"?\" (\"FULL SCREEN GO\") could not be shown, so it answered 0, none of its "
              "buttons (Yes, No); QZ_MSGBOX=yes or QZ_MSGBOX=no answers it without a box\n");
    EXPECT_EQ(MessageBoxA(nullptr, "FULL SCREEN GO", "?", MB_YESNO), IDYES);  // the fault was for one call
}

// ---- a second instance --------------------------------------------------------------------------------

TEST_F(WindowTest, AnotherProcessesWindowIsFoundUntilThatProcessEnds) {
    EXPECT_EQ(FindWindowA("QzShared", nullptr), nullptr);
    int ready[2], release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        RegisterTestClass("QzShared");
        HWND window = CreateWindowExA(0, "QzShared", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        char byte = window ? 'y' : 'n';
        if (write(ready[1], &byte, 1) != 1) _exit(2);
        if (read(release[0], &byte, 1) != 1) _exit(3);
        _exit(0);  // the lock goes with the process, window and all
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    ASSERT_EQ(byte, 'y');
    HWND foreign = FindWindowA("qzshared", nullptr);
    EXPECT_NE(foreign, nullptr);
    EXPECT_FALSE(IsWindow(foreign)) << "a foreign window's handle only identifies it";

    ASSERT_EQ(write(release[1], "x", 1), 1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(FindWindowA("QzShared", nullptr), nullptr);

    // This process's own window is answered with its real handle.
    RegisterTestClass("QzShared");
    HWND own = CreateWindowExA(0, "QzShared", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(FindWindowA("QzShared", nullptr), own);
    for (int fd : {ready[0], ready[1], release[0], release[1]}) close(fd);
}

// ---- COM ----------------------------------------------------------------------------------------------

struct Counted final : IUnknown {
    ULONG references = 1;
    HRESULT QueryInterface(REFIID iid, void** object) override {
        if (iid != IID_IUnknown) return E_NOINTERFACE;
        AddRef();
        *object = this;
        return S_OK;
    }
    ULONG AddRef() override { return ++references; }
    ULONG Release() override {
        ULONG left = --references;
        if (left == 0) delete this;
        return left;
    }
};

HRESULT CreateCounted(REFIID iid, void** object) {
    auto* made = new Counted;
    HRESULT result = made->QueryInterface(iid, object);
    made->Release();
    return result;
}

TEST(Com, InitialisationCountsPerThreadAndMakesRegisteredClasses) {
    const CLSID kTestClass = {0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
    void* object = nullptr;
    EXPECT_EQ(CoCreateInstance(kTestClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object), CO_E_NOTINITIALIZED);
    ptest::FailCall("CoInitialize");
    EXPECT_TRUE(FAILED(CoInitialize(nullptr)));
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    EXPECT_EQ(CoCreateInstance(kTestClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object), REGDB_E_CLASSNOTREG);
    com::RegisterClass(kTestClass, CreateCounted);
    ASSERT_EQ(CoCreateInstance(kTestClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object), S_OK);
    EXPECT_EQ(static_cast<IUnknown*>(object)->Release(), 0u);

    std::thread other([&] { EXPECT_EQ(CoInitialize(nullptr), S_OK) << "each thread has its own count"; });
    other.join();
    CoUninitialize();
    CoUninitialize();
    EXPECT_EQ(CoCreateInstance(kTestClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object), CO_E_NOTINITIALIZED);
}

}  // namespace

}  // namespace window_test
