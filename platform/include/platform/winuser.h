// winuser.h: windows, messages, the desktop, the cursor, settings, dropped files and
// the message box, as far as the library uses them. Included by win32.h; answered by
// platform/src/window/ over the backend (an SDL window, or the headless model).
//
// Rules a caller may rely on:
// - Each thread has its own message queue; a window's messages go to the thread that
//   created it, and only that thread may destroy it.
// - Frame sizes are fixed per style bit and shared by AdjustWindowRectEx, creation,
//   moves and the rectangle readers, so a window made from AdjustWindowRectEx's
//   rectangle has exactly the client size asked for.
// - Handles are pointer-sized and not reused soon after a window is destroyed.
#pragma once

// ---- types ----------------------------------------------------------------------------
typedef LRESULT(CALLBACK* WNDPROC)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
typedef WORD ATOM;
typedef DWORD COLORREF;
DECLARE_HANDLE(HACCEL);

#define MAKEINTRESOURCEA(id) ((LPSTR)(ULONG_PTR)((WORD)(id)))
#define MAKEWPARAM(low, high) ((WPARAM)(DWORD)MAKELONG(low, high))
#define MAKELPARAM(low, high) ((LPARAM)(DWORD)MAKELONG(low, high))
#define MAKELRESULT(low, high) ((LRESULT)(DWORD)MAKELONG(low, high))
// The wheel delta is the signed high word of wParam.
#define GET_WHEEL_DELTA_WPARAM(wParam) ((short)HIWORD(wParam))
#define WHEEL_DELTA 120

typedef struct tagWNDCLASSEXA {
    UINT cbSize;  // sizeof(WNDCLASSEXA), 80 here
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
    HICON hIconSm;
} WNDCLASSEXA, *LPWNDCLASSEXA;

typedef struct tagCREATESTRUCTA {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCSTR lpszName;
    LPCSTR lpszClass;
    DWORD dwExStyle;
} CREATESTRUCTA, *LPCREATESTRUCTA;

typedef struct tagMSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
} MSG, *LPMSG;

// Errors of the window calls.
#define ERROR_MOD_NOT_FOUND 126L
#define ERROR_PROC_NOT_FOUND 127L
#define ERROR_INVALID_WINDOW_HANDLE 1400L
#define ERROR_INVALID_HOOK_HANDLE 1404L
#define ERROR_CANNOT_FIND_WND_CLASS 1407L
#define ERROR_CLASS_DOES_NOT_EXIST 1411L
#define ERROR_INVALID_INDEX 1413L

// ---- class and window styles ----------------------------------------------------------
#define CS_VREDRAW 0x0001u
#define CS_HREDRAW 0x0002u
#define CS_DBLCLKS 0x0008u
#define CS_OWNDC 0x0020u

#define WS_OVERLAPPED 0x00000000L
#define WS_POPUP ((LONG)0x80000000u)
#define WS_CHILD 0x40000000L
#define WS_MINIMIZE 0x20000000L
#define WS_VISIBLE 0x10000000L
#define WS_DISABLED 0x08000000L
#define WS_MAXIMIZE 0x01000000L
#define WS_CAPTION 0x00C00000L  // WS_BORDER | WS_DLGFRAME
#define WS_BORDER 0x00800000L
#define WS_DLGFRAME 0x00400000L
#define WS_SYSMENU 0x00080000L
#define WS_THICKFRAME 0x00040000L
#define WS_MINIMIZEBOX 0x00020000L
#define WS_MAXIMIZEBOX 0x00010000L
#define WS_OVERLAPPEDWINDOW (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)

#define WS_EX_DLGMODALFRAME 0x00000001L
#define WS_EX_TOPMOST 0x00000008L
#define WS_EX_ACCEPTFILES 0x00000010L
#define WS_EX_TRANSPARENT 0x00000020L
#define WS_EX_TOOLWINDOW 0x00000080L
#define WS_EX_WINDOWEDGE 0x00000100L
#define WS_EX_CLIENTEDGE 0x00000200L
#define WS_EX_APPWINDOW 0x00040000L

