// null/null_input.cpp: the headless machine's input: no pads of its own (tests attach
// virtual ones above the backend), and a mouse that sits where a test puts it.
// Any thread.
#include <atomic>

#include "backend/input.h"
#include "platform/testing.h"

namespace backend {
namespace {

std::atomic<int> g_mouseX{0};
std::atomic<int> g_mouseY{0};

void ReadPads(std::vector<MachinePad>* pads) { pads->clear(); }
int CreateEffect(int, const MachineEffect&) { return -1; }
void RunEffect(int, int, bool) {}
void DestroyEffect(int, int) {}

void MousePosition(int* x, int* y) {
    *x = g_mouseX.load();
    *y = g_mouseY.load();
}

}  // namespace

const InputBackend& NullInput() {
    static const InputBackend table = {"null", ReadPads, CreateEffect, RunEffect, DestroyEffect, MousePosition};
    return table;
}

}  // namespace backend

namespace ptest {

void SetMousePosition(int x, int y) {
    backend::g_mouseX = x;
    backend::g_mouseY = y;
}

}  // namespace ptest
