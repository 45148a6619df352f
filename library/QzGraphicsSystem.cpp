// QzGraphicsSystem.cpp: graphics start-up and end, and the creation settings.
#include "QzGraphicsSystem.h"

#include "QzDrawDevice.h"
#include "QzStandIn.h"

// The settings after graphics start-up, from process start on.
GraphCreateSettings g_graphCreateSettings = [] {
    GraphCreateSettings g = {};
    g.use3D = 1;
    g.transColorUse = 1;
    return g;
}();

namespace {
HWND g_window = nullptr;
}

int InitializeGraphicsSystem(HWND window) {
    g_window = window;
    InitializeDirectDraw();
    return 0;
}

int TerminateGraphicsSystem() {
    TerminateDirectDraw();
    return 0;
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