#define CW_USEDEFAULT ((int)0x80000000u)

// ---- messages ---------------------------------------------------------------------------
#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_MOVE 0x0003
#define WM_SIZE 0x0005
#define WM_ACTIVATE 0x0006
#define WM_SETFOCUS 0x0007
#define WM_KILLFOCUS 0x0008
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_ERASEBKGND 0x0014
#define WM_SHOWWINDOW 0x0018
#define WM_ACTIVATEAPP 0x001C
#define WM_SETCURSOR 0x0020
#define WM_DISPLAYCHANGE 0x007E
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_SYSKEYDOWN 0x0104
#define WM_SYSKEYUP 0x0105
#define WM_SYSCHAR 0x0106
#define WM_IME_STARTCOMPOSITION 0x010D
#define WM_IME_ENDCOMPOSITION 0x010E
#define WM_IME_COMPOSITION 0x010F
#define WM_COMMAND 0x0111
#define WM_SYSCOMMAND 0x0112
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_RBUTTONDOWN 0x0204
#define WM_RBUTTONUP 0x0205
#define WM_MBUTTONDOWN 0x0207
#define WM_MBUTTONUP 0x0208
#define WM_MOUSEWHEEL 0x020A
#define WM_SIZING 0x0214
#define WM_MOVING 0x0216
#define WM_DROPFILES 0x0233
#define WM_IME_SETCONTEXT 0x0281
#define WM_IME_NOTIFY 0x0282
#define MM_MCINOTIFY 0x03B9
#define WM_USER 0x0400

// WM_ACTIVATE
#define WA_INACTIVE 0
#define WA_ACTIVE 1
#define WA_CLICKACTIVE 2
// WM_SIZE
#define SIZE_RESTORED 0
#define SIZE_MINIMIZED 1
#define SIZE_MAXIMIZED 2
// WM_SIZING: the edge being dragged
#define WMSZ_LEFT 1
#define WMSZ_RIGHT 2
#define WMSZ_TOP 3
#define WMSZ_TOPLEFT 4
#define WMSZ_TOPRIGHT 5
#define WMSZ_BOTTOM 6
#define WMSZ_BOTTOMLEFT 7
#define WMSZ_BOTTOMRIGHT 8
// WM_SYSCOMMAND
#define SC_SIZE 0xF000
#define SC_MOVE 0xF010
#define SC_MINIMIZE 0xF020
#define SC_MAXIMIZE 0xF030
#define SC_CLOSE 0xF060
#define SC_KEYMENU 0xF100
#define SC_RESTORE 0xF120
#define SC_SCREENSAVE 0xF140
#define SC_MONITORPOWER 0xF170
// WM_SETCURSOR hit test
#define HTCLIENT 1
// Mouse-message key state in wParam
#define MK_LBUTTON 0x0001
#define MK_RBUTTON 0x0002
#define MK_SHIFT 0x0004
#define MK_CONTROL 0x0008
#define MK_MBUTTON 0x0010

