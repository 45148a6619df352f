// QzWinState.h: WindowSystemState, the library's one central record, and the record
// types it embeds (system information, allocation tracker, library lock).
//
// The record is one plain static structure; its fields keep the order the window
// system's start-up relies on when it clears the record and puts back what it keeps
// (the system information block, the log's state and settings, the tracker and the
// whole lock). Fields that later library parts own are added in their places.
//
// Every field is read and written under the library lock, except the lock's own
// fields, which its critical section guards.
#pragma once

#include <cstddef>
#include <cstdint>

#include <platform/win32.h>

#include "QzGraphicsImage.h"

// ---- system information ----------------------------------------------------------------
// Kept across the window start-up as one block of exactly 1300 bytes.
struct SystemInfoBlock {
    char osText[256];                 // "Windows..." as LogSystemInformation formats it
    char osText2[256];                // stays empty
    char cpuName[256];                // the processor's brand string, or empty
    int cpuSpeedMHz;
    uint32_t availablePhysicalMemory;  // bytes
    uint32_t totalPhysicalMemory;      // bytes
    char videoDriverName[256];         // written by the DirectDraw start-up
    char videoDriverDescription[256];
    uint32_t freeVideoMemory;
    uint32_t totalVideoMemory;
};
static_assert(sizeof(SystemInfoBlock) == 1300, "the system information block is 1300 bytes");

// ---- allocation tracker ----------------------------------------------------------------
// The header in front of every tracked block. Its first half (the record) is mirrored
// into its second half (the guard), so damage shows as a difference. With 8-byte links
// the record is 40 bytes and the header 80, a multiple of 16, so the caller's bytes keep
// the heap's 16-byte alignment.
struct AllocHeader {
    char file[16];        // the last 15 characters of the source file name, terminated
    uint16_t id;          // running id, wraps
    int16_t line;         // source line cut to 16 bits, read back signed
    int32_t size;         // bytes the caller asked for
    AllocHeader* older;   // next older block, the sentinel for the oldest
    AllocHeader* newer;   // next newer block, null for the newest
    unsigned char guard[40];
};
constexpr int kAllocRecordSize = 40;
constexpr int kAllocHeaderSize = 80;
static_assert(sizeof(AllocHeader) == kAllocHeaderSize, "allocation header layout");
static_assert(offsetof(AllocHeader, guard) == kAllocRecordSize, "the guard mirrors the record");

// Open-addressed set of the live blocks' headers beside the list, so that FreeMemory can
// tell a tracked block from any other pointer without reading through it. Its table comes
// from the C heap, not the process heap, so it never meets the tracked blocks' faults.
struct AllocIndex {
    uintptr_t* slots;  // 0 = empty
    uint32_t capacity;  // a power of two, or 0 before the first allocation
    uint32_t used;
};

struct AllocTrackerState {
    AllocHeader sentinel;   // stands as the oldest element; only its links are used
    AllocHeader* newest;    // null until the first allocation
    uint16_t nextId;
    int totalSize;          // bytes of the live blocks
    int count;              // live blocks
    // Debug settings, all 0 in this system.
    int logEvery;           // log every allocation and free
    int logTotals;          // log the totals after each allocation and free
    int checkEvery;         // check every header at each allocation and free
    int trapSize;           // log blocks of this size; negative: all of them
    AllocIndex index;
};

// ---- library lock ----------------------------------------------------------------------
constexpr int kLibraryLockSlots = 4096;
constexpr DWORD kLockNoOwner = 0xFFFFFFFFu;

// A queue slot: the waiting thread's id (0 when free) and the manual-reset event it
// waits on. An event travels with its entry when the queue moves up.
struct LockQueueSlot {
    DWORD threadId;
    HANDLE event;
};

struct LibraryLockState {
    int recursionCount;
    int locked;
    DWORD owner;  // 0xFFFFFFFF while free
    LockQueueSlot queue[kLibraryLockSlots];
    int created;  // 1 once the events and the critical section exist
    int queueLength;
    CRITICAL_SECTION section;  // guards every field above
};

// ---- on-screen log, menu and toolbar blocks ---------------------------------------------
struct ScreenLogBlock {
    int initialized;
    int font;          // -1 none
    int fontGone;      // the font must be made again
    int linePosition;  // bytes in the current line, 0-254
    int lineIndex;     // 0-79
    char lines[80][255];
    int visible;
    int fontSize;  // pixels
    int tabWidth;  // spaces
    int lineWidth; // pixels of the current line
    int reserved;
};

struct MenuItemEntry {
    HMENU menu;
    uint16_t position;
    uint16_t commandId;
    char name[128];
};

struct MenuState {
    HMENU handle;                 // setting
    int inUse;                    // setting
    void (*commandCallback)(uint16_t id);               // setting
    void (*nameCallback)(const char* name, int id);     // setting
    int hidden;                   // setting
    int attached;                 // the menu is set on the window now
    int alwaysShown;              // setting: shown in full screen too
    int mouseNearTop;
    int selected[64];
    int selectedCount;
    MenuItemEntry items[128];
    int itemCount;
};

struct ToolbarButton {  // 20 bytes
    int commandId;
    int value1;
    int state;  // 0 enabled, 3 separator
    int value2;
    int clicked;
};

