// d3d/controls.cpp: the Direct3D layer's test controls (testing.h). Any thread.
#include "d3d/controls.h"

#include <atomic>

#include "kernel/controls.h"
#include "platform/testing.h"

namespace {

std::atomic<bool> g_generalPath{false};

}  // namespace

namespace d3d {

bool GeneralPathForced() { return g_generalPath.load(std::memory_order_relaxed); }

}  // namespace d3d

namespace kernel {

void ResetD3DControls() { g_generalPath.store(false, std::memory_order_relaxed); }

}  // namespace kernel

namespace ptest {

void ForceD3DGeneralPath(bool on) { g_generalPath.store(on, std::memory_order_relaxed); }

}  // namespace ptest