// ---- virtual keys -------------------------------------------------------------------------
#define VK_LBUTTON 0x01
#define VK_RBUTTON 0x02
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_MENU 0x12
#define VK_PAUSE 0x13
#define VK_CAPITAL 0x14
#define VK_KANA 0x15
#define VK_KANJI 0x19
#define VK_ESCAPE 0x1B
#define VK_CONVERT 0x1C
#define VK_NONCONVERT 0x1D
#define VK_SPACE 0x20
#define VK_PRIOR 0x21
#define VK_NEXT 0x22
#define VK_END 0x23
#define VK_HOME 0x24
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define VK_SNAPSHOT 0x2C
#define VK_INSERT 0x2D
#define VK_DELETE 0x2E
// '0'-'9' are 0x30-0x39 and 'A'-'Z' are 0x41-0x5A.
#define VK_LWIN 0x5B
#define VK_RWIN 0x5C
#define VK_APPS 0x5D
#define VK_NUMPAD0 0x60
#define VK_NUMPAD1 0x61
#define VK_NUMPAD2 0x62
#define VK_NUMPAD3 0x63
#define VK_NUMPAD4 0x64
#define VK_NUMPAD5 0x65
#define VK_NUMPAD6 0x66
#define VK_NUMPAD7 0x67
#define VK_NUMPAD8 0x68
#define VK_NUMPAD9 0x69
#define VK_MULTIPLY 0x6A
#define VK_ADD 0x6B
#define VK_SUBTRACT 0x6D
#define VK_DECIMAL 0x6E
#define VK_DIVIDE 0x6F
#define VK_F1 0x70
#define VK_F12 0x7B
#define VK_NUMLOCK 0x90
#define VK_SCROLL 0x91
#define VK_LSHIFT 0xA0
#define VK_RSHIFT 0xA1
#define VK_LCONTROL 0xA2
#define VK_RCONTROL 0xA3
#define VK_LMENU 0xA4
#define VK_RMENU 0xA5
// The JIS keyboard's punctuation keys.
#define VK_OEM_1 0xBA       // ':' '*'
#define VK_OEM_PLUS 0xBB    // ';' '+'
#define VK_OEM_COMMA 0xBC
#define VK_OEM_MINUS 0xBD
#define VK_OEM_PERIOD 0xBE
#define VK_OEM_2 0xBF       // '/'
#define VK_OEM_3 0xC0       // '@'
#define VK_OEM_4 0xDB       // '['
#define VK_OEM_5 0xDC       // yen
#define VK_OEM_6 0xDD       // ']'
#define VK_OEM_7 0xDE       // '^'
#define VK_OEM_102 0xE2     // backslash, underscore

// ---- window classes and windows ------------------------------------------------------------
// 0 when cbSize is not sizeof(WNDCLASSEXA), the name is missing or the class exists.
ATOM RegisterClassExA(const WNDCLASSEXA* windowClass);
BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance);

// Sends WM_CREATE while it runs (-1 from the procedure fails the creation); NULL on
// failure. The first window of a class takes the class's advisory file lock (see
// FindWindowA).
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
// Owner thread only: sends WM_DESTROY, drops the window's queued messages and
// invalidates the handle.
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
// A window of the class in this process or, through the class's file lock, in another
// process of the same user. A foreign window is answered with a handle that only
// identifies it. The window name is not compared.
HWND FindWindowA(LPCSTR className, LPCSTR windowName);

// ---- showing, activation, placement -----------------------------------------------------------
BOOL ShowWindow(HWND window, int command);  // the previous visibility; the first show activates
BOOL UpdateWindow(HWND window);             // sends WM_PAINT when the window is invalid
BOOL BringWindowToTop(HWND window);
HWND SetActiveWindow(HWND window);
BOOL SetForegroundWindow(HWND window);
HWND GetForegroundWindow();
DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId);
BOOL AttachThreadInput(DWORD attachFrom, DWORD attachTo, BOOL attach);  // accepted

#define HWND_TOP ((HWND)0)
#define HWND_BOTTOM ((HWND)1)
#define HWND_TOPMOST ((HWND)(LONG_PTR)-1)
#define HWND_NOTOPMOST ((HWND)(LONG_PTR)-2)
#define SWP_NOSIZE 0x0001u
#define SWP_NOMOVE 0x0002u
#define SWP_NOZORDER 0x0004u
#define SWP_NOREDRAW 0x0008u
#define SWP_NOACTIVATE 0x0010u
#define SWP_FRAMECHANGED 0x0020u
#define SWP_SHOWWINDOW 0x0040u
#define SWP_HIDEWINDOW 0x0080u

// Moves and resizes send WM_MOVE (client position) and WM_SIZE (client size) when they
// change something.
BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
// The menu takes no room here: menus are recorded, not drawn.
BOOL AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL menu, DWORD exStyle);
BOOL GetWindowRect(HWND window, LPRECT rect);  // screen coordinates
BOOL GetClientRect(HWND window, LPRECT rect);  // (0, 0, width, height)
BOOL ClientToScreen(HWND window, LPPOINT point);

