// entry/main.cpp: the process entry. The game takes no arguments; it receives its
// instance, an empty command line and SW_SHOWDEFAULT, as a Windows program would.
#include "platform/win32.h"

int main() {
    static char emptyCommandLine[] = "";
    return WinMain(GetModuleHandleA(nullptr), nullptr, emptyCommandLine, SW_SHOWDEFAULT);
}
