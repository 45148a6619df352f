// QzInputStandIns.h: stand-ins for the input devices and for key input and the IME,
// until those parts exist. Each keeps its part's name and signature, succeeds, and
// reports to QzStandIn.h. Delete a declaration here when its part lands.
#pragma once

#include <platform/win32.h>

#include <vector>

// ---- input devices ----------------------------------------------------------------------
int InitializeInputSystem();     // 0
int TerminateInputSystem();      // 0
int ReacquireInputDevices();     // 0
int ApplyPadVibration();         // 0
int UpdatePadVibrationTimers();  // 0

// ---- character buffer, key input and the IME ----------------------------------------------
int InitializeCharCodeBuffer();  // 0
// 0; the bytes are kept in order for tests (StandInPushedChars).
int PushInputChar(int byte);
int IsInputCharBufferFull();  // 0: the stand-in's buffer never fills
LRESULT HandleImeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);  // 0
int ProcessActiveTextInput();  // 0
int DeleteAllTextInputData();  // 0

// Every byte PushInputChar was given, oldest first; cleared by ResetStandIns' caller.
std::vector<int> StandInPushedChars();
void ClearStandInPushedChars();
