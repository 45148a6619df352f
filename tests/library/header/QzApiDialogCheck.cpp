// The game's message box beside the platform's: both headers in one file, in either
// order, declare one function with one set of spellings. Building is the check; run, it
// touches nothing.
#include <type_traits>

#include "QzApiDialog.h"
#include "platform/win32.h"
#include "QzApiDialog.h"

static_assert(std::is_same_v<decltype(&MessageBoxA), int (*)(HWND, LPCSTR, LPCSTR, UINT)>);
static_assert(MB_YESNO == 0x00000004u && MB_ICONQUESTION == 0x00000020u && IDYES == 6);
static_assert(std::is_same_v<decltype(MB_YESNO | MB_ICONQUESTION), UINT>);

int main() { return 0; }
