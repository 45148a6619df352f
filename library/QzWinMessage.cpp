// QzWinMessage.cpp: the message pump, the message thread and the wait for an active
// window (see the header).
//
// Rules of ProcessMessage:
// - A pass runs while the window is inactive (no WM_CLOSE posted, run-always off), or
//   while the pass flag is clear and the quit flag is not set. Each dispatched message
//   counts for the whole call; a pass ends at once when the count reaches 5, and a
//   message dispatched before that clears the pass flag, so an active window gets at
//   most six messages per call.
// - The head of the queue, when it is WM_SYSCOMMAND SC_SCREENSAVE, is taken first,
//   whatever window it is for; otherwise thread messages, then the main window's.
// - Only the main thread dispatches and waits for an inactive window; any other thread
//   makes exactly one pass (it sees no window of the main thread) and the upkeep tail.
// - The upkeep tail runs on every call that has a window; a call from inside the text
//   input's upkeep returns 0 at once.
#include "QzWinMessage.h"

#include "QzDrawScreen.h"
#include "QzGraphicsRecovery.h"
#include "QzInputKey.h"
#include "QzInput.h"
#include "QzSoundMusic.h"
#include "QzSoundStream.h"
#include "QzWinMenu.h"
#include "QzWinLock.h"
#include "QzWinNetWork.h"
#include "QzWinState.h"
#include "QzWinWindow.h"

namespace {

// Set only while the text input's upkeep runs; both threads pump under the library lock.
int g_inTextInputUpkeep = 0;

const HWND kThreadMessagesOnly = reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1));

int QuitFlag() { return __atomic_load_n(&g_windowSystem.quitFlag, __ATOMIC_ACQUIRE); }

// The next message to handle, removed from the queue; false when there is none.
bool TakeNextMessage(MSG* msg) {
    MSG peeked;
    // The head message itself, not the first system command further back.
    if (PeekMessageA(&peeked, nullptr, 0, 0, PM_NOREMOVE) && peeked.message == WM_SYSCOMMAND &&
        (peeked.wParam & 0xFFF0) == SC_SCREENSAVE) {
        HWND from = peeked.hwnd != nullptr ? peeked.hwnd : kThreadMessagesOnly;
        return PeekMessageA(msg, from, WM_SYSCOMMAND, WM_SYSCOMMAND, PM_REMOVE) != FALSE;
    }
    if (PeekMessageA(msg, kThreadMessagesOnly, 0, 0, PM_REMOVE)) return true;
    return g_windowSystem.mainWindow != nullptr &&
           PeekMessageA(msg, g_windowSystem.mainWindow, 0, 0, PM_REMOVE) != FALSE;
}

void ServeFurtherWindows() {
    WindowSystemState& ws = g_windowSystem;
    for (int i = 0; i < ws.furtherWindowCount && i < 100; i++) {
        MSG msg;
        if (ws.furtherWindows[i] != nullptr && PeekMessageA(&msg, ws.furtherWindows[i], 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

// The passes of one call (step 5).
void RunPasses() {
    WindowSystemState& ws = g_windowSystem;
    const bool onMainThread = GetCurrentThreadId() == ws.mainThreadId;
    int dispatched = 0;
    int passFlag = 0;
    for (;;) {
        bool waitingForActive = !ws.active && !ws.closePosted && !ws.runAlways;
        if (!waitingForActive && !(passFlag == 0 && !QuitFlag())) break;
        passFlag = 1;
        if (!ws.active && !ws.runAlways) Sleep(1);
        for (;;) {
            MSG msg;
            if (!TakeNextMessage(&msg)) break;
            if (ws.dialogWindow != nullptr && IsDialogMessageA(ws.dialogWindow, &msg)) {
                ServeFurtherWindows();
                continue;
            }
            if (msg.message == WM_ACTIVATEAPP) ws.active = LOWORD(msg.wParam);
            // A message found after the quit is dropped, and the passes end.
            if (QuitFlag()) return;
            if (msg.message == WM_QUIT) SetQuitFlag();
            if (!TranslateAcceleratorA(ws.mainWindow, ws.acceleratorTable, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            if (++dispatched >= 5) break;  // the further windows wait for the next round
            passFlag = 0;
            ServeFurtherWindows();
        }
        if (!ws.active) {
            PumpNetWorkMessages(1);
            ProcessAllHttpDownloads();
            RefillAllStreamSounds();
            Sleep(1);
        }
        if (QuitFlag() || !onMainThread) break;
    }
}

}  // namespace

void SetQuitFlag() {
    WindowSystemState& ws = g_windowSystem;
    __atomic_store_n(&ws.quitFlag, 1, __ATOMIC_RELEASE);
    LibraryLockState& lock = ws.lock;
    if (__atomic_load_n(&lock.created, __ATOMIC_ACQUIRE) == 0 || ws.messageThreadId == 0) return;
    EnterCriticalSection(&lock.section);
    for (int i = 0; i < lock.queueLength; i++)
        if (lock.queue[i].threadId == ws.messageThreadId && lock.queue[i].event != nullptr)
            SetEvent(lock.queue[i].event);
    LeaveCriticalSection(&lock.section);
}

int ProcessMessage() {
    WindowSystemState& ws = g_windowSystem;
    if (g_inTextInputUpkeep) return 0;
    // Without a window there is nothing to pump and nothing to serve.
    if (ws.mainWindow == nullptr) return QuitFlag() == 1 ? -1 : 0;

    if (!ws.userWindowMode) {
        if (ws.modeSwitchRequest && ws.modeSwitchAllowed) {
            ws.modeSwitchRequest = 0;
            ChangeWindowMode(ws.windowMode ? 0 : 1);
            if (ws.modeSwitchCallback) ws.modeSwitchCallback(ws.modeSwitchCallbackArg);
        }
        RunPasses();
        if (!ws.menu.alwaysShown) UpdateFullScreenMenu();
    }

    RefillAllStreamSounds();
    UpdateMusicPlayState();
    UpdatePadVibrationTimers();
    PumpNetWorkMessages(1);
    ProcessAllHttpDownloads();
    g_inTextInputUpkeep = 1;
    ProcessActiveTextInput();
    g_inTextInputUpkeep = 0;
    return QuitFlag() == 1 ? -1 : 0;
}

DWORD WINAPI MessageThreadProc(LPVOID) {
    WindowSystemState& ws = g_windowSystem;
    while (QuitFlag() != 1) {
        // Gives up, leaving the lock's queue, when the quit flag comes while it waits.
        if (EnterLibraryLockForMessageThread(&ws.quitFlag) != 0) break;
        int result = ProcessMessage();
        LeaveLibraryLockForMessageThread();
        if (result < 0) break;
        Sleep(17);
    }
    __atomic_store_n(&ws.messageThreadFinished, 1, __ATOMIC_RELEASE);
    return 0;
}

void WaitForWindowActive() {
    WindowSystemState& ws = g_windowSystem;
    if (ws.active || ws.userWindowMode) return;
    if (ws.runAlways && (GetBltPresentFlag() || ws.windowMode)) return;
    while (ProcessMessage() == 0 && !ws.active) {
    }
    RestoreAllGraphSurfaces();
}