// Recorded only: menus and regions are not drawn here.
BOOL SetMenu(HWND window, HMENU menu);
HMENU GetMenu(HWND window);
int SetWindowRgn(HWND window, HRGN region, BOOL redraw);

// ---- long values, procedures and text -------------------------------------------------------
#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)
#define GWL_ID (-12)
#define GWLP_WNDPROC (-4)
#define GWLP_HINSTANCE (-6)
#define GWLP_USERDATA (-21)

// Style bits are stored exactly as given; changing WS_CAPTION or WS_THICKFRAME changes
// the backend window's border and resizing, the rectangle keeps its place.
LONG GetWindowLongA(HWND window, int index);
LONG SetWindowLongA(HWND window, int index, LONG value);
LONG_PTR GetWindowLongPtrA(HWND window, int index);
LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value);
LRESULT CallWindowProcA(WNDPROC procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL SetWindowTextA(HWND window, LPCSTR text);  // CP932; the backend shows it in UTF-8

// ---- messages ------------------------------------------------------------------------------------
#define PM_NOREMOVE 0x0000u
#define PM_REMOVE 0x0001u

// Any thread; goes to the queue of the window's owner (a NULL window: the caller's
// thread message).
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Queues WM_QUIT as a thread message, behind the messages already posted.
void PostQuitMessage(int exitCode);
// First in, first out. Filter: NULL, every window of the calling thread and its thread
// messages; (HWND)-1, thread messages only; a window, that window's messages, and only
// for its owner thread. WM_PAINT comes only when nothing else matches and a window is
// invalid. Messages sent from other threads and machine events are handled here.
BOOL PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags);
// Same thread: calls the procedure. Another thread: runs at the owner's next peek while
// the sender waits (handling messages sent to its own thread meanwhile).
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// WM_KEYDOWN of Backspace, Tab, Enter and Esc makes WM_CHAR 8, 9, 13 and 27; Alt+Enter
// makes WM_SYSCHAR 13. The character is the next message taken.
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageA(const MSG* msg);
int TranslateAcceleratorA(HWND window, HACCEL table, LPMSG msg);  // 0 without a table
BOOL IsDialogMessageA(HWND dialog, LPMSG msg);
// WM_SYSCOMMAND SC_CLOSE sends WM_CLOSE; WM_CLOSE destroys the window; WM_PAINT
// validates; everything else returns 0.
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// ---- desktop, icons and the cursor ---------------------------------------------------------------
#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
int GetSystemMetrics(int index);

#define IDI_APPLICATION MAKEINTRESOURCEA(32512)
#define IDC_ARROW MAKEINTRESOURCEA(32512)
HICON LoadIconA(HINSTANCE instance, LPCSTR name);
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name);
// The cursor shows while the display count is 0 or more and a cursor is set.
HCURSOR SetCursor(HCURSOR cursor);
int ShowCursor(BOOL show);  // the new display count

// ---- settings, the IME, modules, hooks --------------------------------------------------------------
#define SPI_SETSCREENSAVEACTIVE 0x0011u
#define SPI_SETSCREENSAVERRUNNING 0x0061u
#define SPI_GETFOREGROUNDLOCKTIMEOUT 0x2000u
#define SPI_SETFOREGROUNDLOCKTIMEOUT 0x2001u
#define SPIF_UPDATEINIFILE 0x0001u
#define SPIF_SENDWININICHANGE 0x0002u
// SPI_GETFOREGROUNDLOCKTIMEOUT writes a DWORD to param; SPI_SETFOREGROUNDLOCKTIMEOUT takes
// the value in param itself; SPI_SETSCREENSAVEACTIVE switches the screen saver by
// uiParam. Other actions are accepted and do nothing.
BOOL SystemParametersInfoA(UINT action, UINT uiParam, LPVOID param, UINT winIni);
// Only records the state: SDL's text input, and with it WM_CHAR, keeps running.
BOOL WINNLSEnableIME(HWND window, BOOL enable);  // the previous state

