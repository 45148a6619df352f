// QzGraphicsSystem.cpp: graphics start-up and end, and the creation settings.
#include "QzGraphicsSystem.h"

#include "QzStandIn.h"

GraphCreateSettings g_graphCreateSettings;

namespace {
HWND g_window = nullptr;
}

HWND GetGraphicsWindow() {
    return g_window;
}

int InitializeGraphData() {
    return StandInCall("InitializeGraphData", 0);
}

int TerminateGraphData() {
    return StandInCall("TerminateGraphData", 0);
}

int GetGraphDibOption() {
    return g_graphCreateSettings.dibOption;
}
