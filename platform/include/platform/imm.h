// imm.h: the input method (IMM) as far as the library uses it, answered by
// platform/src/imm over SDL's text editing (or the fake IMM of testing.h).
//
// Rules a caller may rely on:
// - ImmGetDefaultIMEWnd and ImmGetContext give non-null handles for a live window; the
//   IME window only identifies itself (it is no window of the window layer). There is
//   one input context; ImmGetContext of the IME window gives it too.
// - While WINNLSEnableIME has a window's IME switched off, no IME message reaches it and
//   committed text arrives as WM_CHAR.
// - While it is on: a composition that becomes non-empty sends WM_IME_STARTCOMPOSITION,
//   then WM_IME_COMPOSITION with GCS_COMPSTR | GCS_CURSORPOS (and GCS_COMPCLAUSE when it
//   has clauses); one that becomes empty sends WM_IME_ENDCOMPOSITION; text committed
//   during a composition sends WM_IME_COMPOSITION with GCS_RESULTSTR, then
//   WM_IME_ENDCOMPOSITION; text committed without one is WM_CHAR.
// - Strings are CP932; the cursor and the clause offsets are byte offsets into them.
//
// Threads: any thread; the messages are sent to the window's owner thread.
#pragma once

#include "platform/win32.h"

// Composition string parts.
#define GCS_COMPSTR 0x0008u
#define GCS_COMPCLAUSE 0x0020u
#define GCS_CURSORPOS 0x0080u
#define GCS_RESULTSTR 0x0800u

// WM_IME_NOTIFY commands.
#define IMN_CLOSESTATUSWINDOW 0x0001
#define IMN_OPENSTATUSWINDOW 0x0002
#define IMN_CHANGECANDIDATE 0x0003
#define IMN_CLOSECANDIDATE 0x0004
#define IMN_OPENCANDIDATE 0x0005
#define IMN_SETCONVERSIONMODE 0x0006
#define IMN_SETSENTENCEMODE 0x0007
#define IMN_SETOPENSTATUS 0x0008
#define IMN_SETCANDIDATEPOS 0x0009

// WM_IME_SETCONTEXT lParam bits: the IME's own windows the application leaves to it.
#define ISC_SHOWUICOMPOSITIONWINDOW 0x80000000u
#define ISC_SHOWUIGUIDELINE 0x40000000u
#define ISC_SHOWUIALLCANDIDATEWINDOW 0x0000000Fu

#define IMM_ERROR_NODATA (-1)
#define IMM_ERROR_GENERAL (-2)

#define IME_CAND_UNKNOWN 0x0000
#define IME_CAND_READ 0x0001

// A candidate list: the header, dwCount offsets from its start, then the zero-terminated
// candidate strings; dwSize counts everything.
typedef struct tagCANDIDATELIST {
    DWORD dwSize;
    DWORD dwStyle;
    DWORD dwCount;
    DWORD dwSelection;
    DWORD dwPageStart;
    DWORD dwPageSize;
    DWORD dwOffset[1];
} CANDIDATELIST, *LPCANDIDATELIST;

HWND ImmGetDefaultIMEWnd(HWND window);
HIMC ImmGetContext(HWND window);
BOOL ImmReleaseContext(HWND window, HIMC context);
// GCS_COMPSTR, GCS_RESULTSTR, GCS_COMPCLAUSE: with a length of 0 the bytes needed;
// otherwise copies at most that many bytes, without a terminator, and returns the count.
// GCS_CURSORPOS: the cursor's byte offset. IMM_ERROR_GENERAL for a bad context or index.
LONG ImmGetCompositionStringA(HIMC context, DWORD index, LPVOID buffer, DWORD length);
// With a length of 0 the list's size (0 when there is none); otherwise copies the list
// when it fits and returns its size, else 0.
DWORD ImmGetCandidateListA(HIMC context, DWORD index, LPCANDIDATELIST list, DWORD length);
// A change sends WM_IME_NOTIFY IMN_SETOPENSTATUS to the window (unless its IME is off).
BOOL ImmSetOpenStatus(HIMC context, BOOL open);
BOOL ImmGetOpenStatus(HIMC context);
