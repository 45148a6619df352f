// QzInputKey.h: typed text: the ring of typed bytes that WM_CHAR, the control keys and
// the IME fill, the 20 text-input records the pump's upkeep edits from it (a double-byte
// character always moves, goes and comes whole), and the IME's composition, clauses and
// candidate list kept for the application to draw. Main thread under the library lock
// (the message thread's upkeep runs under it too).
#pragma once

#include <cstdint>

#include <platform/win32.h>

constexpr int kInputRingSlots = 1025;  // one slot stays free: 1024 bytes fit
constexpr int kTextInputCount = 20;

// Control codes the window procedure puts into the ring for keys.
constexpr int kInputCodeDelete = 0x10;
constexpr int kInputCodeLeft = 0x1D;
constexpr int kInputCodeRight = 0x1C;
constexpr int kInputCodeUp = 0x1E;
constexpr int kInputCodeDown = 0x1F;

// One text field being edited (handle kind 10).
struct TextInputData {
    int inUse;
    int check;
    int finished;   // Enter, or a cancelling Esc: editing stops
    int cancelled;  // Esc where cancelling is allowed
    int length;     // bytes
    int maxLength;  // bytes
    int cursor;     // byte offset
    char* text;     // tracked block of maxLength + 1 bytes, zero-terminated
    int cancelAllowed;
    int singleByteOnly;
    int numbersOnly;
};

// Cleared at start-up.
struct KeyInputBlock {
    unsigned char ring[kInputRingSlots];
    int readPosition;
    int writePosition;  // empty when equal; full when one slot behind the read position
    char unused[1024];
    // IME
    int composing;
    int compositionCursor;  // in characters
    char composition[1024];
    void* candidateList;  // tracked copy of the CANDIDATELIST, or null
    int imeUse;
    int imeOpenStatus;
    int imeReserved;
    unsigned char clauseData[1024];  // 32-bit byte offsets
    int clauseCount;
    int imeInputSeen;
    // Input text colours, made in the screen's format at start-up.
    uint32_t colors[7];
    // Cursor blink.
    int blinkReserved;
    int blinkStart;   // ms
    int blinkPeriod;  // ms
    int cursorShown;
    int activeHandle;  // -1: none
    TextInputData records[kTextInputCount];
    // The name buffer of menu item queries (QzWinMenu.cpp).
    char menuItemName[128];
};

extern KeyInputBlock g_keyInput;

int InitializeCharCodeBuffer();  // 0
// 0, or -1 when the ring is full (the byte is dropped).
int PushInputChar(int byte);
// Bytes of the next character (1 or 2), 0 when none is complete; with take 0 it stays.
int PopInputChar(char out[2], int take);
int IsInputCharBufferFull();  // 1 when a push would fail
int IsInputControlCode(int byte);
// Characters in the first `bytes` bytes (a double-byte character counts once; counting
// stops at the terminator).
int CountDoubleByteChars(const char* text, int bytes);
// Equal characters at the start of both texts.
int CountEqualLeadingChars(const char* a, const char* b);
int ResetInputCursorBlink();  // 0
// 0, or -1 for an invalid active handle.
int ProcessActiveTextInput();
int DeleteTextInputData(int handle);  // 0, or -1 for an invalid handle
int DeleteAllTextInputData();         // 0

// ---- IME (QzInputIme.cpp) ---------------------------------------------------------------------
int SetImeUse(int flag);         // 0
int SetImeOpenStatus(int flag);  // 0
LRESULT HandleImeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