struct ToolbarState {
    int inUse;
    HWND window;
    HBITMAP bitmap;
    int buttonCount;
    ToolbarButton buttons[64];
};

// ---- the record ------------------------------------------------------------------------
struct WindowSystemState {
    // 1. System information.
    SystemInfoBlock systemInfo;

    // 2. Window and threads.
    HINSTANCE moduleInstance;
    HWND mainWindow;            // null before creation; the user's window in user-window mode
    HANDLE messageThread;
    DWORD messageThreadId;
    int messageThreadFinished;  // set by the message thread on its way out
    HRGN windowRegion;
    int windowStyleIndex;       // setting, 0-6
    int userWindowMode;  // the application made the window; the log goes to the debugger only
    WNDPROC userWindowProc;     // the user window's own procedure
    DWORD mainThreadId;         // the thread that started the library

    // 3. The main window's client area on the desktop.
    RECT clientRect;

    // 4. Modes and flags.
    int windowMode;               // setting: 1 window, 0 full screen
    int modeChangeInProgress;
    int modeSwitchAllowed;        // setting
    void (*modeSwitchCallback)(int);  // setting
    int modeSwitchCallbackArg;        // setting
    int quitFlag;
    int closePosted;
    int windowDestroyed;
    int displayChangeSeen;
    int active;
    int deviceLostWhileInactive;
    int modeSwitchRequest;
    int keepWindowOnClose;  // setting
    int noQuitMessage;      // setting
    int endingFlag;  // 1 while TerminateLibrary runs; 4 after a WM_CLOSE outside it
    int mouseVisible;       // setting
    int cursorShown;
    int mouseWheelCount;

    // 5. Timing and desktop.
    int usePerformanceCounter;
    int64_t performanceFrequency;
    int desktopWidth;
    int desktopHeight;
    int desktopColorBitDepth;
    int comInitialized;
    int windowBeingCreated;
    int doubleStartAllowed;  // setting
    int archivesOff;  // setting: start-up installs the direct file set, not the archive-aware one

    // 6. Log state.
    int logIndent;
    int logLineOpen;      // the last text did not end with "\n"
    int logNoTimePrefix;  // setting: lines get no "%d:" prefix
    int logFailureTold;   // the log could not be written, and standard error was told

    // 7. Draw area, kept here by the drawing front end.
    RECT drawArea;

    // 8. Window background picture and the activation callback.
    GraphImage backgroundImage;
    int backgroundGraph;
    void (*activationCallback)(int active, int arg);  // setting
    int activationCallbackArg;                        // setting

    // 9. Library state, start-up directory, title and log settings.
    int libraryInitialized;
    char startupDir[260];
    char windowTitle[256];
    int logOff;        // setting: write nothing
    int logDateNamed;  // setting: "AppLog<date>.txt"
    char logFileName[256];

    // 10. The on-screen log.
    ScreenLogBlock screenLog;

    // 11. Run-always, icon, accelerators, menu and toolbar.
    int runAlways;  // setting: the library keeps working while the window is inactive
    int iconId;     // setting, low 16 bits used
    HACCEL acceleratorTable;
    MenuState menu;
    ToolbarState toolbar;

    // 12. Resizing, scale, hidden window and message hooks.
    int resizable;       // setting
    double windowScale;  // setting; not above 0 reads as 1.0
    int modeChanged;
    int hiddenWindow;    // setting
    int systemKeysOff;   // setting
    HHOOK hookHandle;       // the hook DLL's hook
    HHOOK secondHookHandle; // nothing sets it
    int hookFlag;
    char hookDllName[260];  // setting; "Tapwire.dll" when empty
    HMODULE hookDll;
    FARPROC hookFunction;

    // 13. Versions, processor and clocks, the user message callback, the log's start.
    int directXVersion;  // 0x70000 = 7.0
    int osCode;          // 0 Win32s, 1 95, 2 98, 3 Me, 0x104 NT 3.51, 0x105 NT 4.0, 0x106 2000, 0x107 XP
    int mmxFlag;
    int timeStampCounterFlag;
    int64_t timeStampTicksPerSecond;
    void (*userMessageCallback)(HWND, UINT, WPARAM, LPARAM);  // setting
    DWORD logStartTime;  // timeGetTime when the log was created

    // 14. Further windows, window position, graphics-off and the dialog window.
    HWND furtherWindows[100];
    int furtherWindowCount;
    int windowPosX;          // setting
    int windowPosY;          // setting
    int windowPosSet;        // setting
    int graphicsOff;         // setting: the library runs without graphics; nothing sets it
    HWND dialogWindow;

    // 15. Dropped-file names: tracked blocks.
    char* droppedFiles[1000];
    int droppedFileCount;

    // 16. Allocation tracker.
    AllocTrackerState tracker;

    // 17. Code-page mode: 2 when the OEM code page is 949, else 1.
    int codePageMode;

    // 18. Library lock. Keep it last: the window start-up clears everything before it.
    LibraryLockState lock;
};

// The one record of the library, zero at process start.
extern WindowSystemState g_windowSystem;

WindowSystemState* GetWindowSystemState();
