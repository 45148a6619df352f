// QzWinStartup.cpp: the library's start-up and end sequence (see the header).
//
// Start-up order: file access and the log first, then the 24-bit refusal, the timers and
// the machine's description, COM, the window (with the timer test and the message
// thread), downloads, input, sound (whose failure is survived), graphics, key input;
// then the finishing touches. A failing step after the refusal runs the whole end
// sequence. The end sequence runs every step whatever came before, so it copes with a
// library that is only partly up, and pumps for the quit only when a window existed.
#include "QzWinStartup.h"

#include <platform/gdi.h>
#include <platform/win32.h>

#include "QzArchive_FileSet.h"
#include "QzDrawScreen.h"
#include "QzDrawScreenMode.h"
#include "QzGraphicsData.h"
#include "QzGraphicsDrawState.h"
#include "QzGraphicsFront.h"
#include "QzGraphicsRecovery.h"
#include "QzGraphicsSystem.h"
#include "QzInputKey.h"
#include "QzInput.h"
#include "QzSoundMusic.h"
#include "QzSoundSystem.h"
#include "QzWinScreenLog.h"
#include "QzWinFileAccess.h"
#include "QzWinFileStream.h"
#include "QzWinLog.h"
#include "QzWinMemory.h"
#include "QzWinMessage.h"
#include "QzWinNetWork.h"
#include "QzWinState.h"
#include "QzWinTime.h"
#include "QzWinWindow.h"

namespace {

// Storage bits per pixel of the desktop: its colour layers times their bits.
int DesktopDepth() {
    HDC desktop = GetDC(nullptr);
    int depth = GetDeviceCaps(desktop, PLANES) * GetDeviceCaps(desktop, BITSPIXEL);
    ReleaseDC(nullptr, desktop);
    return depth;
}

int FailStartup() {
    TerminateLibrary();
    return -1;
}

}  // namespace

int InitializeCom() {
    WindowSystemState& ws = g_windowSystem;
    if (ws.comInitialized) return -1;
    WriteLog("ＣＯＭの初期化... ");
    if (FAILED(CoInitialize(nullptr))) {
        WriteLog("ＣＯＭの初期化に失敗しました\n");
        return -1;
    }
    WriteLog("成功しました\n");
    ws.comInitialized = 1;
    return 0;
}

int TerminateCom() {
    WindowSystemState& ws = g_windowSystem;
    if (!ws.comInitialized) return -1;
    CoUninitialize();
    WriteLog("ＣＯＭを終了... 完了\n");
    ws.comInitialized = 0;
    return 0;
}

void ForceWindowForeground(HWND window, int makeTopMost) {
    DWORD foregroundThread = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
    DWORD ownThread = GetWindowThreadProcessId(window, nullptr);
    AttachThreadInput(ownThread, foregroundThread, TRUE);
    DWORD saved = 0;
    SystemParametersInfoA(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &saved, 0);
    SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, 0);
    SetForegroundWindow(window);
    SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, reinterpret_cast<LPVOID>(static_cast<uintptr_t>(saved)), 0);
    AttachThreadInput(ownThread, foregroundThread, FALSE);
    if (makeTopMost == 1)
        SetWindowPos(g_windowSystem.mainWindow, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOREDRAW);
}

int InitializeLibrary() {
    WindowSystemState& ws = g_windowSystem;
    // A second start-up would clear the archives, recreate the running log and end a
    // working library; it is refused and changes nothing.
    if (ws.libraryInitialized == 1) {
        WriteLog("ライブラリは既に初期化されています\n");
        return -1;
    }
    // A fatal error during this start-up must run the end sequence, even after an
    // earlier start and end in this process left the ending flag at 1.
    ws.endingFlag = 0;

    if (GetDisable3DFlag() == 1) SetHardwareRenderMode(0);
    ClearArchiveTable();
    SetFileAccessTable(nullptr);
    FileAccessGetDir(ws.startupDir);
    CreateLogFile();

    if ((DesktopDepth() == 24 && ws.windowMode == 1) || GetColorBitDepth() == 24) {
        WriteLog("ＱＺライブラリは２４ビットカラーモードに対応していません\n");
        return -1;
    }

    LARGE_INTEGER frequency;
    frequency.QuadPart = 0;
    QueryPerformanceFrequency(&frequency);
    ws.performanceFrequency = frequency.QuadPart;
    ws.usePerformanceCounter = frequency.QuadPart != 0 ? 1 : 0;
    LogSystemInformation();
    SetupStreamFunctions();
    SetGraphRecoveryHandler(nullptr);

    if (InitializeCom() == -1) return FailStartup();
    if (InitializeWindowSystem() == -1) return FailStartup();
    if (InitializeHttpSystem() == -1) return FailStartup();
    if (InitializeInputSystem() == -1) return FailStartup();
    InitializeSoundSystem();  // the library runs without sound when it fails
    if (!ws.graphicsOff && InitializeGraphicsSystem(ws.mainWindow) < 0) return FailStartup();
    InitializeCharCodeBuffer();

    ws.libraryInitialized = 1;
    SetVBlankWaitFlag(1);
    if (ws.windowMode == 0) ForceWindowForeground(ws.mainWindow, 1);
    InitScreenLog();
    SelectDrawTarget(kDrawTargetBack);
    SelectDrawTarget(kDrawTargetFront);
    if (!ws.graphicsOff) {
        // Warm the draw-target path up once; a failed creation only makes the two
        // selections fail.
        SetNewGraphDrawValidFlag(1);
        int graph = CreateBlankGraph(256, 256);
        SetNewGraphDrawValidFlag(0);
        SelectDrawTarget(graph);
        SelectDrawTarget(kDrawTargetFront);
        DeleteOneGraph(graph, 0);
    }
    return 0;
}

int TerminateLibrary() {
    WindowSystemState& ws = g_windowSystem;
    ws.endingFlag = 1;
    DeleteScreenLogFont();
    TerminateHttpSystem();
    TerminateNetWorkSystem();
    StopSingleMusicFile();
    TerminateGraphicsSystem();
    TerminateInputSystem();
    TerminateSoundSystem();
    // Without a window (start-up failed before it, or a second instance was refused)
    // nothing could ever set the quit flag, so there is nothing to pump for.
    bool hadWindow = ws.mainWindow != nullptr;
    TerminateWindowSystem();
    TerminateCom();
    ws.libraryInitialized = 0;
    if (hadWindow) {
        while (ProcessMessage() == 0 && __atomic_load_n(&ws.quitFlag, __ATOMIC_ACQUIRE) == 0) {
        }
    }
    // Nothing to go back to when start-up never got as far as remembering it.
    if (ws.startupDir[0] != '\0') FileAccessSetDir(ws.startupDir);
    ReleaseUnusedArchives();
    DumpAllocations();
    return 0;
}
