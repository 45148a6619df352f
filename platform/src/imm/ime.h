// imm/ime.h: the input method's side of the window layer: compositions and committed
// text become the IME messages of imm.h, or WM_CHAR. Called on the window's owner
// thread by the event translation (window/events.cpp), and by the fake IMM of
// testing.h from any thread. The window layer's lock must not be held.
#pragma once

#include <string>
#include <vector>

#include "platform/win32.h"

namespace imm {

// The composition becomes the text (UTF-8) with the cursor after `cursorChars`
// characters and clauses starting at these character offsets ("" ends it).
void ComposeUtf8(HWND window, const std::string& utf8, int cursorChars, const std::vector<int>& clauseStarts);
// Committed text (CP932): the composition's result while one runs and the window's IME
// is on, else WM_CHAR per byte, lead byte first.
void Commit(HWND window, const std::string& cp932);
// Back to no composition, no candidates, closed (ptest::ResetControls).
void Reset();

}  // namespace imm
