// QzApiDialog.h: the platform's message box, which the game's start-up asks its question
// with. The game sees only library/api/, so it is declared here with the platform's own
// spellings (platform/winuser.h): a file may include both headers.
#pragma once

#include <cstdint>

struct HWND__;
typedef struct HWND__* HWND;

#define MB_YESNO 0x00000004u
#define MB_ICONQUESTION 0x00000020u
#define IDYES 6

// Text and caption in CP932; the answer (IDYES ...), or 0 when the box cannot be shown.
int MessageBoxA(HWND owner, const char* text, const char* caption, uint32_t type);
