// QzInputIme.cpp: the IME side of key input: IME use, the open status, and the IME
// messages the window procedure passes on (see QzInputKey.h).
//
// Rules:
// - With IME use off every IME message is swallowed.
// - The composition is read into its 1024-byte field with room for the terminator; a
//   result is read at its full size and every byte goes into the ring of typed bytes, in
//   order. A negative count from the IME reads as nothing.
// - The candidate list is a tracked copy, replaced at each candidate notification and
//   freed when the list closes or IME use goes off.
#include <platform/imm.h>

#include "QzInputKey.h"
#include "QzWinLog.h"
#include "QzWinMemory.h"
#include "QzWinMessage.h"
#include "QzWinState.h"
#include "QzWinTime.h"

namespace {

// Set while an open-status notification pumps, so that one arriving meanwhile is not
// handled inside it.
int g_inOpenStatus = 0;

void FreeCandidateList() {
    KeyInputBlock& k = g_keyInput;
    if (k.candidateList != nullptr) FreeMemory(k.candidateList);
    k.candidateList = nullptr;
}

// The low 32 bits of a handle, as the log prints handles.
unsigned int Low32(const void* handle) {
    return static_cast<unsigned int>(reinterpret_cast<uintptr_t>(handle) & 0xFFFFFFFFu);
}

void ReadComposition(HIMC context) {
    KeyInputBlock& k = g_keyInput;
    LONG count = ImmGetCompositionStringA(context, GCS_COMPSTR, k.composition, sizeof k.composition - 1);
    if (count < 0) count = 0;
    k.composition[count] = '\0';
}

void ReadResult(HIMC context) {
    LONG size = ImmGetCompositionStringA(context, GCS_RESULTSTR, nullptr, 0);
    if (size <= 0) return;
    auto* result = static_cast<unsigned char*>(AllocMemory(size, "QzInputIme", __LINE__));
    if (result == nullptr) return;
    LONG count = ImmGetCompositionStringA(context, GCS_RESULTSTR, result, static_cast<DWORD>(size));
    for (LONG i = 0; i < count && i < size; i++) PushInputChar(result[i]);
    FreeMemory(result);
}

void KeepCandidateList(HWND imeWindow, HIMC context) {
    KeyInputBlock& k = g_keyInput;
    DWORD size = ImmGetCandidateListA(context, 0, nullptr, 0);
    if (size == 0) {
        WriteLogFormat("漢字変換候補のデータサイズが０でした  DefHWND:%x IMC:%x", Low32(imeWindow), Low32(context));
        return;
    }
    FreeCandidateList();
    k.candidateList = AllocMemory(static_cast<int>(size), "QzWin", 11716);
    if (k.candidateList == nullptr)
        ExitWithFatalErrorFormat("漢字変換候補を保存するメモリの確保に失敗しました( 確保しようとしたサイズ %d バイト )",
                                 static_cast<int>(size));
    if (ImmGetCandidateListA(context, 0, static_cast<LPCANDIDATELIST>(k.candidateList), size) == 0) {
        FreeCandidateList();
        WriteLogFormat("漢字変換候補の取得に失敗しました  BufSize:%d", static_cast<int>(size));
    }
}

}  // namespace

int SetImeUse(int flag) {
    KeyInputBlock& k = g_keyInput;
    if (flag == k.imeUse) return 0;
    WINNLSEnableIME(g_windowSystem.mainWindow, flag ? TRUE : FALSE);
    k.imeUse = flag;
    if (!flag) {
        FreeCandidateList();
        k.composition[0] = '\0';
        k.composing = 0;
    }
    return 0;
}

int SetImeOpenStatus(int flag) {
    HWND imeWindow = ImmGetDefaultIMEWnd(g_windowSystem.mainWindow);
    HIMC context = ImmGetContext(imeWindow);
    ImmSetOpenStatus(context, flag == 1 ? TRUE : FALSE);
    ImmReleaseContext(imeWindow, context);
    return 0;
}

LRESULT HandleImeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    KeyInputBlock& k = g_keyInput;
    if (!k.imeUse) return 0;
    k.imeInputSeen = 1;
    ResetInputCursorBlink();
    switch (message) {
    case WM_IME_STARTCOMPOSITION:
        k.compositionCursor = 0;
        k.composing = 1;
        return 0;
    case WM_IME_ENDCOMPOSITION:
        k.composition[0] = '\0';
        k.composing = 0;
        return 0;
    case WM_IME_COMPOSITION: {
        HWND imeWindow = ImmGetDefaultIMEWnd(g_windowSystem.mainWindow);
        HIMC context = ImmGetContext(imeWindow);
        if (lParam & GCS_COMPSTR) ReadComposition(context);
        if (lParam & GCS_RESULTSTR) {
            ReadResult(context);
            ReadComposition(context);
        }
        if (lParam & GCS_CURSORPOS) {
            LONG cursor = ImmGetCompositionStringA(context, GCS_CURSORPOS, nullptr, 0);
            k.compositionCursor = CountDoubleByteChars(k.composition, cursor < 0 ? 0 : cursor);
        }
        if (lParam & GCS_COMPCLAUSE) {
            LONG bytes = ImmGetCompositionStringA(context, GCS_COMPCLAUSE, k.clauseData, sizeof k.clauseData);
            k.clauseCount = bytes > 0 ? bytes / 4 : 0;
        }
        ImmReleaseContext(imeWindow, context);
        return 0;
    }
    case WM_IME_SETCONTEXT:
        // The IME's own composition, guide-line and candidate windows are not shown.
        return DefWindowProcA(window, message, wParam, lParam & 0x3FFFFFF0);
    case WM_IME_NOTIFY:
        switch (wParam) {
        case IMN_CHANGECANDIDATE:
        case IMN_OPENCANDIDATE:
        case IMN_SETCANDIDATEPOS: {
            HWND imeWindow = ImmGetDefaultIMEWnd(g_windowSystem.mainWindow);
            HIMC context = ImmGetContext(imeWindow);
            KeepCandidateList(imeWindow, context);
            ImmReleaseContext(imeWindow, context);
            break;
        }
        case IMN_CLOSECANDIDATE: FreeCandidateList(); break;
        case IMN_SETOPENSTATUS: {
            if (g_inOpenStatus) break;
            g_inOpenStatus = 1;
            DefWindowProcA(window, message, wParam, lParam);
            const int64_t start = GetMicrosecondTime(0);
            while (ProcessMessage() == 0 && GetMicrosecondTime(0) - start < 2000) {
            }
            HWND imeWindow = ImmGetDefaultIMEWnd(g_windowSystem.mainWindow);
            HIMC context = ImmGetContext(imeWindow);
            k.imeOpenStatus = ImmGetOpenStatus(context);
            ImmReleaseContext(imeWindow, context);
            g_inOpenStatus = 0;
            break;
        }
        default: DefWindowProcA(window, message, wParam, lParam); break;
        }
        return 0;
    default: return 0;
    }
}
