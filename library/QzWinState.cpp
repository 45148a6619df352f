// QzWinState.cpp: the library's central record.
#include "QzWinState.h"

WindowSystemState g_windowSystem;

WindowSystemState* GetWindowSystemState() { return &g_windowSystem; }