typedef INT_PTR(WINAPI* FARPROC)();
HMODULE LoadLibraryA(LPCSTR fileName);  // always NULL: there are no DLLs here
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
BOOL FreeLibrary(HMODULE module);
BOOL UnhookWindowsHookEx(HHOOK hook);

// ---- dropped files --------------------------------------------------------------------------------
// Index 0xFFFFFFFF gives the count; a NULL buffer gives the length of that name without
// its terminator; otherwise copies the CP932 name, cut to the buffer, and returns the
// bytes copied.
UINT DragQueryFileA(HDROP drop, UINT index, LPSTR buffer, UINT size);
void DragFinish(HDROP drop);

// ---- the message box --------------------------------------------------------------------------------
#define MB_OK 0x00000000u
#define MB_OKCANCEL 0x00000001u
#define MB_YESNO 0x00000004u
#define MB_ICONHAND 0x00000010u
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONEXCLAMATION 0x00000030u
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONASTERISK 0x00000040u
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_DEFBUTTON1 0x00000000u
#define MB_DEFBUTTON2 0x00000100u
#define MB_SETFOREGROUND 0x00010000u
#define MB_TOPMOST 0x00040000u
#define IDOK 1
#define IDCANCEL 2
#define IDYES 6
#define IDNO 7

// Text and caption in CP932. Enter takes the default button, Esc the last. 0 when the
// box cannot be shown. QZ_MSGBOX (testing.h) answers at once without showing it.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// ---- key state and the mouse position (window/keys.cpp, window/desktop.cpp) -----------------
// 256 bytes by virtual-key code, bit 7 set while the key is held: the same key state
// DirectInput's keyboard reads. Shift, Ctrl and Alt set the generic code together with
// the left or right one. Any thread.
BOOL GetKeyboardState(PBYTE keyState);
// The mouse on the desktop (sdl: SDL's global mouse position; null: the position a test
// set). Any thread.
BOOL GetCursorPos(LPPOINT point);

// ---- menus (window/menus.cpp) -----------------------------------------------------------------
// In memory only: nothing is drawn and SetMenu takes no client space. Items are added
// by testing.h; the library reads them and sets sub-menus. Any thread.
#define MIIM_STATE 0x00000001u
#define MIIM_ID 0x00000002u
#define MIIM_SUBMENU 0x00000004u
#define MIIM_CHECKMARKS 0x00000008u
#define MIIM_TYPE 0x00000010u
#define MIIM_DATA 0x00000020u

#define MFT_STRING 0x00000000u
#define MFT_SEPARATOR 0x00000800u
#define MFS_ENABLED 0x00000000u
#define MFS_GRAYED 0x00000003u
#define MFS_CHECKED 0x00000008u

typedef struct tagMENUITEMINFOA {
    UINT cbSize;
    UINT fMask;
    UINT fType;
    UINT fState;
    UINT wID;
    HMENU hSubMenu;
    HBITMAP hbmpChecked;
    HBITMAP hbmpUnchecked;
    ULONG_PTR dwItemData;
    LPSTR dwTypeData;  // the name (CP932) with MIIM_TYPE and MFT_STRING
    UINT cch;          // in: the buffer's size; out: the name's length
} MENUITEMINFOA, *LPMENUITEMINFOA;
typedef const MENUITEMINFOA* LPCMENUITEMINFOA;

HMENU CreateMenu();
// Destroys the menu and its sub-menus.
BOOL DestroyMenu(HMENU menu);
int GetMenuItemCount(HMENU menu);  // -1 for a bad handle
// byPosition must be TRUE. With MIIM_TYPE a string item's name is copied into
// dwTypeData, at most cch - 1 bytes and a terminator, and cch gets the name's length;
// a NULL dwTypeData only reads the length.
BOOL GetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, LPMENUITEMINFOA info);
// byPosition must be TRUE. Sets MIIM_SUBMENU, MIIM_ID, MIIM_STATE and MIIM_TYPE parts.
BOOL SetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, LPCMENUITEMINFOA info);
