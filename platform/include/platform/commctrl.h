// commctrl.h: the common controls the library uses: the toolbar strip, kept as an
// in-memory model (nothing is drawn; testing.h reads it back).
#pragma once

#include "platform/win32.h"

// Registers the common control classes ("ToolbarWindow32"); may be called again.
void InitCommonControls();

#define TOOLBARCLASSNAMEA "ToolbarWindow32"

// Toolbar messages.
#define TB_DELETEBUTTON (WM_USER + 22)     // wParam index -> TRUE, FALSE for a bad index
#define TB_GETBUTTON (WM_USER + 23)        // wParam index, lParam TBBUTTON* -> TRUE or FALSE
#define TB_BUTTONCOUNT (WM_USER + 24)      // -> the number of buttons
#define TB_ADDBITMAP (WM_USER + 19)        // wParam images, lParam TBADDBITMAP* -> first image index, -1
#define TB_ADDBUTTONSA (WM_USER + 20)      // wParam count, lParam TBBUTTON* -> TRUE or FALSE
#define TB_INSERTBUTTONA (WM_USER + 21)    // wParam index, lParam TBBUTTON* -> TRUE or FALSE
#define TB_BUTTONSTRUCTSIZE (WM_USER + 30) // wParam record size
#define TB_SETBITMAPSIZE (WM_USER + 32)    // lParam MAKELONG(width, height) -> TRUE
#define TB_REPLACEBITMAP (WM_USER + 46)    // lParam TBREPLACEBITMAP* -> TRUE or FALSE

// Button states and styles.
#define TBSTATE_ENABLED 0x04
#define TBSTYLE_BUTTON 0x00
#define TBSTYLE_SEP 0x01

typedef struct _TBBUTTON {
    int iBitmap;
    int idCommand;
    BYTE fsState;
    BYTE fsStyle;
    BYTE bReserved[6];
    DWORD_PTR dwData;
    INT_PTR iString;
} TBBUTTON, *LPTBBUTTON;

// hInst null: nID is the bitmap handle itself.
typedef struct tagTBADDBITMAP {
    HINSTANCE hInst;
    UINT_PTR nID;
} TBADDBITMAP, *LPTBADDBITMAP;

typedef struct tagTBREPLACEBITMAP {
    HINSTANCE hInstOld;
    UINT_PTR nIDOld;
    HINSTANCE hInstNew;
    UINT_PTR nIDNew;
    int nButtons;
} TBREPLACEBITMAP, *LPTBREPLACEBITMAP;
